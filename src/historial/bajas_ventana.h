#pragma once

#include "data/bajas.h"
#include "exportar/tabla_exportar.h"
#include "plataforma/ventana_fija.h"

#include <vector>

class ImpresoraLineas;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// Asks how a component leaves the inventory: the date (today unless changed), the reason and a note. Accepting
// stores nothing: the main window retires the component with what `datos` gives.
class DarDeBaja : public VentanaFija {
    Q_OBJECT
public:
    DarDeBaja(qint64 elemento, const QString& componente, QWidget* padre = nullptr);
    ~DarDeBaja() override;

    void aceptar();
    const Bajas::DatosBaja& datos() const { return datos_; }

    QLabel* LabelComponente = nullptr;
    QLineEdit* TextFecha = nullptr;
    QComboBox* ComboMotivo = nullptr;
    QLineEdit* TextNota = nullptr;
    QPushButton* Command1 = nullptr; // Aceptar
    QPushButton* Command2 = nullptr; // Cancelar

private:
    Bajas::DatosBaja datos_;
};

// The retired components, newest retirement first, with the date and reason; "Recuperar" puts the selected one
// back in the inventory unchanged. Printable and exportable.
class VentanaBajas : public VentanaFija, public TablaExportar {
    Q_OBJECT
public:
    static inline const QString titulo = QStringLiteral("Bajas");

    VentanaBajas(ImpresoraLineas& impresora, QWidget* padre = nullptr);
    ~VentanaBajas() override;

    void mostrar();
    void recuperar();
    void imprimir();
    void exportar();
    // Whether a component went back to the inventory while the window was open.
    bool recuperado() const { return recuperado_; }

    QStringList cabeceras_exportar() const override;
    ClaseExportar clase_exportar(int columna) const override;
    int filas_exportar() const override;
    QString texto_exportar(int fila, int columna) const override;

    QLabel* Label1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* Command1 = nullptr; // Recuperar
    QPushButton* Command2 = nullptr; // Imprimir
    QPushButton* Command3 = nullptr; // Exportar
    QPushButton* Command4 = nullptr; // Cerrar

private:
    ImpresoraLineas& impresora_;
    std::vector<Bajas::Baja> filas_;
    bool recuperado_ = false;
};
