#include "data/copia_seguridad.h"

#include "data/archivo_nuevo.h"
#include "data/conexion.h"
#include "data/error_datos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <SQLiteCpp/Statement.h>
#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

// Pages copied between two reports of progress (4 MB with the usual page size).
constexpr int paginas_por_paso = 1024;
// How long a writer holding the inventory may keep the copy waiting before it gives up.
constexpr int espera_bloqueo_ms = 4000;
constexpr int pausa_bloqueo_ms = 20;

QString no_se_puede(const QString& destino, const QString& motivo) {
    return QStringLiteral("no se puede hacer la copia en %1: %2").arg(destino, motivo);
}

// The temporary file and the journal SQLite may have left beside it.
void borrar_temporal(const QString& ruta) {
    for (const char* resto : {"", "-journal", "-wal", "-shm"})
        QFile::remove(ruta + QLatin1String(resto));
}

bool mismo_archivo(const QString& a, const QString& b) {
    std::error_code error;
    const bool iguales = std::filesystem::equivalent(a.toStdString(), b.toStdString(), error);
    return !error && iguales;
}

struct Cerrar {
    sqlite3* db = nullptr;
    ~Cerrar() { sqlite3_close_v2(db); }
};

} // namespace

namespace CopiaSeguridad {

QString nombre_propuesto(const QString& inventario, const QDate& dia) {
    const QFileInfo info(inventario);
    return info.dir().filePath(
        QStringLiteral("%1-%2.db").arg(info.completeBaseName(), dia.toString(QStringLiteral("yyyy-MM-dd"))));
}

std::optional<qint64> copiar(const QString& inventario, const QString& destino, bool reemplazar,
                             const Progreso& progreso) {
    if (destino.isEmpty())
        throw ErrorDatos(QStringLiteral("no se ha indicado dónde guardar la copia."));
    const QFileInfo info_destino(destino);
    if (mismo_archivo(inventario, destino) ||
        QFileInfo(inventario).absoluteFilePath() == info_destino.absoluteFilePath())
        throw ErrorDatos(QStringLiteral("la copia no puede guardarse sobre el propio inventario %1.").arg(inventario));
    if (info_destino.exists() && !info_destino.isFile())
        throw ErrorDatos(no_se_puede(destino, QStringLiteral("ese nombre es de una carpeta.")));
    if (info_destino.exists() && !reemplazar)
        throw ErrorDatos(QStringLiteral("el archivo %1 ya existe.").arg(destino));

    // The inventory is read through a connection of its own; the read sees the last committed state only.
    Conexion origen = Conexion::abrir(inventario, Conexion::Modo::lectura);

    // The copy is written under a temporary name in the destination's folder, so the rename at the end is atomic
    // and nothing under the destination's name is ever half-written.
    if (!info_destino.dir().exists())
        throw ErrorDatos(no_se_puede(destino, QStringLiteral("la carpeta no existe.")));
    QString error;
    const QString temporal = ArchivoNuevo::reservar_temporal(destino, QString(), &error);
    if (temporal.isEmpty())
        throw ErrorDatos(no_se_puede(destino, error));
    struct Limpieza {
        QString ruta;
        bool hecha = false;
        ~Limpieza() {
            if (!hecha)
                borrar_temporal(ruta);
        }
    } limpieza{temporal};

    {
        Cerrar copia;
        int rc = sqlite3_open_v2(QFile::encodeName(temporal).constData(), &copia.db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc != SQLITE_OK)
            throw ErrorDatos(no_se_puede(destino, motivo_sqlite(rc)));
        sqlite3_backup* copiado = sqlite3_backup_init(copia.db, "main", origen.db().getHandle(), "main");
        if (!copiado)
            throw ErrorDatos(no_se_puede(destino, motivo_sqlite(sqlite3_extended_errcode(copia.db))));
        int esperado_ms = 0;
        bool cancelada = false;
        do {
            rc = sqlite3_backup_step(copiado, paginas_por_paso);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                // Another program is writing its change into the file: the copy waits for it, a few seconds at most.
                if (esperado_ms >= espera_bloqueo_ms)
                    break;
                sqlite3_sleep(pausa_bloqueo_ms);
                esperado_ms += pausa_bloqueo_ms;
                continue;
            }
            // The last step is reported too: until the rename, a cancel still leaves nothing behind.
            if (progreso && (rc == SQLITE_OK || rc == SQLITE_DONE)) {
                const int total = sqlite3_backup_pagecount(copiado);
                if (!progreso(total - sqlite3_backup_remaining(copiado), total))
                    cancelada = true;
            }
        } while (!cancelada && (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED));
        sqlite3_backup_finish(copiado);
        if (cancelada)
            return std::nullopt;
        if (rc != SQLITE_DONE)
            throw ErrorDatos(no_se_puede(destino, motivo_sqlite(rc)));
        // The copy keeps its changes in a rollback journal, whatever the inventory uses, so it is one file.
        rc = sqlite3_exec(copia.db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw ErrorDatos(no_se_puede(destino, motivo_sqlite(sqlite3_extended_errcode(copia.db))));
    }

    // The copy is checked before it is reported: it must be sound and hold the inventory's tables.
    qint64 componentes = 0;
    try {
        Conexion comprobada = Conexion::abrir(temporal, Conexion::Modo::lectura);
        SQLite::Statement integridad(comprobada.db(), "PRAGMA integrity_check");
        const QString resultado =
            integridad.executeStep() ? QString::fromUtf8(integridad.getColumn(0).getText()) : QString();
        if (resultado != QLatin1String("ok")) {
            // A page the check could not read is named with SQLite's error code: the disk failed, not the copy.
            static const QRegularExpression codigo(QStringLiteral("error code=(\\d+)"));
            const QRegularExpressionMatch leido = codigo.match(resultado);
            throw ErrorDatos(no_se_puede(destino, leido.hasMatch() ? motivo_sqlite(leido.captured(1).toInt())
                                                                   : QStringLiteral("la copia no supera la "
                                                                                    "comprobación de integridad.")));
        }
        componentes = comprobada.db().execAndGet("SELECT count(*) FROM Elemento").getInt64();
    } catch (const ErrorDatos&) {
        throw;
    } catch (const SQLite::Exception& e) {
        throw ErrorDatos(no_se_puede(destino, motivo_sqlite(e.getExtendedErrorCode())));
    } catch (const std::exception& e) {
        throw ErrorDatos(no_se_puede(destino, QString::fromUtf8(e.what())));
    }

    // The copy is readable by whoever may read the inventory, and as protected as it: given once the copy is
    // written and checked, so a write-protected inventory does not make its copy unwritable before it is made.
    // The mode bits themselves: Qt's flags for the current user would give root's copy a write permission.
    struct stat modo {};
    if (::stat(QFile::encodeName(inventario).constData(), &modo) != 0 ||
        ::chmod(QFile::encodeName(temporal).constData(), modo.st_mode & 0777) != 0)
        throw ErrorDatos(
            no_se_puede(destino, QStringLiteral("no se pueden dar a la copia los permisos del inventario.")));
    if (!reemplazar && QFileInfo::exists(destino))
        throw ErrorDatos(QStringLiteral("el archivo %1 ya existe.").arg(destino));
    // A file that appears under the destination's name meanwhile is replaced only when the user agreed to replace
    // the one there was.
    limpieza.hecha = true;
    ArchivoNuevo::dar_nombre(temporal, destino, reemplazar && QFileInfo::exists(destino),
                             [&](const QString& motivo) { return no_se_puede(destino, motivo); });
    return componentes;
}

} // namespace CopiaSeguridad
