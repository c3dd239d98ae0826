// Reading the history: one component's, following it through its changes of code, or the whole inventory's with
// the window's filters; and how its kinds, tables, columns and values are shown.
#include "data/historial.h"

#include "data/custodia_interno.h"
#include "data/valores.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <limits>
#include <pwd.h>
#include <unistd.h>

namespace Historial {

namespace {

using Custodia::FilaTexto;
using Custodia::Parametros;
using Custodia::Sesion;

struct Tabla {
    const char* nombre;
    const char* texto;
    std::vector<const char*> columnas;
};

const std::array<Tabla, 6> tablas = {{
    {"Elemento", "Componente",
     {"Codigo", "Tipo", "Marca", "Modelo", "Nº Serie", "Fecha", "Garantia", "Descripcion", "Renting"}},
    {"Tipo", "Tipo", {"Codigo", "Nombre"}},
    {"Marca", "Marca", {"Codigo", "Nombre"}},
    {"Persona", "Persona", {"Codigo", "Nombre", "Departamento", "Contacto"}},
    {"Lugar", "Lugar", {"Codigo", "Nombre", "Lugar superior"}},
    {"Entrega", "Entrega",
     {"Codigo", "Componente", "Persona", "Lugar", "Desde", "Hasta", "Nota", "Estado al devolver",
      "Nota de devolución"}},
}};

const Tabla* tabla_de(const QString& nombre) {
    for (const Tabla& t : tablas)
        if (nombre == QLatin1String(t.nombre))
            return &t;
    return nullptr;
}

QVariant num(qint64 v) {
    return QVariant::fromValue<qlonglong>(v);
}

// "yyyy-MM-ddTHH:mm:ss.zzzZ", as both engines give it, read without Qt's general parser (an entry at a time for
// thousands of entries); anything else through it.
QDateTime momento_de(QByteArrayView t) {
    const auto cifras = [&](int desde, int n) {
        int v = 0;
        for (int i = desde; i < desde + n; ++i) {
            if (t[i] < '0' || t[i] > '9')
                return -1;
            v = v * 10 + (t[i] - '0');
        }
        return v;
    };
    if (t.size() == 24 && t[4] == '-' && t[7] == '-' && t[10] == 'T' && t[13] == ':' && t[16] == ':' && t[19] == '.' &&
        t[23] == 'Z') {
        const QDate dia(cifras(0, 4), cifras(5, 2), cifras(8, 2));
        const QTime hora(cifras(11, 2), cifras(14, 2), cifras(17, 2), cifras(20, 3));
        if (dia.isValid() && hora.isValid())
            return QDateTime(dia, hora, Qt::UTC);
    }
    return QDateTime::fromString(QString::fromUtf8(t), Qt::ISODateWithMs).toUTC();
}

// The text of a value, sharing the one made for the entry before when it is the same (the user, the table and the
// kind repeat from entry to entry).
void poner(QString& destino, const QString& anterior, const Custodia::Celda& c) {
    const QByteArrayView v = c.vista();
    destino = anterior.size() == v.size() && QLatin1String(v.data(), v.size()) == anterior ? anterior
                                                                                            : QString::fromUtf8(v);
}

std::optional<QString> valor_de(const Custodia::Celda& c) {
    return c.nula() ? std::nullopt : std::optional<QString>(QString::fromUtf8(c.vista()));
}

// The entries the condition selects, newest first, each with its changed columns: the entries in one walk of the
// index, then their columns in the order of their own key (a file's key; a server sorts them).
std::vector<Entrada> leer_entradas(Sesion& s, const QString& condicion, const Parametros& p) {
    const QString momento = s.servidor()
                                ? QStringLiteral("to_char(h.momento AT TIME ZONE 'UTC', "
                                                 "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
                                : QStringLiteral("h.Momento");
    std::vector<Entrada> entradas;
    const Entrada vacia;
    s.recorrer(QStringLiteral("SELECT h.Codigo, %1, h.Usuario, h.Tabla, h.Registro, h.Cambio FROM Historial h WHERE "
                              "%2 ORDER BY h.Codigo DESC")
                   .arg(momento, condicion),
               p, [&](const std::vector<Custodia::Celda>& f) {
                   const Entrada& anterior = entradas.empty() ? vacia : entradas.back();
                   Entrada e;
                   e.codigo = f[0].entero();
                   e.momento = momento_de(f[1].vista());
                   poner(e.usuario, anterior.usuario, f[2]);
                   poner(e.tabla, anterior.tabla, f[3]);
                   e.registro = f[4].entero();
                   poner(e.cambio, anterior.cambio, f[5]);
                   entradas.push_back(std::move(e));
               });
    if (entradas.empty())
        return entradas;
    const auto por_codigo = [](const Entrada& e, qint64 codigo) { return e.codigo > codigo; };
    Entrada* ultima = nullptr;
    s.recorrer(QStringLiteral("SELECT c.Historial, c.Columna, c.Antes, c.Despues FROM Historial h JOIN "
                              "HistorialColumna c ON c.Historial = h.Codigo WHERE %1%2")
                   .arg(condicion, s.servidor() ? QStringLiteral(" ORDER BY c.Historial, c.Columna") : QString()),
               p, [&](const std::vector<Custodia::Celda>& f) {
                   const qint64 codigo = f[0].entero();
                   if (!ultima || ultima->codigo != codigo) {
                       const auto it = std::lower_bound(entradas.begin(), entradas.end(), codigo, por_codigo);
                       if (it == entradas.end() || it->codigo != codigo)
                           return;
                       ultima = &*it;
                   }
                   ultima->columnas.push_back({int(f[1].entero()), valor_de(f[2]), valor_de(f[3])});
               });
    return entradas;
}

// The code of the newest addition of component `codigo` before entry `antes_de`: where its history starts, since a
// code may have been used by a component deleted earlier.
qint64 inicio(Sesion& s, qint64 codigo, qint64 antes_de) {
    qint64 desde = 0;
    s.enteros(
        QStringLiteral("SELECT max(Codigo) FROM Historial WHERE Tabla = 'Elemento' AND Registro = $1 AND Cambio = "
                       "'alta' AND Codigo < $2"),
        1, [&](const qint64* v) { desde = v[0]; }, {num(codigo), num(antes_de)});
    return desde;
}

bool contiene(const Entrada& e, const QString& texto) {
    if (QString::number(e.registro).contains(texto) || e.usuario.contains(texto, Qt::CaseInsensitive))
        return true;
    for (const Columna& c : e.columnas)
        for (const std::optional<QString>& v : {c.antes, c.despues})
            if (v && (v->contains(texto, Qt::CaseInsensitive) || e.valor(c.ordinal, v).contains(texto, Qt::CaseInsensitive)))
                return true;
    return false;
}

QString instante(const QDate& dia) {
    return QDateTime(dia, QTime(0, 0)).toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

const std::vector<QString>& cambios() {
    static const std::vector<QString> todos{Cambio::alta,     Cambio::modificacion, Cambio::codigo,
                                            Cambio::borrado,  Cambio::baja,         Cambio::recuperacion,
                                            Cambio::entrega,  Cambio::devolucion};
    return todos;
}

QString texto_cambio(const QString& cambio) {
    static const std::vector<std::pair<const char*, const char*>> textos{
        {Cambio::alta, "Alta"},           {Cambio::modificacion, "Cambio"},     {Cambio::codigo, "Cambio de código"},
        {Cambio::borrado, "Borrado"},     {Cambio::baja, "Baja"},               {Cambio::recuperacion, "Recuperación"},
        {Cambio::entrega, "Entrega"},     {Cambio::devolucion, "Devolución"}};
    for (const auto& [clave, texto] : textos)
        if (cambio == QLatin1String(clave))
            return QString::fromUtf8(texto);
    return cambio;
}

QString texto_tabla(const QString& tabla) {
    const Tabla* t = tabla_de(tabla);
    return t ? QString::fromUtf8(t->texto) : tabla;
}

QString Entrada::nombre_columna(int ordinal) const {
    const Tabla* t = tabla_de(tabla);
    if (t && ordinal >= 0 && ordinal < int(t->columnas.size()))
        return QString::fromUtf8(t->columnas[size_t(ordinal)]);
    return QStringLiteral("Columna %1").arg(ordinal + 1);
}

QString Entrada::valor(int ordinal, const std::optional<QString>& v) const {
    if (!v)
        return QStringLiteral("(vacío)");
    const bool elemento = tabla == QLatin1String("Elemento");
    const bool entrega = tabla == QLatin1String("Entrega");
    // Dates, the warranty and the renting flag are shown as the list shows them, whichever engine stored them.
    if ((elemento && ordinal == 5) || (entrega && (ordinal == 4 || ordinal == 5))) {
        const QDate fecha = QDate::fromString(v->left(10), Qt::ISODate);
        return fecha.isValid() ? Valores::texto_fecha(fecha) : *v;
    }
    if (elemento && ordinal == 6) {
        bool ok = false;
        const double garantia = v->toDouble(&ok);
        return ok ? Valores::texto_real(garantia) : *v;
    }
    if (elemento && ordinal == 8)
        return Valores::si_no(QVariant(*v == QLatin1String("1") || *v == QLatin1String("true")));
    return *v;
}

QString Entrada::detalle() const {
    QStringList partes;
    for (const Columna& c : columnas) {
        if (cambio == QLatin1String(Cambio::alta) || cambio == QLatin1String(Cambio::entrega) ||
            cambio == QLatin1String(Cambio::recuperacion))
            partes << QStringLiteral("%1: %2").arg(nombre_columna(c.ordinal), valor(c.ordinal, c.despues));
        else if (!c.despues)
            partes << QStringLiteral("%1: %2").arg(nombre_columna(c.ordinal), valor(c.ordinal, c.antes));
        else
            partes << QStringLiteral("%1: %2 → %3")
                          .arg(nombre_columna(c.ordinal), valor(c.ordinal, c.antes), valor(c.ordinal, c.despues));
    }
    return partes.join(QStringLiteral("; "));
}

std::vector<Entrada> de_componente(const QString& base, qint64 codigo) {
    std::vector<Entrada> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (!s.con_tablas())
            return;
        // Newest first: the component under its code now, then, before each change of code, under the code it had.
        qint64 actual = codigo;
        qint64 hasta = std::numeric_limits<qint64>::max();
        for (int paso = 0; paso < 1000; ++paso) {
            const qint64 desde = inicio(s, actual, hasta);
            std::vector<Entrada> tramo = leer_entradas(
                s,
                QStringLiteral("h.Tabla IN ('Elemento', 'Entrega') AND h.Registro = $1 AND h.Codigo >= $2 AND "
                               "h.Codigo < $3"),
                {num(actual), num(desde), num(hasta)});
            std::optional<std::pair<qint64, qint64>> anterior; // the change of code that gave it this one
            for (const Entrada& e : tramo)
                if (e.tabla == QLatin1String("Elemento") && e.cambio == QLatin1String(Cambio::codigo) && !anterior)
                    for (const Columna& c : e.columnas)
                        if (c.ordinal == 0 && c.antes)
                            anterior = std::pair{e.codigo, c.antes->toLongLong()};
            if (anterior) {
                // What precedes that change belongs to the old code.
                tramo.erase(std::remove_if(tramo.begin(), tramo.end(),
                                           [&](const Entrada& e) { return e.codigo < anterior->first; }),
                            tramo.end());
            }
            resultado.insert(resultado.end(), std::make_move_iterator(tramo.begin()),
                             std::make_move_iterator(tramo.end()));
            if (!anterior)
                break;
            hasta = anterior->first;
            actual = anterior->second;
        }
    });
    return resultado;
}

std::vector<Entrada> del_inventario(const QString& base, const Filtro& filtro) {
    std::vector<Entrada> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (!s.con_tablas())
            return;
        QStringList condiciones{QStringLiteral("1 = 1")};
        Parametros p;
        const auto anadir = [&](const QString& sql, QVariant valor) {
            p.push_back(std::move(valor));
            condiciones << QString(sql).arg(p.size());
        };
        const QString instante_sql = s.servidor() ? QStringLiteral("$%1::timestamptz") : QStringLiteral("$%1");
        if (filtro.desde.isValid())
            anadir(QStringLiteral("h.Momento >= ") + instante_sql, instante(filtro.desde));
        if (filtro.hasta.isValid())
            anadir(QStringLiteral("h.Momento < ") + instante_sql, instante(filtro.hasta.addDays(1)));
        if (!filtro.usuario.isEmpty())
            anadir(QStringLiteral("h.Usuario = $%1"), filtro.usuario);
        if (!filtro.cambio.isEmpty())
            anadir(QStringLiteral("h.Cambio = $%1"), filtro.cambio);
        // Without a text, the newest entries are taken by the server; with one, every entry is looked at.
        QString condicion = condiciones.join(QStringLiteral(" AND "));
        if (filtro.texto.isEmpty())
            condicion = QStringLiteral("h.Codigo IN (SELECT h.Codigo FROM Historial h WHERE %1 ORDER BY h.Codigo DESC "
                                       "LIMIT %2)")
                            .arg(condicion)
                            .arg(filtro.limite);
        for (Entrada& e : leer_entradas(s, condicion, p)) {
            if (int(resultado.size()) >= filtro.limite)
                break;
            if (filtro.texto.isEmpty() || contiene(e, filtro.texto.trimmed()))
                resultado.push_back(std::move(e));
        }
    });
    return resultado;
}

std::vector<QString> usuarios(const QString& base) {
    std::vector<QString> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (!s.con_tablas())
            return;
        for (const FilaTexto& f : s.filas(QStringLiteral("SELECT DISTINCT Usuario FROM Historial ORDER BY Usuario")))
            resultado.push_back(f[0].value_or(QString()));
    });
    return resultado;
}

QString usuario_del_sistema() {
    if (const passwd* p = ::getpwuid(::geteuid()); p && p->pw_name && *p->pw_name)
        return QString::fromLocal8Bit(p->pw_name);
    const QString usuario = qEnvironmentVariable("USER");
    return usuario.isEmpty() ? QString::number(::geteuid()) : usuario;
}

} // namespace Historial
