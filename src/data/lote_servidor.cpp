#include "data/lote_servidor.h"

#include "data/error_datos.h"
#include "data/pg_interno.h"
#include "data/ubicacion.h"

#include <QStringList>
#include <cstdlib>

namespace LoteServidor {

namespace {

using LoteInventario::Componente;
using LoteInventario::Existente;
using LoteInventario::Nombre;
using namespace PgInterno;
using Fallo = MotorPg::Fallo;

// Rows sent by one statement: few statements for many rows, well below the server's limit of parameters.
constexpr std::size_t filas_por_orden = 1000;

// This thread's connection to the inventory, checked once per connection as every operation's is.
PGconn* conexion(const QString& uri) {
    bool reutilizada = false;
    return PgInterno::conexion(uri, true, reutilizada);
}

Existente leer_en(PGconn* c) {
    Existente e;
    for (auto [sql, destino] :
         {std::pair{SentenciasPg::tipos_existentes, &e.tipos}, std::pair{SentenciasPg::marcas_existentes, &e.marcas}}) {
        Resultado r = ejecutar(c, QString::fromLatin1(sql), {}, PGRES_TUPLES_OK);
        destino->reserve(std::size_t(PQntuples(r.get())));
        for (int i = 0; i < PQntuples(r.get()); ++i)
            destino->push_back({std::atoll(PQgetvalue(r.get(), i, 0)), QString::fromUtf8(PQgetvalue(r.get(), i, 1))});
    }
    // A retired component's code is taken too: an imported row never gets it.
    Resultado hay_bajas = ejecutar(c, QStringLiteral("SELECT to_regclass('baja') IS NOT NULL"), {}, PGRES_TUPLES_OK);
    const bool bajas = PQgetvalue(hay_bajas.get(), 0, 0)[0] == 't';
    Resultado r = ejecutar(c,
                           bajas ? QStringLiteral("SELECT codigo FROM elemento UNION SELECT codigo FROM baja ORDER BY 1")
                                 : QString::fromLatin1(SentenciasPg::codigos_existentes),
                           {}, PGRES_TUPLES_OK);
    e.codigos.reserve(std::size_t(PQntuples(r.get())));
    for (int i = 0; i < PQntuples(r.get()); ++i)
        e.codigos.push_back(std::atoll(PQgetvalue(r.get(), i, 0)));
    return e;
}

// Each list written by batches, `valores` giving the values of one element.
template <class T, class F> void insertar(PGconn* c, const Tabla& t, const std::vector<T>& lista, F&& valores) {
    Parametros p;
    for (std::size_t i = 0; i < lista.size(); i += filas_por_orden) {
        const std::size_t n = std::min(filas_por_orden, lista.size() - i);
        p.clear();
        p.reserve(n * std::size_t(t.numero_columnas()));
        for (std::size_t j = i; j < i + n; ++j)
            valores(lista[j], p);
        ejecutar(c, SentenciasPg::insertar_filas(t, n), p, PGRES_COMMAND_OK);
    }
}

// What the user is told when the connection was lost while the import's COMMIT was on its way.
const TextosConfirmacion textos_confirmacion{
    QStringLiteral("no se han podido añadir los componentes a %1: se ha perdido la conexión con el servidor mientras "
                   "los guardaba, y el servidor confirma que no los ha guardado. No se ha añadido nada."),
    QStringLiteral("no se sabe si se han añadido los componentes a %1: se ha perdido la conexión con el servidor "
                   "mientras los guardaba, y no se ha podido averiguar si llegó a guardarlos. Busque los componentes "
                   "en la lista antes de volver a importar la hoja.")};

} // namespace

Existente leer(const QString& uri) {
    try {
        PGconn* c = conexion(uri);
        Existente e;
        en_transaccion(
            c, [&] { e = leer_en(c); }, SentenciasPg::empezar_lectura);
        return e;
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
    try {
        PGconn* c = conexion(uri);
        bool empezado = false;
        confirmada(
            c, uri, empezado,
            [&] {
                // Other writers wait from here to the end, so the check below still holds when the rows go in;
                // readers go on.
                ejecutar(c, QString::fromLatin1(SentenciasPg::turno_importacion), {}, PGRES_COMMAND_OK);
                if (!(leer_en(c) == antes))
                    throw ErrorDatos(
                        QStringLiteral("el inventario %1 ha cambiado mientras se preparaba la importación; "
                                       "no se ha añadido nada. Vuelva a importar la hoja.")
                            .arg(visible));
                for (auto [tabla, lista] : {std::pair{&Esquema::tipo, &tipos}, std::pair{&Esquema::marca, &marcas}})
                    insertar(c, *tabla, *lista, [](const Nombre& n, Parametros& p) {
                        p.push_back(QByteArray::number(n.codigo));
                        p.push_back(n.nombre.toUtf8());
                    });
                insertar(c, Esquema::elemento, componentes, [](const Componente& k, Parametros& p) {
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
            },
            textos_confirmacion);
    } catch (const Fallo& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
        throw ErrorDatos(QStringLiteral("no se han podido añadir los componentes a %1: %2 No se ha añadido nada.")
                             .arg(visible, MotorPg::explicar(f, true)));
    }
}

} // namespace LoteServidor
