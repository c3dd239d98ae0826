#include "data/esquema.h"

#include "data/error_datos.h"
#include "data/inventario_nuevo.h"
#include "data/motor.h"
#include "data/ubicacion.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr Columna columnas_elemento[] = {
    {"Codigo", Clase::entero}, {"Tipo", Clase::entero},       {"Marca", Clase::entero},
    {"Modelo", Clase::texto},  {"NumSerie", Clase::texto},    {"Fecha", Clase::fecha},
    {"Garantia", Clase::real}, {"Descripcion", Clase::texto}, {"Renting", Clase::logico},
};
constexpr Columna columnas_tipo_marca[] = {{"Codigo", Clase::entero}, {"Nombre", Clase::texto}};

// Codes are the row identity (exact 64-bit integers, one row per code, kept in ascending order by the key);
// dates are ISO texts; the renting flag is 0 or 1.
constexpr const char* sql_esquema = R"(
CREATE TABLE Tipo (
    Codigo INTEGER PRIMARY KEY,
    Nombre TEXT NOT NULL DEFAULT ''
) STRICT;
CREATE TABLE Marca (
    Codigo INTEGER PRIMARY KEY,
    Nombre TEXT NOT NULL DEFAULT ''
) STRICT;
CREATE TABLE Elemento (
    Codigo INTEGER PRIMARY KEY,
    Tipo INTEGER NOT NULL DEFAULT 0,
    Marca INTEGER NOT NULL DEFAULT 0,
    Modelo TEXT NOT NULL DEFAULT '',
    NumSerie TEXT NOT NULL DEFAULT '',
    Fecha TEXT,
    Garantia REAL NOT NULL DEFAULT 0,
    Descripcion TEXT NOT NULL DEFAULT '',
    Renting INTEGER NOT NULL DEFAULT 0 CHECK (Renting IN (0, 1))
) STRICT;
)";

} // namespace

int Tabla::ordinal(QStringView columna) const {
    for (int i = 0; i < numero_columnas(); ++i)
        if (columna == QLatin1String(columnas[i].nombre))
            return i;
    return -1;
}

namespace Esquema {

const Tabla elemento{"Elemento", columnas_elemento};
const Tabla tipo{"Tipo", columnas_tipo_marca};
const Tabla marca{"Marca", columnas_tipo_marca};

const Tabla* tabla(QStringView nombre) {
    for (const Tabla* t : {&elemento, &tipo, &marca})
        if (nombre == QLatin1String(t->nombre))
            return t;
    return nullptr;
}

void crear_tablas(SQLite::Database& db) {
    db.exec(sql_esquema);
    db.exec("PRAGMA application_id = " + std::to_string(application_id));
    db.exec("PRAGMA user_version = " + std::to_string(user_version));
}

void crear_inventario(const QString& ruta) {
    if (ruta.isEmpty())
        throw ErrorDatos(QStringLiteral("no se ha indicado el nombre de la base de datos nueva."));
    if (Motor::es_servidor(ruta)) {
        Servidor::crear_inventario(ruta);
        return;
    }
    if (const std::optional<QString> problema = Ubicacion::problema_ruta(ruta))
        throw ErrorDatos(
            QStringLiteral("no se puede crear la base de datos %1: %2").arg(Ubicacion::ruta_visible(ruta), *problema));
    const QFileInfo info(ruta);
    if (info.exists())
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: el archivo ya existe.").arg(ruta));
    if (!QDir().mkpath(info.absolutePath()))
        throw ErrorDatos(
            QStringLiteral("no se puede crear la base de datos %1: no se puede crear la carpeta.").arg(ruta));
    // Made whole under a name of its own and then named, as an import is: a file another program puts at that
    // name meanwhile is refused, never written into nor removed.
    InventarioNuevo nuevo(ruta);
    nuevo.terminar();
}

} // namespace Esquema
