#pragma once

#include "data/origen_datos.h"

#include "plataforma/ventana_fija.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// The types and brands window: adds names to the Tipo and Marca tables and deletes the names no component uses.
// One line of controls for types, one for brands; each name box offers the names already in its table.
class AnadirTM : public VentanaFija {
    Q_OBJECT
public:
    explicit AnadirTM(QWidget* padre = nullptr);
    ~AnadirTM() override;

    void Form_Load();
    void configurar_datas();
    // Re-read the table and refill the name box's list; the box's text becomes empty.
    void poner_registros_tipo();
    void poner_registros_marca();
    void eliminar_tipo();
    void eliminar_marca();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

    OrigenDatos Data1; // Tipo
    OrigenDatos Data2; // Marca
    OrigenDatos Data3; // Elemento, for the check that a type or brand is not in use

private:
    void disenar();
    void poner_registros(OrigenDatos& origen, QComboBox* combo);
    void anadir_registro(QComboBox* combo, OrigenDatos& origen, void (AnadirTM::*rellenar)());
    void eliminar(QComboBox* combo, OrigenDatos& origen, int columna_uso, bool avisar);

    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* Combo2 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
};
