#include "etiquetas/simbolo.h"

#include <QPainter>
#include <memory>
#include <zint.h>

namespace {
struct BorrarSimbolo {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
} // namespace

std::optional<Simbolo> Simbolo::crear(Clase clase, const QString& texto) {
    const std::unique_ptr<zint_symbol, BorrarSimbolo> zint(ZBarcode_Create());
    if (!zint || texto.isEmpty())
        return std::nullopt;
    zint->symbology = clase == Clase::qr ? BARCODE_QRCODE : BARCODE_CODE128;
    // The readers need the blank margin each symbology asks for; the digits are printed by the label itself.
    zint->output_options |= BARCODE_QUIET_ZONES;
    zint->show_hrt = 0;
    zint->scale = 1;
    if (clase == Clase::qr)
        zint->option_1 = 2; // error correction M: survives a scratched label
    const QByteArray datos = texto.toUtf8();
    const int codificado =
        ZBarcode_Encode(zint.get(), reinterpret_cast<const unsigned char*>(datos.constData()), int(datos.size()));
    if (codificado >= ZINT_ERROR || ZBarcode_Buffer_Vector(zint.get(), 0) >= ZINT_ERROR || !zint->vector)
        return std::nullopt;
    Simbolo simbolo;
    simbolo.clase_ = clase;
    // The library's vector output measures two units to a module at scale 1.
    const double unidad = 2.0 * zint->scale;
    simbolo.ancho_ = zint->vector->width / unidad;
    simbolo.alto_ = zint->vector->height / unidad;
    for (const zint_vector_rect* r = zint->vector->rectangles; r; r = r->next)
        simbolo.modulos_.emplace_back(r->x / unidad, r->y / unidad, r->width / unidad, r->height / unidad);
    return simbolo;
}

void Simbolo::pintar(QPainter& pintor, const QRectF& donde) const {
    if (ancho_ <= 0 || alto_ <= 0)
        return;
    double sx = donde.width() / ancho_;
    double sy = donde.height() / alto_;
    QPointF origen = donde.topLeft();
    if (clase_ == Clase::qr) {
        sx = sy = std::min(sx, sy);
        origen += QPointF((donde.width() - ancho_ * sx) / 2, (donde.height() - alto_ * sy) / 2);
    }
    pintor.save();
    pintor.setPen(Qt::NoPen);
    pintor.setBrush(Qt::black);
    for (const QRectF& m : modulos_)
        pintor.drawRect(QRectF(origen.x() + m.x() * sx, origen.y() + m.y() * sy, m.width() * sx, m.height() * sy));
    pintor.restore();
}
