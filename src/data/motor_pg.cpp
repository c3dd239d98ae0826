// The server engine: an inventory in a PostgreSQL database, through libpq, and its writes, each one transaction
// whose checks run inside it. Its connections are in pg_conexion.cpp, its reads in pg_lectura.cpp, its tables and
// the notes of changes in pg_esquema.cpp, and the statements about those notes in sentencias_pg.h.
#include "data/pg_interno.h"

#include "data/custodia_interno.h"
#include "data/error_datos.h"
#include "data/ubicacion.h"
#include "data/valores.h"

#include <cstring>
#include <limits>

namespace {

using namespace PgInterno;

class MotorServidor : public Motor {
public:
    explicit MotorServidor(const QString& uri) : uri_(uri) {}

    std::unique_ptr<Lectura> empezar_lectura() override { return lectura(uri_); }

    qint64 insertar(const Tabla& t, const ValoresFila& valores) override {
        qint64 codigo = 0;
        try {
            transaccion(uri_, [&](PGconn* c) {
                Custodia::Servidor::asegurar_tablas(c, uri_);
                codigo = insertar_en(c, t, valores);
            });
        } catch (const ErrorDatos&) {
            if (duplicado_ && &t == &Esquema::elemento)
                throw ErrorDatos(QStringLiteral("ya existe un componente con ese código."));
            throw;
        }
        return codigo;
    }

    std::pair<qint64, qint64> insertar_con_codigo_nuevo(const Tabla& t, ValoresFila valores) override {
        // Another program adding rows without taking turns may still take the same code; this one then tries again.
        for (int intento = 0;; ++intento) {
            try {
                qint64 codigo = 0;
                transaccion(uri_, [&](PGconn* c) {
                Custodia::Servidor::asegurar_tablas(c, uri_);
                    // Writers of this table take their turns from here to the end of the transaction, so a writer
                    // that keeps adding cannot keep taking the code another one is about to use; reading goes on.
                    ejecutar(c, SentenciasPg::turno_escritores(t), {}, PGRES_COMMAND_OK);
                    Resultado mayor = ejecutar(c, SentenciasPg::codigo_mayor(t), {}, PGRES_TUPLES_OK);
                    const qint64 ultimo = std::atoll(PQgetvalue(mayor.get(), 0, 0));
                    if (ultimo == std::numeric_limits<qint64>::max())
                        throw ErrorDatos(
                            QStringLiteral("no quedan códigos libres en la tabla %1.").arg(QLatin1String(t.nombre)));
                    valores[0] = QVariant::fromValue<qlonglong>(ultimo + 1);
                    codigo = insertar_en(c, t, valores);
                });
                return {codigo, codigo};
            } catch (const ErrorDatos&) {
                if (!duplicado_ || intento >= 20)
                    throw;
            }
        }
    }

    std::optional<qint64> modificar(const Tabla& t, qint64 identidad, const ValoresFila& antes,
                                    const ValoresFila& despues) override {
        std::optional<qint64> codigo;
        duplicado_ = false;
        try {
            transaccion(uri_, [&](PGconn* c) {
                Custodia::Servidor::asegurar_tablas(c, uri_);
                Parametros valores;
                for (int i = 0; i < t.numero_columnas(); ++i)
                    valores.push_back(parametro(t.columnas[i].clase, despues[i]));
                valores_como_leida(t, identidad, antes, valores);
                // A component is pointed only at a type and a brand that exist, as when it is added; a change checks
                // only what it changes, so an older row with a missing type can still be corrected.
                std::vector<int> ordinales;
                if (&t == &Esquema::elemento)
                    for (int ordinal : {1, 2})
                        if (Valores::texto(antes[ordinal]) != Valores::texto(despues[ordinal]))
                            ordinales.push_back(ordinal);
                Resultado r = ejecutar(c, SentenciasPg::modificar(t, ordinales), valores, PGRES_TUPLES_OK);
                if (PQntuples(r.get()) == 1) {
                    codigo = std::atoll(PQgetvalue(r.get(), 0, 0));
                    return;
                }
                // Not changed: the row is not as it was read, or the type or brand it would point at is gone.
                for (int ordinal : ordinales) {
                    Resultado hay = ejecutar(c, SentenciasPg::existe_codigo(t, ordinal), {valores[size_t(ordinal)]},
                                             PGRES_TUPLES_OK);
                    if (PQntuples(hay.get()) == 0)
                        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: el tipo o la "
                                                        "marca del componente ya no está en la base de datos.")
                                             .arg(Ubicacion::sin_contrasena(uri_)));
                }
            });
        } catch (const ErrorDatos&) {
            if (duplicado_ && &t == &Esquema::elemento)
                throw ErrorDatos(QStringLiteral("ya existe un componente con ese código."));
            throw;
        }
        return codigo;
    }

    bool borrar(const Tabla& t, const std::vector<std::pair<qint64, ValoresFila>>& filas) override {
        bool todas = true;
        try {
            transaccion(uri_, [&](PGconn* c) {
                Custodia::Servidor::asegurar_tablas(c, uri_);
                for (const auto& [identidad, antes] : filas)
                    if (!borrar_en(c, t, identidad, antes)) {
                        todas = false;
                        // Nothing is deleted when one row is no longer there as it was read.
                        throw FalloPg{"ausente", {}, false};
                    }
            });
        } catch (const ErrorDatos&) {
            if (todas)
                throw;
        }
        return todas;
    }

    void escribir_sesion(const std::function<void(Custodia::Sesion&)>& cuerpo) override {
        transaccion(uri_, [&](PGconn* c) { Custodia::Servidor::en_sesion(c, uri_, cuerpo); });
    }

    Borrado borrar_si_no_usado(const Tabla& t, qint64 identidad, const ValoresFila& antes, qint64 codigo,
                               const Tabla& uso, int columna_uso) override {
        Borrado resultado = Borrado::hecho;
        try {
            transaccion(uri_, [&](PGconn* c) {
                Custodia::Servidor::asegurar_tablas(c, uri_);
                // Holding the using table against writes until the end: a row added meanwhile either came first
                // and is seen here, or waits and finds this row gone.
                ejecutar(c, SentenciasPg::bloquear_uso(uso), {}, PGRES_COMMAND_OK);
                Resultado usado =
                    ejecutar(c, SentenciasPg::en_uso(uso, columna_uso), {QByteArray::number(codigo)}, PGRES_TUPLES_OK);
                if (PQntuples(usado.get()) > 0) {
                    resultado = Borrado::en_uso;
                    return;
                }
                if (!borrar_en(c, t, identidad, antes)) {
                    resultado = Borrado::ya_no_esta;
                    throw FalloPg{"ausente", {}, false};
                }
            });
        } catch (const ErrorDatos&) {
            if (resultado != Borrado::ya_no_esta)
                throw;
        }
        return resultado;
    }

private:
    // The row as it was read, after the parameters already in `valores`: its identity and every other column.
    static void valores_como_leida(const Tabla& t, qint64 identidad, const ValoresFila& antes, Parametros& valores) {
        valores.push_back(QByteArray::number(identidad));
        for (int i = 1; i < t.numero_columnas(); ++i)
            valores.push_back(parametro(t.columnas[i].clase, antes[i]));
    }

    static bool borrar_en(PGconn* c, const Tabla& t, qint64 identidad, const ValoresFila& antes) {
        Parametros valores;
        valores_como_leida(t, identidad, antes, valores);
        Resultado r = ejecutar(c, SentenciasPg::borrar(t), valores, PGRES_COMMAND_OK);
        return std::strcmp(PQcmdTuples(r.get()), "1") == 0;
    }

    qint64 insertar_en(PGconn* c, const Tabla& t, const ValoresFila& valores) {
        Parametros p;
        for (int i = 0; i < t.numero_columnas(); ++i)
            p.push_back(parametro(t.columnas[i].clase, valores[i]));
        duplicado_ = false;
        try {
            Resultado r = ejecutar(c, SentenciasPg::insertar(t), p, PGRES_TUPLES_OK);
            if (PQntuples(r.get()) != 1)
                throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: el tipo o la marca del "
                                                "componente ya no está en la base de datos.")
                                     .arg(Ubicacion::sin_contrasena(uri_)));
            return std::atoll(PQgetvalue(r.get(), 0, 0));
        } catch (const FalloPg& f) {
            duplicado_ = f.estado == "23505";
            throw;
        }
    }

    QString uri_;
    bool duplicado_ = false;
};

} // namespace

std::unique_ptr<Motor> motor_pg(const QString& uri) {
    return std::make_unique<MotorServidor>(uri);
}
