// Opening an inventory file: the look at its path before SQLite opens it, an interrupted write undone first, the
// defensive settings on every connection, and the creation of a new file.
#include "data/conexion.h"

#include "data/conexion_interna.h"
#include "data/error_datos.h"
#include "data/ubicacion.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace ConexionInterna;

namespace {

bool solo_lectura_forzada = false;

// The file name handed to SQLite: exactly the path the program checked, which holds no NUL character.
std::string nombre_sqlite(const QString& ruta) {
    return QFile::encodeName(ruta).toStdString();
}

void configurar_defensa(sqlite3* db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_busy_handler(db, esperar_bloqueo, nullptr);
}

// A larger page cache for reading whole tables. Set once the file is known readable: the pragma reads the schema, and
// on a file another program holds that would be a second wait.
void agrandar_cache(sqlite3* db) {
    sqlite3_exec(db, "PRAGMA cache_size = -32768", nullptr, nullptr, nullptr);
}

} // namespace

Conexion::Conexion(const QString& ruta, std::unique_ptr<SQLite::Database> db) : ruta_(ruta), db_(std::move(db)) {}

void Conexion::forzar_solo_lectura(bool si) {
    solo_lectura_forzada = si;
}

Conexion Conexion::abrir(const QString& ruta, Modo modo) {
    if (ruta.isEmpty())
        throw ErrorDatos(
            QStringLiteral("no hay ninguna base de datos seleccionada; elija una en Archivo, Configurar."));
    if (const std::optional<QString> problema = Ubicacion::problema_ruta(ruta))
        throw ErrorDatos(texto_apertura(Ubicacion::ruta_visible(ruta), *problema));
    const QFileInfo info(ruta);
    if (!info.exists())
        throw ErrorDatos(texto_apertura(ruta, QStringLiteral("el archivo no existe.")));
    if (info.isDir())
        throw ErrorDatos(texto_apertura(ruta, QStringLiteral("es una carpeta, no un archivo.")));
    // Looked at without opening it: opening a named pipe waits for a writer, and a device or a socket is no file
    // an inventory can be kept in.
    struct stat tipo {};
    if (::stat(nombre_sqlite(ruta).c_str(), &tipo) == 0 && !S_ISREG(tipo.st_mode))
        throw ErrorDatos(texto_apertura(ruta, QStringLiteral("no es un archivo normal, sino una tubería, un "
                                                             "dispositivo o un conector.")));
    const bool leer = modo == Modo::lectura || solo_lectura_forzada;
    // A write interrupted by a crash leaves its journal beside the file, and only a connection that may write can
    // undo it; once undone, the file reads as it was before that write.
    if (leer && !solo_lectura_forzada && hay_escritura_interrumpida(ruta))
        deshacer_escritura_interrumpida(ruta);
    try {
        return abrir_conexion(ruta, leer);
    } catch (const ErrorApertura& e) {
        // The journal may have appeared between the look and the opening.
        if (!leer || solo_lectura_forzada || e.codigo != SQLITE_READONLY_ROLLBACK)
            throw ErrorDatos(e.texto());
    }
    deshacer_escritura_interrumpida(ruta);
    try {
        return abrir_conexion(ruta, leer);
    } catch (const ErrorApertura& e) {
        throw ErrorDatos(e.texto());
    }
}

Conexion Conexion::abrir_conexion(const QString& ruta, bool leer) {
    // Each connection is used by the one thread of the program, so SQLite need not lock it on every call.
    const int flags = (leer ? SQLite::OPEN_READONLY : SQLite::OPEN_READWRITE) | SQLite::OPEN_NOMUTEX;
    std::unique_ptr<SQLite::Database> db;
    try {
        db = std::make_unique<SQLite::Database>(nombre_sqlite(ruta), flags);
    } catch (const std::exception& e) {
        throw ErrorApertura{texto_apertura(ruta, motivo_de(e)), codigo_de(e)};
    }
    configurar_defensa(db->getHandle());
    Conexion conexion(ruta, std::move(db));
    conexion.comprobar_forma();
    agrandar_cache(conexion.db().getHandle());
    conexion.comprobar_una_vez();
    return conexion;
}

Conexion Conexion::comprobar_abierta(const QString& nombre, std::unique_ptr<SQLite::Database> db) {
    configurar_defensa(db->getHandle());
    Conexion conexion(nombre, std::move(db));
    try {
        conexion.comprobar_inventario();
        conexion.comprobar_integridad();
    } catch (const ErrorApertura& e) {
        throw ErrorDatos(e.texto());
    }
    return conexion;
}

bool Conexion::hay_escritura_interrumpida(const QString& ruta) {
    const QFileInfo diario(ruta + QStringLiteral("-journal"));
    return (diario.exists() && diario.size() > 0) || QFileInfo::exists(ruta + QStringLiteral("-wal"));
}

void Conexion::deshacer_escritura_interrumpida(const QString& ruta) {
    std::unique_ptr<SQLite::Database> db;
    try {
        db = std::make_unique<SQLite::Database>(nombre_sqlite(ruta), SQLite::OPEN_READWRITE | SQLite::OPEN_NOMUTEX);
        configurar_defensa(db->getHandle());
        // The first read of a connection that may write rolls the interrupted transaction back.
        db->execAndGet("SELECT count(*) FROM sqlite_schema");
    } catch (const std::exception& e) {
        // A file or folder that cannot be written keeps its journal, and the opening that follows says why: so does
        // a folder that let the write be undone but not its journal be removed, since the journal stays and has
        // to be undone again. Any other failure (another program holding the file) is the opening's failure,
        // told after one wait.
        const int extendido = codigo_de(e);
        const int codigo = extendido & 0xff;
        if (codigo == SQLITE_READONLY || codigo == SQLITE_CANTOPEN || codigo == SQLITE_PERM)
            return;
        if (carpeta_sin_permiso(extendido, db ? sqlite3_system_errno(db->getHandle()) : 0))
            return;
        throw ErrorDatos(texto_apertura(ruta, motivo_en(db ? db->getHandle() : nullptr, e)));
    }
}

Conexion Conexion::crear(const QString& ruta) {
    try {
        if (const std::optional<QString> problema = Ubicacion::problema_ruta(ruta))
            throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: %2")
                                 .arg(Ubicacion::ruta_visible(ruta), *problema));
        auto db = std::make_unique<SQLite::Database>(nombre_sqlite(ruta), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE |
                                                                              SQLite::OPEN_NOMUTEX);
        configurar_defensa(db->getHandle());
        agrandar_cache(db->getHandle());
        return Conexion(ruta, std::move(db));
    } catch (const ErrorDatos&) {
        throw;
    } catch (const std::exception& e) {
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: %2").arg(ruta, motivo_de(e)));
    }
}
