#pragma once

#include <QString>
#include <functional>

// The one way the program gives a complete file its name in a folder: the file is written under a temporary name
// of its own in the destination's folder, then linked to its name, which the system refuses when the name exists;
// nothing this call did not create is ever removed.
namespace ArchivoNuevo {

// Creates an empty file of a new hidden name beside `destino` ("." + its name + "." + a random part + `sufijo`),
// refusing any name that exists, and gives its path; empty when the folder cannot take it (`error` says why).
QString reservar_temporal(const QString& destino, const QString& sufijo, QString* error = nullptr);

// Gives the complete file `temporal` the name `destino`. A new name is made with a hard link, so a file another
// program puts there meanwhile is never replaced (`reemplazar` false), or by rename over an existing file the user
// agreed to replace. `fallo` turns a reason into the caller's message, which is thrown as ErrorDatos; the temporary
// file is removed on any failure.
void dar_nombre(const QString& temporal, const QString& destino, bool reemplazar,
                const std::function<QString(const QString& motivo)>& fallo);

// Test seam: runs just before the temporary file takes its name, as another program might act then.
void al_dar_nombre(std::function<void(const QString& destino)> accion);

} // namespace ArchivoNuevo
