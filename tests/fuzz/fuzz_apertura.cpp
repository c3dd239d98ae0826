// The opening check on any bytes as a database file: read into memory with the program's defensive settings, the
// file is either refused with a message or accepted, and an accepted file's three tables can be read to the end
// by the program's data sources.
#include "data/conexion.h"
#include "data/error_datos.h"
#include "data/origen_datos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
    auto db = std::make_unique<SQLite::Database>(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    auto* bytes = static_cast<unsigned char*>(sqlite3_malloc64(n + 1));
    if (!bytes)
        return 0;
    if (n > 0)
        std::memcpy(bytes, datos, n);
    if (sqlite3_deserialize(db->getHandle(), "main", bytes, static_cast<sqlite3_int64>(n),
                            static_cast<sqlite3_int64>(n + 1),
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) != SQLITE_OK)
        return 0;
    std::optional<Conexion> conexion;
    try {
        conexion.emplace(Conexion::comprobar_abierta(QStringLiteral("prueba.db"), std::move(db)));
    } catch (const ErrorDatos& e) {
        if (e.texto().isEmpty())
            std::abort();
        return 0;
    }
    conexion.reset();

    // An accepted file is then read as the windows read it: each table whole into a data source, every cell turned
    // into the text the user would see.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/talvirenca-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/talvirenca-fuzz-XXXXXX"));
    const QString ruta = dir.filePath(QStringLiteral("inventario.db"));
    for (const char* resto : {"", "-journal", "-wal", "-shm"})
        QFile::remove(ruta + QLatin1String(resto));
    {
        QFile archivo(ruta);
        if (!archivo.open(QIODevice::WriteOnly))
            std::abort();
        archivo.write(reinterpret_cast<const char*>(datos), static_cast<qint64>(n));
    }
    for (const char* tabla : {"Tipo", "Marca", "Elemento"}) {
        OrigenDatos origen;
        origen.enlazar_base_datos(ruta);
        origen.enlazar_tabla(QLatin1String(tabla));
        try {
            origen.refrescar();
        } catch (const ErrorDatos& e) {
            if (e.texto().isEmpty())
                std::abort();
            continue;
        }
        const int columnas = origen.tabla().numero_columnas();
        for (int fila = 0; fila < origen.numero_filas(); ++fila)
            for (int columna = 0; columna < columnas; ++columna)
                (void)origen.texto(fila, columna);
    }
    return 0;
}
