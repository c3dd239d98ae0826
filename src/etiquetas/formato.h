#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

// A layout of labels on paper, in millimetres: a sheet with rows and columns of labels, or a continuous roll that
// takes one label per page.
struct Formato {
    QString clave;  // kept in the settings
    QString nombre; // shown to the user
    QSizeF papel;   // page size; for a roll, the width of the roll and the length cut for one label
    QSizeF etiqueta;
    QSizeF paso;     // distance from one label to the next, across and down
    QPointF primera; // top left corner of the first label
    int columnas = 1;
    int filas = 1;
    bool rollo = false;

    int por_pagina() const { return columnas * filas; }
    // Where the label at `posicion` of a page stands (0 is the top left one; left to right, then down).
    QRectF sitio(int posicion) const;
};

// Every layout offered, in the order shown.
const std::vector<Formato>& formatos();
// The layout of that key; the first when there is none.
const Formato& formato(const QString& clave);

// Where the labels of a print fall: the label `n` of the print (0 first), printed from the position `inicio` of the
// first page (0 is its top left label), goes to page `pagina` (0 first) at position `posicion`.
struct Colocacion {
    int pagina;
    int posicion;
};
Colocacion colocar(const Formato& f, int inicio, int n);
// The pages a print of `cuantas` labels from `inicio` takes.
int paginas(const Formato& f, int inicio, int cuantas);
