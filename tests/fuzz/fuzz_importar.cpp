// The Access import on any bytes as the file to import: it either refuses the file with a reason and leaves nothing
// in the destination's folder, or writes a whole inventory holding every component it counts.
#include "data/error_datos.h"
#include "importar/importacion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <SQLiteCpp/SQLiteCpp.h>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
    // In memory when the system offers a folder there, so each run is fast.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/talvirenca-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/talvirenca-fuzz-XXXXXX"));
    const QString origen = dir.filePath(QStringLiteral("inventario.mdb"));
    const QString destino = dir.filePath(QStringLiteral("nuevo.db"));
    {
        QFile archivo(origen);
        if (!archivo.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        archivo.write(reinterpret_cast<const char*>(datos), static_cast<qint64>(n));
    }
    const auto solo_origen = [&] {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System) ==
               QStringList{QStringLiteral("inventario.mdb")};
    };
    try {
        const Importacion::Resumen r = Importacion::importar(origen, destino);
        SQLite::Database db(destino.toStdString(), SQLite::OPEN_READONLY);
        if (db.execAndGet("PRAGMA integrity_check").getString() != "ok" ||
            db.execAndGet("SELECT count(*) FROM Elemento").getInt64() != r.componentes ||
            db.execAndGet("SELECT count(*) FROM Tipo").getInt64() != r.tipos ||
            db.execAndGet("SELECT count(*) FROM Marca").getInt64() != r.marcas)
            std::abort();
    } catch (const ErrorDatos& e) {
        if (e.texto().isEmpty() || !solo_origen())
            std::abort();
    }
    QFile::remove(destino);
    if (!solo_origen())
        std::abort();
    return 0;
}
