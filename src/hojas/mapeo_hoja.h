#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// Which column of the sheet fills each of the program's fields.
namespace MapeoHoja {

enum Campo { codigo, tipo, marca, modelo, num_serie, fecha, garantia, descripcion, renting, numero_campos };

// The field's name as the user reads it ("Nº de serie").
QString nombre(int campo);
// The field's key in a mapping file ("numero_serie").
QString clave(int campo);
// A row without a value in one of these is left out: the card never stores such a component either.
bool obligatorio(int campo);

// For each field, the column (from 0) or -1 for none.
using Mapeo = std::array<int, numero_campos>;
constexpr Mapeo ninguno = {-1, -1, -1, -1, -1, -1, -1, -1, -1};

// The column for each field whose name the header row holds, in Spanish or English, letter case, accents, blanks
// and signs aside ("Nº serie", "Serial", "S/N"); each column goes to one field at most.
Mapeo proponer(const QStringList& cabeceras);

// The name of a column as the pickers show it: its letter and its header ("B: Marca"), or its letter alone.
QString letra(int columna);

// The key under which the mapping of a sheet with these headers is remembered.
QString firma(const QStringList& cabeceras);
// The mapping remembered for these headers, if any (QSettings), and remembering one.
std::optional<Mapeo> recordado(const QStringList& cabeceras);
void recordar(const QStringList& cabeceras, const Mapeo& m);

// A mapping file for the command: one "key = column" per line, the column its letter or its header; blank lines
// and lines starting with "#" are ignored. Also "hoja", "cabecera" (si/no), "separador" and "codificacion".
struct Archivo {
    QString hoja;
    bool cabecera = true;
    QString separador;
    QString codificacion;
    // Each field's column as written: letter or header text.
    std::array<QString, numero_campos> columnas;
};
// Throws ErrorDatos with the line that cannot be read.
Archivo leer_archivo(const QString& texto);
// The mapping the file gives for a sheet with these headers (empty when the sheet has none); throws ErrorDatos
// naming the column that the sheet does not have.
Mapeo aplicar(const Archivo& a, const QStringList& cabeceras, int columnas);

} // namespace MapeoHoja
