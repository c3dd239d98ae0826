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
    const int filas = numero_filas();
    const auto codigo = [this](int fila) {
        quint32 n;
        return filas_de(fila, n).celda(n, 0).entero;
    };
    // The first row whose code is not below `c`: the rows are in order of code.
    const auto desde_codigo = [&](qint64 c) {
        int bajo = 0, alto = filas;
        while (bajo < alto) {
            const int medio = bajo + (alto - bajo) / 2;
            if (codigo(medio) < c)
                bajo = medio + 1;
            else
                alto = medio;
        }
        return bajo;
    };
    // Where the order changes: a row taken out, or a new row put in before a row. Between them the order is the
    // old one, copied whole, so a few changes cost one copy of the order and a search each.
    struct Corte {
        int fila;
        bool quitar;
        quint32 referencia;
    };
    std::vector<Corte> cortes;
    for (qint64 clave : claves)
        if (const int fila = desde_codigo(clave); fila < filas && codigo(fila) == clave)
            cortes.push_back({fila, true, 0});
    const quint32 total = propias_ ? propias_->numero() : 0;
    for (quint32 nueva = std::min(primera, total); nueva < total; ++nueva)
        cortes.push_back({desde_codigo(propias_->celda(nueva, 0).entero), false, referencia_propia(nueva)});
    // A new row goes before the row it replaces, which is then taken out.
    std::stable_sort(cortes.begin(), cortes.end(), [](const Corte& a, const Corte& b) {
        return a.fila < b.fila || (a.fila == b.fila && !a.quitar && b.quitar);
    });
    auto orden = std::make_shared<std::vector<quint32>>();
    orden->reserve(size_t(filas) + (total - std::min(primera, total)));
    const auto copiar = [&](int desde, int hasta) {
        if (hasta <= desde)
            return;
        if (orden_) {
            orden->insert(orden->end(), orden_->begin() + desde, orden_->begin() + hasta);
        } else {
            const size_t antes = orden->size();
            orden->resize(antes + size_t(hasta - desde));
            std::iota(orden->begin() + std::ptrdiff_t(antes), orden->end(), quint32(desde));
        }
    };
    int actual = 0;
    for (const Corte& corte : cortes) {
        copiar(actual, corte.fila);
        actual = std::max(actual, corte.fila);
        if (corte.quitar) {
            quitadas.push_back(corte.fila);
            actual = corte.fila + 1;
        } else {
            anadidas.push_back(static_cast<int>(orden->size()));
            orden->push_back(corte.referencia);
        }
    }
    copiar(actual, filas);
    Instantanea nueva = *this;
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
