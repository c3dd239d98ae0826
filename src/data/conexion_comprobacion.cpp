// What every opening checks on an inventory file: the shape of its three tables, and that their pages are whole,
// once per file and program run, with the files found damaged never opened again in that state.
#include "data/conexion.h"

#include "data/conexion_interna.h"
#include "data/error_datos.h"
#include "data/esquema.h"

#include <QFile>
#include <QRegularExpression>
#include <cstring>
#include <SQLiteCpp/Statement.h>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <tuple>

using namespace ConexionInterna;

namespace {

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

// A file's state on disk with the fields of its header that a change of its tables or of its marks moves (SQLite's
// change counter, schema counter and format, text encoding, user version, application id): a file in the state of
// its last successful shape check has the same tables, columns and marks.
using Forma = std::pair<Estado, QByteArray>;
std::mutex cerrojo_formas;
std::set<Forma> formas_comprobadas;

std::optional<Forma> forma_de(sqlite3* db, const QString& ruta) {
    sqlite3_file* archivo = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &archivo) != SQLITE_OK || !archivo ||
        !archivo->pMethods)
        return std::nullopt;
    const std::optional<Estado> estado = estado_de(ruta);
    if (!estado)
        return std::nullopt;
    unsigned char cabecera[72] = {};
    if (archivo->pMethods->xRead(archivo, cabecera, sizeof cabecera, 0) != SQLITE_OK ||
        std::memcmp(cabecera, "SQLite format 3", 16) != 0)
        return std::nullopt;
    // The path and the open file must be the same file for the two halves to describe one state.
    int movido = 1;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &movido) != SQLITE_OK || movido)
        return std::nullopt;
    QByteArray campos;
    for (const auto& [desde, hasta] : {std::pair{24, 28}, std::pair{40, 48}, std::pair{56, 64}, std::pair{68, 72}})
        campos.append(reinterpret_cast<const char*>(cabecera) + desde, hasta - desde);
    return Forma{*estado, campos};
}

} // namespace

bool ConexionInterna::es_dano(int codigo) {
    return (codigo & 0xff) == SQLITE_CORRUPT;
}

void ConexionInterna::marcar_danado(const QString& ruta) {
    if (const std::optional<Estado> e = estado_de(ruta)) {
        const std::lock_guard<std::mutex> cierre(cerrojo_integridad);
        danados.insert(*e);
        comprobados.erase(identidad_de(*e));
    }
}

// A file read again unchanged (the holdings window asked of person after person) is not checked again.
void Conexion::comprobar_forma() {
    const std::optional<Forma> forma = forma_de(db_->getHandle(), ruta_);
    bool conocida = false;
    if (forma) {
        const std::lock_guard<std::mutex> cierre(cerrojo_formas);
        conocida = formas_comprobadas.count(*forma) != 0;
    }
    if (conocida) {
        // The file must still be readable now, as the check would have found: a file another program holds is
        // told as a failure to open it.
        try {
            db_->execAndGet("SELECT 1 FROM sqlite_schema LIMIT 1");
        } catch (const std::exception& e) {
            throw ErrorApertura{texto_apertura(ruta_, motivo_de(e)), codigo_de(e)};
        }
        return;
    }
    comprobar_inventario();
    if (forma) {
        const std::lock_guard<std::mutex> cierre(cerrojo_formas);
        formas_comprobadas.insert(*forma);
    }
}

// The file must hold the three tables with their columns in order, and nothing that could run code of its own.
void Conexion::comprobar_inventario() {
    const auto rechazar = [&](const QString& motivo, int codigo = 0) {
        throw ErrorApertura{texto_apertura(ruta_, motivo), codigo};
    };
    try {
        // Every opening runs these checks, so they take as few statements as they can: the objects and the marks
        // in one, then one statement for the shape and one for the columns, each run for the three tables.
        SQLite::Statement marcas(*db_, "SELECT EXISTS (SELECT 1 FROM sqlite_schema WHERE type IN ('trigger', "
                                       "'view')), (SELECT application_id FROM pragma_application_id), (SELECT "
                                       "user_version FROM pragma_user_version)");
        marcas.executeStep();
        if (marcas.getColumn(0).getInt() != 0)
            rechazar(QStringLiteral("contiene disparadores o vistas, que el programa no admite."));
        const int id = marcas.getColumn(1).getInt();
        const int version = marcas.getColumn(2).getInt();
        if (id != 0 && id != Esquema::application_id)
            rechazar(QStringLiteral("pertenece a otro programa."));
        if (id == Esquema::application_id && version > Esquema::user_version)
            rechazar(QStringLiteral("la ha creado una versión más reciente del programa."));
        SQLite::Statement forma(
            *db_, "SELECT type, wr FROM pragma_table_list WHERE schema = 'main' AND name = ? COLLATE NOCASE");
        SQLite::Statement columnas(*db_, "SELECT name FROM pragma_table_info(?)");
        for (const Tabla* tabla : {&Esquema::elemento, &Esquema::tipo, &Esquema::marca}) {
            // Looked at before its columns are: a virtual table (full-text search, another module) keeps its rows
            // its own way, with neither the keys nor the checks of the designed table. Table names match whatever
            // their case, as SQLite finds them.
            forma.reset();
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
            columnas.reset();
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
