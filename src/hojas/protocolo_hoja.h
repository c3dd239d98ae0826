#pragma once

#include "hojas/celda_hoja.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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
    // When set, each row goes to it as it comes instead of being kept in `datos`, and the end only tells what it
    // would have changed in rows already given: `filas_cambiadas` for a late cell, a merged range or a number
    // that turned out to be a date of another day than its serial number gives; `columnas_fecha` the columns
    // where numbers turned out to be dates of the day their serial number gives.
    std::function<void(FilaHoja&&)> al_recibir;
    bool filas_cambiadas = false;
    std::vector<bool> columnas_fecha;

private:
    void linea(const char* p, qsizetype n);
    void fila(FilaHoja&& f);
    CeldaHoja texto_de(std::size_t columna, QByteArrayView b);
    void terminar();
    QByteArray pendiente_;
    struct Clave {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct Repetidos {
        std::unordered_map<std::string, QString, Clave, std::equal_to<>> textos;
        qsizetype aciertos = 0;
        bool apagado = false;
    };
    std::vector<Repetidos> repetidos_;
    // With `al_recibir`: the greatest row number given, and each column's number formats seen, with whether all
    // their numbers were serial ones.
    qint64 ultima_ = 0;
    std::map<std::pair<std::size_t, std::uint32_t>, bool> formatos_vistos_;
};

} // namespace ProtocoloHoja
