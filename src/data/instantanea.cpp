#include "data/instantanea.h"

#include "data/error_datos.h"
#include "data/esquema.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <map>
#include <numeric>

namespace {

// Identities are unique across the process: snapshots are made on several threads.
quint64 nueva_identidad() {
    static std::atomic<quint64> siguiente = 0;
    return siguiente.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace

quint32 Filas::anadir_fila(qint64 rowid) {
    if (rowids.size() >= std::numeric_limits<quint32>::max() / 2)
        throw ErrorDatos(QStringLiteral("la tabla tiene demasiadas filas para leerla entera."));
    rowids.push_back(rowid);
    nulos.push_back(quint16((1u << columnas) - 1));
    celdas.resize(celdas.size() + size_t(columnas));
    return numero() - 1;
}

void Filas::anadir_texto(Celda& c, const char* datos, size_t longitud, const char* tabla) {
    if (textos.size() + longitud > std::numeric_limits<quint32>::max())
        throw ErrorDatos(
            QStringLiteral("la tabla %1 es demasiado grande para leerla entera.").arg(QLatin1String(tabla)));
    c.texto = {static_cast<quint32>(textos.size()), static_cast<quint32>(longitud)};
    textos.append(datos, longitud);
}

Instantanea::Instantanea(std::shared_ptr<const Filas> base) : base_(std::move(base)), identidad_(nueva_identidad()) {}

bool Instantanea::orden_por_numeros() const {
    return base_ && base_->codigos_enteros && (!propias_ || propias_->codigos_enteros);
}

Filas& Instantanea::propias(int columnas) {
    if (!propias_) {
        propias_ = std::make_shared<Filas>();
        propias_->columnas = columnas;
    }
    return *propias_;
}

void Instantanea::preparar_orden() {
    if (!orden_) {
        orden_ = std::make_shared<std::vector<quint32>>(base_->numero());
        std::iota(orden_->begin(), orden_->end(), quint32(0));
    } else if (orden_.use_count() > 1) {
        // Another snapshot names the same order: this one changes a copy of its own.
        orden_ = std::make_shared<std::vector<quint32>>(*orden_);
    }
    identidad_ = nueva_identidad();
}

void Instantanea::insertar(int fila, quint32 referencia) {
    preparar_orden();
    orden_->insert(orden_->begin() + fila, referencia);
}

void Instantanea::reemplazar(int fila, quint32 referencia) {
    preparar_orden();
    (*orden_)[size_t(fila)] = referencia;
}

void Instantanea::quitar(const std::vector<int>& filas_ordenadas) {
    preparar_orden();
    auto destino = orden_->begin();
    auto siguiente = filas_ordenadas.begin();
    for (size_t i = 0; i < orden_->size(); ++i) {
        if (siguiente != filas_ordenadas.end() && size_t(*siguiente) == i) {
            ++siguiente;
            continue;
        }
        *destino++ = (*orden_)[i];
    }
    orden_->erase(destino, orden_->end());
}

int Instantanea::posicion_ordenada(qint64 codigo, qint64 rowid) const {
    int bajo = 0;
    int alto = numero_filas();
    while (bajo < alto) {
        const int medio = bajo + (alto - bajo) / 2;
        quint32 n;
        const Filas& f = filas_de(medio, n);
        const qint64 otro = f.celda(n, 0).entero;
        if (otro < codigo || (otro == codigo && f.rowids[n] < rowid))
            bajo = medio + 1;
        else
            alto = medio;
    }
    return bajo;
}

std::optional<int> Instantanea::fila_de_rowid(qint64 rowid) const {
    for (int fila = 0; fila < numero_filas(); ++fila)
        if (this->rowid(fila) == rowid)
            return fila;
    return std::nullopt;
}

Instantanea Instantanea::con_cambios(const std::vector<qint64>& claves, quint32 primera, std::vector<int>& quitadas,
                                     std::vector<int>& anadidas) const {
    Instantanea nueva = *this;
    const quint32 total = propias_ ? propias_->numero() : 0;
    auto orden = std::make_shared<std::vector<quint32>>();
    orden->reserve(size_t(numero_filas()) + (total - std::min(primera, total)));
    // One pass over the rows in order of code, merging in the new rows: the cost grows with the table once, not
    // with the table for every change.
    quint32 nueva_fila = primera;
    size_t clave = 0;
    const auto poner_nuevas_hasta = [&](const qint64* codigo) {
        while (nueva_fila < total && (!codigo || propias_->celda(nueva_fila, 0).entero < *codigo)) {
            anadidas.push_back(static_cast<int>(orden->size()));
            orden->push_back(referencia_propia(nueva_fila++));
        }
    };
    for (int fila = 0; fila < numero_filas(); ++fila) {
        quint32 n;
        const Filas& f = filas_de(fila, n);
        const qint64 codigo = f.celda(n, 0).entero;
        poner_nuevas_hasta(&codigo);
        while (clave < claves.size() && claves[clave] < codigo)
            ++clave;
        if (clave < claves.size() && claves[clave] == codigo) {
            quitadas.push_back(fila);
            continue;
        }
        orden->push_back(orden_ ? (*orden_)[size_t(fila)] : quint32(fila));
    }
    poner_nuevas_hasta(nullptr);
    nueva.orden_ = std::move(orden);
    nueva.identidad_ = nueva_identidad();
    return nueva;
}

namespace AlmacenInstantaneas {

namespace {

using Clave = std::pair<QString, const Tabla*>;

// One store per thread. A source appends the rows it writes to its snapshot's own rows in place, and the store
// shares those rows with it, so a snapshot handed to a source of another thread could be read while it grows.
// The windows all live on one thread and share everything there; a test, the import or background work on
// another thread keeps its own snapshots, with no lock on the windows' path.
std::map<Clave, Entrada>& entradas() {
    thread_local std::map<Clave, Entrada> todas;
    return todas;
}

} // namespace

std::optional<Entrada> buscar(const QString& ruta, const Tabla& tabla, const Huella& huella) {
    const auto it = entradas().find({ruta, &tabla});
    if (it == entradas().end() || !(it->second.huella == huella))
        return std::nullopt;
    return it->second;
}

std::optional<Entrada> buscar_servidor(const QString& uri, const Tabla& tabla) {
    const auto it = entradas().find({uri, &tabla});
    if (it == entradas().end() || !it->second.servidor)
        return std::nullopt;
    return it->second;
}

void guardar(const QString& ruta, const Tabla& tabla, Entrada entrada) {
    entradas()[{ruta, &tabla}] = std::move(entrada);
}

void olvidar(const QString& ruta, const Tabla& tabla) {
    entradas().erase({ruta, &tabla});
}

void soltar_sin_uso() {
    for (auto it = entradas().begin(); it != entradas().end();)
        it = it->second.instantanea.usos_base() <= 1 ? entradas().erase(it) : std::next(it);
}

} // namespace AlmacenInstantaneas
