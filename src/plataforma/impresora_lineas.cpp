#include "plataforma/impresora_lineas.h"

#include "data/error_datos.h"

#include <QFontMetrics>
#include <QPrinter>

ImpresoraPapel::ImpresoraPapel(QPrinter& impresora) : impresora_(impresora) {}
ImpresoraPapel::~ImpresoraPapel() = default;

void ImpresoraPapel::empezar() {
    const bool pdf = impresora_.outputFormat() == QPrinter::PdfFormat;
    if (pdf ? impresora_.outputFileName().isEmpty() : impresora_.printerName().isEmpty())
        throw ErrorDatos(QStringLiteral("no hay ninguna impresora elegida. Elija una impresora o un archivo PDF en "
                                        "Archivo, Configurar impresion."));
    pintor_ = std::make_unique<QPainter>();
    if (!pintor_->begin(&impresora_)) {
        pintor_.reset();
        throw ErrorDatos(QStringLiteral("no se puede imprimir en %1.")
                             .arg(pdf ? impresora_.outputFileName() : impresora_.printerName()));
    }
    QFont letra(QStringLiteral("DejaVu Sans Mono"));
    letra.setStyleHint(QFont::Monospace);
    letra.setPointSize(9);
    pintor_->setFont(letra);
    const QFontMetrics medidas(letra, &impresora_);
    alto_linea_ = medidas.lineSpacing();
    ascenso_ = medidas.ascent();
    const int ancho = impresora_.pageLayout().paintRectPixels(impresora_.resolution()).width();
    caracteres_por_linea_ = std::max(1, ancho / std::max(1, medidas.horizontalAdvance(QLatin1Char('M'))));
    y_ = 0;
}

void ImpresoraPapel::linea(const QString& texto) {
    if (texto.isEmpty()) {
        escribir(texto);
        return;
    }
    for (qsizetype inicio = 0; inicio < texto.size(); inicio += caracteres_por_linea_)
        escribir(texto.mid(inicio, caracteres_por_linea_));
}

void ImpresoraPapel::escribir(const QString& trozo) {
    const int alto = impresora_.pageLayout().paintRectPixels(impresora_.resolution()).height();
    if (y_ + alto_linea_ > alto) {
        if (!impresora_.newPage())
            throw ErrorDatos(QStringLiteral("la impresora no admite una página nueva."));
        y_ = 0;
    }
    pintor_->drawText(0, y_ + ascenso_, trozo);
    y_ += alto_linea_;
}

void ImpresoraPapel::terminar() {
    if (pintor_ && !pintor_->end()) {
        pintor_.reset();
        throw ErrorDatos(QStringLiteral("la impresora no ha aceptado el documento."));
    }
    pintor_.reset();
    if (impresora_.printerState() == QPrinter::Error)
        throw ErrorDatos(QStringLiteral("la impresora ha dado un error al imprimir."));
}
