// The data source on a server: a refresh reads only the rows changed since the latest snapshot this thread holds
// of the table, by comparing the server's snapshots of transactions (a change committed late is seen however its
// transaction's number compares with the others), and a write keeps that snapshot current when it was the only
// change since.
#include "data/origen_datos.h"

#include "data/origen_receptor.h"

#include <algorithm>
#include <memory>

void OrigenDatos::adoptar_servidor(const Tabla& t, const QString& uri, const Instantanea& nueva, quint64 padre,
                                   const std::vector<int>& quitadas, const std::vector<int>& anadidas,
                                   const EstadoServidor& estado) {
    tabla_ = &t;
    ruta_abierta_ = uri;
    columnas_ = t.numero_columnas();
    abierto_ = true;
    error_apertura_.clear();
    huella_.reset();
    estado_ = estado;
    tomar(nueva, padre, quitadas, anadidas);
    AlmacenInstantaneas::guardar(uri, t, {Huella{}, nueva, padre, quitadas, anadidas, estado});
}

void OrigenDatos::refrescar_servidor(Motor::Lectura& lectura, const Tabla& t, const QString& uri,
                                     const EstadoServidor& estado, bool misma_tabla) {
    // The newer of the snapshot the other sources of this thread share and this source's own.
    std::optional<AlmacenInstantaneas::Entrada> base = AlmacenInstantaneas::buscar_servidor(uri, t);
    if (misma_tabla && estado_ && !fresca_.vacia() && (!base || base->servidor->xmax < estado_->xmax))
        base = AlmacenInstantaneas::Entrada{Huella{}, fresca_, 0, {}, {}, estado_};
    if (!misma_tabla)
        vaciar_instantanea();
    if (base) {
        if (*base->servidor == estado) {
            // Nothing has happened on the server since: the same rows.
            adoptar_servidor(t, uri, base->instantanea, base->padre, base->quitadas, base->anadidas, estado);
            return;
        }
        Instantanea nueva = base->instantanea;
        Filas& propias = nueva.propias(t.numero_columnas());
        const quint32 primera = propias.numero();
        Receptor receptor(propias, t);
        std::vector<qint64> claves;
        if (lectura.leer_cambios(t, *base->servidor, claves, receptor)) {
            if (claves.empty()) {
                // Other tables changed, or nothing did: the rows stay the very same, for the windows too.
                adoptar_servidor(t, uri, base->instantanea, base->padre, base->quitadas, base->anadidas, estado);
                return;
            }
            std::vector<int> quitadas, anadidas;
            nueva = nueva.con_cambios(claves, primera, quitadas, anadidas);
            adoptar_servidor(t, uri, nueva, base->instantanea.identidad(), quitadas, anadidas, estado);
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
    tabla_ = &t;
    ruta_abierta_ = uri;
    abierto_ = true;
    error_apertura_.clear();
    estado_ = estado;
    AlmacenInstantaneas::guardar(uri, t, {Huella{}, fresca_, 0, {}, {}, estado});
}

bool OrigenDatos::derivar_servidor(Motor& motor, const std::vector<qint64>& quitados, std::optional<qint64> anadido) {
    if (fresca_.vacia() || !estado_)
        return false;
    try {
        const std::unique_ptr<Motor::Lectura> lectura = motor.empezar_lectura();
        const std::optional<EstadoServidor> despues = lectura->estado_servidor();
        if (!despues)
            return false;
        Instantanea nueva = fresca_;
        Filas& propias = nueva.propias(columnas_);
        const quint32 primera = propias.numero();
        Receptor receptor(propias, *tabla_);
        std::vector<qint64> claves;
        if (!lectura->leer_cambios(*tabla_, *estado_, claves, receptor)) {
            fresca_ = {};
            estado_.reset();
            return false;
        }
        std::vector<qint64> propios = quitados;
        if (anadido)
            propios.push_back(*anadido);
        std::sort(propios.begin(), propios.end());
        propios.erase(std::unique(propios.begin(), propios.end()), propios.end());
        // Someone else changed rows meanwhile: the rows as read stay kept, and the next refresh brings every change.
        if (claves != propios)
            return false;
        const quint64 padre = fresca_.identidad();
        std::vector<int> quitadas, anadidas;
        fresca_ = nueva.con_cambios(claves, primera, quitadas, anadidas);
        estado_ = despues;
        AlmacenInstantaneas::guardar(ruta_abierta_, *tabla_, {Huella{}, fresca_, padre, quitadas, anadidas, despues});
        return true;
    } catch (const std::exception&) {
        // The write is stored; the next refresh finds the changes from the latest snapshot shared, or reads whole.
        fresca_ = {};
        estado_.reset();
        return false;
    }
}
