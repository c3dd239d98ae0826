// The inventory file engine: SQLite through one connection per read or write, as every operation always had. Its
// reads are in sqlite_lectura.cpp, its statements in sentencias_sqlite.cpp.
#include "data/sqlite_interno.h"

#include "data/custodia_interno.h"
#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/historial.h"
#include "data/sentencias_sqlite.h"
#include "data/valores.h"

#include <QDate>
#include <limits>

namespace {

using namespace SqliteInterno;

void enlazar_valor(SQLite::Statement& st, int indice, Clase clase, const QVariant& v) {
    if (v.isNull() && v.typeId() != QMetaType::QString) {
        st.bind(indice);
        return;
    }
    switch (clase) {
    case Clase::entero:
        st.bind(indice, static_cast<int64_t>(v.toLongLong()));
        break;
    case Clase::real:
        st.bind(indice, v.toDouble());
        break;
    case Clase::texto:
        st.bind(indice, v.toString().toStdString());
        break;
    case Clase::fecha:
        st.bind(indice, v.toDate().toString(Qt::ISODate).toStdString());
        break;
    case Clase::logico:
        st.bind(indice, v.toBool() ? 1 : 0);
        break;
    }
}

// A row's values as the data sources give them from their snapshots, each converted as its column's class needs:
// what a write compares with the values the row had when it was read.
class ReceptorValores : public ReceptorFilas {
public:
    explicit ReceptorValores(const Tabla& t) : t_(t) {}
    ValoresFila valores;

    void reservar(qint64, qint64) override {}
    void fila(qint64) override { columna_ = 0; }
    void entero(qint64 valor) override {
        switch (t_.columnas[columna_].clase) {
        case Clase::fecha:
            poner(QDate::fromJulianDay(valor));
            break;
        case Clase::logico:
            poner(valor != 0);
            break;
        default:
            poner(QVariant::fromValue<qlonglong>(valor));
        }
    }
    void real(double valor) override { poner(valor); }
    void texto(const char* datos, std::size_t longitud) override {
        poner(QString::fromUtf8(datos, qsizetype(longitud)));
    }
    void nulo() override { poner(QVariant()); }

private:
    void poner(QVariant v) { valores[columna_++] = std::move(v); }
    const Tabla& t_;
    int columna_ = 0;
};

// True when the row `identidad` is still in the file with the values it had when it was read: another program (or
// another copy of this one on a shared folder) may have changed or removed it since, and its change is kept.
bool sigue_igual(sqlite3* db, const Tabla& t, qint64 identidad, const ValoresFila& antes) {
    ReceptorValores ahora(t);
    if (!leer_fila_de(db, t, identidad, ahora))
        return false;
    for (int i = 0; i < t.numero_columnas(); ++i)
        if (ahora.valores[i] != antes[i])
            return false;
    return true;
}

class MotorSqlite : public Motor {
public:
    explicit MotorSqlite(const QString& ruta) : ruta_(ruta) {}

    std::optional<Huella> huella_antes_de_escribir() const override { return antes_; }

    std::unique_ptr<Lectura> empezar_lectura() override {
        return lectura(Conexion::abrir(ruta_, Conexion::Modo::lectura));
    }

    qint64 insertar(const Tabla& t, const ValoresFila& valores) override {
        qint64 rowid = 0;
        escribir([&](SQLite::Database& db) { rowid = insertar_en(db, t, valores); });
        return rowid;
    }

    std::pair<qint64, qint64> insertar_con_codigo_nuevo(const Tabla& t, ValoresFila valores) override {
        qint64 rowid = 0;
        // The file is held for writing from BEGIN IMMEDIATE on, so no other program takes the same code meanwhile.
        escribir([&](SQLite::Database& db) {
            SQLite::Statement mayor(db, SentenciasSqlite::codigo_mayor(t).toStdString());
            mayor.executeStep();
            const qint64 ultimo = mayor.getColumn(0).isNull() ? 0 : mayor.getColumn(0).getInt64();
            if (ultimo == std::numeric_limits<qint64>::max())
                throw ErrorDatos(
                    QStringLiteral("no quedan códigos libres en la tabla %1.").arg(QLatin1String(t.nombre)));
            valores[0] = QVariant::fromValue<qlonglong>(ultimo + 1);
            rowid = insertar_en(db, t, valores);
        });
        return {rowid, valores[0].toLongLong()};
    }

    std::optional<qint64> modificar(const Tabla& t, qint64 identidad, const ValoresFila& antes,
                                    const ValoresFila& despues) override {
        qint64 rowid = identidad;
        const bool esta = escribir_si_esta([&](SQLite::Database& db, bool& ausente) {
            if (!sigue_igual(db.getHandle(), t, identidad, antes)) {
                ausente = true;
                return;
            }
            exigir_tipo_y_marca(db, t, despues, &antes);
            // A table whose code is its row number gives the row a new number with a new code; the one
            // returned is the row's identity from now on.
            const std::optional<Custodia::FilaTexto> leida = Custodia::Archivo::fila(db.getHandle(), t.nombre, identidad);
            SQLite::Statement st(db, SentenciasSqlite::modificar(t).toStdString());
            for (int i = 0; i < t.numero_columnas(); ++i)
                enlazar_valor(st, i + 1, t.columnas[i].clase, despues[i]);
            st.bind(t.numero_columnas() + 1, static_cast<int64_t>(identidad));
            int cambiadas = 0;
            while (st.executeStep()) {
                rowid = st.getColumn(0).getInt64();
                ++cambiadas;
            }
            ausente = cambiadas != 1;
            if (ausente)
                return;
            const std::optional<Custodia::FilaTexto> escrita = Custodia::Archivo::fila(db.getHandle(), t.nombre, rowid);
            if (leida != escrita)
                Custodia::Archivo::anotar(db, ruta_, t.nombre, despues[0].toLongLong(),
                                          antes[0].toLongLong() != despues[0].toLongLong() ? Historial::Cambio::codigo
                                                                                         : Historial::Cambio::modificacion,
                                          leida, escrita);
            // The component's hand-outs follow a new code in the same transaction.
            if (!ausente && &t == &Esquema::elemento && antes[0].toLongLong() != despues[0].toLongLong())
                Custodia::Archivo::cambiar_codigo(db, antes[0].toLongLong(), despues[0].toLongLong());
        });
        if (!esta)
            return std::nullopt;
        return rowid;
    }

    bool borrar(const Tabla& t, const std::vector<std::pair<qint64, ValoresFila>>& filas) override {
        return escribir_si_esta([&](SQLite::Database& db, bool& ausente) {
            SQLite::Statement st(db, SentenciasSqlite::borrar(t).toStdString());
            for (const auto& fila : filas) {
                st.bind(1, static_cast<int64_t>(fila.first));
                // Another program may have removed or changed the row meanwhile: nothing is reported deleted that
                // was not, and nothing is deleted that the user did not see.
                if (!sigue_igual(db.getHandle(), t, fila.first, fila.second)) {
                    ausente = true;
                    return;
                }
                const std::optional<Custodia::FilaTexto> leida =
                    Custodia::Archivo::fila(db.getHandle(), t.nombre, fila.first);
                if (st.exec() != 1) {
                    ausente = true;
                    return;
                }
                st.reset();
                Custodia::Archivo::anotar(db, ruta_, t.nombre, fila.second[0].toLongLong(), Historial::Cambio::borrado,
                                          leida, std::nullopt);
            }
            // A deleted component's hand-outs go with it, in the same transaction.
            if (&t == &Esquema::elemento)
                for (const auto& fila : filas)
                    Custodia::Archivo::borrar_elemento(db, fila.second[0].toLongLong());
        });
    }

    void escribir_sesion(const std::function<void(Custodia::Sesion&)>& cuerpo) override {
        escribir([&](SQLite::Database& db) { Custodia::Archivo::en_sesion(db, ruta_, cuerpo); });
    }

    Borrado borrar_si_no_usado(const Tabla& t, qint64 identidad, const ValoresFila& antes, qint64 codigo,
                               const Tabla& uso, int columna_uso) override {
        Borrado resultado = Borrado::hecho;
        const bool esta = escribir_si_esta([&](SQLite::Database& db, bool& ausente) {
            if (!sigue_igual(db.getHandle(), t, identidad, antes)) {
                ausente = true;
                return;
            }
            if (codigo_usado(db.getHandle(), uso, columna_uso, codigo)) {
                resultado = Borrado::en_uso;
                return;
            }
            const std::optional<Custodia::FilaTexto> leida = Custodia::Archivo::fila(db.getHandle(), t.nombre, identidad);
            SQLite::Statement st(db, SentenciasSqlite::borrar(t).toStdString());
            st.bind(1, static_cast<int64_t>(identidad));
            ausente = st.exec() != 1;
            if (!ausente)
                Custodia::Archivo::anotar(db, ruta_, t.nombre, antes[0].toLongLong(), Historial::Cambio::borrado, leida,
                                          std::nullopt);
        });
        return esta ? resultado : Borrado::ya_no_esta;
    }

private:
    void escribir(const std::function<void(SQLite::Database&)>& cambios) {
        antes_.reset();
        Conexion conexion = Conexion::abrir(ruta_, Conexion::Modo::escritura);
        conexion.ejecutar_en_transaccion([&](SQLite::Database& db) {
            antes_ = conexion.huella();
            cambios(db);
        });
    }

    // Runs `cambios` in one transaction, undone when they find a row no longer there; false then.
    bool escribir_si_esta(const std::function<void(SQLite::Database&, bool& ausente)>& cambios) {
        bool ausente = false;
        try {
            escribir([&](SQLite::Database& db) {
                cambios(db, ausente);
                if (ausente)
                    throw ErrorDatos(QString());
            });
        } catch (const ErrorDatos&) {
            if (!ausente)
                throw;
        }
        return !ausente;
    }

    // A component is stored only with a type and a brand that exist, checked inside the write's transaction: a card
    // read before another user deleted its type cannot point a component at it. A change checks only what it
    // changes, so a row kept from an older file with a missing type can still be corrected field by field.
    void exigir_tipo_y_marca(SQLite::Database& db, const Tabla& t, const ValoresFila& valores,
                             const ValoresFila* antes = nullptr) const {
        if (&t != &Esquema::elemento)
            return;
        for (const auto& [ordinal, tabla] : {std::pair{1, &Esquema::tipo}, std::pair{2, &Esquema::marca}}) {
            if (antes && Valores::texto((*antes)[ordinal]) == Valores::texto(valores[ordinal]))
                continue;
            if (!codigo_usado(db.getHandle(), *tabla, 0, valores[ordinal].toLongLong()))
                throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: el tipo o la marca del "
                                                "componente ya no está en la base de datos.")
                                     .arg(ruta_));
        }
    }

    qint64 insertar_en(SQLite::Database& db, const Tabla& t, const ValoresFila& valores) const {
        exigir_tipo_y_marca(db, t, valores);
        // A new component starts with no hand-outs: those an older program left behind when it deleted a component
        // of the same code, or moved it to another code, go.
        if (&t == &Esquema::elemento)
            Custodia::Archivo::borrar_elemento(db, valores[0].toLongLong());
        SQLite::Statement st(db, SentenciasSqlite::insertar(t).toStdString());
        for (int i = 0; i < t.numero_columnas(); ++i)
            enlazar_valor(st, i + 1, t.columnas[i].clase, valores[i]);
        st.exec();
        const qint64 rowid = db.getLastInsertRowid();
        Custodia::Archivo::anotar(db, ruta_, t.nombre, valores[0].toLongLong(), Historial::Cambio::alta, std::nullopt,
                                  Custodia::Archivo::fila(db.getHandle(), t.nombre, rowid));
        return rowid;
    }

    QString ruta_;
    std::optional<Huella> antes_;
};

} // namespace

std::unique_ptr<Motor> motor_sqlite(const QString& ruta) {
    return std::make_unique<MotorSqlite>(ruta);
}
