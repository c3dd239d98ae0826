#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

// One cell of a sheet as the reader found it: what the user wrote or the spreadsheet kept, before any field gives
// it a meaning.
struct CeldaHoja {
    enum class Clase : char {
        vacia,
        texto,
        numero,
        fecha,
        logico,
        // A formula whose result the file does not keep: `texto` holds the formula.
        sin_valor
    };
    Clase clase = Clase::vacia;
    double numero = 0; // numbers; dates as Julian days
    QString texto;
    bool logico = false;
    // A number's cell format, while the reader cannot yet tell whether it shows a date (see DatosHoja).
    std::uint32_t formato = 0;

    bool vacia() const { return clase == Clase::vacia || (clase == Clase::texto && texto.trimmed().isEmpty()); }
    // How the cell reads to the user, as the preview shows it.
    QString como_texto() const;
};

struct FilaHoja {
    qint64 numero = 0; // the sheet's own row number, from 1
    std::vector<CeldaHoja> celdas;
};

// What the reader tells about the file besides its rows.
struct DatosHoja {
    QStringList hojas;     // the workbook's sheets, in order
    int elegida = 0;       // the sheet read
    QString separador;     // CSV: the separator used ("\t", ";", ",")
    QString codificacion;  // CSV: "UTF-8" or "Windows-1252"
    qint64 combinadas = 0; // merged ranges whose value was spread over their cells
    // Merged ranges (first row, first column, last row, last column, from 0) not spread yet: a reader that handed
    // its rows over as it read leaves them to the receiver.
    std::vector<std::array<qint64, 4>> rangos;
    // Numbers whose `formato` is one of these are dates, counted in days from `dia_cero` (a Julian day): a reader
    // that handed its rows over before it knew the formats leaves them to the receiver.
    std::vector<std::uint32_t> formatos_fecha;
    qint64 dia_cero = 0;
    std::vector<FilaHoja> filas;
    int columnas = 0; // the widest row
};
