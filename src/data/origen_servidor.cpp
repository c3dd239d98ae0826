// The data source on a server: a refresh reads only the rows changed since the latest snapshot this thread holds
// of the table, by comparing the server's snapshots of transactions (a change committed late is seen however its
// transaction's number compares with the others). This program's own writes arrive the same way, at the next
// refresh.
#include "data/origen_datos.h"

#include "data/error_datos.h"
#include "data/origen_receptor.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

// How many earlier snapshots a snapshot remembers, and how many changed codes at most: a source still on an older
// one, or behind more changes, lists its rows again.
constexpr size_t antepasados = 8;
constexpr size_t claves_recordadas = 100000;

// The rows of `vista` whose codes are among `claves` (ascending), ascending.
std::vector<int> filas_con_codigos(const Instantanea& vista, const std::vector<qint64>& claves) {
    std::vector<int> filas;
    for (int fila = 0; fila < vista.numero_filas(); ++fila) {
        quint32 n;
        const Filas& f = vista.filas_de(fila, n);
        if (!f.es_nulo(n, 0) && std::binary_search(claves.begin(), claves.end(), f.celda(n, 0).entero))
            filas.push_back(fila);
    }
    return filas;
}

} // namespace

void OrigenDatos::adoptar_servidor(const Tabla& t, const QString& uri, AlmacenInstantaneas::Entrada entrada,
                                   std::optional<CambioInstantanea> conocido) {
    const Instantanea& nueva = entrada.instantanea;
    // The codes changed since the rows this source saw were read, if they are among the snapshot's ancestors.
    const std::vector<qint64>* cambiadas = nullptr;
    static const std::vector<qint64> ninguna;
    if (origen_vista_ == nueva.identidad())
        cambiadas = &ninguna;
    for (const auto& [antepasado, claves] : entrada.linaje)
        if (!cambiadas && antepasado == origen_vista_)
            cambiadas = &claves;
    std::optional<CambioInstantanea> cambio;
    if (abierto_ && tabla_ == &t && conocido && vista_.identidad() == conocido->anterior.identidad())
        cambio = std::move(conocido);
    else if (abierto_ && tabla_ == &t && cambiadas && vista_.identidad() != nueva.identidad())
        cambio = CambioInstantanea{vista_, filas_con_codigos(vista_, *cambiadas), filas_con_codigos(nueva, *cambiadas)};
    tabla_ = &t;
    ruta_abierta_ = uri;
    columnas_ = t.numero_columnas();
    abierto_ = true;
    error_apertura_.clear();
    huella_.reset();
    estado_ = entrada.servidor;
    linaje_ = entrada.linaje;
    tomar(nueva, 0, {}, {});
    if (cambio)
        cambio_ = std::move(cambio);
    AlmacenInstantaneas::guardar(uri, t, std::move(entrada));
}

void OrigenDatos::refrescar_servidor(Motor::Lectura& lectura, const Tabla& t, const QString& uri,
                                     const EstadoServidor& estado, bool misma_tabla) {
    // The newer of the snapshot the other sources of this thread share and this source's own.
    std::optional<AlmacenInstantaneas::Entrada> base = AlmacenInstantaneas::buscar_servidor(uri, t);
    if (misma_tabla && estado_ && !fresca_.vacia() && (!base || base->servidor->xmax < estado_->xmax))
        base = AlmacenInstantaneas::Entrada{Huella{}, fresca_, 0, {}, {}, estado_, linaje_};
    if (!misma_tabla)
        vaciar_instantanea();
    if (base) {
        if (*base->servidor == estado) {
            // Nothing has happened on the server since: the same rows.
            adoptar_servidor(t, uri, std::move(*base));
            return;
        }
        Instantanea nueva = base->instantanea;
        Filas& propias = nueva.propias(t.numero_columnas());
        const quint32 primera = propias.numero();
        Receptor receptor(propias, t);
        std::vector<qint64> claves;
        bool leidos = false;
        try {
            leidos = lectura.leer_cambios(t, *base->servidor, claves, receptor);
        } catch (const ErrorDatos&) {
            // The next refresh reads the table whole rather than fail the same way again.
            AlmacenInstantaneas::olvidar(uri, t);
            fresca_ = {};
            estado_.reset();
            throw;
        }
        if (leidos) {
            base->servidor = estado;
            if (claves.empty()) {
                // Other tables changed, or nothing did: the rows stay the very same, for the windows too.
                adoptar_servidor(t, uri, std::move(*base));
                return;
            }
            std::vector<int> quitadas, anadidas;
            nueva = nueva.con_cambios(claves, primera, quitadas, anadidas);
            // The new snapshot remembers the old one and its ancestors, each with every code changed since.
            AlmacenInstantaneas::Entrada entrada{Huella{}, nueva, 0, {}, {}, estado, {}};
            entrada.linaje.emplace_back(base->instantanea.identidad(), claves);
            for (const auto& [antepasado, antes] : base->linaje) {
                if (entrada.linaje.size() >= antepasados)
                    break;
                std::vector<qint64> todas;
                std::set_union(antes.begin(), antes.end(), claves.begin(), claves.end(), std::back_inserter(todas));
                if (todas.size() > claves_recordadas)
                    break;
                entrada.linaje.emplace_back(antepasado, std::move(todas));
            }
            adoptar_servidor(t, uri, std::move(entrada),
                             CambioInstantanea{base->instantanea, std::move(quitadas), std::move(anadidas)});
            return;
        }
    }
    // The changes are not known: the table is read whole, the old rows let go first.
    base.reset();
    vaciar_instantanea();
    AlmacenInstantaneas::olvidar(uri, t);
    auto filas = std::make_shared<Filas>();
    leer_tabla(lectura, t, *filas);
    vista_ = Instantanea(std::move(filas));
    fresca_ = vista_;
    origen_vista_ = vista_.identidad();
    tabla_ = &t;
    ruta_abierta_ = uri;
    abierto_ = true;
    error_apertura_.clear();
    estado_ = estado;
    AlmacenInstantaneas::guardar(uri, t, {Huella{}, fresca_, 0, {}, {}, estado, {}});
}
