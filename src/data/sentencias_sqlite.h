#pragma once

// Every statement the file engine sends to read and write the inventory's tables. A table's name and its columns'
// names are the schema's own, never a user's text; values always go as parameters.
#include "data/esquema.h"

#include <QString>

namespace SentenciasSqlite {

// How many rows `t` holds; every row with its rowid first, in the table's order; the row of rowid ?1.
QString contar_filas(const Tabla& t);
QString leer_tabla(const Tabla& t);
QString leer_fila(const Tabla& t);
// The rows of `uso` that may hold code ?1 in column `columna`: those that do as integers, and every one that holds
// it in another form, which the caller reads as the lists do.
QString codigo_usado(const Tabla& uso, int columna);
// The greatest code of `t`.
QString codigo_mayor(const Tabla& t);
// A new row from ?1...; the row of rowid ?(n+1) set to ?1...?n, giving its rowid; the row of rowid ?1 deleted.
QString insertar(const Tabla& t);
QString modificar(const Tabla& t);
QString borrar(const Tabla& t);

} // namespace SentenciasSqlite
