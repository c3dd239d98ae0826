#pragma once

#include "data/custodia.h"
#include "exportar/tabla_exportar.h"
#include "plataforma/ventana_fija.h"

#include <memory>
#include <vector>

class ImpresoraLineas;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// What a person holds now, or what is now in a place and the places inside it: the list's nine columns and since
// when, printable and exportable.
class Tenencias : public VentanaFija, public TablaExportar {
    Q_OBJECT
public:
    static inline const QString titulo = QStringLiteral("Qué tiene cada persona y lugar");

    // Prints on `impresora`, the main window's line printer.
    Tenencias(ImpresoraLineas& impresora, QWidget* padre = nullptr);
    ~Tenencias() override;

    // Lists what the chosen person or place holds, read from the database as it is now.
    void mostrar();
    void imprimir();
    void exportar();

    QStringList cabeceras_exportar() const override;
    ClaseExportar clase_exportar(int columna) const override;
    int filas_exportar() const override;
    QString texto_exportar(int fila, int columna) const override;

    QRadioButton* OptPersona = nullptr;
    QRadioButton* OptLugar = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* Command1 = nullptr; // Imprimir
    QPushButton* Command2 = nullptr; // Exportar
    QPushButton* Command3 = nullptr; // Cerrar

private:
    void elegir_clase();

    ImpresoraLineas& impresora_;
    std::shared_ptr<const Custodia::Estado> estado_;
    std::vector<Custodia::Tenencia> filas_;
};
