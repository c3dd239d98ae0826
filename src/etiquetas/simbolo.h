#pragma once

#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

class QPainter;

// A barcode symbol made by libzint: its dark modules as rectangles, in module units, quiet zones included, so it
// can be drawn at any size on any device.
class Simbolo {
public:
    enum class Clase { qr, code128 };

    // The symbol of `texto`; no value when the library cannot encode it.
    static std::optional<Simbolo> crear(Clase clase, const QString& texto);

    // Width and height in modules, quiet zones included.
    double ancho() const { return ancho_; }
    double alto() const { return alto_; }
    // Paints the symbol filling `donde`: a QR keeps its modules square and stands centred; a bar code stretches
    // its bars to the height of `donde`.
    void pintar(QPainter& pintor, const QRectF& donde) const;

private:
    Clase clase_ = Clase::qr;
    double ancho_ = 0;
    double alto_ = 0;
    std::vector<QRectF> modulos_;
};
