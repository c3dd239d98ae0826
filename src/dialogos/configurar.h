#pragma once

#include "plataforma/ventana_fija.h"
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The database settings dialog: the user names another database file, typing its path or browsing for it. Its
// only effect is on base_datos; showing, remembering and binding the new path is the main window's work.
class Configurar : public VentanaFija {
    Q_OBJECT
public:
    explicit Configurar(QWidget* padre = nullptr);
    ~Configurar() override;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    bool ruta_aceptable(const QString& ruta);
    void disenar();

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    // The file-open dialog's file name: empty at each opening, then the last file chosen in it.
    QString nombre_archivo_dialogo_;
};
