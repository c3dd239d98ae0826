#include "data/traslado.h"

#include "data/error_datos.h"
#include "data/motor_pg.h"
#include "data/origen_datos.h"
#include "data/ubicacion.h"

#include <cstring>

namespace {

QString texto_fallo(const QString& uri, const QString& motivo) {
    return QStringLiteral("no se ha podido trasladar el inventario a %1: %2")
        .arg(Ubicacion::sin_contrasena(uri), motivo);
}

// A value in COPY's text form: backslash, tab and line breaks escaped; \N for null.
void anadir_campo(QByteArray& linea, const std::optional<QByteArray>& valor) {
    if (!valor) {
        linea += "\\N";
        return;
    }
    for (const char c : *valor) {
        switch (c) {
        case '\\':
            linea += "\\\\";
            break;
        case '\t':
            linea += "\\t";
            break;
        case '\n':
            linea += "\\n";
            break;
        case '\r':
            linea += "\\r";
            break;
        default:
            linea += c;
        }
    }
}

void copiar_tabla(PGconn* c, const QString& uri, OrigenDatos& origen) {
    const Tabla& t = origen.tabla();
    QStringList columnas;
    for (const Columna& col : t.columnas)
        columnas << QString::fromLatin1(col.nombre).toLower();
    MotorPg::ejecutar(
        c, QStringLiteral("COPY %1 (%2) FROM STDIN").arg(QString::fromLatin1(t.nombre).toLower(), columnas.join(u", ")),
        {}, PGRES_COPY_IN);
    QByteArray bloque;
    const auto enviar = [&] {
        if (PQputCopyData(c, bloque.constData(), static_cast<int>(bloque.size())) != 1)
            throw MotorPg::Fallo{{}, QString::fromUtf8(PQerrorMessage(c)), PQstatus(c) != CONNECTION_OK};
        bloque.clear();
    };
    for (int fila = 0; fila < origen.numero_filas(); ++fila) {
        for (int i = 0; i < t.numero_columnas(); ++i) {
            if (i > 0)
                bloque += '\t';
            anadir_campo(bloque, MotorPg::parametro(t.columnas[i].clase, origen.valor(fila, i)));
        }
        bloque += '\n';
        if (bloque.size() > 256 * 1024)
            enviar();
    }
    enviar();
    if (PQputCopyEnd(c, nullptr) != 1)
        throw MotorPg::Fallo{{}, QString::fromUtf8(PQerrorMessage(c)), PQstatus(c) != CONNECTION_OK};
    MotorPg::Resultado r(PQgetResult(c));
    while (PGresult* resto = PQgetResult(c))
        PQclear(resto);
    if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK)
        throw MotorPg::Fallo{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                             r ? QString::fromUtf8(PQresultErrorMessage(r.get())) : QString(),
                             PQstatus(c) != CONNECTION_OK};
    Q_UNUSED(uri);
}

} // namespace

namespace Traslado {

Cuentas trasladar(const QString& archivo, const QString& uri) {
    if (!Motor::es_servidor(uri))
        throw ErrorDatos(texto_fallo(uri, QStringLiteral("el destino debe ser una dirección postgresql://.")));
    if (Motor::es_servidor(archivo))
        throw ErrorDatos(texto_fallo(uri, QStringLiteral("el origen debe ser un archivo de inventario.")));
    // The whole file is read first: a file that cannot be read leaves the server untouched.
    OrigenDatos elementos, tipos, marcas;
    const std::pair<OrigenDatos*, const char*> origenes[] = {
        {&tipos, "Tipo"}, {&marcas, "Marca"}, {&elementos, "Elemento"}};
    for (const auto& [origen, tabla] : origenes) {
        origen->enlazar_base_datos(archivo);
        origen->enlazar_tabla(QString::fromLatin1(tabla));
        origen->refrescar();
    }
    if (Servidor::vacia(uri))
        Esquema::crear_inventario(uri);
    // Opening a reading checks that the database holds an inventory, and says why when it does not.
    Motor::para(uri)->empezar_lectura();
    PGconn* c = MotorPg::conexion_sin_comprobar(uri);
    try {
        MotorPg::ejecutar(c, QStringLiteral("BEGIN"), {}, PGRES_COMMAND_OK);
        try {
            // A large inventory takes longer to send than the wait allowed for one statement of the windows.
            MotorPg::ejecutar(c, QStringLiteral("SET LOCAL statement_timeout = 0"), {}, PGRES_COMMAND_OK);
            // Nobody else writes to the tables until the copy ends.
            MotorPg::ejecutar(c, QStringLiteral("LOCK TABLE elemento, tipo, marca IN EXCLUSIVE MODE"), {},
                              PGRES_COMMAND_OK);
            MotorPg::Resultado filas = MotorPg::ejecutar(c,
                                                         QStringLiteral("SELECT (SELECT count(*) FROM elemento), "
                                                                        "(SELECT count(*) FROM tipo) + (SELECT "
                                                                        "count(*) FROM marca)"),
                                                         {}, PGRES_TUPLES_OK);
            if (std::atoll(PQgetvalue(filas.get(), 0, 0)) > 0)
                throw ErrorDatos(texto_fallo(
                    uri, QStringLiteral("el inventario del servidor ya tiene componentes; solo se traslada a un "
                                        "inventario vacío.")));
            if (std::atoll(PQgetvalue(filas.get(), 0, 1)) > 0)
                throw ErrorDatos(texto_fallo(
                    uri, QStringLiteral("el inventario del servidor ya tiene tipos o marcas; solo se traslada a un "
                                        "inventario vacío.")));
            for (const auto& [origen, tabla] : origenes)
                copiar_tabla(c, uri, *origen);
            MotorPg::ejecutar(c, QStringLiteral("COMMIT"), {}, PGRES_COMMAND_OK);
        } catch (...) {
            if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
                MotorPg::Resultado(PQexec(c, "ROLLBACK"));
            throw;
        }
    } catch (const MotorPg::Fallo& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
        if (f.estado == "23505")
            throw ErrorDatos(texto_fallo(uri, QStringLiteral("el archivo tiene códigos repetidos en una tabla, que "
                                                             "el servidor no admite.")));
        if (f.estado == "23502")
            throw ErrorDatos(texto_fallo(uri, QStringLiteral("el archivo tiene filas sin código o con columnas "
                                                             "vacías que el servidor no admite.")));
        throw ErrorDatos(texto_fallo(uri, MotorPg::explicar(f, true)));
    }
    return {elementos.numero_filas(), tipos.numero_filas(), marcas.numero_filas()};
}

} // namespace Traslado
