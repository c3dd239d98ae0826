#include "importar/tuberia_filas.h"

namespace {

constexpr std::size_t filas_por_lote = 1024;
constexpr std::size_t lotes_en_camino = 4;

} // namespace

TuberiaFilas::TuberiaFilas(int columnas, std::function<void(const Celda*)> tratar)
    : columnas_(columnas), tratar_(std::move(tratar)), actual_(lote_nuevo()), hilo_([this] { trabajar(); }) {}

TuberiaFilas::~TuberiaFilas() {
    {
        std::lock_guard<std::mutex> cerrojo(mutex_);
        parar_ = true;
    }
    cambio_.notify_all();
    if (hilo_.joinable())
        hilo_.join();
}

std::unique_ptr<TuberiaFilas::Lote> TuberiaFilas::lote_nuevo() {
    auto lote = std::make_unique<Lote>();
    lote->celdas.resize(filas_por_lote * std::size_t(columnas_));
    return lote;
}

void TuberiaFilas::anadir(const std::vector<Celda>& fila) {
    Celda* destino = actual_->celdas.data() + actual_->filas * std::size_t(columnas_);
    for (int i = 0; i < columnas_; ++i) {
        const Celda& c = fila[i];
        Celda& d = destino[i];
        d.clase = c.clase;
        d.numero = c.numero;
        d.logico = c.logico;
        // Emptied, not freed: the batch's earlier rows made the room.
        d.texto.resize(0);
        d.texto.append(c.texto.constData(), c.texto.size());
    }
    if (++actual_->filas == filas_por_lote)
        enviar();
}

void TuberiaFilas::enviar() {
    std::unique_lock<std::mutex> cerrojo(mutex_);
    cambio_.wait(cerrojo, [this] { return llenos_.size() < lotes_en_camino || fallo_; });
    if (fallo_) {
        cerrojo.unlock();
        lanzar_fallo();
    }
    llenos_.push_back(std::move(actual_));
    if (libres_.empty()) {
        cerrojo.unlock();
        actual_ = lote_nuevo();
    } else {
        actual_ = std::move(libres_.back());
        libres_.pop_back();
        cerrojo.unlock();
    }
    cambio_.notify_all();
}

void TuberiaFilas::terminar() {
    if (actual_->filas > 0)
        enviar();
    {
        std::lock_guard<std::mutex> cerrojo(mutex_);
        fin_ = true;
    }
    cambio_.notify_all();
    hilo_.join();
    if (fallo_)
        std::rethrow_exception(fallo_);
}

void TuberiaFilas::lanzar_fallo() {
    {
        std::lock_guard<std::mutex> cerrojo(mutex_);
        parar_ = true;
    }
    cambio_.notify_all();
    hilo_.join();
    std::rethrow_exception(fallo_);
}

void TuberiaFilas::trabajar() {
    for (;;) {
        std::unique_ptr<Lote> lote;
        {
            std::unique_lock<std::mutex> cerrojo(mutex_);
            cambio_.wait(cerrojo, [this] { return parar_ || fin_ || !llenos_.empty(); });
            if (parar_ || (llenos_.empty() && fin_))
                return;
            lote = std::move(llenos_.front());
            llenos_.pop_front();
        }
        cambio_.notify_all();
        try {
            for (std::size_t f = 0; f < lote->filas; ++f)
                tratar_(lote->celdas.data() + f * std::size_t(columnas_));
        } catch (...) {
            std::lock_guard<std::mutex> cerrojo(mutex_);
            fallo_ = std::current_exception();
            cambio_.notify_all();
            return;
        }
        lote->filas = 0;
        std::lock_guard<std::mutex> cerrojo(mutex_);
        libres_.push_back(std::move(lote));
    }
}
