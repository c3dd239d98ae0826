#pragma once

#include "plataforma/ventana_fija.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the code of a component, typed or read by a scanner into its field; Enter or "Aceptar" accepts it.
class IrCodigo : public VentanaFija {
    Q_OBJECT
public:
    explicit IrCodigo(QWidget* padre);
    ~IrCodigo() override;

    QString codigo() const;

private:
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
