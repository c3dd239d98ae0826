#pragma once

#include "data/inventario_nuevo.h"
#include "data/lote_inventario.h"
#include "hojas/celda_hoja.h"
#include "hojas/mapeo_hoja.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// What importing a sheet will do, decided before anything is written: the components to add with their codes,
// the types and brands to create, and every row that needed a decision or is left out, with its sheet row number.
// Codes whole and free are kept; the others get the next free code (the greatest plus one). Types and brands are
// matched by name, letter case, accents and blanks around aside.
namespace PlanHoja {

struct Plan {
    std::vector<LoteInventario::Componente> componentes;
    std::vector<LoteInventario::Nombre> tipos_nuevos;
    std::vector<LoteInventario::Nombre> marcas_nuevas;
    // "Fila 7: ..." for rows added after a decision, and for rows left out.
    QStringList decisiones;
    QStringList omitidas;
    qint64 filas_con_decision = 0;
    // The inventory the plan was made against.
    LoteInventario::Existente existente;
};

// The header row's texts (empty when the first row is data).
QStringList cabeceras(const DatosHoja& datos, bool cabecera);

// Throws ErrorDatos when a field the card requires has no column.
void exigir_columnas(const MapeoHoja::Mapeo& m);

Plan planear(const DatosHoja& datos, bool cabecera, const MapeoHoja::Mapeo& m,
             const LoteInventario::Existente& existente);

// The same plan made a row at a time, in sheet order (the header row left out), as the rows are read.
class Planificador {
public:
    // Throws ErrorDatos when a field the card requires has no column.
    Planificador(const MapeoHoja::Mapeo& m, const LoteInventario::Existente& existente);
    ~Planificador();
    void reservar(std::size_t filas);
    void fila(const FilaHoja& f);
    // The components planned so far; those whose code is given only at the end are not ready yet.
    const std::vector<LoteInventario::Componente>& componentes() const;
    bool listo(std::size_t i) const;
    Plan terminar();

private:
    struct Estado;
    std::unique_ptr<Estado> e_;
};

// The check step's text: what will be added and how many rows need a decision or are left out.
QString texto_comprobacion(const Plan& p);
// The full list, for the details: decisions, rows left out, new names.
QString detalles(const Plan& p);
// The closing summary.
QString texto_resumen(const Plan& p, const QString& destino);

// Writes the plan into a new inventory file (made aside and renamed at the end) or adds it to the inventory file
// in use, in one transaction. `progreso` gets the components written so far. Throws ErrorDatos; the destination is
// then as it was.
void a_inventario_nuevo(const Plan& p, const QString& destino, const std::function<void(qint64)>& progreso = {});
// The components `cual` gives (their indices in `lista`, in order), written into `nuevo` by batches.
void escribir(InventarioNuevo& nuevo, const std::vector<LoteInventario::Componente>& lista,
              const std::vector<std::size_t>& cuales);
void a_inventario(const Plan& p, const QString& ruta);

} // namespace PlanHoja
