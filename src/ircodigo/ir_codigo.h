#pragma once

#include "plataforma/ventana_fija.h"

class QLabel;
class QLineEdit;
class QPushButton;

#include <functional>

// Asks for the code of a component, typed or read by a scanner into its field; Enter or "Aceptar" accepts it when
// `comprobar` (given the dialog, to show its messages over, and the text) takes it. Otherwise the dialog stays open
// with the text selected, ready to be typed over.
class IrCodigo : public VentanaFija {
    Q_OBJECT
public:
    using Comprobar = std::function<bool(QWidget* dialogo, const QString& codigo)>;
    IrCodigo(QWidget* padre, Comprobar comprobar);
    ~IrCodigo() override;

    QString codigo() const;

private:
    void aceptar();

    Comprobar comprobar_;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
