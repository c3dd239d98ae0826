// The data source: its bindings, its refreshes and its cursor. Reading values, writing rows and a server's refresh
// by its changes live in origen_valores.cpp, origen_escritura.cpp and origen_servidor.cpp.
#include "data/origen_datos.h"

#include "data/error_datos.h"
#include "data/origen_receptor.h"

#include <algorithm>
#include <memory>

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
        if (const std::optional<EstadoServidor> estado = lectura->estado_servidor()) {
            refrescar_servidor(*lectura, t, ruta, *estado, misma_tabla);
            Q_EMIT refrescado();
            Q_EMIT fila_cambiada();
            return;
        }
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
            AlmacenInstantaneas::guardar(ruta, t, {*huella, fresca_, 0, {}, {}, std::nullopt, {}});
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
    origen_vista_ = nueva.identidad();
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
    estado_.reset();
    linaje_.clear();
    indice_valido_ = false;
    AlmacenInstantaneas::soltar_sin_uso();
}

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
