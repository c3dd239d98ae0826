#pragma once

// What the files of the server engine share: this thread's connections, running statements, the names and types
// of the tables on a server, and the reasons of failures in the user's words. Nothing outside the engine includes it.
#include "data/esquema.h"
#include "data/motor_pg.h"
#include "data/sentencias_pg.h"

#include <QStringList>
#include <functional>
#include <map>
#include <memory>

namespace PgInterno {

using FalloPg = MotorPg::Fallo;
using MotorPg::ejecutar;
using MotorPg::parametro;
using MotorPg::Resultado;
using Parametros = std::vector<std::optional<QByteArray>>;

struct Enlace {
    PGconn* conexion = nullptr;
    // The database was found to hold an inventory through this connection.
    bool comprobado = false;
    // The statement that begins each read is prepared on this connection: it is planned once, not at every read.
    bool estado_preparado = false;
    ~Enlace() {
        if (conexion)
            PQfinish(conexion);
    }
};
// This thread's connections, by database.
std::map<QString, std::unique_ptr<Enlace>>& enlaces();

using SentenciasPg::nombre;

// The first line of what libpq or the server said, without where libpq tried to connect.
QString primera_linea(const char* texto);
// The reason of a failure of the server, in the user's words.
QString motivo(const FalloPg& f, bool escritura);
QString texto_apertura(const QString& uri, const QString& motivo);
// Opens a connection to `uri`, asking for a password when the server wants one. Throws ErrorDatos.
PGconn* conectar(const QString& uri);
// This thread's connection to `uri`, opened (and the database checked) if there is none.
PGconn* conexion(const QString& uri, bool comprobar, bool& reutilizada);
// Throws ErrorDatos unless the database holds an inventory of this program.
void comprobar_inventario(PGconn* c, const QString& uri);
// Installs the notes of changes where they are missing and the user may, and purges old ones; never throws.
void preparar_anotacion(PGconn* c);
// Runs `cuerpo` on this thread's connection, opened again once when a kept one turned out lost before anything
// was done through it (`empezado` says otherwise). Failures are thrown as ErrorDatos.
void con_conexion(const QString& uri, bool escritura, const std::function<void(PGconn*, bool& empezado)>& cuerpo);
// What the user is told when the connection was lost while a COMMIT was on its way: the server says it did not
// store the changes, or cannot say (%1: the database as shown).
struct TextosConfirmacion {
    QString no_guardados;
    QString no_se_sabe;
};
// Sends the COMMIT of transaction `id`; false when the connection was lost before its answer came, and the server
// may then have stored the changes or not.
bool confirmar(PGconn* c, const QByteArray& id);
// What became of transaction `id`, whose COMMIT's answer was lost: asked on a new connection. Returns when the
// server stored it; otherwise throws ErrorDatos with the text that fits.
void averiguar_confirmacion(const QString& uri, const QByteArray& id, const TextosConfirmacion& textos);
// `empezar` (BEGIN), `cuerpo`, COMMIT on `c`; rolled back when anything in it throws, which is thrown on.
void en_transaccion(PGconn* c, const std::function<void()>& cuerpo, const char* empezar = "BEGIN");
// One write transaction on `c` around `cambios` (`empezado` set once it began). When the connection is lost while
// its COMMIT is on its way, the server is asked what became of it: it returns when the changes are stored, and
// otherwise throws ErrorDatos with the text of `textos` that fits.
void confirmada(PGconn* c, const QString& uri, bool& empezado, const std::function<void()>& cambios,
                const TextosConfirmacion& textos);
// One write transaction around `cambios`.
void transaccion(const QString& uri, const std::function<void(PGconn*)>& cambios);
// A read of the server: one transaction that sees one state of the database.
std::unique_ptr<Motor::Lectura> lectura(const QString& uri);

} // namespace PgInterno
