// The inventory's tables on a server: checking that a database holds one, creating one, and the notes of changes
// that let a refresh read only what changed.
#include "data/pg_interno.h"

#include "data/error_datos.h"
#include "data/ubicacion.h"

#include <cstring>

using namespace PgInterno;

namespace PgInterno {

// The database must hold the mark of an inventory and the three tables with their columns in order.
void comprobar_inventario(PGconn* c, const QString& uri) {
    const auto rechazar = [&](const QString& m) { throw ErrorDatos(texto_apertura(uri, m)); };
    try {
        Resultado columnas = ejecutar(c, QString::fromLatin1(SentenciasPg::columnas_inventario), {}, PGRES_TUPLES_OK);
        std::map<QString, QStringList> tablas;
        for (int i = 0; i < PQntuples(columnas.get()); ++i)
            tablas[QString::fromUtf8(PQgetvalue(columnas.get(), i, 0))]
                << QString::fromUtf8(PQgetvalue(columnas.get(), i, 1));
        if (tablas.empty())
            rechazar(QStringLiteral("no tiene ningún inventario; está vacía."));
        if (!tablas.count(QStringLiteral("talvirenca")))
            rechazar(QStringLiteral("pertenece a otro programa."));
        Resultado marca = ejecutar(c, QString::fromLatin1(SentenciasPg::marca_inventario), {}, PGRES_TUPLES_OK);
        if (PQntuples(marca.get()) != 1 || std::strcmp(PQgetvalue(marca.get(), 0, 0), "Talvirenca") != 0)
            rechazar(QStringLiteral("pertenece a otro programa."));
        if (std::atoi(PQgetvalue(marca.get(), 0, 1)) > Esquema::user_version)
            rechazar(QStringLiteral("la ha creado una versión más reciente del programa."));
        for (const Tabla* t : {&Esquema::elemento, &Esquema::tipo, &Esquema::marca}) {
            const QStringList esperadas = SentenciasPg::columnas(*t).split(QStringLiteral(", "));
            const auto it = tablas.find(nombre(t->nombre));
            if (it == tablas.end())
                rechazar(QStringLiteral("le falta la tabla %1; no es un inventario de Talvirenca.")
                             .arg(QLatin1String(t->nombre)));
            if (it->second != esperadas)
                rechazar(QStringLiteral("la tabla %1 no tiene las columnas de un inventario de Talvirenca.")
                             .arg(QLatin1String(t->nombre)));
        }
    } catch (const FalloPg& f) {
        rechazar(motivo(f, false));
    }
}

// How long the notes of changes are kept: a program that has not refreshed for longer reads its tables whole.
constexpr double retencion_cambios_s = 7 * 24 * 3600;

// The notes of changes of an inventory that lacks them are installed at its first use by a user allowed to;
// for any other user the tables are read whole, as before. Old notes are purged. Nothing here stops the work: a
// failure only leaves the tables read whole.
void preparar_anotacion(PGconn* c) {
    const auto instalada = [c] {
        Resultado r = ejecutar(c, QString::fromLatin1(SentenciasPg::anotacion_instalada), {}, PGRES_TUPLES_OK);
        return *PQgetvalue(r.get(), 0, 0) == 't';
    };
    try {
        if (!instalada()) {
            en_transaccion(c, [&] {
                ejecutar(c, QString::fromLatin1(SentenciasPg::turno_anotacion), {}, PGRES_TUPLES_OK);
                if (!instalada())
                    MotorPg::instalar_anotacion(c);
            });
        }
        MotorPg::purgar_cambios(c, retencion_cambios_s);
    } catch (const FalloPg&) {
        // Not allowed (or another program is changing the tables): this run reads the tables whole.
    }
}

} // namespace PgInterno

namespace MotorPg {

void instalar_anotacion(PGconn* c) {
    ejecutar(c, QString::fromLatin1(SentenciasPg::instalar_anotacion), {}, PGRES_COMMAND_OK);
    for (const Tabla* t : {&Esquema::tipo, &Esquema::marca, &Esquema::elemento})
        ejecutar(c, QString::fromLatin1(SentenciasPg::disparadores_anotacion).arg(nombre(t->nombre)), {},
                 PGRES_COMMAND_OK);
}

void purgar_cambios(PGconn* c, double antiguedad_s) {
    ejecutar(c, QString::fromLatin1(SentenciasPg::purgar_cambios), {QByteArray::number(antiguedad_s, 'f', 3)},
             PGRES_COMMAND_OK);
}
void comprobar_inventario(PGconn* c, const QString& uri) {
    PgInterno::comprobar_inventario(c, uri);
}

} // namespace MotorPg

namespace Servidor {

bool vacia(const QString& uri) {
    try {
        PGconn* c = MotorPg::conexion_sin_comprobar(uri);
        Resultado r = ejecutar(c, QString::fromLatin1(SentenciasPg::tablas_inventario), {}, PGRES_TUPLES_OK);
        return std::atoll(PQgetvalue(r.get(), 0, 0)) == 0;
    } catch (const FalloPg& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
        return false;
    } catch (const ErrorDatos&) {
        return false;
    }
}

void crear_inventario(const QString& uri) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    PGconn* c = MotorPg::conexion_sin_comprobar(uri);
    try {
        en_transaccion(c, [&] {
            Resultado r = ejecutar(c, QString::fromLatin1(SentenciasPg::tablas_inventario), {}, PGRES_TUPLES_OK);
            if (std::atoll(PQgetvalue(r.get(), 0, 0)) != 0)
                throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: ya tiene un inventario o "
                                                "tablas con sus nombres.")
                                     .arg(visible));
            ejecutar(c, QString::fromLatin1(SentenciasPg::crear_tablas), {}, PGRES_COMMAND_OK);
            ejecutar(c, QString::fromLatin1(SentenciasPg::marcar_inventario).arg(Esquema::user_version), {},
                     PGRES_COMMAND_OK);
            MotorPg::instalar_anotacion(c);
        });
    } catch (const FalloPg& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: %2").arg(visible, motivo(f, true)));
    }
    MotorPg::olvidar_comprobacion(uri);
}

} // namespace Servidor
