#pragma once

#include "data/lote_inventario.h"

#include <QString>
#include <vector>

// The import's bulk add for an inventory on a PostgreSQL server, through the server engine's connection: what the
// rows are decided against is read in one snapshot, and the new types, brands and components are added in one
// transaction that first takes the writers' turn on the three tables and checks the inventory is still as read.
// All or nothing: any failure (a refusal of the server, a lost connection) rolls it back. Throws ErrorDatos.
namespace LoteServidor {

LoteInventario::Existente leer(const QString& uri);

void anadir(const QString& uri, const LoteInventario::Existente& antes,
            const std::vector<LoteInventario::Nombre>& tipos, const std::vector<LoteInventario::Nombre>& marcas,
            const std::vector<LoteInventario::Componente>& componentes);

} // namespace LoteServidor
