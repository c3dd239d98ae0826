#pragma once

#include "data/inventario_nuevo.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Components go into the new file from a thread of their own while libmdb reads the next rows on the caller's
// thread: reading and writing take about the same time, and the machine has a core for each. Rows travel in
// batches that own their texts, and keep their order. A failure of the writing comes back to the caller at its next
// call. libmdb is only ever used from the caller's thread; the file only from the writer's until `terminar`.
class EscrituraParalela {
public:
    explicit EscrituraParalela(InventarioNuevo& destino);
    EscrituraParalela(const EscrituraParalela&) = delete;
    EscrituraParalela& operator=(const EscrituraParalela&) = delete;
    // Without `terminar`, the rows not yet written are dropped.
    ~EscrituraParalela();

    // Copies the component (its texts too) for the writer. Throws the writer's failure.
    void anadir(const InventarioNuevo::Componente& c);
    // Waits until every row is written. Throws the writer's failure.
    void terminar();

private:
    struct Fila {
        InventarioNuevo::Componente c;
        qsizetype textos[3][2]; // start and length in the batch's texts: model, serial number, description
    };
    struct Lote {
        QByteArray textos;
        std::vector<Fila> filas;
    };

    void enviar();
    void escribir();
    void lanzar_fallo();

    InventarioNuevo& destino_;
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
