#pragma once

// What the server engine shares with the moving of a file inventory to a server; nothing above the data layer
// includes it.
#include "data/motor.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <libpq-fe.h>
#include <memory>
#include <optional>
#include <vector>

namespace MotorPg {

// A failure of the server while running a statement: its SQLSTATE, its message, and whether the connection is lost.
struct Fallo {
    QByteArray estado;
    QString mensaje;
    bool perdida;
};

struct Liberar {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Resultado = std::unique_ptr<PGresult, Liberar>;

// Runs one statement with these values ($1, $2... in text form; no value for null). Throws Fallo.
Resultado ejecutar(PGconn* c, const QString& sql, const std::vector<std::optional<QByteArray>>& valores,
                   ExecStatusType esperado);
// A value as the server reads it in text form; no value for null.
std::optional<QByteArray> parametro(Clase clase, const QVariant& v);
// This thread's connection to `uri`, opened if needed, without checking that it holds an inventory. Throws
// ErrorDatos.
PGconn* conexion_sin_comprobar(const QString& uri);
// Throws ErrorDatos, saying why, unless the database `c` is connected to holds an inventory of this program.
void comprobar_inventario(PGconn* c, const QString& uri);
// The next operation on `uri` checks the database again (its tables were just created).
void olvidar_comprobacion(const QString& uri);
// Closes this thread's connection to `uri` after it was lost.
void olvidar(const QString& uri);
// Called once the COMMIT of a write has been sent and before its answer is read, with the connection and the
// transaction's id; none by default. The tests lose the connection at that moment through it.
using AlConfirmar = std::function<void(PGconn*, const QByteArray& transaccion)>;
void al_confirmar(AlConfirmar accion);
// Creates the notes of changes (a side table and the triggers of the three tables that fill it), inside the
// caller's transaction. Throws Fallo.
void instalar_anotacion(PGconn* c);
// Lets go of the notes older than `antiguedad_s` seconds and records the purge point. Throws Fallo.
void purgar_cambios(PGconn* c, double antiguedad_s);
// The reason of a failure, in the user's words.
QString explicar(const Fallo& f, bool escritura);

} // namespace MotorPg

std::unique_ptr<Motor> motor_pg(const QString& uri);
