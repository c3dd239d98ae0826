// The rules of people, places and hand-outs, written once for both engines: every check runs inside the write's
// transaction, so what another user or program changed since the window read the data is seen before anything is
// stored.
#include "data/custodia_interno.h"

#include "data/error_datos.h"
#include "data/historial.h"
#include "data/motor.h"
#include "data/valores.h"

#include <QStringList>
#include <algorithm>
#include <mutex>

namespace Custodia {

namespace {

QString fecha_iso(const QDate& d) {
    return d.toString(Qt::ISODate);
}

QDate fecha_de_iso(const Valor& v) {
    return v ? QDate::fromString(v->left(10), Qt::ISODate) : QDate();
}

QVariant num(qint64 v) {
    return QVariant::fromValue<qlonglong>(v);
}

QVariant codigo_o_nulo(std::optional<qint64> c) {
    return c ? num(*c) : QVariant();
}

qint64 entero(Sesion& s, const QString& sql, const Parametros& p = {}) {
    qint64 valor = 0;
    s.enteros(
        sql, 1, [&](const qint64* v) { valor = v[0]; }, p);
    return valor;
}

bool hay(Sesion& s, const QString& sql, const Parametros& p) {
    return !s.filas(sql, p).empty();
}

QString nombre_limpio(const QString& nombre) {
    const QString limpio = nombre.simplified();
    if (limpio.isEmpty())
        throw ErrorDatos(QStringLiteral("el nombre no puede estar vacío."));
    return limpio;
}

QDate exigir_fecha(const QDate& d) {
    if (!d.isValid())
        throw ErrorDatos(QStringLiteral("la fecha no es válida."));
    return d;
}

// What a write does to one row, recorded in the history on a file: the row is read before and after it. A server's
// triggers record it themselves.
class Anotada {
public:
    Anotada(Sesion& s, const char* tabla, qint64 codigo) : s_(s), tabla_(tabla), codigo_(codigo) {
        if (!s.servidor())
            antes_ = s.fila(tabla, codigo);
    }
    // `codigo` names the row afterwards when the write gave it its code.
    void anotar(const char* cambio, qint64 registro, std::optional<qint64> codigo = std::nullopt) {
        if (!s_.servidor())
            s_.anotar(tabla_, registro, cambio, antes_, s_.fila(tabla_, codigo.value_or(codigo_)));
    }

private:
    Sesion& s_;
    const char* tabla_;
    qint64 codigo_;
    std::optional<FilaTexto> antes_;
};

// The state kept of the last file read, by its fingerprint: a refresh of an unchanged file reads nothing.
std::mutex cerrojo;
struct Guardado {
    QString ruta;
    std::optional<Huella> huella;  // of a file
    std::optional<qint64> cambios; // of a server
    std::shared_ptr<const Estado> estado;
};
std::optional<Guardado> guardado;

void leer_en(Sesion& s, Estado& e) {
    for (const FilaTexto& f : s.filas(QStringLiteral("SELECT Codigo, Nombre, Departamento, Contacto FROM Persona "
                                                     "ORDER BY Codigo")))
        e.personas.push_back({f[0].value_or(QString()).toLongLong(), f[1].value_or(QString()), f[2].value_or(QString()),
                              f[3].value_or(QString())});
    for (const FilaTexto& f : s.filas(QStringLiteral("SELECT Codigo, Nombre, Padre FROM Lugar ORDER BY Codigo"))) {
        Lugar l{f[0].value_or(QString()).toLongLong(), f[1].value_or(QString()), std::nullopt};
        if (f[2])
            l.padre = f[2]->toLongLong();
        e.lugares.push_back(std::move(l));
    }
    s.abiertas(e.abiertas);
    // Hand-outs are mostly stored in the order of their components; they are sorted only when they are not.
    const auto por_elemento = [](const Abierta& a, const Abierta& b) { return a.elemento < b.elemento; };
    if (!std::is_sorted(e.abiertas.begin(), e.abiertas.end(), por_elemento))
        std::sort(e.abiertas.begin(), e.abiertas.end(), por_elemento);
    e.indexar();
}

// The state of the file `base` in the session's read: the one kept when the file has not changed since it was read
// (its fingerprint `huella` is the same), otherwise read now and kept.
std::shared_ptr<const Estado> estado_en(Sesion& s, const QString& base, const std::optional<Huella>& huella) {
    const auto guardado_igual = [&](const std::optional<qint64>& cambios) -> std::shared_ptr<const Estado> {
        const std::lock_guard<std::mutex> cierre(cerrojo);
        if (guardado && guardado->ruta == base &&
            ((huella && guardado->huella == huella) || (cambios && guardado->cambios == cambios)))
            return guardado->estado;
        return nullptr;
    };
    if (huella)
        if (auto mismo = guardado_igual(std::nullopt))
            return mismo;
    auto estado = std::make_shared<Estado>();
    std::optional<qint64> cambios;
    if (s.con_tablas()) {
        cambios = s.cambios();
        if (cambios)
            if (auto mismo = guardado_igual(cambios))
                return mismo;
        leer_en(s, *estado);
    } else {
        estado->indexar();
    }
    if (huella || cambios) {
        const std::lock_guard<std::mutex> cierre(cerrojo);
        guardado = Guardado{base, huella, cambios, estado};
    }
    return estado;
}

// The open hand-out of a component, read inside the write: its code and date.
struct AbiertaLeida {
    qint64 codigo;
    QDate desde;
};
std::optional<AbiertaLeida> abierta_en(Sesion& s, qint64 elemento) {
    const auto filas = s.filas(
        QStringLiteral("SELECT Codigo, Desde FROM Entrega WHERE Elemento = $1 AND Hasta IS NULL"), {num(elemento)});
    if (filas.empty())
        return std::nullopt;
    return AbiertaLeida{filas[0][0].value_or(QString()).toLongLong(), fecha_de_iso(filas[0][1])};
}

void exigir_persona(Sesion& s, qint64 codigo) {
    if (!hay(s, QStringLiteral("SELECT 1 FROM Persona WHERE Codigo = $1"), {num(codigo)}))
        throw ErrorDatos(QStringLiteral("la persona ya no está en la base de datos: otro usuario la ha borrado."));
}

void exigir_lugar(Sesion& s, qint64 codigo) {
    if (!hay(s, QStringLiteral("SELECT 1 FROM Lugar WHERE Codigo = $1"), {num(codigo)}))
        throw ErrorDatos(QStringLiteral("el lugar ya no está en la base de datos: otro usuario lo ha borrado."));
}

void sin_persona_igual(Sesion& s, const Persona& p, const QString& nombre) {
    if (hay(s, QStringLiteral("SELECT 1 FROM Persona WHERE Nombre = $1 AND Departamento = $2 AND Codigo <> $3"),
            {nombre, p.departamento.trimmed(), num(p.codigo)}))
        throw ErrorDatos(
            p.departamento.trimmed().isEmpty()
                ? QStringLiteral("ya existe una persona llamada «%1».").arg(nombre)
                : QStringLiteral("ya existe una persona llamada «%1» en %2.").arg(nombre, p.departamento.trimmed()));
}

void sin_lugar_igual(Sesion& s, const Lugar& l, const QString& nombre) {
    if (hay(s, QStringLiteral("SELECT 1 FROM Lugar WHERE Nombre = $1 AND COALESCE(Padre, 0) = $2 AND Codigo <> $3"),
            {nombre, num(l.padre.value_or(0)), num(l.codigo)}))
        throw ErrorDatos(QStringLiteral("ya existe un lugar llamado «%1» en ese sitio.").arg(nombre));
}

// The parent chosen for a place is neither the place itself nor any place inside it: walking up from the parent
// never reaches the place. The walk stops after as many steps as there are places, so a loop another program left
// in the table ends it too.
void sin_ciclo(Sesion& s, qint64 lugar, std::optional<qint64> padre) {
    const qint64 total = entero(s, QStringLiteral("SELECT COUNT(*) FROM Lugar"));
    std::optional<qint64> actual = padre;
    for (qint64 paso = 0; actual && paso <= total; ++paso) {
        if (*actual == lugar)
            throw ErrorDatos(
                QStringLiteral("un lugar no puede estar dentro de sí mismo ni de un lugar que está dentro de él."));
        const auto filas = s.filas(QStringLiteral("SELECT Padre FROM Lugar WHERE Codigo = $1"), {num(*actual)});
        actual = filas.empty() || !filas[0][0] ? std::nullopt : std::optional<qint64>(filas[0][0]->toLongLong());
    }
}

QString texto_elemento(qint64 elemento) {
    return QString::number(elemento);
}

// What the person holds now, or what is now in the place and in the places inside it (known from the state read
// in the same session). The list's texts are made from the rows as the query gives them.
std::vector<Tenencia> tenencias(const QString& base, bool lugar, qint64 codigo) {
    std::vector<Tenencia> resultado;
    std::optional<Huella> huella;
    con_sesion(
        base, false,
        [&](Sesion& s) {
            if (!s.con_tablas())
                return;
            std::shared_ptr<const Estado> estado;
            std::vector<qint64> codigos{codigo};
            if (lugar) {
                estado = estado_en(s, base, huella);
                codigos = estado->lugar_y_dentro(codigo);
            }
            const QString sql =
                QStringLiteral("SELECT e.Codigo, NULL, NULL, e.Modelo, e.NumSerie, e.Fecha, e.Garantia, "
                               "e.Descripcion, e.Renting, (SELECT t.Nombre FROM Tipo t WHERE t.Codigo = e.Tipo "
                               "LIMIT 1), (SELECT m.Nombre FROM Marca m WHERE m.Codigo = e.Marca LIMIT 1), "
                               "en.Desde, en.Lugar FROM Entrega en JOIN Elemento e ON e.Codigo = en.Elemento "
                               "WHERE en.Hasta IS NULL AND en.%1 = $1 ORDER BY en.Elemento")
                    .arg(lugar ? QLatin1String("Lugar") : QLatin1String("Persona"));
            for (qint64 c : codigos)
                for (const FilaTexto& f : s.filas(sql, {num(c)}))
                    resultado.push_back({linea_de(f), fecha_de_iso(f[11]),
                                         estado && f[12] ? estado->ruta_lugar(f[12]->toLongLong()) : QString()});
        },
        lugar ? &huella : nullptr);
    if (lugar)
        std::stable_sort(resultado.begin(), resultado.end(), [](const Tenencia& a, const Tenencia& b) {
            return a.linea[0].toLongLong() < b.linea[0].toLongLong();
        });
    return resultado;
}

} // namespace

std::array<QString, 9> linea_de(const FilaTexto& f) {
    const auto t = [&](int i) { return f[size_t(i)].value_or(QString()); };
    QString fecha;
    if (f[5]) {
        const QDate d = fecha_de_iso(f[5]);
        fecha = d.isValid() ? Valores::texto_fecha(d) : *f[5];
    }
    bool numero = false;
    const double garantia = t(6).toDouble(&numero);
    const QString renting = t(8);
    const bool alquilado = renting == QLatin1String("1") || renting == QLatin1String("t");
    return {t(0),
            t(9),
            t(10),
            t(3),
            t(4),
            fecha,
            numero ? Valores::texto_real(garantia) : t(6),
            t(7),
            Valores::si_no(QVariant(alquilado))};
}

void con_sesion(const QString& base, bool escritura, const std::function<void(Sesion&)>& cuerpo,
                std::optional<Huella>* huella) {
    if (Motor::es_servidor(base))
        Servidor::con_sesion(base, escritura, cuerpo);
    else
        Archivo::con_sesion(base, escritura, cuerpo, huella);
}

void Estado::indexar() {
    personas_.clear();
    lugares_.clear();
    for (int i = 0; i < int(personas.size()); ++i)
        personas_.emplace(personas[size_t(i)].codigo, i);
    for (int i = 0; i < int(lugares.size()); ++i)
        lugares_.emplace(lugares[size_t(i)].codigo, i);
    rutas_.assign(lugares.size(), QString());
    for (size_t i = 0; i < lugares.size(); ++i) {
        QStringList partes{lugares[i].nombre};
        std::optional<qint64> padre = lugares[i].padre;
        // A loop another program left in the table ends the path after as many steps as there are places.
        for (size_t paso = 0; padre && paso < lugares.size(); ++paso) {
            const Lugar* p = lugar(*padre);
            if (!p)
                break;
            partes.prepend(p->nombre);
            padre = p->padre;
        }
        rutas_[i] = partes.join(QStringLiteral(" > "));
    }
}

const Abierta* Estado::abierta(qint64 elemento) const {
    const auto it = std::lower_bound(abiertas.begin(), abiertas.end(), elemento,
                                     [](const Abierta& a, qint64 e) { return a.elemento < e; });
    return it != abiertas.end() && it->elemento == elemento ? &*it : nullptr;
}

const Persona* Estado::persona(qint64 codigo) const {
    const auto it = personas_.find(codigo);
    return it == personas_.end() ? nullptr : &personas[size_t(it->second)];
}

const Lugar* Estado::lugar(qint64 codigo) const {
    const auto it = lugares_.find(codigo);
    return it == lugares_.end() ? nullptr : &lugares[size_t(it->second)];
}

QString Estado::nombre_persona(qint64 codigo) const {
    const Persona* p = persona(codigo);
    if (!p)
        return QString();
    return p->departamento.isEmpty() ? p->nombre : QStringLiteral("%1 (%2)").arg(p->nombre, p->departamento);
}

QString Estado::ruta_lugar(qint64 codigo) const {
    const auto it = lugares_.find(codigo);
    return it == lugares_.end() ? QString() : rutas_[size_t(it->second)];
}

QString Estado::titular(qint64 elemento) const {
    const Abierta* a = abierta(elemento);
    return a && a->persona ? nombre_persona(a->persona) : QString();
}

QString Estado::ubicacion(qint64 elemento) const {
    const Abierta* a = abierta(elemento);
    return a && a->lugar ? ruta_lugar(a->lugar) : QString();
}

QString Estado::linea(qint64 elemento) const {
    const Abierta* a = abierta(elemento);
    if (!a)
        return QString();
    QStringList partes;
    if (a->persona)
        partes << QStringLiteral("Lo tiene %1").arg(nombre_persona(a->persona));
    if (a->lugar)
        partes << (a->persona ? QStringLiteral("en %1") : QStringLiteral("Está en %1")).arg(ruta_lugar(a->lugar));
    partes << QStringLiteral("desde el %1").arg(Valores::texto_fecha(QDate::fromJulianDay(a->desde)));
    return partes.join(u' ');
}

std::vector<qint64> Estado::lugar_y_dentro(qint64 codigo) const {
    std::vector<qint64> dentro{codigo};
    // Breadth first over the children; a place already taken is not taken again, so a loop cannot repeat.
    for (size_t i = 0; i < dentro.size(); ++i)
        for (const Lugar& l : lugares)
            if (l.padre == dentro[i] && std::find(dentro.begin(), dentro.end(), l.codigo) == dentro.end())
                dentro.push_back(l.codigo);
    return dentro;
}

std::shared_ptr<const Estado> leer(const QString& base) {
    std::shared_ptr<const Estado> estado;
    std::optional<Huella> huella;
    con_sesion(
        base, false, [&](Sesion& s) { estado = estado_en(s, base, huella); }, &huella);
    return estado;
}

std::future<std::shared_ptr<const Estado>> leer_aparte(const QString& base) {
    if (Motor::es_servidor(base))
        return std::async(std::launch::deferred, [base] { return leer(base); });
    // The thread never waits for another program holding the file: the list's read waits, once, and tells the
    // user; a read that could not be made here is made again by `get`, when the list's read is over.
    std::future<std::shared_ptr<const Estado>> aparte = std::async(std::launch::async, [base] {
        const Conexion::SinEspera sin_espera;
        try {
            return leer(base);
        } catch (const ErrorDatos&) {
            return std::shared_ptr<const Estado>();
        }
    });
    return std::async(std::launch::deferred, [base, aparte = std::move(aparte)]() mutable {
        std::shared_ptr<const Estado> estado = aparte.get();
        return estado ? estado : leer(base);
    });
}

void olvidar() {
    const std::lock_guard<std::mutex> cierre(cerrojo);
    guardado.reset();
}

std::vector<Tenencia> de_persona(const QString& base, qint64 persona) {
    return tenencias(base, false, persona);
}

std::vector<Tenencia> en_lugar(const QString& base, qint64 lugar) {
    return tenencias(base, true, lugar);
}

qint64 anadir_persona(const QString& base, const Persona& p) {
    const QString nombre = nombre_limpio(p.nombre);
    qint64 codigo = 0;
    con_sesion(base, true, [&](Sesion& s) {
        s.turno("Persona");
        sin_persona_igual(s, p, nombre);
        codigo = entero(s, QStringLiteral("SELECT COALESCE(MAX(Codigo), 0) FROM Persona")) + 1;
        Anotada anotada(s, "Persona", codigo);
        s.orden(QStringLiteral("INSERT INTO Persona (Codigo, Nombre, Departamento, Contacto) VALUES ($1, $2, $3, $4)"),
                {num(codigo), nombre, p.departamento.trimmed(), p.contacto.trimmed()});
        anotada.anotar(Historial::Cambio::alta, codigo);
    });
    return codigo;
}

void modificar_persona(const QString& base, const Persona& p) {
    const QString nombre = nombre_limpio(p.nombre);
    con_sesion(base, true, [&](Sesion& s) {
        s.turno("Persona");
        exigir_persona(s, p.codigo);
        sin_persona_igual(s, p, nombre);
        Anotada anotada(s, "Persona", p.codigo);
        s.orden(QStringLiteral("UPDATE Persona SET Nombre = $1, Departamento = $2, Contacto = $3 WHERE Codigo = $4"),
                {nombre, p.departamento.trimmed(), p.contacto.trimmed(), num(p.codigo)});
        anotada.anotar(Historial::Cambio::modificacion, p.codigo);
    });
}

void borrar_persona(const QString& base, qint64 codigo) {
    con_sesion(base, true, [&](Sesion& s) {
        // No hand-out naming the person can be stored meanwhile.
        s.turno("Entrega");
        exigir_persona(s, codigo);
        if (hay(s, QStringLiteral("SELECT 1 FROM Entrega WHERE Persona = $1 LIMIT 1"), {num(codigo)}))
            throw ErrorDatos(QStringLiteral("no se puede borrar la persona: tiene componentes entregados o entregas "
                                            "anteriores que la nombran."));
        Anotada anotada(s, "Persona", codigo);
        s.orden(QStringLiteral("DELETE FROM Persona WHERE Codigo = $1"), {num(codigo)});
        anotada.anotar(Historial::Cambio::borrado, codigo);
    });
}

qint64 anadir_lugar(const QString& base, const Lugar& l) {
    const QString nombre = nombre_limpio(l.nombre);
    qint64 codigo = 0;
    con_sesion(base, true, [&](Sesion& s) {
        s.turno("Lugar");
        if (l.padre)
            exigir_lugar(s, *l.padre);
        sin_lugar_igual(s, l, nombre);
        codigo = entero(s, QStringLiteral("SELECT COALESCE(MAX(Codigo), 0) FROM Lugar")) + 1;
        Anotada anotada(s, "Lugar", codigo);
        s.orden(QStringLiteral("INSERT INTO Lugar (Codigo, Nombre, Padre) VALUES ($1, $2, $3)"),
                {num(codigo), nombre, codigo_o_nulo(l.padre)});
        anotada.anotar(Historial::Cambio::alta, codigo);
    });
    return codigo;
}

void modificar_lugar(const QString& base, const Lugar& l) {
    const QString nombre = nombre_limpio(l.nombre);
    con_sesion(base, true, [&](Sesion& s) {
        s.turno("Lugar");
        exigir_lugar(s, l.codigo);
        if (l.padre) {
            sin_ciclo(s, l.codigo, l.padre);
            exigir_lugar(s, *l.padre);
        }
        sin_lugar_igual(s, l, nombre);
        Anotada anotada(s, "Lugar", l.codigo);
        s.orden(QStringLiteral("UPDATE Lugar SET Nombre = $1, Padre = $2 WHERE Codigo = $3"),
                {nombre, codigo_o_nulo(l.padre), num(l.codigo)});
        anotada.anotar(Historial::Cambio::modificacion, l.codigo);
    });
}

void borrar_lugar(const QString& base, qint64 codigo) {
    con_sesion(base, true, [&](Sesion& s) {
        s.turno("Entrega");
        s.turno("Lugar");
        exigir_lugar(s, codigo);
        if (hay(s, QStringLiteral("SELECT 1 FROM Lugar WHERE Padre = $1 LIMIT 1"), {num(codigo)}))
            throw ErrorDatos(QStringLiteral("no se puede borrar el lugar: hay otros lugares dentro de él."));
        if (hay(s, QStringLiteral("SELECT 1 FROM Entrega WHERE Lugar = $1 LIMIT 1"), {num(codigo)}))
            throw ErrorDatos(QStringLiteral("no se puede borrar el lugar: tiene componentes entregados o entregas "
                                            "anteriores que lo nombran."));
        Anotada anotada(s, "Lugar", codigo);
        s.orden(QStringLiteral("DELETE FROM Lugar WHERE Codigo = $1"), {num(codigo)});
        anotada.anotar(Historial::Cambio::borrado, codigo);
    });
}

void entregar(const QString& base, const DatosEntrega& d, std::optional<qint64> traspaso) {
    if (!d.persona && !d.lugar)
        throw ErrorDatos(QStringLiteral("indique a quién se entrega el componente, dónde queda, o las dos cosas."));
    const QDate fecha = exigir_fecha(d.fecha);
    const QString elemento = texto_elemento(d.elemento);
    const QVariant codigo_elemento = num(d.elemento);
    con_sesion(base, true, [&](Sesion& s) {
        s.turno("Entrega");
        if (!hay(s, QStringLiteral("SELECT 1 FROM Elemento WHERE Codigo = $1"), {codigo_elemento}))
            throw ErrorDatos(QStringLiteral("el componente %1 ya no está en la base de datos.").arg(elemento));
        if (d.persona)
            exigir_persona(s, *d.persona);
        if (d.lugar)
            exigir_lugar(s, *d.lugar);
        const std::optional<AbiertaLeida> abierta = abierta_en(s, d.elemento);
        if (abierta && !traspaso)
            throw ErrorDatos(QStringLiteral("el componente %1 ya está entregado; devuélvalo antes o haga un "
                                            "traspaso.")
                                 .arg(elemento));
        if (traspaso) {
            if (!abierta || abierta->codigo != *traspaso)
                throw ErrorDatos(QStringLiteral("la entrega del componente %1 ha cambiado desde que se leyó: otro "
                                                "usuario lo ha devuelto o traspasado.")
                                     .arg(elemento));
            if (fecha < abierta->desde)
                throw ErrorDatos(QStringLiteral("la fecha del traspaso no puede ser anterior a la de la entrega que "
                                                "cierra (%1).")
                                     .arg(Valores::texto_fecha(abierta->desde)));
            Anotada cierre(s, "Entrega", abierta->codigo);
            s.orden(QStringLiteral("UPDATE Entrega SET Hasta = $1, NotaDevolucion = $2 WHERE Codigo = $3 AND Hasta "
                                   "IS NULL"),
                    {fecha_iso(fecha), QStringLiteral("Traspaso"), num(abierta->codigo)});
            cierre.anotar(Historial::Cambio::devolucion, d.elemento);
        }
        try {
            s.orden(QStringLiteral("INSERT INTO Entrega (Elemento, Persona, Lugar, Desde, Nota) VALUES ($1, $2, $3, "
                                   "$4, $5)"),
                    {codigo_elemento, codigo_o_nulo(d.persona), codigo_o_nulo(d.lugar), fecha_iso(fecha),
                     d.nota.trimmed()});
        } catch (const Duplicado&) {
            throw ErrorDatos(
                QStringLiteral("el componente %1 ya está entregado: otro usuario acaba de entregarlo.").arg(elemento));
        }
        if (!s.servidor())
            if (const std::optional<AbiertaLeida> nueva = abierta_en(s, d.elemento))
                Anotada(s, "Entrega", 0).anotar(Historial::Cambio::entrega, d.elemento, nueva->codigo);
    });
}

void devolver(const QString& base, const DatosDevolucion& d) {
    const QDate fecha = exigir_fecha(d.fecha);
    const QString elemento = texto_elemento(d.elemento);
    con_sesion(base, true, [&](Sesion& s) {
        s.turno("Entrega");
        const std::optional<AbiertaLeida> abierta = abierta_en(s, d.elemento);
        if (!abierta || abierta->codigo != d.entrega)
            throw ErrorDatos(QStringLiteral("el componente %1 ya no está entregado como se leyó: otro usuario lo ha "
                                            "devuelto o traspasado.")
                                 .arg(elemento));
        if (fecha < abierta->desde)
            throw ErrorDatos(QStringLiteral("la fecha de devolución no puede ser anterior a la de la entrega (%1).")
                                 .arg(Valores::texto_fecha(abierta->desde)));
        Anotada anotada(s, "Entrega", abierta->codigo);
        s.orden(QStringLiteral("UPDATE Entrega SET Hasta = $1, EstadoDevolucion = $2, NotaDevolucion = $3 WHERE "
                               "Codigo = $4 AND Hasta IS NULL"),
                {fecha_iso(fecha), d.estado.trimmed(), d.nota.trimmed(), num(abierta->codigo)});
        anotada.anotar(Historial::Cambio::devolucion, d.elemento);
    });
}

} // namespace Custodia
