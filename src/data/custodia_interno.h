#pragma once

// What the people, places and hand-outs share between their rules and the two engines below them: one session
// (transaction) on a file or a server, through which the rules send the same statements to both. Nothing outside
// the data layer includes it.
#include "data/conexion.h"
#include "data/custodia.h"

#include <QByteArray>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

namespace SQLite {
class Database;
}
typedef struct pg_conn PGconn;
struct sqlite3;

namespace Custodia {

// A value sent as a parameter ($1, $2...): a whole number, a text, or null (a null QVariant).
using Parametros = std::vector<QVariant>;
// A value read, in text form; no value for null.
using Valor = std::optional<QString>;
using FilaTexto = std::vector<Valor>;

// A value of a row being walked, as the engine holds its text: no copy is made (null: `datos` is null).
struct Celda {
    const char* datos = nullptr;
    int bytes = 0;
    bool nula() const { return !datos; }
    QByteArrayView vista() const { return QByteArrayView(datos, bytes); }
    qint64 entero() const { return nula() ? 0 : QByteArrayView(datos, bytes).toLongLong(); }
};

// The one-open-hand-out rule refused a row: another user handed the component out first.
struct Duplicado {};

// One transaction on an inventory that holds the tables of people, places and hand-outs (or, for a read, may
// hold them). Statements are written once for both engines: unquoted names, parameters $1, $2... in the order they
// first appear.
class Sesion {
public:
    virtual ~Sesion() = default;
    virtual bool servidor() const = 0;
    // Whether the tables exist (a read of an older inventory finds none).
    virtual bool con_tablas() = 0;
    // Every row of a query, as texts.
    virtual std::vector<FilaTexto> filas(const QString& sql, const Parametros& p = {}) = 0;
    // Every row of a query, each value as the engine holds its text, valid during the call only: what reads
    // thousands of rows without a text per value.
    virtual void recorrer(const QString& sql, const Parametros& p,
                          const std::function<void(const std::vector<Celda>&)>& fila) = 0;
    // The rows of a query of whole numbers only (null read as 0), `n` per row, without a text per value.
    virtual void enteros(const QString& sql, int n, const std::function<void(const qint64*)>& fila,
                         const Parametros& p = {}) = 0;
    // Runs a statement; how many rows it changed. A row the one-open-hand-out rule refuses throws Duplicado.
    virtual qint64 orden(const QString& sql, const Parametros& p = {}) = 0;
    // Other writers of `tabla` wait until this transaction ends (a file is held whole for the whole write).
    virtual void turno(const char* tabla) = 0;
    // On a server, how many changes the people, places and hand-outs have had (none where it is not kept).
    virtual std::optional<qint64> cambios() = 0;
    // Every open hand-out, in no particular order, read the fastest way the engine has: the read every refresh
    // makes.
    virtual void abiertas(std::vector<Abierta>& destino) = 0;
    // The row of `tabla` whose code is `codigo`, every column as text, to record in the history what a write did
    // to it; no value when there is none, or where the engine records the history itself (a server).
    virtual std::optional<FilaTexto> fila(const char* tabla, qint64 codigo) = 0;
    // Records a change in the history on a file: the columns that differ between the row before and after.
    virtual void anotar(const char* tabla, qint64 registro, const char* cambio, const std::optional<FilaTexto>& antes,
                        const std::optional<FilaTexto>& despues) = 0;
};

// The list line's texts from a row of code, two nulls, model, serial, date, warranty, description, renting, type
// name and brand name, as the list writes them.
std::array<QString, 9> linea_de(const FilaTexto& f);

// Runs `cuerpo` in one read (`escritura` false) or write transaction on `base`; a write makes the tables first
// when they are missing, in the same transaction. A read of a file gives its fingerprint in `huella` when known.
void con_sesion(const QString& base, bool escritura, const std::function<void(Sesion&)>& cuerpo,
                std::optional<Huella>* huella = nullptr);

// The file engine's side: the sessions on a file, and what a write of its components does to their hand-outs in
// the same transaction.
namespace Archivo {
void con_sesion(const QString& ruta, bool escritura, const std::function<void(Sesion&)>& cuerpo,
                std::optional<Huella>* huella);
// The tables beside the inventory's three, made in the write's transaction when missing; a newer version's are
// refused.
void asegurar_tablas(SQLite::Database& db, const QString& ruta);
// A row of `tabla` by its row number (or by the column `clave`), every column as text; no value when there is none.
std::optional<FilaTexto> fila(sqlite3* db, const char* tabla, qint64 numero_fila, const char* clave = "rowid");
// Records in the history what a write did to a row of `tabla` (`registro` is the code the history files it under),
// with the system's clock and user; the tables are made first when missing.
void anotar(SQLite::Database& db, const QString& ruta, const char* tabla, qint64 registro, const char* cambio,
            const std::optional<FilaTexto>& antes, const std::optional<FilaTexto>& despues);
// Records many entries of one write (an import's rows), its statements prepared once; the tables are made first
// when missing.
class Anotador {
public:
    Anotador(SQLite::Database& db, const QString& ruta);
    ~Anotador();
    Anotador(const Anotador&) = delete;
    Anotador& operator=(const Anotador&) = delete;
    void anotar(const char* tabla, qint64 registro, const char* cambio, const std::optional<FilaTexto>& antes,
                const std::optional<FilaTexto>& despues);

private:
    struct Sentencias;
    std::unique_ptr<Sentencias> s_;
};
// The benchmark compares a write with its history against the same write without it; nothing else turns it off.
void con_historial(bool si);
// `cuerpo` as a session of the write transaction `db` is in, the tables made first when missing.
void en_sesion(SQLite::Database& db, const QString& ruta, const std::function<void(Sesion&)>& cuerpo);
// The hand-outs of component `viejo` follow it to its new code `nuevo`, unless another row keeps the old code.
void cambiar_codigo(SQLite::Database& db, qint64 viejo, qint64 nuevo);
// The hand-outs of a deleted component go with it, unless another row keeps its code.
void borrar_elemento(SQLite::Database& db, qint64 codigo);
} // namespace Archivo

namespace Servidor {
void con_sesion(const QString& uri, bool escritura, const std::function<void(Sesion&)>& cuerpo);
// The tables of people, places, hand-outs, the archive and the history, with the history's triggers, made in the
// write's transaction when missing: every write of the inventory is recorded from then on. A user who may not make
// them writes without them.
void asegurar_tablas(PGconn* c, const QString& uri);
// `cuerpo` as a session of the write transaction `c` is in, the tables made first when missing.
void en_sesion(PGconn* c, const QString& uri, const std::function<void(Sesion&)>& cuerpo);
} // namespace Servidor

} // namespace Custodia
