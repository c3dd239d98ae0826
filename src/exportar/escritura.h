#pragma once

#include "exportar/tabla_exportar.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <functional>

// Writing a table to a file, without any window. Files are written under a temporary name in the destination folder
// and renamed at the end, so a failure or a cancel leaves the destination as it was. Failures are thrown as
// ErrorDatos with the reason and the path.
namespace Escritura {

enum class Formato { csv, xlsx };

// Told how many rows are written every so often (all of them, repeatedly, while the file is being finished); returns
// false to stop (a cancel).
using Avance = std::function<bool(int hechas)>;
// The most rows an XLSX sheet holds under its header.
constexpr int filas_xlsx = 1048575;
// Rows between two calls of the progress function.
constexpr int filas_por_avance = 4096;

// Appends one CSV field to `salida` in UTF-8, quoted as RFC 4180 asks when it holds ";", a quote or a line break.
void anadir_campo_csv(QByteArray& salida, QStringView texto);

// Writes `tabla` to `ruta`. True when written; false when `avance` asked to stop (nothing is left behind then).
bool escribir(const TablaExportar& tabla, Formato formato, const QString& ruta, const Avance& avance = {});

// The file's format by its name's ending (".csv", ".xlsx", any letter case); `defecto` for any other name.
Formato formato_de_nombre(const QString& ruta, Formato defecto);

} // namespace Escritura
