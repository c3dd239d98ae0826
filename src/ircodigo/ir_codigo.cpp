#include "ircodigo/ir_codigo.h"

#include "plataforma/aspecto.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using Aspecto::sitio;

IrCodigo::IrCodigo(QWidget* padre, Comprobar comprobar)
    : VentanaFija(padre, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint),
      comprobar_(std::move(comprobar)) {
    setObjectName(QStringLiteral("IrCodigo"));
    Aspecto::preparar_ventana(this, QStringLiteral("Ir al código"), 2500, 2800, 4320, 1185,
                              QStringLiteral(":/iconos/consultar.svg"));
    Label1 = Aspecto::etiqueta(this, "Label1", QStringLiteral("&Código:"), sitio(120, 240, 975, 255));
    Text1 = new QLineEdit(this);
    Aspecto::preparar_campo(Text1, "Text1", sitio(1200, 240, 2955, 285),
                            QStringLiteral("Código del componente que se quiere consultar"));
    Aspecto::acompanar(Label1, Text1);
    Text1->setAccessibleName(QStringLiteral("Código:"));
    Command2 = Aspecto::boton(this, "Command2", QStringLiteral("Cancelar"), sitio(1200, 720, 1455, 375),
                              QStringLiteral("Vuelve al menu principal"));
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("Aceptar"), sitio(2760, 720, 1395, 375),
                              QStringLiteral("Consulta el componente de ese código"));
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    Text1->setFocus();
    connect(Text1, &QLineEdit::returnPressed, this, &IrCodigo::aceptar);
    connect(Command1, &QPushButton::clicked, this, &IrCodigo::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

IrCodigo::~IrCodigo() = default;

QString IrCodigo::codigo() const {
    return Text1->text().trimmed();
}

void IrCodigo::aceptar() {
    if (comprobar_ && !comprobar_(this, codigo())) {
        Text1->setFocus();
        Text1->selectAll();
        return;
    }
    accept();
}
