#pragma once

#include <QString>
#include <optional>

// The location file "talvirenca.cfg" in the start-up directory: one line, the path of the database in use.
namespace Ubicacion {

QString ruta(const QString& directorio);

// The first line of the file, without its terminator (carriage return, line feed, or both). No value when the file
// is missing, cannot be read or holds no line at all.
std::optional<QString> leer(const QString& directorio);

// Creates or replaces the file with the single line `base_datos` followed by CR LF. Throws ErrorDatos.
void guardar(const QString& directorio, const QString& base_datos);

} // namespace Ubicacion
