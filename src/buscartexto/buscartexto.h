#pragma once

#include "plataforma/ventana_fija.h"
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The text search dialog: one field for the text to look for in every component. It only takes the text; the main
// window lists what matches.
class BuscarTexto : public VentanaFija {
    Q_OBJECT
public:
    explicit BuscarTexto(QWidget* padre = nullptr);
    ~BuscarTexto() override;

    // The text typed, once the dialog was accepted.
    QString texto() const;

    void Command1_Click();
    void Command2_Click();

private:
    void disenar();

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
