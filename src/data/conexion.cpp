#include "data/conexion.h"

#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/ubicacion.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <SQLiteCpp/Statement.h>
#include <cerrno>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <tuple>

namespace {

bool solo_lectura_forzada = false;
int espera_bloqueo_ms = 4000;
std::function<void()> al_esperar;
std::function<void(int)> esperar_paso;

// Called by SQLite while another program holds the file: tells the program once that a wait began, then waits in
// short steps until the time allowed has passed. Each step is the program's own when it gives one (the windows
// keep painting meanwhile); otherwise the thread sleeps.
int esperar_bloqueo(void*, int intentos) {
    constexpr int paso_ms = 20;
    if (intentos == 0 && al_esperar)
        al_esperar();
    if (intentos * paso_ms >= espera_bloqueo_ms)
        return 0;
    if (esperar_paso)
        esperar_paso(paso_ms);
    else
        sqlite3_sleep(paso_ms);
    return 1;
}

// The files this process has checked whole (by path and identity on disk), and those found damaged (by their state
// too, so a file put back from a backup is looked at again). Connections are opened on several threads.
using Identidad = std::tuple<QString, quint64, quint64>;
using Estado = std::tuple<QString, quint64, quint64, qint64, qint64>;
std::mutex cerrojo_integridad;
std::set<Identidad> comprobados;
std::set<Estado> danados;

std::optional<Estado> estado_de(const QString& ruta) {
    struct stat e {};
    if (::stat(QFile::encodeName(ruta).constData(), &e) != 0)
        return std::nullopt;
    return Estado{ruta, quint64(e.st_dev), quint64(e.st_ino), qint64(e.st_size),
                  qint64(e.st_mtim.tv_sec) * 1000000000 + e.st_mtim.tv_nsec};
}

Identidad identidad_de(const Estado& e) {
    return {std::get<0>(e), std::get<1>(e), std::get<2>(e)};
}

bool es_dano(int codigo) {
    return (codigo & 0xff) == SQLITE_CORRUPT;
}

// From now on no connection of this process reads or writes the file in this state.
void marcar_danado(const QString& ruta) {
    if (const std::optional<Estado> e = estado_de(ruta)) {
        const std::lock_guard<std::mutex> cierre(cerrojo_integridad);
        danados.insert(*e);
        comprobados.erase(identidad_de(*e));
    }
}

QString texto_apertura(const QString& ruta, const QString& motivo) {
    return QStringLiteral("no se puede abrir la base de datos %1: %2").arg(ruta, motivo);
}

int codigo_de(const std::exception& e) {
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        return s->getExtendedErrorCode();
    return 0;
}

// The file name handed to SQLite: exactly the path the program checked, which holds no NUL character.
std::string nombre_sqlite(const QString& ruta) {
    return QFile::encodeName(ruta).toStdString();
}

// A failure to open, with SQLite's code, so the opening can tell an interrupted write from other failures.
struct ErrorApertura {
    QString texto_;
    int codigo;
    const QString& texto() const { return texto_; }
};

QString motivo_de(const std::exception& e) {
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        return motivo_sqlite(s->getExtendedErrorCode());
    return QString::fromUtf8(e.what());
}

// The reason of a failure on a connection, with the system's own error behind it.
QString motivo_en(sqlite3* db, const std::exception& e) {
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        return motivo_sqlite(s->getExtendedErrorCode(), db ? sqlite3_system_errno(db) : 0);
    return QString::fromUtf8(e.what());
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

namespace {

bool carpeta_sin_permiso(int codigo, int error_sistema) {
    return codigo == SQLITE_IOERR_DELETE &&
           (error_sistema == EACCES || error_sistema == EPERM || error_sistema == EROFS);
}

} // namespace

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

Conexion::Conexion(const QString& ruta, std::unique_ptr<SQLite::Database> db) : ruta_(ruta), db_(std::move(db)) {}

void Conexion::forzar_solo_lectura(bool si) {
    solo_lectura_forzada = si;
}

void Conexion::al_esperar_bloqueo(std::function<void()> aviso) {
    al_esperar = std::move(aviso);
}

void Conexion::al_esperar_paso(std::function<void(int)> paso) {
    esperar_paso = std::move(paso);
}

void Conexion::fijar_espera_bloqueo(int ms) {
    espera_bloqueo_ms = ms;
}

int Conexion::espera_bloqueo() {
    return espera_bloqueo_ms;
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
    conexion.comprobar_inventario();
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

// The file must hold the three tables with their columns in order, and nothing that could run code of its own.
void Conexion::comprobar_inventario() {
    const auto rechazar = [&](const QString& motivo, int codigo = 0) {
        throw ErrorApertura{texto_apertura(ruta_, motivo), codigo};
    };
    try {
        SQLite::Statement objetos(*db_, "SELECT type FROM sqlite_schema WHERE type IN ('trigger', 'view')");
        if (objetos.executeStep())
            rechazar(QStringLiteral("contiene disparadores o vistas, que el programa no admite."));
        const int id = db_->execAndGet("PRAGMA application_id").getInt();
        const int version = db_->execAndGet("PRAGMA user_version").getInt();
        if (id != 0 && id != Esquema::application_id)
            rechazar(QStringLiteral("pertenece a otro programa."));
        if (id == Esquema::application_id && version > Esquema::user_version)
            rechazar(QStringLiteral("la ha creado una versión más reciente del programa."));
        for (const Tabla* tabla : {&Esquema::elemento, &Esquema::tipo, &Esquema::marca}) {
            // Looked at before its columns are: a virtual table (full-text search, another module) keeps its rows
            // its own way, with neither the keys nor the checks of the designed table. Table names match whatever
            // their case, as SQLite finds them.
            SQLite::Statement forma(
                *db_, "SELECT type, wr FROM pragma_table_list WHERE schema = 'main' AND name = ? COLLATE NOCASE");
            forma.bind(1, tabla->nombre);
            if (forma.executeStep()) {
                if (forma.getColumn(0).getString() != "table")
                    rechazar(QStringLiteral("la tabla %1 es una tabla virtual, que el programa no admite.")
                                 .arg(QLatin1String(tabla->nombre)));
                // Rows are told apart by their row number, which a table declared WITHOUT ROWID lacks.
                if (forma.getColumn(1).getInt() != 0)
                    rechazar(QStringLiteral("la tabla %1 está declarada sin número de fila (WITHOUT ROWID), que el "
                                            "programa no admite.")
                                 .arg(QLatin1String(tabla->nombre)));
            }
            SQLite::Statement columnas(*db_, "SELECT name FROM pragma_table_info(?)");
            columnas.bind(1, tabla->nombre);
            int n = 0;
            bool iguales = true;
            while (columnas.executeStep()) {
                iguales = iguales && n < tabla->numero_columnas() &&
                          QString::fromUtf8(columnas.getColumn(0).getText())
                                  .compare(QLatin1String(tabla->columnas[n].nombre), Qt::CaseInsensitive) == 0;
                ++n;
            }
            if (n == 0)
                rechazar(QStringLiteral("le falta la tabla %1; no es un inventario de Talvirenca.")
                             .arg(QLatin1String(tabla->nombre)));
            if (!iguales || n != tabla->numero_columnas())
                rechazar(QStringLiteral("la tabla %1 no tiene las columnas de un inventario de Talvirenca.")
                             .arg(QLatin1String(tabla->nombre)));
        }
    } catch (const ErrorApertura&) {
        throw;
    } catch (const std::exception& e) {
        rechazar(motivo_de(e), codigo_de(e));
    }
}

// The pages of the three tables are whole: a file damaged by a failing disk or a crash of the system reads as if it
// were sound until a write would spread the damage. The quick check walks every page of the tables without
// comparing indexes, a fraction of the time a full read takes.
void Conexion::comprobar_integridad() {
    const auto danado = [&] {
        throw ErrorApertura{texto_apertura(ruta_, motivo_sqlite(SQLITE_CORRUPT)), SQLITE_CORRUPT};
    };
    try {
        for (const Tabla* tabla : {&Esquema::elemento, &Esquema::tipo, &Esquema::marca}) {
            SQLite::Statement comprobacion(*db_, std::string("PRAGMA quick_check(") + tabla->nombre + ")");
            if (!comprobacion.executeStep())
                danado();
            const QString resultado = QString::fromUtf8(comprobacion.getColumn(0).getText());
            if (resultado == QLatin1String("ok"))
                continue;
            // A page the disk failed to give is named with SQLite's error code: the disk failed, not the file.
            static const QRegularExpression codigo(QStringLiteral("error code=(\\d+)"));
            if (const QRegularExpressionMatch leido = codigo.match(resultado); leido.hasMatch()) {
                const int error = leido.captured(1).toInt();
                throw ErrorApertura{texto_apertura(ruta_, motivo_sqlite(error)), error};
            }
            danado();
        }
    } catch (const ErrorApertura&) {
        throw;
    } catch (const SQLite::Exception& e) {
        if (es_dano(e.getExtendedErrorCode()))
            danado();
        throw ErrorApertura{texto_apertura(ruta_, motivo_de(e)), e.getExtendedErrorCode()};
    }
}

void Conexion::comprobar_integridad_o_fallar() {
    try {
        comprobar_integridad();
    } catch (const ErrorApertura& e) {
        throw ErrorDatos(e.texto());
    }
}

// The check runs once per file for the length of the program (again when the file is replaced), and a file found
// damaged is never opened again in that state.
void Conexion::comprobar_una_vez() {
    const std::optional<Estado> estado = estado_de(ruta_);
    if (!estado)
        return;
    {
        const std::lock_guard<std::mutex> cierre(cerrojo_integridad);
        if (danados.count(*estado))
            throw ErrorApertura{texto_apertura(ruta_, motivo_sqlite(SQLITE_CORRUPT)), SQLITE_CORRUPT};
        if (comprobados.count(identidad_de(*estado)))
            return;
    }
    try {
        comprobar_integridad();
    } catch (const ErrorApertura& e) {
        if (es_dano(e.codigo))
            marcar_danado(ruta_);
        throw;
    }
    const std::lock_guard<std::mutex> cierre(cerrojo_integridad);
    comprobados.insert(identidad_de(*estado));
}

void Conexion::ejecutar_en_transaccion(const std::function<void(SQLite::Database&)>& cambios) {
    try {
        db_->exec("BEGIN IMMEDIATE");
    } catch (const std::exception& e) {
        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: %2").arg(ruta_, motivo_de(e)));
    }
    try {
        cambios(*db_);
        db_->exec("COMMIT");
    } catch (const std::exception& e) {
        if (!sqlite3_get_autocommit(db_->getHandle()))
            sqlite3_exec(db_->getHandle(), "ROLLBACK", nullptr, nullptr, nullptr);
        if (const auto* propio = dynamic_cast<const ErrorDatos*>(&e))
            throw *propio;
        if (es_dano(codigo_de(e)))
            marcar_danado(ruta_);
        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: %2")
                             .arg(ruta_, motivo_en(db_->getHandle(), e)));
    }
}

Conexion::Lectura Conexion::empezar_lectura() {
    try {
        db_->exec("BEGIN");
        // A first read takes the shared lock that keeps writers out until the transaction ends.
        db_->exec("SELECT 1 FROM sqlite_schema LIMIT 1");
    } catch (const std::exception& e) {
        fallo_lectura(e);
    }
    return Lectura(db_->getHandle());
}

Conexion::Lectura::~Lectura() {
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

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

void Conexion::fallo_lectura(const std::exception& e) const {
    if (es_dano(codigo_de(e)))
        marcar_danado(ruta_);
    throw ErrorDatos(
        QStringLiteral("no se puede leer la base de datos %1: %2").arg(ruta_, motivo_en(db_->getHandle(), e)));
}
