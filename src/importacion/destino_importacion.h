#pragma once

#include <QString>
#include <optional>

class QWidget;

// What the imports (Access, spreadsheets) share at their ends: the new inventory's name, asked for without ever
// writing over a file, and the closing summary with the offer to use the new inventory.
namespace DestinoImportacion {

// Asks for the new inventory file, proposing the source's name with ".db" beside it; a name that exists is told
// and asked for again. No value when the user cancels.
std::optional<QString> pedir_nuevo(QWidget* padre, const QString& origen);

// The summary, with its details (copyable) when there are any.
void mostrar_resumen(QWidget* padre, const QString& resumen, const QString& detalles);

// Whether the user wants to use the imported inventory `destino` now.
bool usar_ahora(QWidget* padre, const QString& titulo, const QString& destino);

} // namespace DestinoImportacion
