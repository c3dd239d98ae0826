// The retirement window and the archive of retired components.
#include "historial/bajas_ventana.h"

#include "custodia/campos.h"
#include "data/error_datos.h"
#include "data/ubicacion.h"
#include "data/valores.h"
#include "exportar/exportar.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace CamposVentana;

namespace {

const QStringList cabeceras = {
    QStringLiteral("Codigo"),        QStringLiteral("Tipo"),   QStringLiteral("Marca"),
    QStringLiteral("Modelo"),        QStringLiteral("Nº Serie"), QStringLiteral("Fecha"),
    QStringLiteral("Garantia"),      QStringLiteral("Descripcion"), QStringLiteral("Renting"),
    QStringLiteral("Fecha de baja"), QStringLiteral("Motivo"), QStringLiteral("Nota")};

} // namespace

DarDeBaja::DarDeBaja(qint64 elemento, const QString& componente, QWidget* padre) : VentanaFija(padre) {
    preparar(this, "DarDeBaja", QStringLiteral("Dar de baja"));
    datos_.codigo = elemento;
    LabelComponente = etiqueta(this, "LabelComponente", componente);
    TextFecha = campo_fecha(this);
    ComboMotivo = new QComboBox(this);
    ComboMotivo->setObjectName(QStringLiteral("ComboMotivo"));
    for (const QString& m : Bajas::motivos())
        ComboMotivo->addItem(m);
    TextNota = new QLineEdit(this);
    TextNota->setObjectName(QStringLiteral("TextNota"));
    TextNota->setMaxLength(255);
    Command1 = boton(this, "Command1", QStringLiteral("&Aceptar"));
    Command2 = boton(this, "Command2", QStringLiteral("&Cancelar"));
    Command1->setDefault(true);

    auto* campos = new QFormLayout;
    campos->addRow(QStringLiteral("&Fecha de baja:"), TextFecha);
    campos->addRow(QStringLiteral("&Motivo:"), ComboMotivo);
    campos->addRow(QStringLiteral("&Nota:"), TextNota);
    auto* pie = new QHBoxLayout;
    pie->addStretch(1);
    pie->addWidget(Command2);
    pie->addWidget(Command1);
    auto* todo = new QVBoxLayout(this);
    todo->addWidget(LabelComponente);
    todo->addWidget(etiqueta(this, "LabelAviso",
                             QStringLiteral("El componente sale del inventario y queda en Bajas, de donde se puede "
                                            "recuperar; su código no se vuelve a dar.")));
    todo->addLayout(campos);
    todo->addLayout(pie);

    connect(Command1, &QPushButton::clicked, this, &DarDeBaja::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

DarDeBaja::~DarDeBaja() = default;

void DarDeBaja::aceptar() {
    if (Mensajes::proteger(this, [this] {
            datos_.fecha = fecha_de(TextFecha);
            datos_.motivo = ComboMotivo->currentText();
            datos_.nota = TextNota->text().trimmed();
        }))
        accept();
}

VentanaBajas::VentanaBajas(ImpresoraLineas& impresora, QWidget* padre) : VentanaFija(padre), impresora_(impresora) {
    preparar(this, "Bajas", titulo);
    Label1 = etiqueta(this, "Label1", QString());
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(titulo);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setHeaderLabels(cabeceras);
    Command1 = boton(this, "Command1", QStringLiteral("&Recuperar"));
    Command1->setToolTip(QStringLiteral("Devuelve al inventario el componente elegido, tal como era"));
    Command2 = boton(this, "Command2", QStringLiteral("&Imprimir"));
    Command3 = boton(this, "Command3", QStringLiteral("&Exportar..."));
    Command4 = boton(this, "Command4", QStringLiteral("&Cerrar"));
    auto* pie = new QHBoxLayout;
    pie->addWidget(Command1);
    pie->addWidget(Command2);
    pie->addWidget(Command3);
    pie->addStretch(1);
    pie->addWidget(Command4);
    auto* todo = new QVBoxLayout(this);
    todo->addWidget(Label1);
    todo->addWidget(ListView1, 1);
    todo->addLayout(pie);
    resize(Aspecto::px(13000), Aspecto::px(6000));

    connect(Command1, &QPushButton::clicked, this, &VentanaBajas::recuperar);
    connect(Command2, &QPushButton::clicked, this, &VentanaBajas::imprimir);
    connect(Command3, &QPushButton::clicked, this, &VentanaBajas::exportar);
    connect(Command4, &QPushButton::clicked, this, &QDialog::accept);
    mostrar();
}

VentanaBajas::~VentanaBajas() = default;

void VentanaBajas::mostrar() {
    ListView1->clear();
    filas_.clear();
    Mensajes::proteger(this, [this] { filas_ = Bajas::leer(Module1::base_datos); });
    QList<QTreeWidgetItem*> items;
    for (int fila = 0; fila < filas_exportar(); ++fila) {
        QStringList textos;
        for (int columna = 0; columna < int(cabeceras.size()); ++columna)
            textos << texto_exportar(fila, columna);
        items << new QTreeWidgetItem(textos);
    }
    ListView1->addTopLevelItems(items);
    ListView1->header()->resizeSections(QHeaderView::ResizeToContents);
    Aspecto::mostrar_dato(Label1, filas_.size() == 1 ? QStringLiteral("1 componente dado de baja")
                                                     : QStringLiteral("%1 componentes dados de baja").arg(filas_.size()));
}

void VentanaBajas::recuperar() {
    const int fila = ListView1->indexOfTopLevelItem(ListView1->currentItem());
    if (fila < 0 || fila >= int(filas_.size())) {
        Mensajes::aviso(this, QStringLiteral("ERROR: No hay ningun elemento seleccionado."));
        return;
    }
    const qint64 codigo = filas_[size_t(fila)].linea[0].toLongLong();
    // A refusal or a failure is told once, and the list stays as it was.
    if (!Mensajes::proteger(this, [&] { Bajas::recuperar(Module1::base_datos, codigo); }))
        return;
    recuperado_ = true;
    mostrar();
}

void VentanaBajas::imprimir() {
    Mensajes::proteger(this, [this] { imprimir_tabla(impresora_, Label1->text(), *this); });
}

void VentanaBajas::exportar() {
    Exportar::exportar(this, *this,
                       Ubicacion::nombre_junto_al_inventario(Module1::base_datos, QStringLiteral("-bajas.xlsx")));
}

QStringList VentanaBajas::cabeceras_exportar() const {
    return cabeceras;
}

ClaseExportar VentanaBajas::clase_exportar(int columna) const {
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

int VentanaBajas::filas_exportar() const {
    return int(filas_.size());
}

QString VentanaBajas::texto_exportar(int fila, int columna) const {
    const Bajas::Baja& b = filas_[size_t(fila)];
    if (columna < 9)
        return b.linea[size_t(columna)];
    if (columna == 9)
        return Valores::texto_fecha(b.fecha);
    return columna == 10 ? b.motivo : b.nota;
}
