#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

// Backups of the inventory file: a consistent copy taken with SQLite's online backup, even while another program
// writes, written beside its destination under a temporary name, checked, and only then given its name.
namespace CopiaSeguridad {

// The name proposed for a backup of `inventario` taken on `dia`: "<nombre>-AAAA-MM-DD.db" in the inventory's folder.
QString nombre_propuesto(const QString& inventario, const QDate& dia);

// Told how many pages of how many are copied; returns false to cancel.
using Progreso = std::function<bool(int hechas, int total)>;

// Copies `inventario` to `destino` and returns the number of components of the copy, or no value when `progreso`
// cancelled. An existing `destino` is replaced only when `reemplazar` says the user agreed. Any failure or a cancel
// leaves `destino` as it was and no other file behind. Throws ErrorDatos.
std::optional<qint64> copiar(const QString& inventario, const QString& destino, bool reemplazar,
                             const Progreso& progreso = {});

// Writes the rows of the inventory on the server `uri` into a new inventory file `destino` (replacing an existing
// one only when `reemplazar` says the user agreed) and returns its number of components. A failure leaves
// `destino` as it was and no other file behind. Throws ErrorDatos.
qint64 copiar_desde_servidor(const QString& uri, const QString& destino, bool reemplazar);

} // namespace CopiaSeguridad
