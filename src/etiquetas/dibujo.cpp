#include "etiquetas/dibujo.h"

#include "etiquetas/simbolo.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>
#include <cstdio>
#include <optional>

namespace {

// The parts of a label, in millimetres from its top left corner.
struct Partes {
    QRectF linea;
    QRectF titular;
    QRectF qr;
    QRectF codigo;
    QRectF detalles[3];
    QRectF barras; // empty when the bar code does not fit
};

constexpr double separacion_mm = 1.5;

Partes repartir(const QSizeF& etiqueta, int modulos_barras, bool con_linea, bool con_titular = false) {
    Partes p;
    const double margen = std::min(2.5, etiqueta.height() * 0.08);
    QRectF dentro(margen, margen, etiqueta.width() - 2 * margen, etiqueta.height() - 2 * margen);
    if (con_linea) {
        const double alto = dentro.height() * 0.14;
        p.linea = QRectF(dentro.topLeft(), QSizeF(dentro.width(), alto));
        dentro.setTop(dentro.top() + alto + separacion_mm / 2);
    }
    if (con_titular) {
        const double alto = dentro.height() * 0.14;
        p.titular = QRectF(QPointF(dentro.left(), dentro.bottom() - alto), QSizeF(dentro.width(), alto));
        dentro.setBottom(dentro.bottom() - alto - separacion_mm / 2);
    }
    const double lado = std::min(dentro.height(), dentro.width() * 0.4);
    p.qr = QRectF(dentro.left(), dentro.top() + (dentro.height() - lado) / 2, lado, lado);
    const QRectF derecha(p.qr.right() + separacion_mm, dentro.top(), dentro.right() - p.qr.right() - separacion_mm,
                         dentro.height());
    const double alto_codigo = derecha.height() * 0.28;
    p.codigo = QRectF(derecha.topLeft(), QSizeF(derecha.width(), alto_codigo));
    const bool barras = modulos_barras > 0 && derecha.width() / modulos_barras >= DibujoEtiquetas::barra_minima_mm;
    const double alto_detalle =
        barras ? derecha.height() * 0.12 : std::min(derecha.height() * 0.18, (derecha.height() - alto_codigo) / 3);
    for (int i = 0; i < 3; ++i)
        p.detalles[i] = QRectF(derecha.left(), p.codigo.bottom() + i * alto_detalle, derecha.width(), alto_detalle);
    if (barras)
        p.barras = QRectF(QPointF(derecha.left(), p.detalles[2].bottom() + separacion_mm / 2), derecha.bottomRight());
    return p;
}

QRectF escalar(const QRectF& mm, const QPointF& origen, double px_mm) {
    return QRectF(origen + mm.topLeft() * px_mm, mm.size() * px_mm);
}

// A font whose letters fill `alto` device units; smaller, if needed, so `texto` fits `ancho`.
QFont letra(QPainter& pintor, double alto, bool negrita, const QString& texto = {}, double ancho = 0) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(negrita);
    f.setPixelSize(std::max(1, int(alto * 0.8)));
    if (!texto.isEmpty() && ancho > 0) {
        const double medida = QFontMetricsF(f, pintor.device()).horizontalAdvance(texto);
        if (medida > ancho)
            f.setPixelSize(std::max(1, int(f.pixelSize() * ancho / medida)));
    }
    return f;
}

void texto(QPainter& pintor, const QRectF& sitio, const QString& t, Qt::Alignment alineacion) {
    const QString recortado =
        QFontMetricsF(pintor.font(), pintor.device()).elidedText(t, Qt::ElideRight, sitio.width());
    pintor.drawText(sitio, int(alineacion | Qt::AlignVCenter) | Qt::TextSingleLine, recortado);
}

int modulos_code128(const QString& codigo) {
    const std::optional<Simbolo> barras = Simbolo::crear(Simbolo::Clase::code128, codigo);
    return barras ? int(barras->ancho()) : 0;
}

} // namespace

namespace DibujoEtiquetas {

bool lleva_barras(const QSizeF& etiqueta_mm, const QString& codigo, bool con_linea) {
    return !repartir(etiqueta_mm, modulos_code128(codigo), con_linea).barras.isEmpty();
}

void pintar(QPainter& pintor, const QRectF& sitio, double px_mm, const DatosEtiqueta& datos, const QString& linea) {
    const std::optional<Simbolo> barras = Simbolo::crear(Simbolo::Clase::code128, datos.codigo);
    const Partes p =
        repartir(sitio.size() / px_mm, barras ? int(barras->ancho()) : 0, !linea.isEmpty(), !datos.titular.isEmpty());
    const QPointF origen = sitio.topLeft();
    pintor.save();
    pintor.setPen(Qt::black);
    if (!linea.isEmpty()) {
        const QRectF r = escalar(p.linea, origen, px_mm);
        pintor.setFont(letra(pintor, r.height(), true));
        texto(pintor, r, linea, Qt::AlignHCenter);
    }
    if (const std::optional<Simbolo> qr = Simbolo::crear(Simbolo::Clase::qr, datos.codigo))
        qr->pintar(pintor, escalar(p.qr, origen, px_mm));
    const QRectF r_codigo = escalar(p.codigo, origen, px_mm);
    pintor.setFont(letra(pintor, r_codigo.height(), true, datos.codigo, r_codigo.width()));
    texto(pintor, r_codigo, datos.codigo, Qt::AlignLeft);
    const QString detalles[3] = {
        datos.marca.isEmpty() ? datos.tipo : datos.tipo + QStringLiteral(" · ") + datos.marca,
        datos.modelo,
        datos.serie.isEmpty() ? QString() : QStringLiteral("Nº serie: ") + datos.serie,
    };
    pintor.setFont(letra(pintor, p.detalles[0].height() * px_mm, false));
    for (int i = 0; i < 3; ++i)
        texto(pintor, escalar(p.detalles[i], origen, px_mm), detalles[i], Qt::AlignLeft);
    if (barras && !p.barras.isEmpty())
        barras->pintar(pintor, escalar(p.barras, origen, px_mm));
    if (!datos.titular.isEmpty()) {
        const QRectF r = escalar(p.titular, origen, px_mm);
        pintor.setFont(letra(pintor, r.height(), false));
        texto(pintor, r, datos.titular, Qt::AlignHCenter);
    }
    pintor.restore();
}

void preparar_impresora(QPrinter& impresora, const Formato& f) {
    impresora.setFullPage(true);
    impresora.setPageLayout(QPageLayout(QPageSize(f.papel, QPageSize::Millimeter), QPageLayout::Portrait,
                                        QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

namespace {

bool pintar_paginas(QPrinter& impresora, const Formato& f, int inicio, const QString& linea, const Tanda& tanda,
                    const std::function<bool(int)>& seguir) {
    QPainter pintor;
    if (!pintor.begin(&impresora))
        return false;
    // A print preview paints into pictures, one per page.
    const bool vista_previa = pintor.paintEngine()->type() == QPaintEngine::Picture;
    // The paper's top left corner is the origin: the layout's millimetres turn into device units.
    const QRectF papel = impresora.paperRect(QPrinter::DevicePixel);
    const double px_mm = papel.width() / f.papel.width();
    const QPointF origen = papel.topLeft() - impresora.pageRect(QPrinter::DevicePixel).topLeft();
    int pagina = 0;
    for (int n = 0; n < tanda.cuantas; ++n) {
        const Colocacion c = colocar(f, inicio, n);
        for (; pagina < c.pagina; ++pagina)
            impresora.newPage();
        const QRectF sitio = f.sitio(c.posicion);
        pintar(pintor, QRectF(origen + sitio.topLeft() * px_mm, sitio.size() * px_mm), px_mm, tanda.etiqueta(n), linea);
        if (seguir && !seguir(n + 1)) {
            // A printer drops the job; a PDF file aside is removed. A preview keeps the pages painted so far: its
            // window still shows them, and dropping them would leave it drawing pages that are gone.
            if (!vista_previa)
                impresora.abort();
            pintor.end();
            return false;
        }
    }
    return pintor.end();
}

} // namespace

bool imprimir(QPrinter& impresora, const Formato& f, int inicio, const QString& linea, const Tanda& tanda,
              const std::function<bool(int)>& seguir) {
    const QString archivo = impresora.outputFormat() == QPrinter::PdfFormat ? impresora.outputFileName() : QString();
    if (archivo.isEmpty())
        return pintar_paginas(impresora, f, inicio, linea, tanda, seguir);
    // A PDF is written beside the chosen file and replaces it only when complete. A preview paints without writing
    // any file, so the file aside exists only after a real print.
    const QString aparte = archivo + QStringLiteral(".parcial.pdf");
    QFile::remove(aparte);
    impresora.setOutputFileName(aparte);
    const bool completa = pintar_paginas(impresora, f, inicio, linea, tanda, seguir);
    impresora.setOutputFileName(archivo);
    if (!QFile::exists(aparte))
        return completa;
    if (completa && std::rename(QFile::encodeName(aparte).constData(), QFile::encodeName(archivo).constData()) == 0)
        return true;
    QFile::remove(aparte);
    return false;
}

} // namespace DibujoEtiquetas
