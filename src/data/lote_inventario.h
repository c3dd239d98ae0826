#pragma once

#include <QDate>
#include <QString>
#include <vector>

// Many components added at once to the inventory in use (the import of a sheet), a file or a server (there through
// LoteServidor), in one transaction: all the rows, with the new types and brands they need, or none. What the rows
// were decided against (the codes in use, the names) is read again inside that transaction, and an inventory
// changed meanwhile is refused untouched.
namespace LoteInventario {

struct Nombre {
    qint64 codigo = 0;
    QString nombre;
    bool operator==(const Nombre&) const = default;
};

// What an import must know of the inventory: its types and brands in table order and its component codes.
struct Existente {
    std::vector<Nombre> tipos;
    std::vector<Nombre> marcas;
    std::vector<qint64> codigos;
    bool operator==(const Existente&) const = default;
};

struct Componente {
    qint64 codigo = 0;
    qint64 tipo = 0;
    qint64 marca = 0;
    QString modelo;
    QString num_serie;
    QDate fecha;
    double garantia = 0;
    QString descripcion;
    bool renting = false;
};

// Throws ErrorDatos.
Existente leer(const QString& ruta);

// Adds the new types, brands and components, provided the inventory still is as `antes` tells; throws ErrorDatos
// and leaves the file as it was otherwise.
void anadir(const QString& ruta, const Existente& antes, const std::vector<Nombre>& tipos,
            const std::vector<Nombre>& marcas, const std::vector<Componente>& componentes);

} // namespace LoteInventario
