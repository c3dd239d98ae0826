// The window of what a person or a place holds.
#include "custodia/tenencias.h"

#include "custodia/campos.h"
#include "custodia/entrega.h"
#include "data/ubicacion.h"
#include "data/valores.h"
#include "exportar/exportar.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QStringList cabeceras = {QStringLiteral("Codigo"),   QStringLiteral("Tipo"),        QStringLiteral("Marca"),
                               QStringLiteral("Modelo"),   QStringLiteral("Nº Serie"),    QStringLiteral("Fecha"),
                               QStringLiteral("Garantia"), QStringLiteral("Descripcion"), QStringLiteral("Renting"),
                               QStringLiteral("Desde")};

} // namespace

Tenencias::Tenencias(ImpresoraLineas& impresora, QWidget* padre) : VentanaFija(padre), impresora_(impresora) {
    setObjectName(QStringLiteral("Tenencias"));
    setWindowTitle(titulo);
    QPalette fondo = palette();
    fondo.setColor(QPalette::Window, Aspecto::naranja);
    setPalette(fondo);
    setAutoFillBackground(true);

    OptPersona = new QRadioButton(QStringLiteral("&Persona"), this);
    OptPersona->setObjectName(QStringLiteral("OptPersona"));
    OptLugar = new QRadioButton(QStringLiteral("&Lugar"), this);
    OptLugar->setObjectName(QStringLiteral("OptLugar"));
    OptPersona->setChecked(true);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setToolTip(QStringLiteral("Persona o lugar cuyos componentes se muestran"));
    Combo1->setMinimumContentsLength(30);
    Combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(titulo);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setHeaderLabels(cabeceras);
    Command1 = new QPushButton(QStringLiteral("&Imprimir"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("Imprime la lista que se muestra"));
    Command2 = new QPushButton(QStringLiteral("&Exportar..."), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setToolTip(QStringLiteral("Guarda la lista que se muestra en un archivo CSV o XLSX"));
    Command3 = new QPushButton(QStringLiteral("&Cerrar"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    for (QPushButton* b : {Command1, Command2, Command3})
        b->setAutoDefault(false);

    auto* arriba = new QHBoxLayout;
    arriba->addWidget(OptPersona);
    arriba->addWidget(OptLugar);
    arriba->addWidget(Combo1, 1);
    auto* pie = new QHBoxLayout;
    pie->addWidget(Command1);
    pie->addWidget(Command2);
    pie->addStretch(1);
    pie->addWidget(Command3);
    auto* todo = new QVBoxLayout(this);
    todo->addLayout(arriba);
    todo->addWidget(Label1);
    todo->addWidget(ListView1, 1);
    todo->addLayout(pie);
    resize(Aspecto::px(12000), Aspecto::px(6000));

    connect(OptPersona, &QRadioButton::toggled, this, &Tenencias::elegir_clase);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Tenencias::mostrar);
    connect(Command1, &QPushButton::clicked, this, &Tenencias::imprimir);
    connect(Command2, &QPushButton::clicked, this, &Tenencias::exportar);
    connect(Command3, &QPushButton::clicked, this, &QDialog::accept);

    if (!Mensajes::proteger(this, [this] { estado_ = Custodia::leer(Module1::base_datos); }))
        estado_ = std::make_shared<Custodia::Estado>();
    elegir_clase();
}

Tenencias::~Tenencias() = default;

void Tenencias::elegir_clase() {
    const QSignalBlocker bloqueo(Combo1);
    if (OptPersona->isChecked())
        Custodia::llenar_personas(Combo1, *estado_);
    else
        Custodia::llenar_lugares(Combo1, *estado_);
    // The empty first entry of the pickers means nobody here.
    if (Combo1->count() > 0 && Combo1->itemText(0).isEmpty())
        Combo1->removeItem(0);
    mostrar();
}

void Tenencias::mostrar() {
    ListView1->clear();
    filas_.clear();
    const QVariant codigo = Combo1->currentData();
    if (codigo.isValid()) {
        Mensajes::proteger(this, [&] {
            filas_ = OptPersona->isChecked() ? Custodia::de_persona(Module1::base_datos, codigo.toLongLong())
                                             : Custodia::en_lugar(Module1::base_datos, codigo.toLongLong());
        });
    }
    QList<QTreeWidgetItem*> items;
    for (const Custodia::Tenencia& t : filas_) {
        QStringList textos(t.linea.begin(), t.linea.end());
        textos << Valores::texto_fecha(t.desde);
        items << new QTreeWidgetItem(textos);
    }
    ListView1->addTopLevelItems(items);
    ListView1->header()->resizeSections(QHeaderView::ResizeToContents);
    const QString cuenta =
        filas_.size() == 1 ? QStringLiteral("1 componente") : QStringLiteral("%1 componentes").arg(filas_.size());
    Aspecto::mostrar_dato(Label1,
                          codigo.isValid() ? QStringLiteral("%1: %2").arg(Combo1->currentText(), cuenta) : QString());
}

void Tenencias::imprimir() {
    Mensajes::proteger(this, [this] { CamposVentana::imprimir_tabla(impresora_, Label1->text(), *this); });
}

void Tenencias::exportar() {
    Exportar::exportar(this, *this,
                       Ubicacion::nombre_junto_al_inventario(Module1::base_datos, QStringLiteral("-tenencias.xlsx")));
}

QStringList Tenencias::cabeceras_exportar() const {
    return cabeceras;
}

ClaseExportar Tenencias::clase_exportar(int columna) const {
    switch (columna) {
    case 0:
    case 6:
        return ClaseExportar::numero;
    case 5:
    case 9:
        return ClaseExportar::fecha;
    default:
        return ClaseExportar::texto;
    }
}

int Tenencias::filas_exportar() const {
    return int(filas_.size());
}

QString Tenencias::texto_exportar(int fila, int columna) const {
    const Custodia::Tenencia& t = filas_[size_t(fila)];
    return columna < 9 ? t.linea[size_t(columna)] : Valores::texto_fecha(t.desde);
}
