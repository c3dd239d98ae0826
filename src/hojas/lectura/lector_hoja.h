#pragma once

#include "hojas/celda_hoja.h"

#include <QString>
#include <array>
#include <functional>
#include <map>
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
    // When set, the readers that meet the rows in order (XLSX, ODS, CSV) hand each row to it as soon as the next
    // one starts, and keep none: the rows are then not in the DatosHoja given. A cell that comes after its row was
    // handed over is handed over later as a row of its own with the same number, to be laid over the first, and
    // the merged ranges are left in `rangos` for the receiver to spread.
    std::function<void(const FilaHoja&)> al_leer;
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
    using Salida = std::function<void(const FilaHoja&)>;
    // From then on, a cell in a later row hands the rows before it to `salida`, which keeps memory to the rows
    // still being filled; a cell of a row already handed over is kept apart and handed over at the end.
    void emitir(Salida salida) { salida_ = std::move(salida); }
    bool emitiendo() const { return bool(salida_); }
    // False when the cell is beyond what is read; throws when the sheet is too large. `fin_de_filas`: the cell
    // ends the rows above it (false for cells filled from another one, as repeated rows are).
    CeldaHoja* en(qint64 fila, int columna, bool fin_de_filas = true);
    // Spreads each merged range's top-left value over the rest of it; gives how many ranges did.
    qint64 extender(const std::vector<std::array<qint64, 4>>& rangos);
    // The rows kept, into `datos`; when emitting, the rest handed to the output.
    void a(DatosHoja& datos);
    // Called with each row just before it is handed over or given, to finish its cells.
    std::function<void(qint64 fila, std::vector<CeldaHoja>&)> al_terminar_fila;

private:
    std::vector<CeldaHoja>& crecer(std::vector<CeldaHoja>& f, int columna);
    void soltar(qint64 hasta);
    void dar(qint64 fila, std::vector<CeldaHoja>& f);
    // filas_[i] is row base_ + i (from 0).
    std::vector<std::vector<CeldaHoja>> filas_;
    qint64 base_ = 0;
    std::map<qint64, std::vector<CeldaHoja>> tardias_;
    Salida salida_;
    qint64 cuenta_ = 0;
    int ancho_ = 0;
};

} // namespace LectorHoja
