// The fingerprint of an inventory file's state: its identity, size and time on disk and SQLite's change counter,
// read through SQLite's own handle on the open file.
#include "data/conexion.h"

#include <QFile>
#include <sqlite3.h>
#include <sys/stat.h>

std::optional<Huella> Conexion::huella() {
    sqlite3* db = db_->getHandle();
    sqlite3_file* archivo = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &archivo) != SQLITE_OK || !archivo ||
        !archivo->pMethods)
        return std::nullopt;
    // The size and times are the path's: taken first, so a file put in its place from now on is seen below.
    struct stat estado {};
    if (::stat(QFile::encodeName(ruta_).constData(), &estado) != 0)
        return std::nullopt;
    // Read through SQLite's own handle: opening and closing another one would drop SQLite's locks on the file.
    unsigned char cabecera[28] = {};
    if (archivo->pMethods->xRead(archivo, cabecera, sizeof cabecera, 0) != SQLITE_OK)
        return std::nullopt;
    if (cabecera[18] != 1) // only the rollback journal keeps the change counter on every write
        return std::nullopt;
    // The counter is the open file's: when another file has taken the path (a rename over it, a copy put back),
    // the two halves would describe different files, and the next refresh must read again.
    int movido = 1;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &movido) != SQLITE_OK || movido)
        return std::nullopt;
    return Huella{
        (quint32(cabecera[24]) << 24) | (quint32(cabecera[25]) << 16) | (quint32(cabecera[26]) << 8) | cabecera[27],
        static_cast<quint64>(estado.st_dev), static_cast<quint64>(estado.st_ino), static_cast<qint64>(estado.st_size),
        static_cast<qint64>(estado.st_mtim.tv_sec) * 1000000000 + estado.st_mtim.tv_nsec};
}
