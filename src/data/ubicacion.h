#pragma once

#include <QString>
#include <optional>

// The location file "talvirenca.cfg" in the start-up directory: one line, the path of the database in use.
namespace Ubicacion {

QString ruta(const QString& directorio);

// The first line of the file, without its terminator (carriage return, line feed, or both). No value when the file
// is missing, cannot be read, holds no line at all or is not trusted (see `problema`).
std::optional<QString> leer(const QString& directorio);
// Why the location file of `directorio` is not used although it is there, if it is not: it is not a regular file
// (a named pipe would stop the program waiting), it belongs to another user, or other users may change it (anyone
// could then point the program at a file or a server of their choosing).
std::optional<QString> problema(const QString& directorio);

// Creates or replaces the file with the single line `base_datos` followed by CR LF. Throws ErrorDatos.
void guardar(const QString& directorio, const QString& base_datos);

// Why `ruta` cannot name a database file, if it cannot: a NUL character (the system would read a shorter name than
// the one checked) or a line break (the one-line location file could not keep it).
std::optional<QString> problema_ruta(const QString& ruta);
// A PostgreSQL connection URI ("postgresql://" or "postgres://") names a database on a server instead of a file.
bool es_uri(const QString& base);
// The database as the user may see it and as the location file keeps it: a URI without any password in it (in the
// user part or as a "password" parameter); a file path as it is.
QString sin_contrasena(const QString& base);

// What a server's connection URI names, as libpq reads it (its defaults filled in): the server (host and port), the
// user and the database. No value when libpq cannot read it.
struct DatosServidor {
    QString servidor;
    QString usuario;
    QString base;
};
std::optional<DatosServidor> datos_servidor(const QString& uri);

// The path as a message shows it, with such characters written as visible escapes.
QString ruta_visible(const QString& ruta);

// A file named after the inventory `base`, to propose where something made from it is saved: beside an inventory
// file ("/datos/oficina.db" and "-lista.xlsx" give "/datos/oficina-lista.xlsx"), in the user's folder for a server's
// (named after its database) or when there is no inventory ("inventario-lista.xlsx").
QString nombre_junto_al_inventario(const QString& base, const QString& terminacion);

} // namespace Ubicacion
