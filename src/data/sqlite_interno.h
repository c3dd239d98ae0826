#pragma once

// What the file engine's reads and writes share: statements, reading a row of a statement, and the whole number a
// column holds as the lists read it. Nothing outside the file engine includes it.
#include "data/motor.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <memory>
#include <sqlite3.h>

namespace SqliteInterno {

struct Finalizar {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Sentencia = std::unique_ptr<sqlite3_stmt, Finalizar>;

// Prepares `sql` on `db`. Throws SQLite::Exception.
Sentencia preparar(sqlite3* db, const QString& sql);
// The whole number a column holds, read as the lists read it: an integer as it is, a real cut to its whole part, a
// text as a user would type it (" 5 " is 5); none for a null or anything else. Every check that compares codes
// read from the file uses it, so a check never sees a different number than the list shows.
std::optional<qint64> entero_de_columna(sqlite3_stmt* crudo, int col);
// Whether a row of `uso` holds `codigo` in column `columna`, as the lists read it.
bool codigo_usado(sqlite3* db, const Tabla& uso, int columna, qint64 codigo);
// Reads the row `identidad` as a whole-table read gives it; false when there is none. Throws SQLite::Exception.
bool leer_fila_de(sqlite3* db, const Tabla& t, qint64 identidad, ReceptorFilas& receptor);
// A read of the file in one state of it.
std::unique_ptr<Motor::Lectura> lectura(Conexion c);

} // namespace SqliteInterno
