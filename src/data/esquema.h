#pragma once

#include <QString>
#include <QStringView>
#include <span>

namespace SQLite {
class Database;
}

// How a column's value is held and read.
enum class Clase { entero, real, texto, fecha, logico };

struct Columna {
    const char* nombre;
    Clase clase;
};

struct Tabla {
    const char* nombre;
    std::span<const Columna> columnas;

    int numero_columnas() const { return static_cast<int>(columnas.size()); }
    // Ordinal of a column by its name, or -1.
    int ordinal(QStringView columna) const;
};

namespace Esquema {

extern const Tabla elemento;
extern const Tabla tipo;
extern const Tabla marca;

// The table of that exact name, or nullptr.
const Tabla* tabla(QStringView nombre);

// Marks written into every inventory file the program creates.
constexpr int application_id = 0x54616c76; // "Talv"
constexpr int user_version = 1;

// Creates a new, empty inventory at `ruta`: the three tables and the marks above (on a server, in an empty database
// named by a connection URI). Refuses an existing file and
// leaves nothing behind when it fails. Throws ErrorDatos.
void crear_inventario(const QString& ruta);
// The three tables and the marks, written into an empty database inside the caller's transaction.
void crear_tablas(SQLite::Database& db);

} // namespace Esquema
