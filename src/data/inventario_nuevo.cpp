#include "data/inventario_nuevo.h"

#include "data/archivo_nuevo.h"
#include "data/conexion.h"
#include "data/error_datos.h"
#include "data/esquema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// Components written by one statement: each statement costs as much again as a few rows, so many go at once.
constexpr std::size_t componentes_por_orden = 64;
// How often the disk is asked to start writing what the file holds so far.
constexpr int ordenes_por_escritura = 64;
constexpr int columnas_elemento = 9;

} // namespace

struct InventarioNuevo::Estado {
    explicit Estado(Conexion c) : conexion(std::move(c)) {}
    ~Estado() {
        sqlite3_finalize(elemento);
        sqlite3_finalize(elementos);
        if (archivo >= 0)
            ::close(archivo);
    }
    Conexion conexion;
    std::unique_ptr<SQLite::Statement> tipo;
    std::unique_ptr<SQLite::Statement> marca;
    // The C API's own statements, for one component and for many: the components are many, and bound without
    // copies.
    sqlite3_stmt* elemento = nullptr;
    sqlite3_stmt* elementos = nullptr;
    // The dates' texts, alive until the statement that binds them has run.
    char fechas[componentes_por_orden][10];
    bool en_transaccion = false;
    // The file again, to start its writing to the disk early; and the statements run since the last start.
    int archivo = -1;
    int ordenes = 0;
};

namespace {

// The failure told with the destination's name, never the temporary one the user does not know.
[[noreturn]] void fallo(const QString& destino, const std::exception& e, const QString& temporal = QString()) {
    if (const auto* d = dynamic_cast<const ErrorDatos*>(&e))
        throw temporal.isEmpty() ? *d : ErrorDatos(QString(d->texto()).replace(temporal, destino));
    QString motivo = QString::fromUtf8(e.what());
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        motivo = motivo_sqlite(s->getExtendedErrorCode());
    throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: %2").arg(destino, motivo));
}

void quitar(const QString& ruta) {
    QFile::remove(ruta);
    QFile::remove(ruta + QStringLiteral("-journal"));
}

} // namespace

InventarioNuevo::InventarioNuevo(const QString& destino) : destino_(destino) {
    if (destino.isEmpty())
        throw ErrorDatos(QStringLiteral("no se ha indicado el nombre de la base de datos nueva."));
    const QFileInfo info(destino);
    if (info.exists())
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: el archivo ya existe.").arg(destino));
    if (!info.absoluteDir().exists())
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: la carpeta no existe.").arg(destino));
    // A hidden name of its own in the same folder, so the naming at the end stays on one disk.
    QString error;
    temporal_ = ArchivoNuevo::reservar_temporal(destino, QStringLiteral(".importando"), &error);
    if (temporal_.isEmpty())
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: %2").arg(destino, error));
    try {
        estado_ = std::make_unique<Estado>(Conexion::crear(temporal_));
        SQLite::Database& db = estado_->conexion.db();
        // The file is not the destination until it is complete, so a crash needs no journal on disk to recover
        // from, and the disk is written once, at the end.
        db.exec("PRAGMA journal_mode = MEMORY");
        db.exec("PRAGMA synchronous = OFF");
        // A small cache: SQLite writes the finished pages to the file as it goes, and the disk starts writing
        // them while the rest is made, so the last wait for the disk is short.
        db.exec("PRAGMA cache_size = -2048");
        estado_->archivo = ::open(QFile::encodeName(temporal_).constData(), O_RDONLY | O_CLOEXEC);
        db.exec("BEGIN");
        estado_->en_transaccion = true;
        Esquema::crear_tablas(db);
        estado_->tipo = std::make_unique<SQLite::Statement>(db, "INSERT INTO Tipo (Codigo, Nombre) VALUES (?, ?)");
        estado_->marca = std::make_unique<SQLite::Statement>(db, "INSERT INTO Marca (Codigo, Nombre) VALUES (?, ?)");
        const auto preparar = [&](std::size_t filas, sqlite3_stmt** st) {
            QByteArray sql = "INSERT INTO Elemento (Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, "
                             "Descripcion, Renting) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
            for (std::size_t i = 1; i < filas; ++i)
                sql += ", (?, ?, ?, ?, ?, ?, ?, ?, ?)";
            const int resultado =
                sqlite3_prepare_v3(db.getHandle(), sql.constData(), -1, SQLITE_PREPARE_PERSISTENT, st, nullptr);
            if (resultado != SQLITE_OK)
                throw SQLite::Exception(db.getHandle(), resultado);
        };
        preparar(1, &estado_->elemento);
        preparar(componentes_por_orden, &estado_->elementos);
    } catch (const std::exception& e) {
        estado_.reset();
        quitar(temporal_);
        fallo(destino_, e, temporal_);
    }
}

InventarioNuevo::~InventarioNuevo() {
    if (!estado_)
        return;
    estado_.reset();
    quitar(temporal_);
}

namespace {

void insertar_nombre(SQLite::Statement& st, qint64 codigo, const QString& nombre) {
    st.bind(1, static_cast<int64_t>(codigo));
    st.bind(2, nombre.toStdString());
    st.exec();
    st.reset();
}

} // namespace

void InventarioNuevo::anadir_tipo(qint64 codigo, const QString& nombre) {
    try {
        insertar_nombre(*estado_->tipo, codigo, nombre);
    } catch (const std::exception& e) {
        fallo(destino_, e);
    }
}

void InventarioNuevo::anadir_marca(qint64 codigo, const QString& nombre) {
    try {
        insertar_nombre(*estado_->marca, codigo, nombre);
    } catch (const std::exception& e) {
        fallo(destino_, e);
    }
}

namespace {

void texto(sqlite3_stmt* st, int indice, QByteArrayView v) {
    // An empty text is bound as a text, not as no value.
    sqlite3_bind_text(st, indice, v.isEmpty() ? "" : v.data(), int(v.size()), SQLITE_STATIC);
}

// The text of a date as the file keeps it (YYYY-MM-DD), without the calendar machinery: this runs once per
// component.
void texto_fecha(const QDate& fecha, char* texto) {
    const qint64 z = fecha.toJulianDay() - 1721120; // days since 1 March of year 0
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int d = int(doy - (153 * mp + 2) / 5 + 1);
    const int m = int(mp < 10 ? mp + 3 : mp - 9);
    const int a = int(yoe + era * 400 + (m <= 2 ? 1 : 0));
    const int cifras[] = {a / 1000, a / 100 % 10, a / 10 % 10, a % 10, -1, m / 10, m % 10, -1, d / 10, d % 10};
    for (int i = 0; i < 10; ++i)
        texto[i] = cifras[i] < 0 ? '-' : char('0' + cifras[i]);
}

} // namespace

// The import's hot path: every component goes through here, bound without copies, many to a statement.
void InventarioNuevo::anadir_componentes(const Componente* componentes, std::size_t n) {
    while (n > 0) {
        const std::size_t filas = n >= componentes_por_orden ? componentes_por_orden : 1;
        sqlite3_stmt* st = filas == 1 ? estado_->elemento : estado_->elementos;
        for (std::size_t i = 0; i < filas; ++i) {
            const Componente& c = componentes[i];
            const int b = int(i) * columnas_elemento;
            sqlite3_bind_int64(st, b + 1, c.codigo);
            sqlite3_bind_int64(st, b + 2, c.tipo);
            sqlite3_bind_int64(st, b + 3, c.marca);
            texto(st, b + 4, c.modelo);
            texto(st, b + 5, c.num_serie);
            if (c.fecha && c.fecha->isValid()) {
                texto_fecha(*c.fecha, estado_->fechas[i]);
                sqlite3_bind_text(st, b + 6, estado_->fechas[i], 10, SQLITE_STATIC);
            } else {
                sqlite3_bind_null(st, b + 6);
            }
            sqlite3_bind_double(st, b + 7, c.garantia);
            texto(st, b + 8, c.descripcion);
            sqlite3_bind_int(st, b + 9, c.renting ? 1 : 0);
        }
        const int resultado = sqlite3_step(st);
        sqlite3_reset(st);
        if (resultado != SQLITE_DONE)
            fallo(destino_, SQLite::Exception(estado_->conexion.db().getHandle(), resultado));
        componentes += filas;
        n -= filas;
        // Only a start: the disk writes on its own, and the final fsync still waits for everything.
        if (++estado_->ordenes == ordenes_por_escritura && estado_->archivo >= 0) {
            ::sync_file_range(estado_->archivo, 0, 0, SYNC_FILE_RANGE_WRITE);
            estado_->ordenes = 0;
        }
    }
}

void InventarioNuevo::terminar() {
    try {
        estado_->tipo.reset();
        estado_->marca.reset();
        sqlite3_finalize(estado_->elemento);
        estado_->elemento = nullptr;
        sqlite3_finalize(estado_->elementos);
        estado_->elementos = nullptr;
        estado_->conexion.db().exec("COMMIT");
        estado_->en_transaccion = false;
    } catch (const std::exception& e) {
        estado_.reset();
        quitar(temporal_);
        fallo(destino_, e);
    }
    estado_.reset();
    // Written to the disk once, now that it is whole, before it takes the destination's name.
    if (!ArchivoNuevo::sincronizar(temporal_)) {
        quitar(temporal_);
        throw ErrorDatos(
            QStringLiteral("no se puede crear la base de datos %1: %2").arg(destino_, ArchivoNuevo::no_guardado()));
    }
    ArchivoNuevo::dar_nombre(temporal_, destino_, false, [&](const QString& motivo) {
        return QStringLiteral("no se puede crear la base de datos %1: %2").arg(destino_, motivo);
    });
}
