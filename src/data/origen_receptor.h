#pragma once

// What the data source's files share: the receiver that takes the rows an engine reads into a snapshot's rows.
#include "data/origen_datos.h"

#include <algorithm>

// Takes the rows an engine reads into a snapshot's rows.
struct OrigenDatos::Receptor : ReceptorFilas {
    Filas& f;
    const Tabla& t;
    int columna = 0;
    Receptor(Filas& filas, const Tabla& tabla) : f(filas), t(tabla) { f.columnas = t.numero_columnas(); }

    void reservar(qint64 filas, qint64 bytes_textos) override {
        f.celdas.reserve(static_cast<size_t>(filas) * f.columnas);
        f.rowids.reserve(filas);
        f.nulos.reserve(filas);
        // Reserving the texts' room up front reads them without ever moving what was read, and the part never
        // used costs no memory.
        f.textos.reserve(static_cast<size_t>(std::clamp<qint64>(bytes_textos, 0, 1LL << 32)));
    }
    void fila(qint64 identidad) override {
        f.rowids.push_back(identidad);
        f.nulos.push_back(0);
        columna = 0;
    }
    void entero(qint64 valor) override {
        Celda c{};
        c.entero = valor;
        poner(c);
    }
    void real(double valor) override {
        Celda c{};
        c.real = valor;
        poner(c);
    }
    void texto(const char* datos, std::size_t longitud) override {
        // A date the engine could only give as a text (an infinite one on a server) is no day: it is listed empty.
        if (t.columnas[columna].clase == Clase::fecha) {
            nulo();
            return;
        }
        Celda c{};
        f.anadir_texto(c, datos, longitud, t.nombre);
        poner(c);
    }
    void nulo() override {
        f.nulos.back() |= quint16(1u << columna);
        poner(Celda{});
    }
    void codigo_no_entero() override { f.codigos_enteros = false; }
    void poner(const Celda& c) {
        f.celdas.push_back(c);
        ++columna;
    }
};
