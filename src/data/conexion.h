#pragma once

#include <QString>
#include <SQLiteCpp/Database.h>
#include <functional>
#include <memory>

// One connection to an inventory file, held for the length of one read or one write. Every connection is opened
// with SQLite's defensive settings (no triggers, no views, untrusted schema), so a crafted file cannot make the
// program run anything, and is checked to hold the three inventory tables before it is used.
class Conexion {
public:
    enum class Modo { lectura, escritura };

    // Opens an existing inventory file; never creates one. Throws ErrorDatos naming the file and the reason.
    static Conexion abrir(const QString& ruta, Modo modo);
    // Creates a new, empty database file for the schema to fill.
    static Conexion crear(const QString& ruta);

    SQLite::Database& db() { return *db_; }
    const QString& ruta() const { return ruta_; }

    // Runs `cambios` inside BEGIN IMMEDIATE ... COMMIT. Another program holding the file makes it wait a few
    // seconds and then fail; any failure rolls back, so the file is left exactly as it was. Throws ErrorDatos.
    void ejecutar_en_transaccion(const std::function<void(SQLite::Database&)>& cambios);

    // Turns a failure of SQLite while reading into ErrorDatos.
    [[noreturn]] void fallo_lectura(const std::exception& e) const;

    // Tests: open every file read-only, as a write-protected file would be (root ignores file permissions).
    static void forzar_solo_lectura(bool si);

private:
    Conexion(const QString& ruta, std::unique_ptr<SQLite::Database> db);
    void comprobar_inventario();

    QString ruta_;
    std::unique_ptr<SQLite::Database> db_;
};

// The reason of a failure of SQLite, in the user's words.
QString motivo_sqlite(int codigo_extendido);
