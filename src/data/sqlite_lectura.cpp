// The file engine's reads: every table of one read in one state of the file, each value converted once as its
// column's class needs.
#include "data/sqlite_interno.h"

#include "data/error_datos.h"
#include "data/sentencias_sqlite.h"
#include "data/valores.h"

#include <QDate>
#include <QFileInfo>
#include <algorithm>

namespace {

using namespace SqliteInterno;

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

void enviar_fila(sqlite3_stmt* crudo, const Tabla& t, ReceptorFilas& receptor);

} // namespace

namespace SqliteInterno {

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

bool codigo_usado(sqlite3* db, const Tabla& uso, int columna, qint64 codigo) {
    const Sentencia st = preparar(db, SentenciasSqlite::codigo_usado(uso, columna));
    sqlite3_stmt* crudo = st.get();
    sqlite3_bind_int64(crudo, 1, codigo);
    int rc;
    while ((rc = sqlite3_step(crudo)) == SQLITE_ROW)
        if (entero_de_columna(crudo, 0) == codigo)
            return true;
    if (rc != SQLITE_DONE)
        throw SQLite::Exception(db, rc);
    return false;
}

bool leer_fila_de(sqlite3* db, const Tabla& t, qint64 identidad, ReceptorFilas& receptor) {
    const Sentencia st = preparar(db, SentenciasSqlite::leer_fila(t));
    sqlite3_stmt* crudo = st.get();
    sqlite3_bind_int64(crudo, 1, identidad);
    const int rc = sqlite3_step(crudo);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        throw SQLite::Exception(db, rc);
    enviar_fila(crudo, t, receptor);
    return true;
}

Sentencia preparar(sqlite3* db, const QString& sql) {
    const QByteArray texto = sql.toUtf8();
    sqlite3_stmt* crudo = nullptr;
    if (const int rc = sqlite3_prepare_v2(db, texto.constData(), -1, &crudo, nullptr); rc != SQLITE_OK)
        throw SQLite::Exception(db, rc);
    return Sentencia(crudo);
}

} // namespace SqliteInterno

namespace {

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
        const qint64 total = conexion_.db().execAndGet(SentenciasSqlite::contar_filas(t).toStdString()).getInt64();
        // The texts cannot take more room than the file that holds them.
        const qint64 tamano = QFileInfo(conexion_.ruta()).size();
        receptor.reservar(total, std::min(tamano, total * 4096));

        const QByteArray sql = SentenciasSqlite::leer_tabla(t).toUtf8();
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

} // namespace

std::unique_ptr<Motor::Lectura> SqliteInterno::lectura(Conexion c) {
    return std::make_unique<LecturaSqlite>(std::move(c));
}
