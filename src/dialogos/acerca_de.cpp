#include "dialogos/acerca_de.h"

#include "modulo/module1.h"
#include "plataforma/aspecto.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

using Aspecto::sitio;

AcercaDe::AcercaDe(QWidget* padre) : VentanaFija(padre) {
    disenar();
    Form_Load();
}

AcercaDe::~AcercaDe() = default;

void AcercaDe::disenar() {
    setObjectName(QStringLiteral("AcercaDe"));
    Aspecto::preparar_ventana(this, QStringLiteral("Acerca De"), 3120, 2490, 3675, 2850, QString());
    // No icon of its own, not even the main window's, which a child window would otherwise show.
    setWindowIcon(QIcon());

    Label1 = Aspecto::etiqueta(this, "Label1", QStringLiteral("Talvirenca de hardware. Version "),
                               sitio(120, 120, 2655, 255));
    Label2 = Aspecto::etiqueta(this, "Label2", QStringLiteral("Windows 95."), sitio(120, 360, 1935, 255));
    Label7 = Aspecto::etiqueta(this, "Label7", QString(), sitio(120, 840, 3375, 255));
    Line1 = Aspecto::linea(this, "Line1", 0, 2280, 3600);
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("Aceptar"), sitio(2400, 2400, 1215, 375));
    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, &AcercaDe::Command1_Click);
}

// The version is the one the main window's caption shows.
void AcercaDe::Form_Load() {
    Label1->setText(Label1->text() + Programa::version + QStringLiteral("."));
    Label7->setText(Programa::fecha_version + QStringLiteral("."));
}

void AcercaDe::Command1_Click() {
    accept();
}
