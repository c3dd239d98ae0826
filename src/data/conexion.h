#pragma once

#include <QString>
#include <SQLiteCpp/Database.h>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;

// What identifies one state of a database file: its identity on disk, its size and time, and SQLite's own change
// counter, which every write transaction increments. Two equal fingerprints mean the file holds the same rows.
struct Huella {
    quint32 contador;
    quint64 dispositivo;
    quint64 nodo;
    qint64 tamano;
    qint64 modificado_ns;
    bool operator==(const Huella&) const = default;
};

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

    // A read transaction: every read until it ends sees one state of the file, which no writer can change meanwhile.
    class Lectura {
    public:
        explicit Lectura(sqlite3* db) : db_(db) {}
        Lectura(const Lectura&) = delete;
        Lectura& operator=(const Lectura&) = delete;
        ~Lectura();

    private:
        sqlite3* db_;
    };
    [[nodiscard]] Lectura empezar_lectura();

    // The file's fingerprint, taken inside a read transaction; no value when the file's journal mode does not keep
    // the change counter up to date (write-ahead log) or it cannot be read.
    std::optional<Huella> huella();

    // Turns a failure of SQLite while reading into ErrorDatos.
    [[noreturn]] void fallo_lectura(const std::exception& e) const;

    // Tests: open every file read-only, as a write-protected file would be (root ignores file permissions).
    static void forzar_solo_lectura(bool si);
    // `aviso` runs when a connection starts waiting for another program that holds the file (the windows show the
    // wait cursor). The wait lasts at most `ms` (4 s unless a test shortens it).
    static void al_esperar_bloqueo(std::function<void()> aviso);
    // `paso` makes one step of that wait, of the milliseconds it is given, instead of a sleep: the windows keep
    // painting meanwhile. It runs on whichever thread waits.
    static void al_esperar_paso(std::function<void(int)> paso);
    static void fijar_espera_bloqueo(int ms);
    // While one lives, the connections of its thread do not wait for another program holding the file: they fail
    // at once, and no wait is told.
    class SinEspera {
    public:
        SinEspera();
        ~SinEspera();
        SinEspera(const SinEspera&) = delete;
        SinEspera& operator=(const SinEspera&) = delete;
    };
    static int espera_bloqueo();

    // Checks that the pages of the three tables are whole (SQLite's quick check); throws ErrorDatos telling the file
    // is damaged. Every opening runs it once per file and program run.
    void comprobar_integridad_o_fallar();

    // The defensive settings and the opening check, on a connection opened elsewhere (the bytes of a file read into
    // memory); `nombre` names it in messages. Throws ErrorDatos.
    static Conexion comprobar_abierta(const QString& nombre, std::unique_ptr<SQLite::Database> db);

private:
    Conexion(const QString& ruta, std::unique_ptr<SQLite::Database> db);
    static Conexion abrir_conexion(const QString& ruta, bool leer);
    static bool hay_escritura_interrumpida(const QString& ruta);
    static void deshacer_escritura_interrumpida(const QString& ruta);
    void comprobar_inventario();
    // The same check, skipped for a file in the state it had when it last passed it.
    void comprobar_forma();
    void comprobar_integridad();
    void comprobar_una_vez();

    QString ruta_;
    std::unique_ptr<SQLite::Database> db_;
};

// The reason of a failure of SQLite, in the user's words; with the system's error behind it when there is one
// (sqlite3_system_errno).
QString motivo_sqlite(int codigo_extendido);
QString motivo_sqlite(int codigo_extendido, int error_sistema);
