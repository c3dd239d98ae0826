#pragma once

#include "hojas/celda_hoja.h"

#include <QByteArray>
#include <QString>

// The lines the sheet reader (talvirenca-importar --leer-hoja, a child process) writes for whoever runs it, one fact
// per line in UTF-8: the sheets, what was detected in a CSV file, every row with its cells, and the end or the error.
// A cell is written as a letter for its kind and its value, tabs between cells; texts keep tabs and line breaks
// escaped.
namespace ProtocoloHoja {

QByteArray linea_hoja(const QString& nombre);
QByteArray linea_elegida(int indice);
QByteArray linea_csv(const QString& separador, const QString& codificacion);
QByteArray linea_combinadas(qint64 n);
// How many rows follow, so the reader makes room for them at once.
QByteArray linea_filas(qint64 filas);
QByteArray linea_fila(const FilaHoja& fila);
QByteArray linea_error(const QString& texto);
QByteArray linea_fin(qint64 filas);

// What the runner has learnt from the lines read so far. Feed it the bytes as they come.
class Lectura {
public:
    void anadir(const QByteArray& bytes);
    DatosHoja datos;
    QString error;
    bool terminado = false;

private:
    void linea(const char* p, qsizetype n);
    QByteArray pendiente_;
};

} // namespace ProtocoloHoja
