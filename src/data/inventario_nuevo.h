#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <cstddef>
#include <memory>
#include <optional>

// A new inventory written in one go (an import): its rows go into a temporary file in the destination's folder,
// inside one transaction; `terminar` commits and gives the file its name. Until then, and after any failure, the
// destination does not exist; an existing file is never replaced. Throws ErrorDatos.
class InventarioNuevo {
public:
    // Texts in UTF-8, as the file keeps them; they need to live only for the call that adds the row.
    struct Componente {
        qint64 codigo = 0;
        qint64 tipo = 0;
        qint64 marca = 0;
        QByteArrayView modelo;
        QByteArrayView num_serie;
        std::optional<QDate> fecha;
        double garantia = 0;
        QByteArrayView descripcion;
        bool renting = false;
    };

    explicit InventarioNuevo(const QString& destino);
    InventarioNuevo(const InventarioNuevo&) = delete;
    InventarioNuevo& operator=(const InventarioNuevo&) = delete;
    // Without `terminar`, the temporary file is removed.
    ~InventarioNuevo();

    // The temporary file, for a process that must remove it when it is stopped from outside.
    const QString& temporal() const { return temporal_; }

    void anadir_tipo(qint64 codigo, const QString& nombre);
    void anadir_marca(qint64 codigo, const QString& nombre);
    void anadir_componente(const Componente& c) { anadir_componentes(&c, 1); }
    // Several at once, which is much quicker for many rows; their texts need to live only for the call.
    void anadir_componentes(const Componente* c, std::size_t n);

    // Commits and renames the file to the destination, unless the destination appeared meanwhile.
    void terminar();

private:
    struct Estado;
    QString destino_;
    QString temporal_;
    std::unique_ptr<Estado> estado_;
};
