#pragma once

#include <QString>
#include <QStringList>

// How a column is written to a spreadsheet: as text, as a number, or as a date ("dd/mm/yyyy" texts).
enum class ClaseExportar { texto, numero, fecha };

// What a window shows, as the export reads it: a header line and rows of texts, each column with its class.
class TablaExportar {
public:
    virtual ~TablaExportar() = default;
    virtual QStringList cabeceras_exportar() const = 0;
    virtual ClaseExportar clase_exportar(int columna) const = 0;
    virtual int filas_exportar() const = 0;
    virtual QString texto_exportar(int fila, int columna) const = 0;
};
