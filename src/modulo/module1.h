#pragma once

#include <QString>

// The state every window shares for the whole run.
namespace Module1 {

// Full path of the database file in use.
extern QString base_datos;
// Directory that was current when the program started, without trailing separator; home of the location file.
extern QString directorio_inicial;
// Mode for the next opening of the record card: "Consultar", "Modificar" or "Anadir".
extern QString accion_ficha;
// The component list's nine columns have been created.
extern bool columnas_creadas;

} // namespace Module1

// The program's name as message boxes show it, its version and the date of that version.
namespace Programa {
inline const QString titulo = QStringLiteral("Talvirenca");
inline const QString version = QStringLiteral("1.1");
inline const QString fecha_version = QStringLiteral("Marzo del 2000");
} // namespace Programa
