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

// Asks the disk to keep what `ruta` (a file or a folder) holds; false when the system says it could not.
bool sincronizar(const QString& ruta);
// The reason told when the disk does not confirm a file is kept.
QString no_guardado();

// Gives the complete file `temporal` the name `destino`. A new name is made with a hard link, so a file another
// program puts there meanwhile is never replaced (`reemplazar` false), or by rename over an existing file the user
// agreed to replace. The folder is then written to the disk, so the name survives a power cut; when the disk
// does not confirm it, a new name is removed again and the call fails. `fallo` turns a reason into the caller's
// message, which is thrown as ErrorDatos; the temporary file is removed on any failure.
void dar_nombre(const QString& temporal, const QString& destino, bool reemplazar,
                const std::function<QString(const QString& motivo)>& fallo);

// Test seam: runs just before the temporary file takes its name, as another program might act then.
void al_dar_nombre(std::function<void(const QString& destino)> accion);
// Test seam: decides, for each file or folder the program asks the disk to keep, whether the disk confirms it (as
// a failing disk or a network folder might not); the real fsync is not called then.
void al_sincronizar(std::function<bool(const QString& ruta)> decide);

} // namespace ArchivoNuevo
