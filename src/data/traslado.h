#pragma once

#include <QString>

// Moving an inventory file to a database on a PostgreSQL server: the three tables copied as they are, in one
// transaction, into an empty inventory (made first when the database holds none). A database that already holds rows
// is refused, so nothing is ever mixed or overwritten.
namespace Traslado {

struct Cuentas {
    qint64 componentes = 0;
    qint64 tipos = 0;
    qint64 marcas = 0;
};

// Throws ErrorDatos; on failure the server's tables are left without any of the rows.
Cuentas trasladar(const QString& archivo, const QString& uri);

} // namespace Traslado
