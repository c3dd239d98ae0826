// The location file's reader on any bytes: the path it gives back holds no line break, a file with bytes gives a
// path, and a path the program may keep reads back exactly as it was written.
#include "data/error_datos.h"
#include "data/ubicacion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
    // Writing the file syncs it: in memory when the system offers a folder there, so each run is fast.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/talvirenca-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/talvirenca-fuzz-XXXXXX"));
    {
        QFile archivo(Ubicacion::ruta(dir.path()));
        if (!archivo.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        archivo.write(reinterpret_cast<const char*>(datos), static_cast<qint64>(n));
    }
    const std::optional<QString> linea = Ubicacion::leer(dir.path());
    if (!linea) {
        if (n != 0)
            std::abort();
        return 0;
    }
    if (linea->contains(u'\r') || linea->contains(u'\n'))
        std::abort();
    const QString visible = Ubicacion::ruta_visible(*linea);
    if (visible.contains(QChar(u'\0')) || visible.contains(u'\r') || visible.contains(u'\n'))
        std::abort();
    if (!Ubicacion::problema_ruta(*linea)) {
        try {
            Ubicacion::guardar(dir.path(), *linea);
        } catch (const ErrorDatos&) {
            std::abort();
        }
        if (Ubicacion::leer(dir.path()) != linea)
            std::abort();
    }
    return 0;
}
