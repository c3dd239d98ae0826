// The server engine's statements and write transactions: values as parameters, and a COMMIT whose answer was lost
// asked about again, so that a user is never told "not stored" about changes that are there.
#include "data/pg_interno.h"

#include "data/error_datos.h"
#include "data/ubicacion.h"

#include <QDate>

using namespace PgInterno;

namespace MotorPg {

std::optional<QByteArray> parametro(Clase clase, const QVariant& v) {
    if (v.isNull() && v.typeId() != QMetaType::QString)
        return std::nullopt;
    switch (clase) {
    case Clase::entero:
        return QByteArray::number(v.toLongLong());
    case Clase::real:
        return QByteArray::number(v.toDouble(), 'g', 17);
    case Clase::texto:
        return v.toString().toUtf8();
    case Clase::fecha: {
        // As a day number ("J2451545"), which the server reads for any date, before Christ or after year 9999.
        const QDate d = v.toDate();
        if (!d.isValid())
            return std::nullopt;
        return "J" + QByteArray::number(d.toJulianDay());
    }
    case Clase::logico:
        return QByteArray(v.toBool() ? "t" : "f");
    }
    return std::nullopt;
}

Resultado ejecutar(PGconn* c, const QString& sql, const Parametros& valores, ExecStatusType esperado) {
    std::vector<const char*> punteros;
    punteros.reserve(valores.size());
    for (const auto& v : valores)
        punteros.push_back(v ? v->constData() : nullptr);
    const QByteArray texto = sql.toUtf8();
    Resultado r(valores.empty() ? PQexec(c, texto.constData())
                                : PQexecParams(c, texto.constData(), static_cast<int>(punteros.size()), nullptr,
                                               punteros.data(), nullptr, nullptr, 0));
    if (r && PQresultStatus(r.get()) == esperado)
        return r;
    FalloPg fallo{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                  r && PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY)
                      ? QString::fromUtf8(PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY))
                      : primera_linea(PQerrorMessage(c)),
                  PQstatus(c) != CONNECTION_OK};
    if (fallo.estado.startsWith("08"))
        fallo.perdida = true;
    throw fallo;
}

} // namespace MotorPg

namespace {

MotorPg::AlConfirmar accion_al_confirmar;

} // namespace

namespace PgInterno {

using MotorPg::olvidar;

void averiguar_confirmacion(const QString& uri, const QByteArray& id, const TextosConfirmacion& textos) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    QByteArray estado;
    try {
        bool reutilizada = false;
        PGconn* c = conexion(uri, false, reutilizada);
        Resultado r = ejecutar(c, QString::fromLatin1(SentenciasPg::estado_transaccion), {id}, PGRES_TUPLES_OK);
        if (!PQgetisnull(r.get(), 0, 0))
            estado = PQgetvalue(r.get(), 0, 0);
    } catch (const FalloPg& f) {
        if (f.perdida)
            olvidar(uri);
    } catch (const ErrorDatos&) {
        // The server cannot be reached again: what it did stays unknown.
    }
    if (estado == "committed")
        return;
    throw ErrorDatos((estado == "aborted" ? textos.no_guardados : textos.no_se_sabe).arg(visible));
}

bool confirmar(PGconn* c, const QByteArray& id) {
    const bool enviado = PQsendQuery(c, "COMMIT") == 1;
    if (enviado && accion_al_confirmar)
        accion_al_confirmar(c, id);
    Resultado r(enviado ? PQgetResult(c) : nullptr);
    while (PGresult* resto = enviado ? PQgetResult(c) : nullptr)
        PQclear(resto);
    if (r && PQresultStatus(r.get()) == PGRES_COMMAND_OK)
        return true;
    if (PQstatus(c) != CONNECTION_OK)
        return false;
    throw FalloPg{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                  r && PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY)
                      ? QString::fromUtf8(PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY))
                      : primera_linea(PQerrorMessage(c)),
                  false};
}

// One write transaction: BEGIN, the changes, COMMIT; any failure rolls back. A connection lost during the COMMIT is
// followed by asking the server what became of the transaction, so that a user is never told "not stored" about
// changes that are there.
void transaccion(const QString& uri, const std::function<void(PGconn*)>& cambios) {
    con_conexion(uri, true, [&](PGconn* c, bool& empezado) {
        confirmada(c, uri, empezado, [&] { cambios(c); },
                   {QStringLiteral("no se han podido guardar los cambios en %1: se ha perdido la conexión con el "
                                   "servidor mientras los guardaba, y el servidor confirma que no los ha guardado."),
                    QStringLiteral("no se sabe si se han guardado los cambios en %1: se ha perdido la conexión con "
                                   "el servidor mientras los guardaba, y no se ha podido averiguar si llegó a "
                                   "guardarlos. Busque el registro en la lista antes de repetir los cambios.")});
    });
}

void confirmada(PGconn* c, const QString& uri, bool& empezado, const std::function<void()>& cambios,
                const TextosConfirmacion& textos) {
    ejecutar(c, QStringLiteral("BEGIN"), {}, PGRES_COMMAND_OK);
    empezado = true;
    QByteArray id;
    try {
        cambios();
        Resultado r = ejecutar(c, QString::fromLatin1(SentenciasPg::id_transaccion), {}, PGRES_TUPLES_OK);
        id = PQgetvalue(r.get(), 0, 0);
        if (confirmar(c, id))
            return;
    } catch (...) {
        if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
            Resultado(PQexec(c, "ROLLBACK"));
        throw;
    }
    olvidar(uri);
    averiguar_confirmacion(uri, id, textos);
}

void en_transaccion(PGconn* c, const std::function<void()>& cuerpo, const char* empezar) {
    ejecutar(c, QString::fromLatin1(empezar), {}, PGRES_COMMAND_OK);
    try {
        cuerpo();
        ejecutar(c, QStringLiteral("COMMIT"), {}, PGRES_COMMAND_OK);
    } catch (...) {
        if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
            Resultado(PQexec(c, "ROLLBACK"));
        throw;
    }
}

} // namespace PgInterno

namespace MotorPg {

void al_confirmar(AlConfirmar accion) {
    accion_al_confirmar = std::move(accion);
}

} // namespace MotorPg
