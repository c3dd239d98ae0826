#include "importar/escritura_paralela.h"

namespace {

constexpr std::size_t filas_por_lote = 2048;
constexpr std::size_t lotes_en_camino = 4;

} // namespace

EscrituraParalela::EscrituraParalela(InventarioNuevo& destino)
    : destino_(destino), actual_(std::make_unique<Lote>()), hilo_([this] { escribir(); }) {
    actual_->filas.reserve(filas_por_lote);
}

EscrituraParalela::~EscrituraParalela() {
    {
        std::lock_guard<std::mutex> cerrojo(mutex_);
        parar_ = true;
    }
    cambio_.notify_all();
    if (hilo_.joinable())
        hilo_.join();
}

void EscrituraParalela::anadir(const InventarioNuevo::Componente& c) {
    Fila f{c, {}};
    const QByteArrayView textos[3] = {c.modelo, c.num_serie, c.descripcion};
    for (int i = 0; i < 3; ++i) {
        f.textos[i][0] = actual_->textos.size();
        f.textos[i][1] = textos[i].size();
        actual_->textos.append(textos[i]);
    }
    actual_->filas.push_back(f);
    if (actual_->filas.size() >= filas_por_lote)
        enviar();
}

void EscrituraParalela::enviar() {
    std::unique_lock<std::mutex> cerrojo(mutex_);
    cambio_.wait(cerrojo, [this] { return llenos_.size() < lotes_en_camino || fallo_; });
    if (fallo_) {
        cerrojo.unlock();
        lanzar_fallo();
    }
    llenos_.push_back(std::move(actual_));
    if (libres_.empty()) {
        actual_ = std::make_unique<Lote>();
        actual_->filas.reserve(filas_por_lote);
    } else {
        actual_ = std::move(libres_.back());
        libres_.pop_back();
    }
    cerrojo.unlock();
    cambio_.notify_all();
}

void EscrituraParalela::terminar() {
    if (!actual_->filas.empty())
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

void EscrituraParalela::lanzar_fallo() {
    {
        std::lock_guard<std::mutex> cerrojo(mutex_);
        parar_ = true;
    }
    cambio_.notify_all();
    hilo_.join();
    std::rethrow_exception(fallo_);
}

void EscrituraParalela::escribir() {
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
            for (Fila& f : lote->filas) {
                QByteArrayView* textos[3] = {&f.c.modelo, &f.c.num_serie, &f.c.descripcion};
                for (int i = 0; i < 3; ++i)
                    *textos[i] = QByteArrayView(lote->textos).sliced(f.textos[i][0], f.textos[i][1]);
                destino_.anadir_componente(f.c);
            }
        } catch (...) {
            std::lock_guard<std::mutex> cerrojo(mutex_);
            fallo_ = std::current_exception();
            cambio_.notify_all();
            return;
        }
        lote->filas.clear();
        lote->textos.resize(0);
        std::lock_guard<std::mutex> cerrojo(mutex_);
        libres_.push_back(std::move(lote));
    }
}
