#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <memory>

class QPrinter;

// Throws ErrorDatos, saying where to choose one, when `impresora` is neither a printer nor a PDF file yet: starting
// a document on it would fail, and could leave it unable to take the user's choice afterwards.
void exigir_impresora_elegida(const QPrinter& impresora);

// A printer used as a line device: a document is started, receives one line at a time and is handed to the printer
// when it ends. Failures are thrown as ErrorDatos with the reason in the user's words.
class ImpresoraLineas {
public:
    virtual ~ImpresoraLineas() = default;
    virtual void empezar() = 0;
    virtual void linea(const QString& texto) = 0;
    virtual void terminar() = 0;
    // Abandons the document being printed: nothing reaches the printer and no file is left.
    virtual void cancelar() = 0;
    // The page the last line went to, from 1.
    virtual int pagina() const = 0;
};

// Paints the lines on a QPrinter (a real printer or a PDF file) in a fixed-pitch font: a full page continues on
// the next page, and a line wider than the page continues on the next printed line.
class ImpresoraPapel : public ImpresoraLineas {
public:
    explicit ImpresoraPapel(QPrinter& impresora);
    ~ImpresoraPapel() override;
    void empezar() override;
    void linea(const QString& texto) override;
    void terminar() override;
    void cancelar() override;
    int pagina() const override { return pagina_; }

private:
    void escribir(const QString& trozo);
    // Points the printer at the chosen file again, after a PDF was written beside it.
    void volver_al_archivo();

    QPrinter& impresora_;
    std::unique_ptr<QPainter> pintor_;
    // A PDF is written beside the chosen file and replaces it only once complete.
    QString archivo_;
    QString aparte_;
    int pagina_ = 1;
    int alto_pagina_ = 0;
    int y_ = 0;
    int alto_linea_ = 0;
    int ascenso_ = 0;
    int caracteres_por_linea_ = 0;
};

// Keeps the lines of every document, for tests.
// Keeps the lines of every document, for tests; a page holds `lineas_por_pagina` lines.
class ImpresoraMemoria : public ImpresoraLineas {
public:
    void empezar() override { documentos.append(QStringList()); }
    void linea(const QString& texto) override { documentos.last().append(texto); }
    void terminar() override { ++terminados; }
    void cancelar() override {
        if (!documentos.isEmpty())
            documentos.removeLast();
        ++cancelados;
    }
    int pagina() const override {
        return documentos.isEmpty() ? 1
                                    : int(std::max<qsizetype>(0, documentos.last().size() - 1)) / lineas_por_pagina + 1;
    }

    QList<QStringList> documentos;
    int terminados = 0;
    int cancelados = 0;
    int lineas_por_pagina = 60;
};
