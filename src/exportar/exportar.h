#pragma once

#include "exportar/escritura.h"
#include "exportar/tabla_exportar.h"

#include <QString>

class ModeloLista;
class QWidget;
namespace Custodia {
class Estado;
}

// Export of what a window shows to a CSV or XLSX file: the save dialog (the format by its filter), a progress dialog
// with cancel for large lists, and the failures as "ERROR: " messages.
namespace Exportar {

inline const QString titulo_dialogo = QStringLiteral("Exportar lista");
inline const QString filtro_csv = QStringLiteral("Texto CSV (*.csv)");
inline const QString filtro_xlsx = QStringLiteral("Libro de Excel (*.xlsx)");
inline const QString texto_progreso = QStringLiteral("Exportando la lista...");
inline const QString texto_cancelar = QStringLiteral("Cancelar");
inline const QString lista_vacia = QStringLiteral("ERROR: la lista no muestra ningún componente que exportar.");
inline const QString exportadas = QStringLiteral("Lista exportada en %1 con %2 componentes.");
inline const QString exportada_una = QStringLiteral("Lista exportada en %1 con %2 componente.");
// Lists of at least this many rows show the progress dialog.
constexpr int filas_con_progreso = 5000;

// Asks where to save, proposing `propuesta`, and writes `tabla` there. True when a file was written.
bool exportar(QWidget* padre, const TablaExportar& tabla, const QString& propuesta);

// The main window's list as the export reads it: its nine columns with its headers, then, when `custodia` is
// given, who has each component, where it is and since when; the code and the warranty are numbers and the
// purchase date and the date since a date.
class TablaLista : public TablaExportar {
public:
    explicit TablaLista(const ModeloLista& lista, const Custodia::Estado* custodia = nullptr)
        : lista_(lista), custodia_(custodia) {}
    QStringList cabeceras_exportar() const override;
    ClaseExportar clase_exportar(int columna) const override;
    int filas_exportar() const override;
    QString texto_exportar(int fila, int columna) const override;

private:
    const ModeloLista& lista_;
    const Custodia::Estado* custodia_;
};

} // namespace Exportar
