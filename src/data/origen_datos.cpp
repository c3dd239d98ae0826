#include "data/origen_datos.h"

#include "data/error_datos.h"
#include "data/ubicacion.h"
#include "data/valores.h"

#include <QUtf8StringView>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <unordered_set>

namespace {

[[noreturn]] void rechazar_valor(const Columna& c, const QVariant& valor, const char* motivo) {
    throw ErrorDatos(QStringLiteral("la columna %1 no admite el valor «%2»: %3")
                         .arg(QLatin1String(c.nombre), Valores::texto(valor), QString::fromUtf8(motivo)));
}

// A written value converted to the form its column holds.
QVariant convertir(const Columna& c, const QVariant& valor) {
    if (valor.isNull() && valor.typeId() != QMetaType::QString)
        return {};
    const bool es_texto = valor.typeId() == QMetaType::QString;
    switch (c.clase) {
    case Clase::texto:
        return es_texto ? valor : QVariant(Valores::texto(valor));
    case Clase::entero: {
        if (es_texto) {
            if (auto n = Valores::entero_de_texto(valor.toString()))
                return QVariant::fromValue<qlonglong>(*n);
            rechazar_valor(c, valor, "no es un número entero.");
        }
        if (valor.typeId() == QMetaType::Double) {
            const double d = valor.toDouble();
            if (d != std::trunc(d) || std::fabs(d) > 9.0e18)
                rechazar_valor(c, valor, "no es un número entero.");
            return QVariant::fromValue<qlonglong>(static_cast<qlonglong>(d));
        }
        bool bien = false;
        const qlonglong n = valor.toLongLong(&bien);
        if (!bien)
            rechazar_valor(c, valor, "no es un número entero.");
        return QVariant::fromValue<qlonglong>(n);
    }
    case Clase::real: {
        bool bien = false;
        const double d = es_texto ? QLocale::c().toDouble(valor.toString().trimmed(), &bien) : valor.toDouble(&bien);
        if (!bien || !std::isfinite(d))
            rechazar_valor(c, valor, "no es un número válido.");
        return d;
    }
    case Clase::fecha: {
        if (valor.typeId() == QMetaType::QDate && valor.toDate().isValid())
            return valor;
        if (es_texto)
            if (auto f = Valores::fecha_de_texto(valor.toString()))
                return *f;
        rechazar_valor(c, valor, "no es una fecha válida.");
    }
    case Clase::logico:
        if (valor.typeId() == QMetaType::Bool)
            return valor;
        if (es_texto) {
            if (valor.toString() == Valores::verdadero)
                return true;
            if (valor.toString() == Valores::falso)
                return false;
        }
        if (auto n = Valores::entero_de_texto(Valores::texto(valor)))
            return *n != 0;
        rechazar_valor(c, valor, "no es verdadero ni falso.");
    }
    return {};
}

QString texto_fecha_rapido(qint64 dia) {
    int a = 0, m = 0, d = 0;
    QDate::fromJulianDay(dia).getDate(&a, &m, &d);
    if (a < 1000 || a > 9999)
        return Valores::texto_fecha(QDate::fromJulianDay(dia));
    const char16_t texto[10] = {char16_t(u'0' + d / 10),   char16_t(u'0' + d % 10),       u'/',
                                char16_t(u'0' + m / 10),   char16_t(u'0' + m % 10),       u'/',
                                char16_t(u'0' + a / 1000), char16_t(u'0' + a / 100 % 10), char16_t(u'0' + a / 10 % 10),
                                char16_t(u'0' + a % 10)};
    return QString(reinterpret_cast<const QChar*>(texto), 10);
}

} // namespace

OrigenDatos::OrigenDatos(QObject* padre) : QObject(padre) {}
OrigenDatos::~OrigenDatos() {
    vista_ = {};
    fresca_ = {};
    cambio_.reset();
    AlmacenInstantaneas::soltar_sin_uso();
}

void OrigenDatos::enlazar_base_datos(const QString& ruta) {
    ruta_ = ruta;
}
void OrigenDatos::enlazar_tabla(const QString& tabla) {
    nombre_tabla_ = tabla;
}

const Tabla& OrigenDatos::tabla() const {
    if (tabla_)
        return *tabla_;
    if (const Tabla* t = Esquema::tabla(nombre_tabla_))
        return *t;
    throw ErrorDatos(QStringLiteral("la tabla «%1» no existe en el inventario.").arg(nombre_tabla_));
}

void OrigenDatos::abrir() {
    if (!abierto_)
        refrescar();
}

void OrigenDatos::abrir_al_usarse() {
    if (!abierto_) {
        diferido_ = true;
        ruta_diferida_ = ruta_;
        tabla_diferida_ = nombre_tabla_;
    }
}

void OrigenDatos::asegurar_abierto() {
    if (diferido_ && !abierto_)
        refrescar_con(ruta_diferida_, tabla_diferida_);
}

void OrigenDatos::refrescar() {
    refrescar_con(ruta_, nombre_tabla_);
}

void OrigenDatos::refrescar_con(const QString& ruta, const QString& nombre_tabla) {
    diferido_ = false;
    pendiente_.reset();
    posicion_ = 0;
    recien_borrada_ = false;
    cambio_.reset();
    try {
        // The bound table, which may differ from the snapshot's.
        const Tabla* enlazada = Esquema::tabla(nombre_tabla);
        if (!enlazada)
            throw ErrorDatos(QStringLiteral("la tabla «%1» no existe en el inventario.").arg(nombre_tabla));
        const Tabla& t = *enlazada;
        const std::unique_ptr<Motor> motor = Motor::para(ruta);
        // The whole refresh reads one consistent state of the database.
        const std::unique_ptr<Motor::Lectura> lectura = motor->empezar_lectura();
        const std::optional<Huella> huella = lectura->huella();
        const bool misma_tabla = abierto_ && ruta_abierta_ == ruta && tabla_ == &t;
        if (misma_tabla && huella && huella_ && *huella == *huella_ && !fresca_.vacia()) {
            // The file has not changed since the snapshot kept for its state: reading it again would give the same
            // rows.
            tomar(fresca_, 0, {}, {});
            Q_EMIT refrescado();
            Q_EMIT fila_cambiada();
            return;
        }
        if (huella) {
            if (auto entrada = AlmacenInstantaneas::buscar(ruta, t, *huella)) {
                // Another source of this program holds the table in this very state, or wrote it last.
                if (!misma_tabla)
                    vaciar_instantanea();
                tabla_ = &t;
                ruta_abierta_ = ruta;
                columnas_ = t.numero_columnas();
                abierto_ = true;
                error_apertura_.clear();
                huella_ = huella;
                tomar(entrada->instantanea, entrada->padre, entrada->quitadas, entrada->anadidas);
                Q_EMIT refrescado();
                Q_EMIT fila_cambiada();
                return;
            }
        }
        vaciar_instantanea();
        AlmacenInstantaneas::olvidar(ruta, t);
        auto filas = std::make_shared<Filas>();
        leer_tabla(*lectura, t, *filas);
        vista_ = Instantanea(std::move(filas));
        fresca_ = vista_;
        tabla_ = &t;
        ruta_abierta_ = ruta;
        huella_ = huella;
        abierto_ = true;
        error_apertura_.clear();
        if (huella)
            AlmacenInstantaneas::guardar(ruta, t, {*huella, fresca_, 0, {}, {}});
    } catch (const ErrorDatos& e) {
        vaciar_instantanea();
        error_apertura_ = e.texto();
        Q_EMIT refrescado();
        throw;
    }
    Q_EMIT refrescado();
    Q_EMIT fila_cambiada();
}

void OrigenDatos::tomar(const Instantanea& nueva, quint64 padre, const std::vector<int>& quitadas,
                        const std::vector<int>& anadidas) {
    if (nueva.identidad() == vista_.identidad())
        cambio_ = CambioInstantanea{vista_, {}, {}};
    else if (padre != 0 && padre == vista_.identidad())
        cambio_ = CambioInstantanea{vista_, quitadas, anadidas};
    else
        cambio_.reset();
    if (nueva.identidad() != vista_.identidad())
        indice_valido_ = false;
    vista_ = nueva;
    fresca_ = nueva;
}

QString OrigenDatos::nombre_registro() const {
    if (tabla_ == &Esquema::elemento)
        return QStringLiteral("el componente");
    if (tabla_ == &Esquema::tipo)
        return QStringLiteral("el tipo");
    if (tabla_ == &Esquema::marca)
        return QStringLiteral("la marca");
    return QStringLiteral("el registro");
}

void OrigenDatos::vaciar_instantanea() {
    vista_ = {};
    fresca_ = {};
    cambio_.reset();
    abierto_ = false;
    tabla_ = nullptr;
    huella_.reset();
    indice_valido_ = false;
    AlmacenInstantaneas::soltar_sin_uso();
}

// Takes the rows an engine reads into a snapshot's rows.
struct OrigenDatos::Receptor : ReceptorFilas {
    Filas& f;
    const Tabla& t;
    int columna = 0;
    Receptor(Filas& filas, const Tabla& tabla) : f(filas), t(tabla) { f.columnas = t.numero_columnas(); }

    void reservar(qint64 filas, qint64 bytes_textos) override {
        f.celdas.reserve(static_cast<size_t>(filas) * f.columnas);
        f.rowids.reserve(filas);
        f.nulos.reserve(filas);
        // Reserving the texts' room up front reads them without ever moving what was read, and the part never
        // used costs no memory.
        f.textos.reserve(static_cast<size_t>(std::clamp<qint64>(bytes_textos, 0, 1LL << 32)));
    }
    void fila(qint64 identidad) override {
        f.rowids.push_back(identidad);
        f.nulos.push_back(0);
        columna = 0;
    }
    void entero(qint64 valor) override {
        Celda c{};
        c.entero = valor;
        poner(c);
    }
    void real(double valor) override {
        Celda c{};
        c.real = valor;
        poner(c);
    }
    void texto(const char* datos, std::size_t longitud) override {
        // A date the engine could only give as a text (an infinite one on a server) is no day: it is listed empty.
        if (t.columnas[columna].clase == Clase::fecha) {
            nulo();
            return;
        }
        Celda c{};
        f.anadir_texto(c, datos, longitud, t.nombre);
        poner(c);
    }
    void nulo() override {
        f.nulos.back() |= quint16(1u << columna);
        poner(Celda{});
    }
    void codigo_no_entero() override { f.codigos_enteros = false; }
    void poner(const Celda& c) {
        f.celdas.push_back(c);
        ++columna;
    }
};

void OrigenDatos::leer_tabla(Motor::Lectura& lectura, const Tabla& t, Filas& filas) {
    columnas_ = t.numero_columnas();
    Receptor receptor(filas, t);
    lectura.leer_tabla(t, receptor);
}

ValoresFila OrigenDatos::fila_leida(int fila) const {
    ValoresFila valores;
    for (int i = 0; i < columnas_; ++i)
        valores[i] = valor(fila, i);
    return valores;
}

void OrigenDatos::exigir_abierto() const {
    if (!abierto_)
        throw ErrorDatos(error_apertura_.isEmpty() ? QStringLiteral("la base de datos %1 no está abierta.").arg(ruta_)
                                                   : error_apertura_);
}

void OrigenDatos::exigir_fila_actual() const {
    exigir_abierto();
    if (!hay_fila_actual())
        throw ErrorDatos(
            QStringLiteral("no hay ningún registro actual en la tabla %1.").arg(QLatin1String(tabla().nombre)));
}

void OrigenDatos::exigir_ordinal(int ordinal) const {
    if (ordinal < 0 || ordinal >= tabla().numero_columnas())
        throw ErrorDatos(
            QStringLiteral("la tabla %1 no tiene la columna %2.").arg(QLatin1String(tabla().nombre)).arg(ordinal));
}

void OrigenDatos::cambiar_posicion(int posicion) {
    pendiente_.reset();
    posicion_ = posicion;
    recien_borrada_ = false;
    Q_EMIT fila_cambiada();
}

void OrigenDatos::mover_primero() {
    asegurar_abierto();
    exigir_abierto();
    cambiar_posicion(0);
}

void OrigenDatos::mover_siguiente() {
    asegurar_abierto();
    exigir_abierto();
    if (recien_borrada_)
        cambiar_posicion(posicion_);
    else
        cambiar_posicion(std::min(posicion_ + 1, numero_filas()));
}

void OrigenDatos::mover_ultimo() {
    asegurar_abierto();
    exigir_abierto();
    cambiar_posicion(numero_filas() == 0 ? 0 : numero_filas() - 1);
}

void OrigenDatos::mover_anterior() {
    asegurar_abierto();
    exigir_abierto();
    cambiar_posicion(std::max(posicion_ - 1, -1));
}

void OrigenDatos::situar(int fila) {
    asegurar_abierto();
    exigir_abierto();
    cambiar_posicion(std::clamp(fila, -1, numero_filas()));
}

bool OrigenDatos::al_final() const {
    return !recien_borrada_ && posicion_ >= numero_filas();
}

bool OrigenDatos::hay_fila_actual() const {
    return abierto_ && !recien_borrada_ && posicion_ >= 0 && posicion_ < numero_filas();
}

QVariant OrigenDatos::valor(int fila, int ordinal) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return {};
    const Celda& c = f.celda(n, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero:
        return QVariant::fromValue<qlonglong>(c.entero);
    case Clase::real:
        return c.real;
    case Clase::texto:
        return QString::fromUtf8(f.textos.data() + c.texto.inicio, c.texto.longitud);
    case Clase::fecha:
        return QDate::fromJulianDay(c.entero);
    case Clase::logico:
        return c.entero != 0;
    }
    return {};
}

QString OrigenDatos::texto(int fila, int ordinal) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return {};
    const Celda& c = f.celda(n, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero:
        return QString::number(c.entero);
    case Clase::real:
        return Valores::texto_real(c.real);
    case Clase::texto:
        return QString::fromUtf8(f.textos.data() + c.texto.inicio, c.texto.longitud);
    case Clase::fecha:
        return texto_fecha_rapido(c.entero);
    case Clase::logico:
        return c.entero != 0 ? Valores::verdadero : Valores::falso;
    }
    return {};
}

std::optional<qint64> OrigenDatos::entero(int fila, int ordinal) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return std::nullopt;
    const Celda& c = f.celda(n, ordinal);
    if (tabla_->columnas[ordinal].clase == Clase::real)
        return static_cast<qint64>(c.real);
    if (tabla_->columnas[ordinal].clase == Clase::texto)
        return Valores::entero_de_texto(texto(fila, ordinal));
    return c.entero;
}

void OrigenDatos::anadir_utf8(int fila, int ordinal, std::string& destino) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return;
    const Celda& c = f.celda(n, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero: {
        char cifras[24];
        const auto fin = std::to_chars(cifras, cifras + sizeof cifras, c.entero).ptr;
        destino.append(cifras, fin);
        return;
    }
    case Clase::texto: {
        // Valid UTF-8 is what the text's UTF-16 form turns back into; anything else goes the long way.
        const QUtf8StringView bytes(f.textos.data() + c.texto.inicio, c.texto.longitud);
        if (bytes.isValidUtf8()) {
            destino.append(bytes.data(), size_t(bytes.size()));
            return;
        }
        break;
    }
    case Clase::fecha: {
        int a = 0, m = 0, d = 0;
        QDate::fromJulianDay(c.entero).getDate(&a, &m, &d);
        if (a < 1000 || a > 9999)
            break;
        const char texto[10] = {char('0' + d / 10),   char('0' + d % 10),       '/',
                                char('0' + m / 10),   char('0' + m % 10),       '/',
                                char('0' + a / 1000), char('0' + a / 100 % 10), char('0' + a / 10 % 10),
                                char('0' + a % 10)};
        destino.append(texto, sizeof texto);
        return;
    }
    case Clase::real:
    case Clase::logico:
        break;
    }
    const QByteArray utf8 = texto(fila, ordinal).toUtf8();
    destino.append(utf8.constData(), size_t(utf8.size()));
}

QVariant OrigenDatos::leer(int ordinal) const {
    exigir_ordinal(ordinal);
    if (pendiente_)
        return pendiente_->valores[ordinal];
    exigir_fila_actual();
    return valor(posicion_, ordinal);
}

std::optional<qint64> OrigenDatos::leer_entero(int ordinal) const {
    exigir_ordinal(ordinal);
    if (pendiente_) {
        bool bien = false;
        const qint64 n = pendiente_->valores[ordinal].toLongLong(&bien);
        return bien ? std::optional<qint64>(n) : std::nullopt;
    }
    exigir_fila_actual();
    return entero(posicion_, ordinal);
}

QString OrigenDatos::leer_texto(int ordinal) const {
    exigir_ordinal(ordinal);
    if (pendiente_)
        return Valores::texto(pendiente_->valores[ordinal]);
    exigir_fila_actual();
    return texto(posicion_, ordinal);
}

std::optional<int> OrigenDatos::primera_fila_con_codigo(qint64 codigo) const {
    exigir_abierto();
    if (!indice_valido_) {
        indice_codigos_.clear();
        indice_codigos_.reserve(size_t(numero_filas()));
        for (int fila = numero_filas() - 1; fila >= 0; --fila) {
            quint32 n;
            const Filas& f = vista_.filas_de(fila, n);
            if (!f.es_nulo(n, 0))
                indice_codigos_[f.celda(n, 0).entero] = fila;
        }
        indice_valido_ = true;
    }
    const auto it = indice_codigos_.find(codigo);
    if (it == indice_codigos_.end())
        return std::nullopt;
    return it->second;
}

void OrigenDatos::anadir_nuevo() {
    asegurar_abierto();
    exigir_abierto();
    Pendiente p{true, {}};
    for (int i = 0; i < columnas_; ++i) {
        switch (tabla_->columnas[i].clase) {
        case Clase::entero:
            p.valores[i] = QVariant::fromValue<qlonglong>(0);
            break;
        case Clase::real:
            p.valores[i] = 0.0;
            break;
        case Clase::texto:
            p.valores[i] = QStringLiteral("");
            break;
        case Clase::logico:
            p.valores[i] = false;
            break;
        case Clase::fecha:
            break;
        }
    }
    pendiente_ = std::move(p);
    Q_EMIT fila_cambiada();
}

void OrigenDatos::editar() {
    asegurar_abierto();
    exigir_fila_actual();
    Pendiente p{false, {}};
    for (int i = 0; i < columnas_; ++i)
        p.valores[i] = valor(posicion_, i);
    pendiente_ = std::move(p);
}

void OrigenDatos::cancelar() {
    if (pendiente_) {
        pendiente_.reset();
        Q_EMIT fila_cambiada();
    }
}

void OrigenDatos::escribir(int ordinal, const QVariant& v) {
    exigir_ordinal(ordinal);
    if (!pendiente_)
        throw ErrorDatos(QStringLiteral("no se ha empezado a editar ningún registro de la tabla %1.")
                             .arg(QLatin1String(tabla().nombre)));
    pendiente_->valores[ordinal] = convertir(tabla_->columnas[ordinal], v);
}

void OrigenDatos::actualizar() {
    guardar_pendiente(false);
}

void OrigenDatos::actualizar_con_codigo_nuevo() {
    if (pendiente_ && !pendiente_->nueva)
        throw ErrorDatos(
            QStringLiteral("no se está añadiendo ningún registro a la tabla %1.").arg(QLatin1String(tabla().nombre)));
    guardar_pendiente(true);
}

void OrigenDatos::guardar_pendiente(bool codigo_nuevo) {
    if (!pendiente_)
        throw ErrorDatos(QStringLiteral("no se ha empezado a editar ningún registro de la tabla %1.")
                             .arg(QLatin1String(tabla().nombre)));
    const Tabla& t = *tabla_;
    Pendiente& p = *pendiente_;
    qint64 rowid = p.nueva ? 0 : vista_.rowid(posicion_);
    const qint64 rowid_anterior = rowid;
    // The row is gone, or another program or user changed it since it was read: nothing is written over it.
    const auto ya_no_esta = [this] {
        return QStringLiteral("no se han podido guardar los cambios en %1: %2 ha cambiado o se ha borrado en la base "
                              "de datos desde que se leyó.")
            .arg(Ubicacion::sin_contrasena(ruta_abierta()), nombre_registro());
    };
    const std::unique_ptr<Motor> motor = Motor::para(ruta_abierta());
    if (p.nueva && codigo_nuevo) {
        const auto [identidad, codigo] = motor->insertar_con_codigo_nuevo(t, p.valores);
        rowid = identidad;
        p.valores[0] = QVariant::fromValue<qlonglong>(codigo);
    } else if (p.nueva) {
        rowid = motor->insertar(t, p.valores);
    } else {
        const std::optional<qint64> identidad = motor->modificar(t, rowid, fila_leida(posicion_), p.valores);
        if (!identidad)
            throw ErrorDatos(ya_no_esta());
        rowid = *identidad;
    }
    // Stored: the snapshot takes the row as written, among this source's own rows.
    Filas& propias = vista_.propias(columnas_);
    const quint32 numero = propias.anadir_fila(rowid);
    poner_fila(propias, numero, p);
    if (p.nueva)
        vista_.insertar(numero_filas(), vista_.referencia_propia(numero));
    else
        vista_.reemplazar(posicion_, vista_.referencia_propia(numero));
    indice_valido_ = false;
    derivar_fresca(*motor, motor->huella_antes_de_escribir(),
                   p.nueva ? std::vector<qint64>{} : std::vector<qint64>{rowid_anterior}, rowid);
    pendiente_.reset();
    Q_EMIT fila_cambiada();
}

void OrigenDatos::poner_fila(Filas& filas, quint32 fila, const Pendiente& p) {
    quint16 nulos = 0;
    for (int i = 0; i < columnas_; ++i) {
        Celda& c = filas.celdas[static_cast<size_t>(fila) * columnas_ + i];
        const QVariant& v = p.valores[i];
        if (v.isNull() && v.typeId() != QMetaType::QString) {
            nulos |= quint16(1u << i);
            continue;
        }
        switch (tabla_->columnas[i].clase) {
        case Clase::entero:
            c.entero = v.toLongLong();
            break;
        case Clase::logico:
            c.entero = v.toBool();
            break;
        case Clase::real:
            c.real = v.toDouble();
            break;
        case Clase::fecha:
            c.entero = v.toDate().toJulianDay();
            break;
        case Clase::texto: {
            const QByteArray utf8 = v.toString().toUtf8();
            filas.anadir_texto(c, utf8.constData(), static_cast<size_t>(utf8.size()), tabla_->nombre);
            break;
        }
        }
    }
    filas.nulos[fila] = nulos;
}

void OrigenDatos::borrar() {
    asegurar_abierto();
    cancelar();
    exigir_fila_actual();
    const int fila = posicion_;
    borrar_filas({fila});
    posicion_ = fila;
    recien_borrada_ = true;
}

void OrigenDatos::borrar_filas(std::vector<int> filas) {
    asegurar_abierto();
    cancelar();
    exigir_abierto();
    std::sort(filas.begin(), filas.end());
    filas.erase(std::unique(filas.begin(), filas.end()), filas.end());
    if (filas.empty())
        return;
    if (filas.front() < 0 || filas.back() >= numero_filas())
        throw ErrorDatos(
            QStringLiteral("no hay ningún registro actual en la tabla %1.").arg(QLatin1String(tabla().nombre)));
    std::vector<std::pair<qint64, ValoresFila>> leidas;
    leidas.reserve(filas.size());
    for (int fila : filas)
        leidas.emplace_back(vista_.rowid(fila), fila_leida(fila));
    const std::unique_ptr<Motor> motor = Motor::para(ruta_abierta());
    // Another program may have removed a row meanwhile: nothing is reported deleted that was not.
    if (!motor->borrar(*tabla_, leidas))
        throw ErrorDatos(borrada_por_otro());
    quitar_filas(*motor, filas, motor->huella_antes_de_escribir());
}

QString OrigenDatos::borrada_por_otro() const {
    return QStringLiteral("no se ha podido borrar en %1: %2 ha cambiado o se ha borrado en la base de datos desde que "
                          "se leyó.")
        .arg(Ubicacion::sin_contrasena(ruta_abierta()), nombre_registro());
}

bool OrigenDatos::borrar_si_no_usado(const QString& tabla_uso, int columna_uso) {
    asegurar_abierto();
    cancelar();
    exigir_fila_actual();
    const Tabla* uso = Esquema::tabla(tabla_uso);
    if (!uso)
        throw ErrorDatos(QStringLiteral("la tabla «%1» no existe en el inventario.").arg(tabla_uso));
    const int fila = posicion_;
    const std::optional<qint64> codigo = entero(fila, 0);
    if (!codigo) {
        // A row without a code cannot be used by any other.
        borrar();
        return true;
    }
    const std::unique_ptr<Motor> motor = Motor::para(ruta_abierta());
    switch (motor->borrar_si_no_usado(*tabla_, vista_.rowid(fila), fila_leida(fila), *codigo, *uso, columna_uso)) {
    case Motor::Borrado::en_uso:
        return false;
    case Motor::Borrado::ya_no_esta:
        throw ErrorDatos(borrada_por_otro());
    case Motor::Borrado::hecho:
        break;
    }
    quitar_filas(*motor, {fila}, motor->huella_antes_de_escribir());
    posicion_ = fila;
    recien_borrada_ = true;
    return true;
}

void OrigenDatos::quitar_filas(Motor& motor, const std::vector<int>& filas, const std::optional<Huella>& antes) {
    std::vector<qint64> quitados;
    for (int fila : filas)
        quitados.push_back(vista_.rowid(fila));
    // When this source saw the rows a read would give, it sees them still after the deletion: the snapshot kept
    // for the database's new state is its own.
    const bool como_leida = !fresca_.vacia() && fresca_.identidad() == vista_.identidad();
    indice_valido_ = false;
    derivar_fresca(motor, antes, quitados, std::nullopt);
    if (como_leida && !fresca_.vacia())
        vista_ = fresca_;
    else
        vista_.quitar(filas);
    posicion_ = numero_filas();
    recien_borrada_ = false;
    Q_EMIT fila_cambiada();
}

void OrigenDatos::derivar_fresca(Motor& motor, const std::optional<Huella>& antes, const std::vector<qint64>& quitados,
                                 std::optional<qint64> anadido) {
    const std::optional<Huella> conocida = huella_;
    huella_.reset();
    Instantanea nueva = fresca_;
    fresca_ = {};
    // Only when the file was, right before the write, in the state whose rows are kept.
    if (!conocida || !antes || !(*antes == *conocida) || nueva.vacia())
        return;
    try {
        const std::unique_ptr<Motor::Lectura> lectura = motor.empezar_lectura();
        const std::optional<Huella> despues = lectura->huella();
        // Every write transaction counts one: one more than before means no other program wrote meanwhile.
        if (!despues || despues->contador != antes->contador + 1 || despues->dispositivo != antes->dispositivo ||
            despues->nodo != antes->nodo)
            return;
        const quint64 padre = nueva.identidad();
        std::vector<int> quitadas;
        if (!quitados.empty()) {
            const std::unordered_set<qint64> buscados(quitados.begin(), quitados.end());
            for (int fila = 0; fila < nueva.numero_filas(); ++fila)
                if (buscados.count(nueva.rowid(fila)))
                    quitadas.push_back(fila);
            if (quitadas.size() != buscados.size())
                return;
            nueva.quitar(quitadas);
        }
        std::vector<int> anadidas;
        if (anadido) {
            if (!nueva.orden_por_numeros())
                return;
            Filas& propias = nueva.propias(columnas_);
            // The row as a read of the table gives it, in the place the table's order gives it.
            Receptor receptor(propias, *tabla_);
            if (!lectura->leer_fila(*tabla_, *anadido, receptor) || !propias.codigos_enteros)
                return;
            const quint32 numero = propias.numero() - 1;
            const int fila = nueva.posicion_ordenada(propias.celda(numero, 0).entero, *anadido);
            nueva.insertar(fila, nueva.referencia_propia(numero));
            anadidas.push_back(fila);
        }
        fresca_ = nueva;
        huella_ = despues;
        AlmacenInstantaneas::guardar(ruta_abierta_, *tabla_, {*despues, fresca_, padre, quitadas, anadidas});
    } catch (const std::exception&) {
        // The write is stored; the next refresh reads the table instead.
        fresca_ = {};
        huella_.reset();
    }
}

qint64 OrigenDatos::codigo_mayor() const {
    exigir_abierto();
    qint64 mayor = 0;
    for (int fila = 0; fila < numero_filas(); ++fila) {
        quint32 n;
        const Filas& f = vista_.filas_de(fila, n);
        if (!f.es_nulo(n, 0))
            mayor = std::max(mayor, tabla_->columnas[0].clase == Clase::entero ? f.celda(n, 0).entero
                                                                               : entero(fila, 0).value_or(0));
    }
    return mayor;
}

std::optional<qint64> OrigenDatos::entero_anterior(int fila, int ordinal) const {
    if (!cambio_ || fila < 0 || fila >= cambio_->anterior.numero_filas())
        return std::nullopt;
    quint32 n;
    const Filas& f = cambio_->anterior.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return std::nullopt;
    return f.celda(n, ordinal).entero;
}
