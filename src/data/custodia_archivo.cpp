// People, places and hand-outs in an inventory file: their tables, made by the first write that needs them, and
// the sessions the rules run their statements in.
#include "data/custodia_interno.h"

#include "data/error_datos.h"
#include "data/historial.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <atomic>
#include <memory>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

namespace Custodia {

namespace {

// The tables beside the inventory's three, and their version. The history and the archive of retired components
// share the version, so an inventory gains all of them in one step.
constexpr const char* crear_ampliacion = R"(
CREATE TABLE Ampliacion (
    Version INTEGER NOT NULL
) STRICT;
CREATE TABLE Persona (
    Codigo INTEGER PRIMARY KEY,
    Nombre TEXT NOT NULL CHECK (trim(Nombre) <> ''),
    Departamento TEXT NOT NULL DEFAULT '',
    Contacto TEXT NOT NULL DEFAULT ''
) STRICT;
CREATE TABLE Lugar (
    Codigo INTEGER PRIMARY KEY,
    Nombre TEXT NOT NULL CHECK (trim(Nombre) <> ''),
    Padre INTEGER
) STRICT;
CREATE TABLE Entrega (
    Codigo INTEGER PRIMARY KEY,
    Elemento INTEGER NOT NULL,
    Persona INTEGER,
    Lugar INTEGER,
    Desde TEXT NOT NULL,
    Hasta TEXT,
    Nota TEXT NOT NULL DEFAULT '',
    EstadoDevolucion TEXT NOT NULL DEFAULT '',
    NotaDevolucion TEXT NOT NULL DEFAULT '',
    CHECK (Persona IS NOT NULL OR Lugar IS NOT NULL),
    CHECK (Hasta IS NULL OR Hasta >= Desde)
) STRICT;
CREATE UNIQUE INDEX Entrega_abierta ON Entrega (Elemento) WHERE Hasta IS NULL;
CREATE INDEX Entrega_elemento ON Entrega (Elemento, Desde);
CREATE INDEX Entrega_persona ON Entrega (Persona) WHERE Persona IS NOT NULL;
CREATE INDEX Entrega_lugar ON Entrega (Lugar) WHERE Lugar IS NOT NULL;
CREATE TABLE Baja (
    Codigo INTEGER PRIMARY KEY,
    Tipo INTEGER NOT NULL DEFAULT 0,
    Marca INTEGER NOT NULL DEFAULT 0,
    Modelo TEXT NOT NULL DEFAULT '',
    NumSerie TEXT NOT NULL DEFAULT '',
    Fecha TEXT,
    Garantia REAL NOT NULL DEFAULT 0,
    Descripcion TEXT NOT NULL DEFAULT '',
    Renting INTEGER NOT NULL DEFAULT 0,
    FechaBaja TEXT NOT NULL,
    Motivo TEXT NOT NULL,
    Nota TEXT NOT NULL DEFAULT ''
) STRICT;
CREATE TABLE Historial (
    Codigo INTEGER PRIMARY KEY,
    Momento TEXT NOT NULL,
    Usuario TEXT NOT NULL,
    Tabla TEXT NOT NULL,
    Registro INTEGER NOT NULL,
    Cambio TEXT NOT NULL
) STRICT;
CREATE INDEX Historial_registro ON Historial (Tabla, Registro, Codigo);
CREATE TABLE HistorialColumna (
    Historial INTEGER NOT NULL,
    Columna INTEGER NOT NULL,
    Antes TEXT,
    Despues TEXT,
    PRIMARY KEY (Historial, Columna)
) STRICT;
)";

// Off only while the benchmark measures a write without its history.
std::atomic<bool> historial_activo{true};

// The Julian day of a date stored as "yyyy-mm-dd" (0 for anything else), read without building a text.
qint32 juliano(const unsigned char* t, int n) {
    const auto cifras = [t](int desde, int cuantas) {
        int v = 0;
        for (int i = desde; i < desde + cuantas; ++i) {
            if (t[i] < '0' || t[i] > '9')
                return -1;
            v = v * 10 + (t[i] - '0');
        }
        return v;
    };
    if (!t || n < 10 || t[4] != '-' || t[7] != '-')
        return 0;
    const int y = cifras(0, 4), m = cifras(5, 2), d = cifras(8, 2);
    if (y < 0 || m < 0 || d < 0)
        return 0;
    const QDate fecha(y, m, d);
    return fecha.isValid() ? qint32(fecha.toJulianDay()) : 0;
}

// Whether the file holds the tables, asked of the schema SQLite already loaded, without a statement.
bool con_tablas_en(sqlite3* db) {
    for (const char* tabla : {"Ampliacion", "Persona", "Lugar", "Entrega"})
        if (sqlite3_table_column_metadata(db, "main", tabla, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) !=
            SQLITE_OK)
            return false;
    return true;
}

// The statements that write entries, prepared once per write, with the moment and the user of that write.
struct Escritor {
    explicit Escritor(sqlite3* db)
        : db_(db), momento_(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8()),
          usuario_(Historial::usuario_del_sistema().toUtf8()) {
        entrada_ = preparar("INSERT INTO Historial (Momento, Usuario, Tabla, Registro, Cambio) VALUES (?, ?, ?, ?, ?)");
        columna_ = preparar("INSERT INTO HistorialColumna (Historial, Columna, Antes, Despues) VALUES (?, ?, ?, ?)");
    }
    ~Escritor() {
        sqlite3_finalize(entrada_);
        sqlite3_finalize(columna_);
    }
    Escritor(const Escritor&) = delete;
    Escritor& operator=(const Escritor&) = delete;

    void anotar(const char* tabla, qint64 registro, const char* cambio, const std::optional<FilaTexto>& antes,
                const std::optional<FilaTexto>& despues) {
        sqlite3_bind_text(entrada_, 1, momento_.constData(), int(momento_.size()), SQLITE_STATIC);
        sqlite3_bind_text(entrada_, 2, usuario_.constData(), int(usuario_.size()), SQLITE_STATIC);
        sqlite3_bind_text(entrada_, 3, tabla, -1, SQLITE_STATIC);
        sqlite3_bind_int64(entrada_, 4, registro);
        sqlite3_bind_text(entrada_, 5, cambio, -1, SQLITE_STATIC);
        paso(entrada_);
        const qint64 codigo = sqlite3_last_insert_rowid(db_);
        const size_t n = std::max(antes ? antes->size() : 0, despues ? despues->size() : 0);
        for (size_t i = 0; i < n; ++i) {
            const Valor a = antes && i < antes->size() ? (*antes)[i] : Valor();
            const Valor d = despues && i < despues->size() ? (*despues)[i] : Valor();
            if (a == d)
                continue;
            sqlite3_bind_int64(columna_, 1, codigo);
            sqlite3_bind_int(columna_, 2, int(i));
            for (const auto& [indice, v] : {std::pair{3, &a}, std::pair{4, &d}}) {
                if (*v) {
                    const QByteArray utf8 = (*v)->toUtf8();
                    sqlite3_bind_text(columna_, indice, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                } else {
                    sqlite3_bind_null(columna_, indice);
                }
            }
            paso(columna_);
        }
    }

private:
    sqlite3_stmt* preparar(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            if (entrada_)
                sqlite3_finalize(entrada_);
            throw SQLite::Exception(db_, sqlite3_errcode(db_));
        }
        return st;
    }
    void paso(sqlite3_stmt* st) {
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        if (rc != SQLITE_DONE)
            throw SQLite::Exception(db_, rc);
    }

    sqlite3* db_;
    QByteArray momento_;
    QByteArray usuario_;
    sqlite3_stmt* entrada_ = nullptr;
    sqlite3_stmt* columna_ = nullptr;
};

// One entry and its changed columns; the tables are there.
void anotar_en(sqlite3* db, const char* tabla, qint64 registro, const char* cambio,
               const std::optional<FilaTexto>& antes, const std::optional<FilaTexto>& despues) {
    Escritor(db).anotar(tabla, registro, cambio, antes, despues);
}

class SesionArchivo : public Sesion {
public:
    SesionArchivo(sqlite3* db, const QString& ruta) : db_(db), ruta_(ruta) {}

    bool servidor() const override { return false; }
    bool con_tablas() override {
        if (!con_tablas_)
            con_tablas_ = con_tablas_en(db_);
        return *con_tablas_;
    }

    std::vector<FilaTexto> filas(const QString& sql, const Parametros& p) override {
        std::vector<FilaTexto> resultado;
        Preparada st(*this, sql, p);
        const int n = sqlite3_column_count(st.crudo);
        int rc;
        while ((rc = sqlite3_step(st.crudo)) == SQLITE_ROW) {
            FilaTexto fila;
            fila.reserve(size_t(n));
            for (int i = 0; i < n; ++i) {
                if (sqlite3_column_type(st.crudo, i) == SQLITE_NULL) {
                    fila.emplace_back();
                    continue;
                }
                const auto* texto = reinterpret_cast<const char*>(sqlite3_column_text(st.crudo, i));
                fila.emplace_back(QString::fromUtf8(texto, sqlite3_column_bytes(st.crudo, i)));
            }
            resultado.push_back(std::move(fila));
        }
        comprobar(rc);
        return resultado;
    }

    void recorrer(const QString& sql, const Parametros& p,
                  const std::function<void(const std::vector<Celda>&)>& fila) override {
        Preparada st(*this, sql, p);
        std::vector<Celda> celdas(size_t(sqlite3_column_count(st.crudo)));
        int rc;
        while ((rc = sqlite3_step(st.crudo)) == SQLITE_ROW) {
            for (int i = 0; i < int(celdas.size()); ++i) {
                const bool nula = sqlite3_column_type(st.crudo, i) == SQLITE_NULL;
                celdas[size_t(i)].datos = nula ? nullptr : reinterpret_cast<const char*>(sqlite3_column_text(st.crudo, i));
                celdas[size_t(i)].bytes = nula ? 0 : sqlite3_column_bytes(st.crudo, i);
            }
            fila(celdas);
        }
        comprobar(rc);
    }

    void enteros(const QString& sql, int n, const std::function<void(const qint64*)>& fila,
                 const Parametros& p) override {
        Preparada st(*this, sql, p);
        std::vector<qint64> valores(static_cast<size_t>(n));
        int rc;
        while ((rc = sqlite3_step(st.crudo)) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i)
                valores[size_t(i)] = sqlite3_column_int64(st.crudo, i);
            fila(valores.data());
        }
        comprobar(rc);
    }

    qint64 orden(const QString& sql, const Parametros& p) override {
        Preparada st(*this, sql, p);
        const int rc = sqlite3_step(st.crudo);
        if (sqlite3_extended_errcode(db_) == SQLITE_CONSTRAINT_UNIQUE && rc != SQLITE_DONE)
            throw Duplicado{};
        comprobar(rc);
        return sqlite3_changes64(db_);
    }

    // A file's changes are told by its fingerprint instead.
    std::optional<qint64> cambios() override { return std::nullopt; }

    // The whole file is held for writing from the transaction's start.
    void turno(const char*) override {}
    void abiertas(std::vector<Abierta>& destino) override {
        // The table is walked in its own order rather than through the index of open hand-outs: nearly every row
        // is read, and a walk of the index would visit the table's pages out of order.
        Preparada st(*this,
                     QStringLiteral("SELECT Elemento, Persona, Lugar, Codigo, Desde FROM Entrega NOT INDEXED WHERE "
                                    "Hasta IS NULL"),
                     {});
        int rc;
        while ((rc = sqlite3_step(st.crudo)) == SQLITE_ROW) {
            destino.push_back({sqlite3_column_int64(st.crudo, 0), sqlite3_column_int64(st.crudo, 1),
                               sqlite3_column_int64(st.crudo, 2), sqlite3_column_int64(st.crudo, 3),
                               juliano(sqlite3_column_text(st.crudo, 4), sqlite3_column_bytes(st.crudo, 4))});
        }
        comprobar(rc);
    }

    std::optional<FilaTexto> fila(const char* tabla, qint64 codigo) override {
        return Archivo::fila(db_, tabla, codigo, "Codigo");
    }

    void anotar(const char* tabla, qint64 registro, const char* cambio, const std::optional<FilaTexto>& antes,
                const std::optional<FilaTexto>& despues) override {
        if (historial_activo)
            anotar_en(db_, tabla, registro, cambio, antes, despues);
    }

private:
    struct Preparada {
        Preparada(SesionArchivo& s, const QString& sql, const Parametros& p) {
            // The statements name their parameters $1, $2...; SQLite numbers them ?1, ?2...
            QByteArray texto = sql.toUtf8();
            texto.replace('$', '?');
            if (sqlite3_prepare_v2(s.db_, texto.constData(), int(texto.size()), &crudo, nullptr) != SQLITE_OK)
                throw SQLite::Exception(s.db_, sqlite3_errcode(s.db_));
            for (int i = 0; i < int(p.size()); ++i) {
                const QVariant& v = p[size_t(i)];
                if (v.isNull())
                    sqlite3_bind_null(crudo, i + 1);
                else if (v.typeId() == QMetaType::LongLong)
                    sqlite3_bind_int64(crudo, i + 1, v.toLongLong());
                else {
                    const QByteArray utf8 = v.toString().toUtf8();
                    sqlite3_bind_text(crudo, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                }
            }
        }
        ~Preparada() { sqlite3_finalize(crudo); }
        Preparada(const Preparada&) = delete;
        Preparada& operator=(const Preparada&) = delete;
        sqlite3_stmt* crudo = nullptr;
    };

    void comprobar(int rc) const {
        if (rc != SQLITE_DONE)
            throw SQLite::Exception(db_, rc);
    }

    sqlite3* db_;
    QString ruta_;
    std::optional<bool> con_tablas_;
};

// A newer program may have raised the tables' version: this one reads them but does not write them.
void exigir_version(SQLite::Database& db, const QString& ruta) {
    SQLite::Statement version(db, "SELECT max(Version) FROM Ampliacion");
    if (version.executeStep() && !version.getColumn(0).isNull() && version.getColumn(0).getInt() > version_ampliacion)
        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: las personas, los lugares y las "
                                        "entregas los ha creado una versión más reciente del programa.")
                             .arg(ruta));
}

void quitar_o_mover(SQLite::Database& db, const char* sql, qint64 viejo, std::optional<qint64> nuevo) {
    if (!con_tablas_en(db.getHandle()))
        return;
    // Another row may keep the code (a file made by hand can repeat codes): its hand-outs stay.
    SQLite::Statement otro(db, "SELECT 1 FROM Elemento WHERE Codigo = ? LIMIT 1");
    otro.bind(1, static_cast<int64_t>(viejo));
    if (otro.executeStep())
        return;
    SQLite::Statement st(db, sql);
    int i = 1;
    if (nuevo)
        st.bind(i++, static_cast<int64_t>(*nuevo));
    st.bind(i, static_cast<int64_t>(viejo));
    st.exec();
}

} // namespace

namespace Archivo {

void con_sesion(const QString& ruta, bool escritura, const std::function<void(Sesion&)>& cuerpo,
                std::optional<Huella>* huella) {
    if (!escritura) {
        Conexion c = Conexion::abrir(ruta, Conexion::Modo::lectura);
        const Conexion::Lectura lectura = c.empezar_lectura();
        try {
            if (huella)
                *huella = c.huella();
            SesionArchivo s(c.db().getHandle(), ruta);
            cuerpo(s);
        } catch (const ErrorDatos&) {
            throw;
        } catch (const std::exception& e) {
            c.fallo_lectura(e);
        }
        return;
    }
    Conexion c = Conexion::abrir(ruta, Conexion::Modo::escritura);
    c.ejecutar_en_transaccion([&](SQLite::Database& db) { en_sesion(db, ruta, cuerpo); });
}

void en_sesion(SQLite::Database& db, const QString& ruta, const std::function<void(Sesion&)>& cuerpo) {
    asegurar_tablas(db, ruta);
    SesionArchivo s(db.getHandle(), ruta);
    cuerpo(s);
}

void asegurar_tablas(SQLite::Database& db, const QString& ruta) {
    if (!con_tablas_en(db.getHandle())) {
        db.exec(crear_ampliacion);
        SQLite::Statement marca(db, "INSERT INTO Ampliacion (Version) VALUES (?)");
        marca.bind(1, version_ampliacion);
        marca.exec();
    }
    exigir_version(db, ruta);
}

std::optional<FilaTexto> fila(sqlite3* db, const char* tabla, qint64 numero_fila, const char* clave) {
    if (!historial_activo)
        return std::nullopt;
    sqlite3_stmt* crudo = nullptr;
    const QByteArray sql = QByteArrayLiteral("SELECT * FROM ") + tabla + " WHERE " + clave + " = ? LIMIT 1";
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &crudo, nullptr) != SQLITE_OK)
        throw SQLite::Exception(db, sqlite3_errcode(db));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(crudo, sqlite3_finalize);
    sqlite3_bind_int64(crudo, 1, numero_fila);
    const int rc = sqlite3_step(crudo);
    if (rc == SQLITE_DONE)
        return std::nullopt;
    if (rc != SQLITE_ROW)
        throw SQLite::Exception(db, rc);
    FilaTexto resultado;
    for (int i = 0; i < sqlite3_column_count(crudo); ++i)
        resultado.push_back(sqlite3_column_type(crudo, i) == SQLITE_NULL
                                ? Valor()
                                : Valor(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(crudo, i)),
                                                          sqlite3_column_bytes(crudo, i))));
    return resultado;
}

void con_historial(bool si) {
    historial_activo = si;
}

struct Anotador::Sentencias {
    explicit Sentencias(sqlite3* db) : escritor(db) {}
    Escritor escritor;
};

Anotador::Anotador(SQLite::Database& db, const QString& ruta) {
    if (!historial_activo)
        return;
    asegurar_tablas(db, ruta);
    s_ = std::make_unique<Sentencias>(db.getHandle());
}

Anotador::~Anotador() = default;

void Anotador::anotar(const char* tabla, qint64 registro, const char* cambio, const std::optional<FilaTexto>& antes,
                      const std::optional<FilaTexto>& despues) {
    if (s_)
        s_->escritor.anotar(tabla, registro, cambio, antes, despues);
}

void anotar(SQLite::Database& db, const QString& ruta, const char* tabla, qint64 registro, const char* cambio,
            const std::optional<FilaTexto>& antes, const std::optional<FilaTexto>& despues) {
    if (!historial_activo)
        return;
    asegurar_tablas(db, ruta);
    anotar_en(db.getHandle(), tabla, registro, cambio, antes, despues);
}

void cambiar_codigo(SQLite::Database& db, qint64 viejo, qint64 nuevo) {
    if (viejo != nuevo)
        quitar_o_mover(db, "UPDATE Entrega SET Elemento = ? WHERE Elemento = ?", viejo, nuevo);
}

void borrar_elemento(SQLite::Database& db, qint64 codigo) {
    quitar_o_mover(db, "DELETE FROM Entrega WHERE Elemento = ?", codigo, std::nullopt);
}

} // namespace Archivo

} // namespace Custodia
