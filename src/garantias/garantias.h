#pragma once

#include "data/origen_datos.h"
#include "garantias/calculo_garantia.h"
#include "plataforma/ventana_fija.h"

class ImpresoraLineas;
class ModeloGarantias;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeView;

// The warranty window: every component with a purchase date, soonest warranty end first, with its state on the
// program's today; a filter by state, the count of each state, printing and export of what it shows.
class Garantias : public VentanaFija {
    Q_OBJECT
public:
    // Texts the window shows.
    static inline const QString titulo = QStringLiteral("Garantías");
    static inline const QString cabecera_impresion =
        QStringLiteral("Codigo    Tipo    Marca    Modelo    Nº Serie    Fecha    Garantia    Fin garantia    Estado");
    static const QStringList filtros;

    // Prints on `impresora`, the main window's line printer.
    Garantias(ImpresoraLineas& impresora, QWidget* padre = nullptr);
    ~Garantias() override;

    void Form_Load();
    // Reads the three tables again and fills the list.
    void llenar();
    void Combo1_Change();
    void imprimir();
    void exportar();

    OrigenDatos Data1; // Elemento
    OrigenDatos Data2; // Tipo
    OrigenDatos Data3; // Marca

private:
    void disenar();
    void mostrar_cuentas();

    ImpresoraLineas& impresora_;
    CalculoGarantia::Lista lista_;
    QDate hoy_;
    ModeloGarantias* modelo_ = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label2 = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
};
