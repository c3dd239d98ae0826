#include "dialogos/configurar.h"

#include "data/ubicacion.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using Aspecto::sitio;

namespace {} // namespace

Configurar::Configurar(QWidget* padre) : VentanaFija(padre) {
    disenar();
}

Configurar::~Configurar() = default;

void Configurar::disenar() {
    setObjectName(QStringLiteral("Configurar"));
    Aspecto::preparar_ventana(this, QStringLiteral("Configurar"), 1530, 2520, 7200, 1185,
                              QStringLiteral(":/iconos/configurar.svg"));

    Label1 = Aspecto::etiqueta(this, "Label1", QStringLiteral("Nueva base de datos:"), sitio(120, 240, 1695, 255));
    Text1 = new QLineEdit(this);
    Aspecto::preparar_campo(Text1, "Text1", sitio(1920, 240, 4095, 285),
                            QStringLiteral("Nombre y path de la base de datos"));
    Aspecto::acompanar(Label1, Text1);
    Command3 = Aspecto::boton(this, "Command3", QStringLiteral("Examinar"), sitio(6120, 240, 975, 375),
                              QStringLiteral("Examinar base de datos"));
    Command2 = Aspecto::boton(this, "Command2", QStringLiteral("Cancelar"), sitio(4200, 720, 1455, 375),
                              QStringLiteral("Cancle y vuelve al menu principal"));
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("Aceptar"), sitio(5760, 720, 1335, 375),
                              QStringLiteral("Acepta la nueva base de datos y vuelve al menu principal"));

    // The keyboard goes as the dialog is laid out: the path and its "Examinar", then the buttons below; the path,
    // which the user came to type, has the focus.
    setTabOrder(Text1, Command3);
    setTabOrder(Command3, Command2);
    setTabOrder(Command2, Command1);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Configurar::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Configurar::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Configurar::Command3_Click);
}

// Any text but the empty one becomes the database path, exactly as typed: whether it names a usable database
// shows when the data sources next open it.
void Configurar::Command1_Click() {
    if (!ruta_aceptable(Text1->text()))
        return;
    if (!Text1->text().isEmpty())
        Module1::base_datos = Text1->text();
    accept();
}

// A name with a character no file name can hold is refused here, and the dialog stays open to correct it.
bool Configurar::ruta_aceptable(const QString& ruta) {
    const std::optional<QString> problema = Ubicacion::problema_ruta(ruta);
    if (problema)
        Mensajes::aviso(this, QStringLiteral("ERROR: la base de datos %1 no se puede usar: %2")
                                  .arg(Ubicacion::ruta_visible(ruta), *problema));
    return !problema;
}

void Configurar::Command2_Click() {
    reject();
}

// A cancelled file dialog still gives back the name it holds, which is empty until a file is chosen in this
// opening of the settings dialog.
void Configurar::Command3_Click() {
    const QString elegido = DialogosSistema::abrir_archivo(this, nombre_archivo_dialogo_);
    if (!ruta_aceptable(elegido))
        return;
    nombre_archivo_dialogo_ = elegido;
    Text1->setText(nombre_archivo_dialogo_);
}
