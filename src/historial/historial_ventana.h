#pragma once

#include "data/historial.h"
#include "exportar/tabla_exportar.h"
#include "plataforma/ventana_fija.h"

#include <memory>
#include <optional>
#include <vector>

class ImpresoraLineas;
class ModeloHistorial;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

// The history: of one component, newest first, or of the whole inventory with filters by dates, user, kind of
// change and text. It only shows what happened; nothing in it changes the history. Printable and exportable.
class VentanaHistorial : public VentanaFija, public TablaExportar {
    Q_OBJECT
public:
    static inline const QString titulo = QStringLiteral("Historial");

    // `componente`: the component whose history is shown; none for the whole inventory's.
    VentanaHistorial(ImpresoraLineas& impresora, std::optional<qint64> componente, QWidget* padre = nullptr);
    ~VentanaHistorial() override;

    // Reads the history again with the filters as they stand.
    void mostrar();
    void imprimir();
    void exportar();

    QStringList cabeceras_exportar() const override;
    ClaseExportar clase_exportar(int columna) const override;
    int filas_exportar() const override;
    QString texto_exportar(int fila, int columna) const override;

    QLineEdit* TextDesde = nullptr;
    QLineEdit* TextHasta = nullptr;
    QComboBox* ComboUsuario = nullptr;
    QComboBox* ComboCambio = nullptr;
    QLineEdit* TextBuscar = nullptr;
    QPushButton* Command4 = nullptr; // Buscar
    QLabel* Label1 = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* Command1 = nullptr; // Imprimir
    QPushButton* Command2 = nullptr; // Exportar
    QPushButton* Command3 = nullptr; // Cerrar

private:
    ImpresoraLineas& impresora_;
    std::optional<qint64> componente_;
    ModeloHistorial* modelo_ = nullptr;
};
