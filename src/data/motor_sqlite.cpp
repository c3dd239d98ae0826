// The inventory file engine: SQLite through one connection per read or write, as every operation always had.
#include "data/motor.h"

#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/valores.h"

#include <QDate>
#include <QFileInfo>
#include <QStringList>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <limits>
#include <memory>
#include <sqlite3.h>

namespace {

struct Finalizar {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Sentencia = std::unique_ptr<sqlite3_stmt, Finalizar>;

QString lista_columnas(const Tabla& t, const QString& formato) {
    QStringList partes;
    for (const Columna& c : t.columnas)
        partes << formato.arg(QLatin1String(c.nombre));
    return partes.join(QStringLiteral(", "));
}

// An ISO date "YYYY-MM-DD" (optionally followed by a time) as a day number.
std::optional<qint64> dia_de_iso(const unsigned char* s, int n) {
    if (n < 10 || s[4] != '-' || s[7] != '-')
        return std::nullopt;
    int campos[3] = {0, 0, 0};
    const int inicio[3] = {0, 5, 8}, largo[3] = {4, 2, 2};
    for (int k = 0; k < 3; ++k)
        for (int i = inicio[k]; i < inicio[k] + largo[k]; ++i) {
            if (s[i] < '0' || s[i] > '9')
                return std::nullopt;
            campos[k] = campos[k] * 10 + (s[i] - '0');
        }
    const QDate fecha(campos[0], campos[1], campos[2]);
    if (!fecha.isValid())
        return std::nullopt;
    return fecha.toJulianDay();
}

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

void enviar_fila(sqlite3_stmt* crudo, const Tabla& t, ReceptorFilas& receptor);

// The whole number a column holds, read as the lists read it: an integer as it is, a real cut to its whole part, a
// text as a user would type it (" 5 " is 5); none for a null or anything else. Every check that compares codes
// read from the file uses it, so a check never sees a different number than the list shows.
std::optional<qint64> entero_de_columna(sqlite3_stmt* crudo, int col) {
    switch (sqlite3_column_type(crudo, col)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_column_int64(crudo, col);
    case SQLITE_NULL:
        return std::nullopt;
    default:
        return Valores::entero_de_texto(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(crudo, col))));
    }
}

// Whether a row of `uso` holds `codigo` in column `columna`, as the lists read it.
bool codigo_usado(sqlite3* db, const Tabla& uso, int columna, qint64 codigo) {
    const QString nombre = QLatin1String(uso.columnas[columna].nombre);
    const QByteArray sql = QStringLiteral("SELECT %2 FROM %1 WHERE %2 = ?1 OR typeof(%2) IN ('real', 'text', 'blob')")
                               .arg(QLatin1String(uso.nombre), nombre)
                               .toUtf8();
    sqlite3_stmt* crudo = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &crudo, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(crudo, sqlite3_finalize);
    if (rc != SQLITE_OK)
        throw SQLite::Exception(db, rc);
    sqlite3_bind_int64(crudo, 1, codigo);
    while ((rc = sqlite3_step(crudo)) == SQLITE_ROW)
        if (entero_de_columna(crudo, 0) == codigo)
            return true;
    if (rc != SQLITE_DONE)
        throw SQLite::Exception(db, rc);
    return false;
}

// Reads the row `identidad` as a whole-table read gives it; false when there is none. Throws SQLite::Exception.
bool leer_fila_de(sqlite3* db, const Tabla& t, qint64 identidad, ReceptorFilas& receptor) {
    const QByteArray sql = QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid = ?")
                               .arg(lista_columnas(t, QStringLiteral("%1")), QLatin1String(t.nombre))
                               .toUtf8();
    sqlite3_stmt* crudo = nullptr;
    if (const int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &crudo, nullptr); rc != SQLITE_OK)
        throw SQLite::Exception(db, rc);
    Sentencia st(crudo);
    sqlite3_bind_int64(crudo, 1, identidad);
    const int rc = sqlite3_step(crudo);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        throw SQLite::Exception(db, rc);
    enviar_fila(crudo, t, receptor);
    return true;
}

// Hands the statement's current row (rowid, then the table's columns) to `receptor`, each value converted as its
// column's class needs.
void enviar_fila(sqlite3_stmt* crudo, const Tabla& t, ReceptorFilas& receptor) {
    receptor.fila(sqlite3_column_int64(crudo, 0));
    const int columnas = t.numero_columnas();
    for (int i = 0; i < columnas; ++i) {
        const int col = i + 1;
        const int tipo = sqlite3_column_type(crudo, col);
        if (i == 0 && tipo != SQLITE_INTEGER)
            receptor.codigo_no_entero();
        if (tipo == SQLITE_NULL) {
            receptor.nulo();
            continue;
        }
        switch (t.columnas[i].clase) {
        case Clase::entero:
        case Clase::logico: {
            const std::optional<qint64> n = entero_de_columna(crudo, col);
            if (!n)
                receptor.nulo();
            else
                receptor.entero(t.columnas[i].clase == Clase::logico ? qint64(*n != 0) : *n);
            break;
        }
        case Clase::real:
            receptor.real(sqlite3_column_double(crudo, col));
            break;
        case Clase::texto: {
            const auto* s = reinterpret_cast<const char*>(sqlite3_column_text(crudo, col));
            receptor.texto(s, static_cast<size_t>(sqlite3_column_bytes(crudo, col)));
            break;
        }
        case Clase::fecha: {
            const unsigned char* s = sqlite3_column_text(crudo, col);
            if (auto dia = dia_de_iso(s, sqlite3_column_bytes(crudo, col)))
                receptor.entero(*dia);
            else
                receptor.nulo();
            break;
        }
        }
    }
}

class LecturaSqlite : public Motor::Lectura {
public:
    explicit LecturaSqlite(Conexion c) : conexion_(std::move(c)), lectura_(conexion_.empezar_lectura()) {}
    std::optional<Huella> huella() override { return conexion_.huella(); }
    void leer_tabla(const Tabla& t, ReceptorFilas& receptor) override;
    bool leer_fila(const Tabla& t, qint64 identidad, ReceptorFilas& receptor) override;

private:
    Conexion conexion_;
    Conexion::Lectura lectura_;
};

void LecturaSqlite::leer_tabla(const Tabla& t, ReceptorFilas& receptor) {
    sqlite3* db = conexion_.db().getHandle();
    const auto fallo = [&](int rc) { conexion_.fallo_lectura(SQLite::Exception(db, rc)); };
    try {
        const qint64 total =
            conexion_.db()
                .execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(t.nombre)).toStdString())
                .getInt64();
        // The texts cannot take more room than the file that holds them.
        const qint64 tamano = QFileInfo(conexion_.ruta()).size();
        receptor.reservar(total, std::min(tamano, total * 4096));

        const QByteArray sql = QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY Codigo, rowid")
                                   .arg(lista_columnas(t, QStringLiteral("%1")), QLatin1String(t.nombre))
                                   .toUtf8();
        sqlite3_stmt* crudo = nullptr;
        if (int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &crudo, nullptr); rc != SQLITE_OK)
            fallo(rc);
        Sentencia st(crudo);
        int rc;
        while ((rc = sqlite3_step(crudo)) == SQLITE_ROW)
            enviar_fila(crudo, t, receptor);
        if (rc != SQLITE_DONE)
            fallo(rc);
    } catch (const ErrorDatos&) {
        throw;
    } catch (const std::exception& e) {
        conexion_.fallo_lectura(e);
    }
}

bool LecturaSqlite::leer_fila(const Tabla& t, qint64 identidad, ReceptorFilas& receptor) {
    try {
        return leer_fila_de(conexion_.db().getHandle(), t, identidad, receptor);
    } catch (const std::exception&) {
        return false;
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
        return std::make_unique<LecturaSqlite>(Conexion::abrir(ruta_, Conexion::Modo::lectura));
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
            SQLite::Statement mayor(
                db, QStringLiteral("SELECT max(Codigo) FROM %1").arg(QLatin1String(t.nombre)).toStdString());
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
            SQLite::Statement st(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ? RETURNING rowid")
                                         .arg(QLatin1String(t.nombre), lista_columnas(t, QStringLiteral("%1 = ?")))
                                         .toStdString());
            for (int i = 0; i < t.numero_columnas(); ++i)
                enlazar_valor(st, i + 1, t.columnas[i].clase, despues[i]);
            st.bind(t.numero_columnas() + 1, static_cast<int64_t>(identidad));
            int cambiadas = 0;
            while (st.executeStep()) {
                rowid = st.getColumn(0).getInt64();
                ++cambiadas;
            }
            ausente = cambiadas != 1;
        });
        if (!esta)
            return std::nullopt;
        return rowid;
    }

    bool borrar(const Tabla& t, const std::vector<std::pair<qint64, ValoresFila>>& filas) override {
        return escribir_si_esta([&](SQLite::Database& db, bool& ausente) {
            SQLite::Statement st(
                db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QLatin1String(t.nombre)).toStdString());
            for (const auto& fila : filas) {
                st.bind(1, static_cast<int64_t>(fila.first));
                // Another program may have removed or changed the row meanwhile: nothing is reported deleted that
                // was not, and nothing is deleted that the user did not see.
                if (!sigue_igual(db.getHandle(), t, fila.first, fila.second) || st.exec() != 1) {
                    ausente = true;
                    return;
                }
                st.reset();
            }
        });
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
            SQLite::Statement st(
                db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QLatin1String(t.nombre)).toStdString());
            st.bind(1, static_cast<int64_t>(identidad));
            ausente = st.exec() != 1;
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
        SQLite::Statement st(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                     .arg(QLatin1String(t.nombre), lista_columnas(t, QStringLiteral("%1")),
                                          QStringList(t.numero_columnas(), QStringLiteral("?")).join(u", "))
                                     .toStdString());
        for (int i = 0; i < t.numero_columnas(); ++i)
            enlazar_valor(st, i + 1, t.columnas[i].clase, valores[i]);
        st.exec();
        return db.getLastInsertRowid();
    }

    QString ruta_;
    std::optional<Huella> antes_;
};

} // namespace

std::unique_ptr<Motor> motor_sqlite(const QString& ruta) {
    return std::make_unique<MotorSqlite>(ruta);
}
