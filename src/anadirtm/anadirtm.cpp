// The types and brands window: its design, its opening and the filling of its two name lists.
#include "anadirtm/anadirtm.h"

#include "data/error_datos.h"
#include "data/recorridos.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

using Aspecto::sitio;

namespace {

// A name box: the user types any name or picks one of the list; the typed text is taken exactly as it is.
QComboBox* caja_nombres(QWidget* padre, const char* nombre, const QRect& donde) {
    auto* caja = new QComboBox(padre);
    caja->setEditable(true);
    // No completion and no insertion on Enter: either would replace what the user typed with a listed name
    // that differs in letter case, or add names to the list that are not in the table.
    caja->setCompleter(nullptr);
    caja->setInsertPolicy(QComboBox::NoInsert);
    caja->setMaxVisibleItems(12);
    Aspecto::preparar_campo(caja, nombre, donde, QString());
    return caja;
}

} // namespace

AnadirTM::AnadirTM(QWidget* padre) : VentanaFija(padre) {
    disenar();
    Form_Load();
}

AnadirTM::~AnadirTM() = default;

void AnadirTM::disenar() {
    setObjectName(QStringLiteral("AnadirTM"));
    Aspecto::preparar_ventana(this, QStringLiteral("Anadir registros tipo/marca"), 0, 0, 4515, 1680,
                              QStringLiteral(":/iconos/anadirtm.svg"));
    // The window has no place of its own on the screen: Qt centres it over the main window.
    setAttribute(Qt::WA_Moved, false);

    Line1 = Aspecto::linea(this, "Line1", 0, 120, 4560);
    Label1 = Aspecto::etiqueta(this, "Label1", QStringLiteral("Tipo:"), sitio(120, 240, 495, 255));
    Combo1 = caja_nombres(this, "Combo1", sitio(720, 240, 2055, 315));
    Aspecto::acompanar(Label1, Combo1);
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("Añadir"), sitio(2880, 240, 735, 315),
                              QStringLiteral("Añade registros a la table de tipos"));
    Command4 = Aspecto::boton(this, "Command4", QStringLiteral("Eliminar"), sitio(3720, 240, 735, 315),
                              QStringLiteral("Elimina registros de la tabla de tipos"));

    Label2 = Aspecto::etiqueta(this, "Label2", QStringLiteral("Marca:"), sitio(120, 600, 615, 255));
    Combo2 = caja_nombres(this, "Combo2", sitio(720, 600, 2055, 315));
    Aspecto::acompanar(Label2, Combo2);
    Command2 = Aspecto::boton(this, "Command2", QStringLiteral("Añadir"), sitio(2880, 600, 735, 315),
                              QStringLiteral("Añade registros a la tabla de marcas"));
    Command5 = Aspecto::boton(this, "Command5", QStringLiteral("Eliminar"), sitio(3720, 600, 735, 315),
                              QStringLiteral("Elimina registros ed la tabla de marcas"));

    Line2 = Aspecto::linea(this, "Line2", 0, 1080, 4560);
    Command3 = Aspecto::boton(this, "Command3", QStringLiteral("Aceptar"), sitio(3480, 1200, 975, 375),
                              QStringLiteral("Volver a la ventana principal"));

    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, Combo2);
    setTabOrder(Combo2, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    Combo1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &AnadirTM::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &AnadirTM::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &AnadirTM::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &AnadirTM::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &AnadirTM::Command5_Click);
}

// Each source tries its own opening, so that every button later tells why the file cannot be used; the user is
// told once. The window stays open, with empty lists, and changes nothing.
void AnadirTM::Form_Load() {
    configurar_datas();
    std::optional<QString> fallo;
    const auto intentar = [&](auto&& paso) {
        try {
            paso();
        } catch (const ErrorDatos& e) {
            if (!fallo)
                fallo = e.texto();
        }
    };
    intentar([this] { poner_registros_tipo(); });
    intentar([this] { poner_registros_marca(); });
    // The component source opens once the window has loaded and keeps that reading while the window is open: the
    // window is modal, so no other window changes Elemento meanwhile.
    intentar([this] { Data3.abrir(); });
    if (fallo)
        Mensajes::aviso(this, QStringLiteral("ERROR: ") + *fallo);
}

void AnadirTM::configurar_datas() {
    Data1.enlazar_base_datos(Module1::base_datos);
    Data1.enlazar_tabla(QStringLiteral("Tipo"));
    Data2.enlazar_base_datos(Module1::base_datos);
    Data2.enlazar_tabla(QStringLiteral("Marca"));
    Data3.enlazar_base_datos(Module1::base_datos);
    Data3.enlazar_tabla(QStringLiteral("Elemento"));
}

void AnadirTM::poner_registros_tipo() {
    poner_registros(Data1, Combo1);
}
void AnadirTM::poner_registros_marca() {
    poner_registros(Data2, Combo2);
}

// The names in table order, duplicates kept; the box's text is left empty, ready for a new name.
void AnadirTM::poner_registros(OrigenDatos& origen, QComboBox* combo) {
    origen.refrescar();
    QStringList nombres;
    nombres.reserve(origen.numero_filas());
    Recorridos::completo(origen, [&] { nombres << origen.leer_texto(1); });
    combo->clear();
    combo->addItems(nombres);
    // Filling an empty box makes its first name current; the box must show no name.
    combo->setCurrentIndex(-1);
    combo->clearEditText();
}

void AnadirTM::Command1_Click() {
    anadir_registro(Combo1, Data1, &AnadirTM::poner_registros_tipo);
}
void AnadirTM::Command2_Click() {
    anadir_registro(Combo2, Data2, &AnadirTM::poner_registros_marca);
}
void AnadirTM::Command3_Click() {
    accept();
}
void AnadirTM::Command4_Click() {
    eliminar_tipo();
}
void AnadirTM::Command5_Click() {
    eliminar_marca();
}
