#pragma once

#include "importar/lector_access.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Rows read by libmdb on the caller's thread are handled (decided and written to the new file) on a thread of its
// own: reading and writing take about the same time, and the machine has a core for each. Rows travel in order, in
// batches that keep their texts side by side in one buffer; batches are reused, so that room is already made.
// libmdb is only used from the caller's thread; whatever `tratar` touches, only from the other until `terminar`
// returns.
class TuberiaFilas {
public:
    // `tratar` gets `filas` rows of `columnas` cells each, one after the other; their texts live until it returns.
    TuberiaFilas(int columnas, std::function<void(const Celda* celdas, std::size_t filas)> tratar);
    TuberiaFilas(const TuberiaFilas&) = delete;
    TuberiaFilas& operator=(const TuberiaFilas&) = delete;
    // Without `terminar`, the rows not yet handled are dropped.
    ~TuberiaFilas();

    // Copies the row, texts included, for the other thread. Throws what `tratar` threw, if it did.
    void anadir(const Celda* fila);
    // Waits until every row is handled. Throws what `tratar` threw, if it did.
    void terminar();

private:
    struct Lote {
        std::vector<Celda> celdas;
        // Where each cell's text starts in `textos`: the buffer may move while it grows, so the cells are pointed
        // at it only when the batch is sent.
        std::vector<std::size_t> inicios;
        std::vector<char> textos;
        std::size_t filas = 0;
    };

    std::unique_ptr<Lote> lote_nuevo();
    void enviar();
    void trabajar();
    [[noreturn]] void lanzar_fallo();

    const int columnas_;
    std::function<void(const Celda*, std::size_t)> tratar_;
    std::unique_ptr<Lote> actual_;
    std::mutex mutex_;
    std::condition_variable cambio_;
    std::deque<std::unique_ptr<Lote>> llenos_;
    std::vector<std::unique_ptr<Lote>> libres_;
    std::exception_ptr fallo_;
    bool fin_ = false;
    bool parar_ = false;
    std::thread hilo_;
};
