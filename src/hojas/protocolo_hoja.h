#pragma once

#include "hojas/celda_hoja.h"

#include <QByteArray>
#include <QString>

// The lines the sheet reader (talvirenca-importar --leer-hoja, a child process) writes for whoever runs it, one fact
// per line in UTF-8: the sheets, what was detected in a CSV file, every row with its cells, and the end or the error.
// A cell is written as a letter for its kind and its value, tabs between cells; texts keep tabs and line breaks
// escaped. Rows come as they are read, in sheet order; a row with the number of one already given is laid over it.
namespace ProtocoloHoja {

QByteArray linea_hoja(const QString& nombre);
QByteArray linea_elegida(int indice);
QByteArray linea_csv(const QString& separador, const QString& codificacion);
QByteArray linea_combinadas(qint64 n);
// How many rows follow, so the reader makes room for them at once.
QByteArray linea_filas(qint64 filas);
QByteArray linea_fila(const FilaHoja& fila);
// A merged range whose value the runner spreads once all rows are in: first row, first column, last row, last
// column, from 0.
QByteArray linea_rango(const std::array<qint64, 4>& r);
// Which number formats show dates, and their day zero, for numbers sent with their format.
QByteArray linea_fechas(qint64 dia_cero, const std::vector<std::uint32_t>& formatos);
QByteArray linea_error(const QString& texto);
QByteArray linea_fin(qint64 filas);

// What the runner has learnt from the lines read so far. Feed it the bytes as they come.
class Lectura {
public:
    void anadir(const QByteArray& bytes);
    DatosHoja datos;
    QString error;
    bool terminado = false;
    // What changed in rows already given, for whoever worked on them as they came: `filas_cambiadas` when a
    // late cell or a merged range changed one; `columnas_fecha` the columns where numbers turned out to be dates
    // of the same day their serial number gives.
    bool filas_cambiadas = false;
    std::vector<bool> columnas_fecha;

private:
    void linea(const char* p, qsizetype n);
    void fila(FilaHoja&& f);
    void terminar();
    QByteArray pendiente_;
};

} // namespace ProtocoloHoja
