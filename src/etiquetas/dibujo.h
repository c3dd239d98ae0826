#pragma once

#include "etiquetas/formato.h"

#include <QRectF>
#include <QString>
#include <functional>
#include <vector>

class QPainter;
class QPrinter;

// What one label tells about its component.
struct DatosEtiqueta {
    QString codigo;
    QString tipo;
    QString marca;
    QString modelo;
    QString serie;
    // Who has it, or where it is, printed as a line of its own at the foot when not empty.
    QString titular;
};

// The labels of a print: how many, and the one at each place, read only when it is drawn, so a long list is never
// copied.
struct Tanda {
    int cuantas = 0;
    std::function<DatosEtiqueta(int)> etiqueta;

    // The labels of `lista`, which must outlive the batch.
    static Tanda de(const std::vector<DatosEtiqueta>& lista) {
        return {int(lista.size()), [&lista](int n) { return lista[size_t(n)]; }};
    }
};

// Drawing labels: one label on any device, and whole prints on a printer (or a PDF file).
namespace DibujoEtiquetas {

// The narrowest bar a cheap scanner still reads, in millimetres.
constexpr double barra_minima_mm = 0.25;

// Paints one label into `sitio` (device units), the device having `px_mm` units to a millimetre: the user's line
// on top when there is one, the QR code on the left, the code in large digits, type and brand, model, serial
// number, and the Code 128 bar code when its bars can be wide enough to be read (otherwise the QR alone); the
// holder's line at the foot when the label has one.
void pintar(QPainter& pintor, const QRectF& sitio, double px_mm, const DatosEtiqueta& datos, const QString& linea);

// Whether the label of this size and this code carries the bar code besides the QR code.
bool lleva_barras(const QSizeF& etiqueta_mm, const QString& codigo, bool con_linea);

// The printer takes the layout's paper, the whole page, no margins of its own.
void preparar_impresora(QPrinter& impresora, const Formato& f);

// Paints every label on `impresora`, already prepared, from the position `inicio` of the first page. `seguir` is
// asked after each label with how many are done; false stops the print. True when every label was painted. A PDF
// file is written aside and put in place only when complete: a stopped or failed print leaves the file as it was.
bool imprimir(QPrinter& impresora, const Formato& f, int inicio, const QString& linea, const Tanda& tanda,
              const std::function<bool(int)>& seguir = {});

} // namespace DibujoEtiquetas
