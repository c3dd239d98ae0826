// The record card's design, its load, its three modes and its two buttons.
#include "ficha/ficha.h"

#include "data/bajas.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dbcombo.h"
#include "plataforma/mensajes.h"
#include "plataforma/reloj.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>
#include <iterator>

using Aspecto::sitio;

namespace {

// A drop-down list that also takes any typed text, kept exactly as typed.
QComboBox* lista_libre(QWidget* padre) {
    auto* lista = new QComboBox(padre);
    lista->setEditable(true);
    lista->setInsertPolicy(QComboBox::NoInsert);
    lista->setCompleter(nullptr);
    return lista;
}

} // namespace

Ficha::Ficha(QWidget* padre, const QString& codigo_seleccionado)
    : VentanaFija(padre, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint),
      codigo_seleccionado_(codigo_seleccionado) {
    disenar();
    Form_Load();
}

Ficha::~Ficha() = default;

void Ficha::disenar() {
    setObjectName(QStringLiteral("Ficha"));
    Aspecto::preparar_ventana(this, QStringLiteral("Ficha de datos"), 3405, 2235, 3690, 3450,
                              QStringLiteral(":/iconos/ficha.svg"));
    Aspecto::linea(this, "Line2", 0, 120, 3720);

    const auto campo = [this](auto* control, const char* nombre, const QRect& donde, const QString& ayuda,
                              const char* etiqueta, const QString& texto, const QRect& sitio_etiqueta) {
        Aspecto::preparar_campo(control, nombre, donde, ayuda);
        Aspecto::acompanar(Aspecto::etiqueta(this, etiqueta, texto, sitio_etiqueta), control);
        return control;
    };
    Text1 = campo(new QLineEdit(this), "Text1", sitio(1200, 240, 855, 285), QStringLiteral("Codigo"), "Label1",
                  QStringLiteral("Codigo:"), sitio(120, 240, 975, 255));
    DBCombo1 = campo(new DBCombo(this), "DBCombo1", sitio(1200, 600, 2415, 315), QStringLiteral("Tipo de componente"),
                     "Label2", QStringLiteral("Tipo:"), sitio(120, 600, 975, 255));
    DBCombo2 = campo(new DBCombo(this), "DBCombo2", sitio(1200, 960, 2415, 315), QStringLiteral("Marca del componente"),
                     "Label3", QStringLiteral("Marca:"), sitio(120, 960, 975, 255));
    Text4 = campo(new QLineEdit(this), "Text4", sitio(1200, 1320, 2415, 285), QStringLiteral("Modelo"), "Label4",
                  QStringLiteral("Modelo:"), sitio(120, 1320, 975, 255));
    Text5 = campo(new QLineEdit(this), "Text5", sitio(1200, 1680, 975, 285), QStringLiteral("Número de serie"),
                  "Label5", QStringLiteral("Nº serie:"), sitio(120, 1680, 975, 255));
    Combo2 = campo(lista_libre(this), "Combo2", sitio(3000, 1680, 615, 315),
                   QStringLiteral("Número de meses de la garantia"), "Label7", QStringLiteral("Garantia:"),
                   sitio(2280, 1680, 735, 255));
    Text8 =
        campo(new QLineEdit(this), "Text8", sitio(1200, 2040, 2415, 285), QStringLiteral("Descripción del componente"),
              "Label8", QStringLiteral("Descripción:"), sitio(120, 2040, 975, 255));
    Text6 = campo(new QLineEdit(this), "Text6", sitio(1200, 2400, 975, 285), QStringLiteral("Fecha de compra"),
                  "Label6", QStringLiteral("Fecha:"), sitio(120, 2400, 975, 255));
    Combo1 =
        campo(lista_libre(this), "Combo1", sitio(3000, 2400, 615, 315), QStringLiteral("Comprando por renting si/no"),
              "Label9", QStringLiteral("Renting:"), sitio(2280, 2400, 615, 255));
    Aspecto::linea(this, "Line1", 0, 2760, 3720);
    // The pickers offer the rows of Tipo and Marca and stand for the type and brand of Data1's row.
    DBCombo1->fijar_origen_filas(&Data2);
    DBCombo2->fijar_origen_filas(&Data3);
    DBCombo1->fijar_origen_datos(&Data1);
    DBCombo2->fijar_origen_datos(&Data1);

    Command2 = Aspecto::boton(this, "Command2", QStringLiteral("Cancelar"), sitio(120, 2880, 1455, 495),
                              QStringLiteral("Cancela y vuelve al menu principal sin grabar ni actualizar"));
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("Aceptar"), sitio(1680, 2880, 1935, 495),
                              QStringLiteral("Acepta los cambios y vuelve al menu principal"));

    // The keyboard goes down the card as it is laid out, left to right along each line, the buttons last; the
    // code, first, has the focus when the card opens.
    QWidget* orden[] = {Text1, DBCombo1, DBCombo2, Text4, Text5, Combo2, Text8, Text6, Combo1, Command2, Command1};
    for (size_t i = 1; i < std::size(orden); ++i)
        setTabOrder(orden[i - 1], orden[i]);
    Text1->setFocus();
    limitar_campos();

    Text6->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, &Ficha::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Ficha::Command2_Click);
}

void Ficha::Form_Load() {
    Combo1->addItems({QStringLiteral("Si"), QStringLiteral("No")});
    Combo2->addItems({QStringLiteral("6"), QStringLiteral("12"), QStringLiteral("24"), QStringLiteral("36")});
    // Filling a list shows its first item; both boxes start empty.
    for (QComboBox* lista : {Combo1, Combo2}) {
        lista->setCurrentIndex(-1);
        lista->setEditText(QString());
    }
    DBCombo1->fijar_texto(QString());
    DBCombo2->fijar_texto(QString());
    configurar_datas_dbcombo();

    accion_ = Module1::accion_ficha;
    const bool cargada = Mensajes::proteger(this, [this] {
        if (accion_ != ModoFicha::consultar)
            bajas_ = Bajas::codigos(Module1::base_datos);
        if (accion_ == ModoFicha::anadir)
            accion_anadir();
        else if (accion_ == ModoFicha::modificar)
            accion_modificar();
        else if (accion_ == ModoFicha::consultar)
            accion_consultar();
        if (cerrada_al_cargar_)
            return;
        // The card has loaded: the sources its mode did not refresh open now, which fills the pickers. Data1, when
        // already refreshed, keeps its row and its pending edit.
        Data1.abrir();
        Data2.abrir();
        Data3.abrir();
    });
    if (!cargada) {
        cerrada_al_cargar_ = true;
        fallo_al_cargar_ = true;
    }
}

int Ficha::exec() {
    if (cerrada_al_cargar_)
        return QDialog::Rejected;
    return QDialog::exec();
}

void Ficha::accion_consultar() {
    edicion_registro(false);
    if (buscar_registro())
        extraer_registro();
}

void Ficha::accion_modificar() {
    edicion_registro(true);
    if (!buscar_registro())
        return;
    extraer_registro();
    Data1.editar();
}

void Ficha::accion_anadir() {
    Data1.refrescar();
    poner_nuevo_numero_registro();
    Data1.anadir_nuevo();
}

void Ficha::edicion_registro(bool habilitar) {
    // Lists and pickers offer no choice while consulting. Text boxes become read-only instead: a text longer than
    // its box can still be scrolled, selected and copied. They show it in the grey of a disabled field.
    for (QWidget* campo : std::initializer_list<QWidget*>{DBCombo1, DBCombo2, Combo2, Combo1})
        campo->setEnabled(habilitar);
    for (QLineEdit* campo : {Text1, Text4, Text5, Text6, Text8}) {
        campo->setReadOnly(!habilitar);
        QPalette paleta = campo->palette();
        const QColor texto = habilitar ? palette().color(QPalette::Active, QPalette::Text) : Aspecto::gris_apagado;
        for (const QPalette::ColorGroup grupo : {QPalette::Active, QPalette::Inactive})
            paleta.setColor(grupo, QPalette::Text, texto);
        campo->setPalette(paleta);
    }
}

void Ficha::Command1_Click() {
    bool vacios = false;
    comprobar_errores(vacios);
    const bool anadir = accion_ == ModoFicha::anadir;
    const bool modificar = accion_ == ModoFicha::modificar;
    if (anadir || modificar) {
        // The card stays open with the entry, so the user can complete or correct it.
        if (vacios)
            return;
        bool invalidos = false;
        comprobar_valores(invalidos);
        if (invalidos || !confirmar_numero_serie())
            return;
        const bool guardado = Mensajes::proteger(this, [&] {
            if (anadir)
                anadir_registro();
            if (modificar)
                actualizar_registro();
        });
        if (!guardado)
            return;
        accept();
        return;
    }
    reject();
}

void Ficha::Command2_Click() {
    reject();
}

void Ficha::done(int resultado) {
    // However the card closes, an edit or new row not stored is abandoned: nothing reaches the file.
    Data1.cancelar();
    QDialog::done(resultado);
}

void Ficha::Text6_DblClick() {
    Text6->setText(Valores::texto_fecha(Reloj::hoy()));
}

bool Ficha::eventFilter(QObject* objeto, QEvent* evento) {
    if (objeto == Text6 && evento->type() == QEvent::MouseButtonDblClick && Text6->isEnabled() &&
        !Text6->isReadOnly()) {
        Text6_DblClick();
        return true;
    }
    return QDialog::eventFilter(objeto, evento);
}
