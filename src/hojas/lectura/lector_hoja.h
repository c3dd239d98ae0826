#pragma once

#include "hojas/celda_hoja.h"

#include <QString>
#include <array>
#include <vector>

// Reads one sheet of a spreadsheet file: XLSX and ODS through liborcus (its streaming import interface, with no
// document model), CSV through liborcus's CSV parser after the encoding and separator are known, and old XLS
// through libfreexl. Only the sheet asked for keeps its cells. Runs in the reading child process: a damaged file
// may crash a reader there, never the program. Every failure it detects throws ErrorDatos, in the user's words.
namespace LectorHoja {

struct Opciones {
    QString hoja;         // the sheet's name; empty: the first
    QString separador;    // CSV: empty to detect it
    QString codificacion; // CSV: empty to detect it, "UTF-8" or "Windows-1252"
};

// The most cells a sheet may have, and the columns and rows read of it.
constexpr qint64 celdas_maximas = 20'000'000;
constexpr int columnas_maximas = 256;
constexpr qint64 filas_maximas = 1'048'576;

DatosHoja leer(const QString& ruta, const Opciones& opciones);

// Internals shared by the readers of each format.
DatosHoja leer_orcus(const QString& ruta, const QByteArray& bytes, bool ods, const Opciones& opciones);
// The XLSX package rebuilt the way liborcus reads it (relative paths, texts in the shared strings part), or
// nothing when it is so already.
QByteArray preparar_xlsx(const QByteArray& zip);
DatosHoja leer_csv(const QByteArray& bytes, const Opciones& opciones);
DatosHoja leer_xls(const QString& ruta, const Opciones& opciones);

// Keeps the cells of one sheet as they come, in any order, and gives them as rows.
class Celdas {
public:
    // False when the cell is beyond what is read; throws when the sheet is too large.
    CeldaHoja* en(qint64 fila, int columna);
    // Spreads each merged range's top-left value over the rest of it; gives how many ranges did.
    qint64 extender(const std::vector<std::array<qint64, 4>>& rangos);
    void a(DatosHoja& datos);

private:
    std::vector<std::vector<CeldaHoja>> filas_;
    qint64 cuenta_ = 0;
    int ancho_ = 0;
};

} // namespace LectorHoja
