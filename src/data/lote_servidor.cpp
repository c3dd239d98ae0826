#include "data/lote_servidor.h"

#include "data/error_datos.h"
#include "data/motor_pg.h"
#include "data/ubicacion.h"

#include <QStringList>
#include <cstdlib>

namespace LoteServidor {

namespace {

using LoteInventario::Componente;
using LoteInventario::Existente;
using LoteInventario::Nombre;
using MotorPg::ejecutar;
using MotorPg::Fallo;
using MotorPg::Resultado;
using Parametros = std::vector<std::optional<QByteArray>>;

// Rows sent by one statement: few statements for many rows, well below the server's limit of parameters.
constexpr std::size_t filas_por_orden = 1000;

PGconn* conexion(const QString& uri) {
    PGconn* c = MotorPg::conexion_sin_comprobar(uri);
    MotorPg::comprobar_inventario(c, uri);
    return c;
}

Existente leer_en(PGconn* c) {
    Existente e;
    for (auto [sql, destino] : {std::pair{"SELECT codigo, nombre FROM tipo ORDER BY codigo", &e.tipos},
                                std::pair{"SELECT codigo, nombre FROM marca ORDER BY codigo", &e.marcas}}) {
        Resultado r = ejecutar(c, QString::fromLatin1(sql), {}, PGRES_TUPLES_OK);
        destino->reserve(std::size_t(PQntuples(r.get())));
        for (int i = 0; i < PQntuples(r.get()); ++i)
            destino->push_back({std::atoll(PQgetvalue(r.get(), i, 0)), QString::fromUtf8(PQgetvalue(r.get(), i, 1))});
    }
    Resultado r = ejecutar(c, QStringLiteral("SELECT codigo FROM elemento ORDER BY codigo"), {}, PGRES_TUPLES_OK);
    e.codigos.reserve(std::size_t(PQntuples(r.get())));
    for (int i = 0; i < PQntuples(r.get()); ++i)
        e.codigos.push_back(std::atoll(PQgetvalue(r.get(), i, 0)));
    return e;
}

// "INSERT INTO tabla (columnas) VALUES ($1, ...), (...)" for `filas` rows of `columnas` values.
QString insercion(const char* tabla, const char* columnas, int por_fila, std::size_t filas) {
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(QLatin1String(tabla), QLatin1String(columnas));
    int n = 0;
    for (std::size_t f = 0; f < filas; ++f) {
        sql += f == 0 ? QStringLiteral("(") : QStringLiteral(", (");
        for (int i = 0; i < por_fila; ++i)
            sql += (i == 0 ? QStringLiteral("$") : QStringLiteral(", $")) + QString::number(++n);
        sql += u')';
    }
    return sql;
}

// Each list written by batches, `valores` giving the values of one element.
template <class T, class F>
void insertar(PGconn* c, const char* tabla, const char* columnas, int por_fila, const std::vector<T>& lista,
              F&& valores) {
    Parametros p;
    for (std::size_t i = 0; i < lista.size(); i += filas_por_orden) {
        const std::size_t n = std::min(filas_por_orden, lista.size() - i);
        p.clear();
        p.reserve(n * std::size_t(por_fila));
        for (std::size_t j = i; j < i + n; ++j)
            valores(lista[j], p);
        ejecutar(c, insercion(tabla, columnas, por_fila, n), p, PGRES_COMMAND_OK);
    }
}

// What became of the transaction `id`, whose COMMIT was sent when the connection was lost, asked on a new
// connection: returns when the server stored it, otherwise says what the user needs to know.
void averiguar(const QString& uri, const QByteArray& id) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    QByteArray estado;
    try {
        Resultado r = ejecutar(MotorPg::conexion_sin_comprobar(uri), QStringLiteral("SELECT pg_xact_status($1::xid8)"),
                               {id}, PGRES_TUPLES_OK);
        if (!PQgetisnull(r.get(), 0, 0))
            estado = PQgetvalue(r.get(), 0, 0);
    } catch (const Fallo& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
    } catch (const ErrorDatos&) {
        // The server cannot be reached again: what it did stays unknown.
    }
    if (estado == "committed")
        return;
    if (estado == "aborted")
        throw ErrorDatos(QStringLiteral("no se han podido añadir los componentes a %1: se ha perdido la conexión con "
                                        "el servidor mientras los guardaba, y el servidor confirma que no los ha "
                                        "guardado. No se ha añadido nada.")
                             .arg(visible));
    throw ErrorDatos(QStringLiteral("no se sabe si se han añadido los componentes a %1: se ha perdido la conexión con "
                                    "el servidor mientras los guardaba, y no se ha podido averiguar si llegó a "
                                    "guardarlos. Busque los componentes en la lista antes de volver a importar la "
                                    "hoja.")
                         .arg(visible));
}

// Sends the COMMIT; false when the connection was lost before its answer came.
bool confirmar(PGconn* c) {
    Resultado r(PQsendQuery(c, "COMMIT") == 1 ? PQgetResult(c) : nullptr);
    while (PGresult* resto = r ? PQgetResult(c) : nullptr)
        PQclear(resto);
    if (r && PQresultStatus(r.get()) == PGRES_COMMAND_OK)
        return true;
    if (PQstatus(c) != CONNECTION_OK)
        return false;
    throw Fallo{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                QString::fromUtf8(PQerrorMessage(c)).section(u'\n', 0, 0), false};
}

} // namespace

Existente leer(const QString& uri) {
    try {
        PGconn* c = conexion(uri);
        ejecutar(c, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"), {}, PGRES_COMMAND_OK);
        try {
            Existente e = leer_en(c);
            ejecutar(c, QStringLiteral("COMMIT"), {}, PGRES_COMMAND_OK);
            return e;
        } catch (...) {
            if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
                Resultado(PQexec(c, "ROLLBACK"));
            throw;
        }
    } catch (const Fallo& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
        throw ErrorDatos(QStringLiteral("no se puede leer la base de datos %1: %2")
                             .arg(Ubicacion::sin_contrasena(uri), MotorPg::explicar(f, false)));
    }
}

void anadir(const QString& uri, const Existente& antes, const std::vector<Nombre>& tipos,
            const std::vector<Nombre>& marcas, const std::vector<Componente>& componentes) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    QByteArray id;
    try {
        PGconn* c = conexion(uri);
        ejecutar(c, QStringLiteral("BEGIN"), {}, PGRES_COMMAND_OK);
        try {
            // Other writers wait from here to the end, so the check below still holds when the rows go in;
            // readers go on.
            ejecutar(c, QStringLiteral("LOCK TABLE tipo, marca, elemento IN SHARE ROW EXCLUSIVE MODE"), {},
                     PGRES_COMMAND_OK);
            if (!(leer_en(c) == antes))
                throw ErrorDatos(QStringLiteral("el inventario %1 ha cambiado mientras se preparaba la importación; "
                                                "no se ha añadido nada. Vuelva a importar la hoja.")
                                     .arg(visible));
            for (auto [tabla, lista] : {std::pair{"tipo", &tipos}, std::pair{"marca", &marcas}})
                insertar(c, tabla, "codigo, nombre", 2, *lista, [](const Nombre& n, Parametros& p) {
                    p.push_back(QByteArray::number(n.codigo));
                    p.push_back(n.nombre.toUtf8());
                });
            insertar(c, "elemento", "codigo, tipo, marca, modelo, numserie, fecha, garantia, descripcion, renting", 9,
                     componentes, [](const Componente& k, Parametros& p) {
                         p.push_back(QByteArray::number(k.codigo));
                         p.push_back(QByteArray::number(k.tipo));
                         p.push_back(QByteArray::number(k.marca));
                         p.push_back(k.modelo.toUtf8());
                         p.push_back(k.num_serie.toUtf8());
                         p.push_back(MotorPg::parametro(Clase::fecha, k.fecha));
                         p.push_back(MotorPg::parametro(Clase::real, k.garantia));
                         p.push_back(k.descripcion.toUtf8());
                         p.push_back(MotorPg::parametro(Clase::logico, k.renting));
                     });
            Resultado r = ejecutar(c, QStringLiteral("SELECT pg_current_xact_id()::text"), {}, PGRES_TUPLES_OK);
            id = PQgetvalue(r.get(), 0, 0);
            if (confirmar(c))
                return;
        } catch (...) {
            if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
                Resultado(PQexec(c, "ROLLBACK"));
            throw;
        }
    } catch (const Fallo& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
        throw ErrorDatos(QStringLiteral("no se han podido añadir los componentes a %1: %2 No se ha añadido nada.")
                             .arg(visible, MotorPg::explicar(f, true)));
    }
    // The connection was lost while the COMMIT was on its way.
    MotorPg::olvidar(uri);
    averiguar(uri, id);
}

} // namespace LoteServidor
