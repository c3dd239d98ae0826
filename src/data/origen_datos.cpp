#include "data/origen_datos.h"

#include "data/error_datos.h"
#include "data/ubicacion.h"
#include "data/valores.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

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
OrigenDatos::~OrigenDatos() = default;

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
    try {
        // The bound table, which may differ from the snapshot's.
        const Tabla* enlazada = Esquema::tabla(nombre_tabla);
        if (!enlazada)
            throw ErrorDatos(QStringLiteral("la tabla «%1» no existe en el inventario.").arg(nombre_tabla));
        const Tabla& t = *enlazada;
        const std::unique_ptr<Motor> motor = Motor::para(ruta);
        // The whole refresh reads one consistent state of the file.
        const std::unique_ptr<Motor::Lectura> lectura = motor->empezar_lectura();
        const std::optional<Huella> huella = lectura->huella();
        if (abierto_ && huella && huella_ && *huella == *huella_ && ruta_abierta_ == ruta && tabla_ == &t) {
            // The file has not changed since the snapshot was read: reading it again would give the same rows.
            Q_EMIT refrescado();
            Q_EMIT fila_cambiada();
            return;
        }
        vaciar_instantanea();
        leer_tabla(*lectura, t);
        tabla_ = &t;
        ruta_abierta_ = ruta;
        huella_ = huella;
        abierto_ = true;
        error_apertura_.clear();
    } catch (const ErrorDatos& e) {
        vaciar_instantanea();
        error_apertura_ = e.texto();
        Q_EMIT refrescado();
        throw;
    }
    Q_EMIT refrescado();
    Q_EMIT fila_cambiada();
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
    celdas_ = {};
    rowids_ = {};
    nulos_ = {};
    textos_ = {};
    abierto_ = false;
    tabla_ = nullptr;
    huella_.reset();
    indice_valido_ = false;
}

struct OrigenDatos::Receptor : ReceptorFilas {
    OrigenDatos& o;
    int columna = 0;
    explicit Receptor(OrigenDatos& origen) : o(origen) {}

    void reservar(qint64 filas, qint64 bytes_textos) override {
        o.celdas_.reserve(static_cast<size_t>(filas) * o.columnas_);
        o.rowids_.reserve(filas);
        o.nulos_.reserve(filas);
        // Reserving the texts' room up front reads them without ever moving what was read, and the part never
        // used costs no memory.
        o.textos_.reserve(static_cast<size_t>(std::clamp<qint64>(bytes_textos, 0, 1LL << 32)));
    }
    void fila(qint64 identidad) override {
        o.rowids_.push_back(identidad);
        o.nulos_.push_back(0);
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
        Celda c{};
        o.anadir_texto(c, datos, longitud);
        poner(c);
    }
    void nulo() override {
        o.nulos_.back() |= quint16(1u << columna);
        poner(Celda{});
    }
    void poner(const Celda& c) {
        o.celdas_.push_back(c);
        ++columna;
    }
};

void OrigenDatos::leer_tabla(Motor::Lectura& lectura, const Tabla& t) {
    columnas_ = t.numero_columnas();
    Receptor receptor(*this);
    lectura.leer_tabla(t, receptor);
}

ValoresFila OrigenDatos::fila_leida(int fila) const {
    ValoresFila valores;
    for (int i = 0; i < columnas_; ++i)
        valores[i] = valor(fila, i);
    return valores;
}

void OrigenDatos::anadir_texto(Celda& c, const char* datos, size_t longitud) {
    if (textos_.size() + longitud > std::numeric_limits<quint32>::max())
        throw ErrorDatos(
            QStringLiteral("la tabla %1 es demasiado grande para leerla entera.").arg(QLatin1String(tabla().nombre)));
    c.texto = {static_cast<quint32>(textos_.size()), static_cast<quint32>(longitud)};
    textos_.append(datos, longitud);
}

void OrigenDatos::exigir_abierto() const {
    if (!abierto_)
        throw ErrorDatos(
            error_apertura_.isEmpty()
                ? QStringLiteral("la base de datos %1 no está abierta.").arg(Ubicacion::sin_contrasena(ruta_))
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
    if (es_nulo(fila, ordinal))
        return {};
    const Celda& c = celda(fila, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero:
        return QVariant::fromValue<qlonglong>(c.entero);
    case Clase::real:
        return c.real;
    case Clase::texto:
        return QString::fromUtf8(textos_.data() + c.texto.inicio, c.texto.longitud);
    case Clase::fecha:
        return QDate::fromJulianDay(c.entero);
    case Clase::logico:
        return c.entero != 0;
    }
    return {};
}

QString OrigenDatos::texto(int fila, int ordinal) const {
    if (es_nulo(fila, ordinal))
        return {};
    const Celda& c = celda(fila, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero:
        return QString::number(c.entero);
    case Clase::real:
        return Valores::texto_real(c.real);
    case Clase::texto:
        return QString::fromUtf8(textos_.data() + c.texto.inicio, c.texto.longitud);
    case Clase::fecha:
        return texto_fecha_rapido(c.entero);
    case Clase::logico:
        return c.entero != 0 ? Valores::verdadero : Valores::falso;
    }
    return {};
}

std::optional<qint64> OrigenDatos::entero(int fila, int ordinal) const {
    if (es_nulo(fila, ordinal))
        return std::nullopt;
    const Celda& c = celda(fila, ordinal);
    if (tabla_->columnas[ordinal].clase == Clase::real)
        return static_cast<qint64>(c.real);
    if (tabla_->columnas[ordinal].clase == Clase::texto)
        return Valores::entero_de_texto(texto(fila, ordinal));
    return c.entero;
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
        indice_codigos_.reserve(rowids_.size());
        for (int fila = numero_filas() - 1; fila >= 0; --fila)
            if (!es_nulo(fila, 0))
                indice_codigos_[celda(fila, 0).entero] = fila;
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
    qint64 rowid = p.nueva ? 0 : rowids_[posicion_];
    const auto ya_no_esta = [this] {
        return QStringLiteral("no se han podido guardar los cambios en %1: %2 ya no está en la base de datos.")
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
    // Stored: the snapshot takes the row as written.
    int fila = posicion_;
    if (p.nueva) {
        fila = numero_filas();
        rowids_.push_back(rowid);
        nulos_.push_back(0);
        celdas_.resize(celdas_.size() + columnas_);
    } else {
        rowids_[fila] = rowid;
    }
    poner_fila(fila, p);
    indice_valido_ = false;
    huella_.reset();
    pendiente_.reset();
    Q_EMIT fila_cambiada();
}

void OrigenDatos::poner_fila(int fila, const Pendiente& p) {
    quint16 nulos = 0;
    for (int i = 0; i < columnas_; ++i) {
        Celda& c = celdas_[static_cast<size_t>(fila) * columnas_ + i];
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
            anadir_texto(c, utf8.constData(), static_cast<size_t>(utf8.size()));
            break;
        }
        }
    }
    nulos_[fila] = nulos;
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
        leidas.emplace_back(rowids_[fila], fila_leida(fila));
    // Another program may have removed a row meanwhile: nothing is reported deleted that was not.
    if (!Motor::para(ruta_abierta())->borrar(*tabla_, leidas))
        throw ErrorDatos(borrada_por_otro());
    quitar_filas(filas);
}

QString OrigenDatos::borrada_por_otro() const {
    return QStringLiteral("no se ha podido borrar en %1: %2 ya no está en la base de datos.")
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
    switch (Motor::para(ruta_abierta())
                ->borrar_si_no_usado(*tabla_, rowids_[fila], fila_leida(fila), *codigo, *uso, columna_uso)) {
    case Motor::Borrado::en_uso:
        return false;
    case Motor::Borrado::ya_no_esta:
        throw ErrorDatos(borrada_por_otro());
    case Motor::Borrado::hecho:
        break;
    }
    quitar_filas({fila});
    posicion_ = fila;
    recien_borrada_ = true;
    return true;
}

void OrigenDatos::quitar_filas(const std::vector<int>& filas) {
    for (auto it = filas.rbegin(); it != filas.rend(); ++it) {
        const auto inicio = celdas_.begin() + static_cast<std::ptrdiff_t>(*it) * columnas_;
        celdas_.erase(inicio, inicio + columnas_);
        rowids_.erase(rowids_.begin() + *it);
        nulos_.erase(nulos_.begin() + *it);
    }
    indice_valido_ = false;
    huella_.reset();
    posicion_ = numero_filas();
    recien_borrada_ = false;
    Q_EMIT fila_cambiada();
}
