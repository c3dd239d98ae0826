#include "plataforma/impresora_lineas.h"

#include "data/error_datos.h"

#include <QFile>
#include <QFontMetrics>
#include <QPrinter>
#include <cstdio>

ImpresoraPapel::ImpresoraPapel(QPrinter& impresora) : impresora_(impresora) {}
ImpresoraPapel::~ImpresoraPapel() = default;

void exigir_impresora_elegida(const QPrinter& impresora) {
    const bool pdf = impresora.outputFormat() == QPrinter::PdfFormat;
    if (pdf ? impresora.outputFileName().isEmpty() : impresora.printerName().isEmpty())
        throw ErrorDatos(QStringLiteral("no hay ninguna impresora elegida. Elija una impresora o un archivo PDF en "
                                        "Archivo, Configurar impresion."));
}

void ImpresoraPapel::empezar() {
    exigir_impresora_elegida(impresora_);
    const bool pdf = impresora_.outputFormat() == QPrinter::PdfFormat;
    archivo_ = pdf ? impresora_.outputFileName() : QString();
    aparte_.clear();
    if (pdf) {
        aparte_ = archivo_ + QStringLiteral(".parcial.pdf");
        QFile::remove(aparte_);
        impresora_.setOutputFileName(aparte_);
    }
    pintor_ = std::make_unique<QPainter>();
    if (!pintor_->begin(&impresora_)) {
        pintor_.reset();
        volver_al_archivo();
        throw ErrorDatos(QStringLiteral("no se puede imprimir en %1.").arg(pdf ? archivo_ : impresora_.printerName()));
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
    alto_pagina_ = impresora_.pageLayout().paintRectPixels(impresora_.resolution()).height();
    y_ = 0;
    pagina_ = 1;
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
    if (y_ + alto_linea_ > alto_pagina_) {
        if (!impresora_.newPage())
            throw ErrorDatos(QStringLiteral("la impresora no admite una página nueva."));
        y_ = 0;
        ++pagina_;
    }
    pintor_->drawText(0, y_ + ascenso_, trozo);
    y_ += alto_linea_;
}

void ImpresoraPapel::terminar() {
    if (pintor_ && !pintor_->end()) {
        pintor_.reset();
        cancelar();
        throw ErrorDatos(QStringLiteral("la impresora no ha aceptado el documento."));
    }
    pintor_.reset();
    if (impresora_.printerState() == QPrinter::Error) {
        cancelar();
        throw ErrorDatos(QStringLiteral("la impresora ha dado un error al imprimir."));
    }
    const QString aparte = aparte_;
    volver_al_archivo();
    if (!aparte.isEmpty() &&
        std::rename(QFile::encodeName(aparte).constData(), QFile::encodeName(archivo_).constData()) != 0) {
        QFile::remove(aparte);
        throw ErrorDatos(QStringLiteral("no se puede imprimir en %1.").arg(archivo_));
    }
}

void ImpresoraPapel::cancelar() {
    if (pintor_) {
        if (aparte_.isEmpty())
            impresora_.abort();
        pintor_->end();
        pintor_.reset();
    }
    if (!aparte_.isEmpty())
        QFile::remove(aparte_);
    volver_al_archivo();
}

void ImpresoraPapel::volver_al_archivo() {
    if (!aparte_.isEmpty())
        impresora_.setOutputFileName(archivo_);
    aparte_.clear();
}
