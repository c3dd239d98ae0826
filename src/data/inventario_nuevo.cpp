#include "data/inventario_nuevo.h"

#include "data/conexion.h"
#include "data/error_datos.h"
#include "data/esquema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

struct InventarioNuevo::Estado {
    explicit Estado(Conexion c) : conexion(std::move(c)) {}
    Conexion conexion;
    std::unique_ptr<SQLite::Statement> tipo;
    std::unique_ptr<SQLite::Statement> marca;
    std::unique_ptr<SQLite::Statement> elemento;
    bool en_transaccion = false;
};

namespace {

[[noreturn]] void fallo(const QString& destino, const std::exception& e) {
    if (const auto* d = dynamic_cast<const ErrorDatos*>(&e))
        throw *d;
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
    // A hidden name of its own in the same folder, so the final rename stays on one disk.
    do {
        temporal_ =
            info.absoluteDir().filePath(QStringLiteral(".%1.%2.importando")
                                            .arg(info.fileName())
                                            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    } while (QFileInfo::exists(temporal_));
    Esquema::crear_inventario(temporal_);
    try {
        estado_ = std::make_unique<Estado>(Conexion::abrir(temporal_, Conexion::Modo::escritura));
        SQLite::Database& db = estado_->conexion.db();
        // The file is not the destination until it is complete, so a crash needs no journal on disk to recover from.
        db.exec("PRAGMA journal_mode = MEMORY");
        db.exec("PRAGMA synchronous = OFF");
        db.exec("BEGIN");
        estado_->en_transaccion = true;
        estado_->tipo = std::make_unique<SQLite::Statement>(db, "INSERT INTO Tipo (Codigo, Nombre) VALUES (?, ?)");
        estado_->marca = std::make_unique<SQLite::Statement>(db, "INSERT INTO Marca (Codigo, Nombre) VALUES (?, ?)");
        estado_->elemento = std::make_unique<SQLite::Statement>(
            db, "INSERT INTO Elemento (Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, Descripcion, Renting) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    } catch (const std::exception& e) {
        estado_.reset();
        quitar(temporal_);
        fallo(destino_, e);
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

void InventarioNuevo::anadir_componente(const Componente& c) {
    try {
        SQLite::Statement& st = *estado_->elemento;
        st.bind(1, static_cast<int64_t>(c.codigo));
        st.bind(2, static_cast<int64_t>(c.tipo));
        st.bind(3, static_cast<int64_t>(c.marca));
        st.bind(4, c.modelo.toStdString());
        st.bind(5, c.num_serie.toStdString());
        if (c.fecha)
            st.bind(6, c.fecha->toString(Qt::ISODate).toStdString());
        else
            st.bind(6);
        st.bind(7, c.garantia);
        st.bind(8, c.descripcion.toStdString());
        st.bind(9, c.renting ? 1 : 0);
        st.exec();
        st.reset();
    } catch (const std::exception& e) {
        fallo(destino_, e);
    }
}

void InventarioNuevo::terminar() {
    try {
        estado_->tipo.reset();
        estado_->marca.reset();
        estado_->elemento.reset();
        estado_->conexion.db().exec("COMMIT");
        estado_->en_transaccion = false;
    } catch (const std::exception& e) {
        estado_.reset();
        quitar(temporal_);
        fallo(destino_, e);
    }
    estado_.reset();
    // A hard link gives the file its name only when that name is free; then the temporary name goes.
    const QByteArray desde = QFile::encodeName(temporal_);
    const QByteArray hasta = QFile::encodeName(destino_);
    if (::link(desde.constData(), hasta.constData()) == 0) {
        ::unlink(desde.constData());
        return;
    }
    const int error = errno;
    if (error == EEXIST) {
        quitar(temporal_);
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: el archivo ya existe.").arg(destino_));
    }
    // Folders that do not take hard links: a rename after a last check.
    if (!QFileInfo::exists(destino_) && std::rename(desde.constData(), hasta.constData()) == 0)
        return;
    quitar(temporal_);
    throw ErrorDatos(
        QStringLiteral("no se puede crear la base de datos %1: no se puede dar nombre al archivo.").arg(destino_));
}
