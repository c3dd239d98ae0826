// The reasons of SQLite's failures in the user's words, and the texts that name the file that failed to open.
#include "data/conexion.h"

#include "data/conexion_interna.h"

#include <SQLiteCpp/Exception.h>
#include <cerrno>
#include <sqlite3.h>

using namespace ConexionInterna;

QString ConexionInterna::texto_apertura(const QString& ruta, const QString& motivo) {
    return QStringLiteral("no se puede abrir la base de datos %1: %2").arg(ruta, motivo);
}

int ConexionInterna::codigo_de(const std::exception& e) {
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        return s->getExtendedErrorCode();
    return 0;
}

QString ConexionInterna::motivo_de(const std::exception& e) {
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        return motivo_sqlite(s->getExtendedErrorCode());
    return QString::fromUtf8(e.what());
}

QString ConexionInterna::motivo_en(sqlite3* db, const std::exception& e) {
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        return motivo_sqlite(s->getExtendedErrorCode(), db ? sqlite3_system_errno(db) : 0);
    return QString::fromUtf8(e.what());
}

bool ConexionInterna::carpeta_sin_permiso(int codigo, int error_sistema) {
    return codigo == SQLITE_IOERR_DELETE &&
           (error_sistema == EACCES || error_sistema == EPERM || error_sistema == EROFS);
}

QString motivo_sqlite(int codigo, int error_sistema) {
    // A journal the folder does not let anyone remove: the folder cannot be changed, the disk did not fail.
    if (carpeta_sin_permiso(codigo, error_sistema))
        return motivo_sqlite(SQLITE_READONLY_DIRECTORY);
    return motivo_sqlite(codigo);
}

QString motivo_sqlite(int codigo) {
    switch (codigo) {
    case SQLITE_READONLY_ROLLBACK:
    case SQLITE_READONLY_RECOVERY:
        return QStringLiteral(
            "una escritura interrumpida no se ha podido deshacer porque el archivo o su carpeta son de "
            "solo lectura.");
    case SQLITE_READONLY_DIRECTORY:
        return QStringLiteral("la carpeta del archivo es de solo lectura.");
    case SQLITE_READONLY_CANTLOCK:
    case SQLITE_READONLY_CANTINIT:
        return QStringLiteral("no se puede preparar el bloqueo del archivo porque su carpeta es de solo lectura.");
    case SQLITE_READONLY_DBMOVED:
        return QStringLiteral("el archivo se ha movido o borrado mientras estaba abierto.");
    case SQLITE_CANTOPEN_ISDIR:
        return QStringLiteral("es una carpeta, no un archivo.");
    case SQLITE_CANTOPEN_FULLPATH:
    case SQLITE_CANTOPEN_NOTEMPDIR:
        return QStringLiteral("no se encuentra la carpeta del archivo.");
    case SQLITE_IOERR_NOMEM:
        return QStringLiteral("no hay memoria suficiente.");
    case SQLITE_IOERR_SHORT_READ:
        return QStringLiteral("el archivo está incompleto o dañado.");
    case SQLITE_IOERR_LOCK:
    case SQLITE_IOERR_RDLOCK:
    case SQLITE_IOERR_UNLOCK:
    case SQLITE_IOERR_CHECKRESERVEDLOCK:
        return QStringLiteral("no se puede bloquear el archivo; puede estar en una carpeta de red que no lo permite.");
    default:
        break;
    }
    switch (codigo & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral("el archivo no es una base de datos.");
    case SQLITE_CORRUPT:
        return QStringLiteral("el archivo está dañado y el programa no escribirá nada en él; use en su lugar la "
                              "última copia de seguridad (Herramientas, Copia de seguridad).");
    case SQLITE_FORMAT:
        return QStringLiteral("el archivo está dañado.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("otro programa está usando el archivo; inténtelo de nuevo más tarde.");
    case SQLITE_READONLY:
        return QStringLiteral("el archivo es de solo lectura.");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("no hay permiso para usar el archivo.");
    case SQLITE_CANTOPEN:
        return QStringLiteral("no se puede abrir el archivo.");
    case SQLITE_FULL:
        return QStringLiteral("el disco está lleno.");
    case SQLITE_IOERR:
        return QStringLiteral("ha fallado la lectura o la escritura del disco.");
    case SQLITE_NOMEM:
        return QStringLiteral("no hay memoria suficiente.");
    case SQLITE_NOLFS:
        return QStringLiteral("el archivo es demasiado grande para este sistema.");
    case SQLITE_PROTOCOL:
        return QStringLiteral("no se puede bloquear el archivo; puede estar en una carpeta de red que no lo permite.");
    case SQLITE_TOOBIG:
        return QStringLiteral("el texto es demasiado largo.");
    case SQLITE_CONSTRAINT:
        if (codigo == SQLITE_CONSTRAINT_PRIMARYKEY || codigo == SQLITE_CONSTRAINT_UNIQUE)
            return QStringLiteral("ya existe un registro con ese código.");
        return QStringLiteral("la base de datos no admite ese valor.");
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        return QStringLiteral("la base de datos no admite ese valor.");
    case SQLITE_SCHEMA:
        return QStringLiteral("otro programa ha cambiado la forma de las tablas; inténtelo de nuevo.");
    case SQLITE_INTERRUPT:
    case SQLITE_ABORT:
        return QStringLiteral("la operación se ha interrumpido.");
    case SQLITE_ERROR:
        return QStringLiteral("el archivo no tiene la forma que el programa espera.");
    default:
        return QStringLiteral("error interno de la base de datos (código %1).").arg(codigo);
    }
}
