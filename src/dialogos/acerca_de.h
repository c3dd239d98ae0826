#pragma once

#include "plataforma/ventana_fija.h"

class QFrame;
class QLabel;
class QPushButton;

// The About box: the program's name and version, the platform it was made for and the date of the version.
class AcercaDe : public VentanaFija {
    Q_OBJECT
public:
    explicit AcercaDe(QWidget* padre = nullptr);
    ~AcercaDe() override;

    void Form_Load();
    void Command1_Click();

private:
    void disenar();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label7 = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* Command1 = nullptr;
};
