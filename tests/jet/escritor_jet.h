#pragma once

// A small writer of Access (Jet 4) files, made for the tests and the benchmark of the import: it writes the header
// page, the catalog, one definition page per table and its rows across as many data pages as they need, with text
// compressed or in UCS-2 and memos kept inside the row. No indexes, no long values on pages of their own.
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>
#include <variant>
#include <vector>

namespace Jet {

enum class Tipo : std::uint8_t {
    si_no = 0x01,
    byte = 0x02,
    entero = 0x03,
    largo = 0x04,
    simple = 0x06,
    doble = 0x07,
    fecha = 0x08,
    texto = 0x0a,
    ole = 0x0b,
    memo = 0x0c,
};

struct Columna {
    QString nombre;
    Tipo tipo;
    int caracteres = 255; // texts only
};

// No value (NULL), a flag, a whole number, a real number or an OLE date (days since 30/12/1899), or a text.
using Valor = std::variant<std::monostate, bool, qint64, double, QString>;
using Fila = std::vector<Valor>;

struct Tabla {
    QString nombre;
    std::vector<Columna> columnas;
    std::vector<Fila> filas;
};

// The bytes of a whole file holding these tables.
QByteArray escribir(const std::vector<Tabla>& tablas);

// A date and time as Access keeps it: the whole part counts days from 30/12/1899, the fraction the time of day
// forward from midnight, also for days before that date (-1.25 is 29/12/1899 06:00).
double fecha_ole(QDate fecha, QTime hora = QTime(0, 0));

// The three inventory tables with the usual column types, ready for rows.
Tabla tabla_elemento(Tipo tipo_codigo = Tipo::largo, Tipo tipo_descripcion = Tipo::memo);
Tabla tabla_tipo_marca(const QString& nombre, Tipo tipo_codigo = Tipo::largo);

} // namespace Jet
