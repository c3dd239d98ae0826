#pragma once

#include "hojas/celda_hoja.h"

#include <QDate>
#include <QString>
#include <optional>

// Cells read as people write them in a spreadsheet. Each reading gives the value, or nothing when the cell cannot
// be read so (the import then tells the row).
namespace ValoresHoja {

// Letter case, accents and blanks around do not count: "  Ratón " and "raton" are the same name.
QString plegar(const QString& texto);

// A date cell; a serial number (days from 30/12/1899); text "dd/mm/yyyy" (also with "-" or "."), "yyyy-mm-dd"
// (a time after it aside) or the digits of a serial number.
std::optional<QDate> fecha(const CeldaHoja& c);
// Months of warranty: a number, "24", "24 meses", "2 años", "36 months", "1 year"; an empty cell is 0.
std::optional<double> garantia(const CeldaHoja& c);
// Si, Sí, S, Yes, X, 1, true, Verdadero are true; No, N, 0, false, Falso and an empty cell are false.
std::optional<bool> renting(const CeldaHoja& c);
// A code: a whole number, as a number or as digits.
std::optional<qint64> codigo(const CeldaHoja& c);
// A text field: the cell as the user reads it, blanks around taken away.
QString texto(const CeldaHoja& c);

} // namespace ValoresHoja
