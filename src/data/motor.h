#pragma once

#include "data/conexion.h"
#include "data/esquema.h"
#include "data/estado_servidor.h"

#include <QString>
#include <QVariant>
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Custodia {
class Sesion;
}

// Receives the rows of a table read whole, in table order: each row starts with `fila`, then one call per column in
// ordinal order.
class ReceptorFilas {
public:
    virtual ~ReceptorFilas() = default;
    // How many rows and text bytes are about to come, as far as the engine knows (0 when it does not).
    virtual void reservar(qint64 filas, qint64 bytes_textos) = 0;
    virtual void fila(qint64 identidad) = 0;
    virtual void entero(qint64 valor) = 0;
    virtual void real(double valor) = 0;
    virtual void texto(const char* datos, std::size_t longitud) = 0;
    virtual void nulo() = 0;
    // The row's code (column 0) is not stored as a whole number (a file made by hand may hold it as text or real).
    virtual void codigo_no_entero() {}
};

// One row's values in column order, converted as each column holds them (null for none).
using ValoresFila = std::array<QVariant, 9>;

// The engine below the data sources: the inventory file (SQLite) or an inventory on a PostgreSQL server. The data
// source keeps its snapshot, cursor and pending edit; the engine only reads whole tables and stores rows, each write
// one transaction. A row's identity is what the engine finds it by: the row number in a file, the code on a server.
// Failures are thrown as ErrorDatos in the user's words.
class Motor {
public:
    virtual ~Motor() = default;

    // The engine for a database named by the location file: a PostgreSQL connection URI or a file path.
    static std::unique_ptr<Motor> para(const QString& base);
    static bool es_servidor(const QString& base);

    // One read of the database: every read until it ends sees one state of it.
    class Lectura {
    public:
        virtual ~Lectura() = default;
        // What identifies the state being read, when the engine can tell it cheaply.
        virtual std::optional<Huella> huella() = 0;
        virtual void leer_tabla(const Tabla& t, ReceptorFilas& receptor) = 0;
        // Reads the one row of that identity as leer_tabla gives it; false when there is none or the engine cannot.
        virtual bool leer_fila(const Tabla&, qint64, ReceptorFilas&) { return false; }
        // On a server, the state this read sees (no value for a file).
        virtual std::optional<EstadoServidor> estado_servidor() { return std::nullopt; }
        // The rows of `t` changed since the state `desde` was read, in this read's state: every changed code in
        // `claves`, ascending, and each changed row still there, as leer_tabla gives it and in the same order, to
        // `receptor`. False when the changes since then are not known: the table must be read whole.
        virtual bool leer_cambios(const Tabla&, const EstadoServidor&, std::vector<qint64>&, ReceptorFilas&) {
            return false;
        }
    };
    virtual std::unique_ptr<Lectura> empezar_lectura() = 0;

    // Stores a new row and gives its identity.
    virtual qint64 insertar(const Tabla& t, const ValoresFila& valores) = 0;
    // Stores a new row whose code (column 0) is the table's greatest code plus 1 (1 for an empty table), taken in
    // the same transaction, so two people adding at once never get the same code. Gives the identity and the code.
    virtual std::pair<qint64, qint64> insertar_con_codigo_nuevo(const Tabla& t, ValoresFila valores) = 0;
    // Replaces the row `identidad`, read as `antes`, by `despues`; gives the row's identity afterwards, or no value
    // when the row is no longer in the database (or, on a server, another user changed it since it was read).
    virtual std::optional<qint64> modificar(const Tabla& t, qint64 identidad, const ValoresFila& antes,
                                            const ValoresFila& despues) = 0;
    // Deletes these rows (identity and values as read) in one transaction: all of them, or none and false when one
    // is no longer there as it was read.
    virtual bool borrar(const Tabla& t, const std::vector<std::pair<qint64, ValoresFila>>& filas) = 0;

    // What identified the database's state inside the last write's transaction, before it changed anything, when
    // the engine can tell it cheaply: with the state after it, it tells whether that write was the only change.
    virtual std::optional<Huella> huella_antes_de_escribir() const { return std::nullopt; }

    // Runs `cuerpo` in one write transaction, as a session on the tables beside the inventory's three (made first
    // when missing): a write that changes the components together with them.
    virtual void escribir_sesion(const std::function<void(Custodia::Sesion&)>& cuerpo) = 0;

    enum class Borrado { hecho, en_uso, ya_no_esta };
    // Deletes the row unless a row of `uso` holds `codigo` in column `columna_uso`, checked in the same transaction
    // so that no row added meanwhile is left pointing at a deleted one.
    virtual Borrado borrar_si_no_usado(const Tabla& t, qint64 identidad, const ValoresFila& antes, qint64 codigo,
                                       const Tabla& uso, int columna_uso) = 0;
};

// The PostgreSQL side that only the engine and the window layer share.
namespace Servidor {

// Asked, with the database's name as shown, when the server wants a password and none was given; no value when the
// user gave none. The window layer installs a small dialog; without one, no password is asked.
using PedirContrasena = std::function<std::optional<QString>(const QString& base_visible)>;
void al_pedir_contrasena(PedirContrasena pedir);

// The server database holds none of the inventory's tables (nor the mark): a new inventory may be created in it.
// False when it cannot be reached: the first read says why.
bool vacia(const QString& uri);
// Creates the three tables and the mark in an empty server database, in one transaction. Throws ErrorDatos.
void crear_inventario(const QString& uri);
// While one lives, a server this thread could not connect to (it did not answer, or the user gave no password) is
// not tried again: a start-up that opens several tables asks the user once, or waits once, and says why once.
class Arranque {
public:
    Arranque();
    ~Arranque();
    Arranque(const Arranque&) = delete;
    Arranque& operator=(const Arranque&) = delete;
};
// Closes this thread's connections to the servers (they reopen at the next operation).
void cerrar_conexiones();

} // namespace Servidor
