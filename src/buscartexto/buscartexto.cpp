#include "buscartexto/buscartexto.h"

#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using Aspecto::sitio;

namespace {
const QString texto_vacio = QStringLiteral("ERROR: primero debe escribir el texto que desea buscar.");
} // namespace

BuscarTexto::BuscarTexto(QWidget* padre) : VentanaFija(padre) {
    disenar();
}

BuscarTexto::~BuscarTexto() = default;

void BuscarTexto::disenar() {
    setObjectName(QStringLiteral("BuscarTexto"));
    Aspecto::preparar_ventana(this, QStringLiteral("Buscar texto"), 1530, 2520, 6000, 1185,
                              QStringLiteral(":/iconos/buscar.svg"));

    Label1 = Aspecto::etiqueta(this, "Label1", QStringLiteral("Texto a buscar:"), sitio(120, 240, 1455, 255));
    Text1 = new QLineEdit(this);
    Aspecto::preparar_campo(Text1, "Text1", sitio(1680, 240, 4155, 285),
                            QStringLiteral("Parte del código, tipo, marca, modelo, nº de serie o descripción"));
    Aspecto::acompanar(Label1, Text1);
    Command2 = Aspecto::boton(this, "Command2", QStringLiteral("Cancelar"), sitio(3000, 720, 1335, 375),
                              QStringLiteral("Cancela y vuelve al menu principal"));
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("Buscar"), sitio(4500, 720, 1335, 375),
                              QStringLiteral("Muestra los componentes que contienen el texto"));

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    Text1->setFocus();
    // Enter in the field searches, as the button does.
    connect(Text1, &QLineEdit::returnPressed, this, &BuscarTexto::Command1_Click);
    connect(Command1, &QPushButton::clicked, this, &BuscarTexto::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &BuscarTexto::Command2_Click);
}

QString BuscarTexto::texto() const {
    return Text1->text();
}

// A text of blanks alone would find nearly everything: it is refused as an empty one, and the dialog stays open.
void BuscarTexto::Command1_Click() {
    if (Text1->text().trimmed().isEmpty()) {
        Mensajes::aviso(this, texto_vacio);
        return;
    }
    accept();
}

void BuscarTexto::Command2_Click() {
    reject();
}
