#include "importar/tuberia_filas.h"

namespace {

constexpr std::size_t filas_por_lote = 1024;
constexpr std::size_t lotes_en_camino = 4;

} // namespace

TuberiaFilas::TuberiaFilas(int columnas, std::function<void(const Celda*, std::size_t)> tratar)
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
    lote->inicios.resize(lote->celdas.size());
    lote->textos.reserve(filas_por_lote * 64);
    return lote;
}

void TuberiaFilas::anadir(const Celda* fila) {
    Lote& lote = *actual_;
    const std::size_t primera = lote.filas * std::size_t(columnas_);
    Celda* destino = lote.celdas.data() + primera;
    std::size_t* inicios = lote.inicios.data() + primera;
    for (int i = 0; i < columnas_; ++i) {
        destino[i] = fila[i];
        inicios[i] = lote.textos.size();
        lote.textos.insert(lote.textos.end(), fila[i].texto.begin(), fila[i].texto.end());
    }
    if (++lote.filas == filas_por_lote)
        enviar();
}

void TuberiaFilas::enviar() {
    Lote& lote = *actual_;
    for (std::size_t i = 0, n = lote.filas * std::size_t(columnas_); i < n; ++i)
        lote.celdas[i].texto = QByteArrayView(lote.textos.data() + lote.inicios[i], lote.celdas[i].texto.size());
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
            tratar_(lote->celdas.data(), lote->filas);
        } catch (...) {
            std::lock_guard<std::mutex> cerrojo(mutex_);
            fallo_ = std::current_exception();
            cambio_.notify_all();
            return;
        }
        lote->filas = 0;
        lote->textos.clear();
        std::lock_guard<std::mutex> cerrojo(mutex_);
        libres_.push_back(std::move(lote));
    }
}
