#pragma once

#include "data/origen_datos.h"

#include <QString>
#include <QVariant>
#include <initializer_list>
#include <optional>

// The walks every window makes over a data source.
namespace Recorridos {

// Full walk: from the first row to the end, calling `por_fila` with the source on each row.
template <class F> void completo(OrigenDatos& origen, F&& por_fila) {
    origen.mover_primero();
    while (!origen.al_final()) {
        por_fila();
        origen.mover_siguiente();
    }
}

// Code-to-name lookup in Tipo or Marca: the name of the first row in table order whose code equals `codigo`,
// with the source left on that row; no value (and the source at end) when no row holds the code. Answered from
// the source's code index, which gives the same row as walking from the first.
std::optional<QString> nombre_de_codigo(OrigenDatos& origen, qint64 codigo);

// Name-to-code lookup in Tipo: the code of the last row whose name equals `nombre` exactly; 0 when none does.
qint64 codigo_de_nombre(OrigenDatos& origen, const QString& nombre);

// The greatest code of the table, starting from 0: an empty table, or one with only codes of 0 or below, gives 0.
// The source is left at end, as a full walk leaves it.
qint64 codigo_mayor(OrigenDatos& origen);

// Appends a row with these values, in column order, and stores it.
void anadir(OrigenDatos& origen, std::initializer_list<QVariant> valores);

} // namespace Recorridos
