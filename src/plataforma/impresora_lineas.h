#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <memory>

class QPrinter;

// A printer used as a line device: a document is started, receives one line at a time and is handed to the printer
// when it ends. Failures are thrown as ErrorDatos with the reason in the user's words.
class ImpresoraLineas {
public:
    virtual ~ImpresoraLineas() = default;
    virtual void empezar() = 0;
    virtual void linea(const QString& texto) = 0;
    virtual void terminar() = 0;
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

private:
    void escribir(const QString& trozo);

    QPrinter& impresora_;
    std::unique_ptr<QPainter> pintor_;
    int y_ = 0;
    int alto_linea_ = 0;
    int ascenso_ = 0;
    int caracteres_por_linea_ = 0;
};

// Keeps the lines of every document, for tests.
class ImpresoraMemoria : public ImpresoraLineas {
public:
    void empezar() override { documentos.append(QStringList()); }
    void linea(const QString& texto) override { documentos.last().append(texto); }
    void terminar() override { ++terminados; }

    QList<QStringList> documentos;
    int terminados = 0;
};
