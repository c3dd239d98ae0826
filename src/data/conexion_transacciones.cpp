// Transactions on an inventory file: a write that happens whole or not at all, a read that sees one state of the
// file, and the failures of either told with the file's name.
#include "data/conexion.h"

#include "data/conexion_interna.h"
#include "data/error_datos.h"

#include <sqlite3.h>

using namespace ConexionInterna;

void Conexion::ejecutar_en_transaccion(const std::function<void(SQLite::Database&)>& cambios) {
    try {
        db_->exec("BEGIN IMMEDIATE");
    } catch (const std::exception& e) {
        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: %2").arg(ruta_, motivo_de(e)));
    }
    try {
        cambios(*db_);
        db_->exec("COMMIT");
    } catch (const std::exception& e) {
        if (!sqlite3_get_autocommit(db_->getHandle()))
            sqlite3_exec(db_->getHandle(), "ROLLBACK", nullptr, nullptr, nullptr);
        if (const auto* propio = dynamic_cast<const ErrorDatos*>(&e))
            throw *propio;
        if (es_dano(codigo_de(e)))
            marcar_danado(ruta_);
        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: %2")
                             .arg(ruta_, motivo_en(db_->getHandle(), e)));
    }
}

Conexion::Lectura Conexion::empezar_lectura() {
    try {
        db_->exec("BEGIN");
        // A first read takes the shared lock that keeps writers out until the transaction ends.
        db_->exec("SELECT 1 FROM sqlite_schema LIMIT 1");
    } catch (const std::exception& e) {
        fallo_lectura(e);
    }
    return Lectura(db_->getHandle());
}

Conexion::Lectura::~Lectura() {
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

void Conexion::fallo_lectura(const std::exception& e) const {
    if (es_dano(codigo_de(e)))
        marcar_danado(ruta_);
    throw ErrorDatos(
        QStringLiteral("no se puede leer la base de datos %1: %2").arg(ruta_, motivo_en(db_->getHandle(), e)));
}
