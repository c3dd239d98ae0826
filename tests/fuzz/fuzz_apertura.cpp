// The opening check on any bytes as a database file: read into memory with the program's defensive settings, the
// file is either refused with a message or accepted, and an accepted file's three tables can be read to the end.
#include "data/conexion.h"
#include "data/error_datos.h"

#include <SQLiteCpp/Statement.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
    auto db = std::make_unique<SQLite::Database>(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    auto* bytes = static_cast<unsigned char*>(sqlite3_malloc64(n + 1));
    if (!bytes)
        return 0;
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
    try {
        for (const char* tabla : {"Tipo", "Marca", "Elemento"}) {
            SQLite::Statement filas(conexion->db(), std::string("SELECT * FROM ") + tabla);
            while (filas.executeStep())
                for (int i = 0; i < filas.getColumnCount(); ++i)
                    (void)filas.getColumn(i).getText();
        }
    } catch (const SQLite::Exception&) {
        // A damaged page is found only when it is read; the program reports it then.
    }
    return 0;
}
