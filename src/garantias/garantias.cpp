// The warranty window: its design, its filling and its filter.
#include "garantias/garantias.h"

#include "data/ubicacion.h"
#include "exportar/exportar.h"
#include "garantias/modelo_garantias.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"
#include "plataforma/reloj.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

using Aspecto::sitio;
using CalculoGarantia::Estado;
using CalculoGarantia::Filtro;

namespace {

constexpr int anchos_twips[ModeloGarantias::columnas] = {700, 1000, 1000, 1000, 1000, 1000, 800, 1100, 1500};
const QString separacion = QStringLiteral("      ");

} // namespace

// In the order of CalculoGarantia::Filtro.
const QStringList Garantias::filtros = {QStringLiteral("Todas"), QStringLiteral("En garantía"),
                                        QStringLiteral("Caducan en 90 días"), QStringLiteral("Caducadas")};

Garantias::Garantias(ImpresoraLineas& impresora, QWidget* padre) : VentanaFija(padre), impresora_(impresora) {
    Data1.enlazar_tabla(QStringLiteral("Elemento"));
    Data2.enlazar_tabla(QStringLiteral("Tipo"));
    Data3.enlazar_tabla(QStringLiteral("Marca"));
    disenar();
    Form_Load();
}

Garantias::~Garantias() = default;

void Garantias::disenar() {
    setObjectName(QStringLiteral("Garantias"));
    Aspecto::preparar_ventana(this, titulo, 0, 0, 10800, 6240, QStringLiteral(":/iconos/garantias.svg"));
    // Centred over the main window by Qt.
    setAttribute(Qt::WA_Moved, false);

    Label1 = Aspecto::etiqueta(this, "Label1", QStringLiteral("Mostrar:"), sitio(120, 150, 840, 255));
    Combo1 = new QComboBox(this);
    Aspecto::preparar_campo(Combo1, "Combo1", sitio(960, 120, 2400, 315),
                            QStringLiteral("Elige qué garantías muestra la lista"));
    Combo1->addItems(filtros);
    Aspecto::acompanar(Label1, Combo1);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Garantias::Combo1_Change);

    Label2 = Aspecto::etiqueta(this, "Label2", QString(), sitio(3600, 150, 7080, 255));
    Label2->setToolTip(QStringLiteral("Componentes en cada estado de garantía"));

    ListView1 = new QTreeView(this);
    Aspecto::preparar_campo(ListView1, "ListView1", sitio(120, 540, 10560, 5040), QString());
    ListView1->setAccessibleName(QStringLiteral("Garantías"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    modelo_ = new ModeloGarantias(Data1, Data2, Data3, this);
    ListView1->setModel(modelo_);
    for (int i = 0; i < ModeloGarantias::columnas; ++i)
        ListView1->header()->resizeSection(i, Aspecto::px(anchos_twips[i]));

    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("&Imprimir"), sitio(120, 5730, 1215, 375),
                              QStringLiteral("Imprime la lista que se muestra"));
    Command2 = Aspecto::boton(this, "Command2", QStringLiteral("&Exportar..."), sitio(1440, 5730, 1215, 375),
                              QStringLiteral("Guarda la lista que se muestra en un archivo CSV o XLSX"));
    Command3 = Aspecto::boton(this, "Command3", QStringLiteral("&Cerrar"), sitio(9465, 5730, 1215, 375),
                              QStringLiteral("Cierra la ventana"));
    connect(Command1, &QPushButton::clicked, this, &Garantias::imprimir);
    connect(Command2, &QPushButton::clicked, this, &Garantias::exportar);
    connect(Command3, &QPushButton::clicked, this, &QDialog::accept);
}

void Garantias::Form_Load() {
    Data1.enlazar_base_datos(Module1::base_datos);
    Data2.enlazar_base_datos(Module1::base_datos);
    Data3.enlazar_base_datos(Module1::base_datos);
    llenar();
}

void Garantias::llenar() {
    modelo_->poner({}, hoy_);
    lista_ = {};
    hoy_ = Reloj::hoy();
    Mensajes::proteger(this, [this] {
        Data1.refrescar();
        Data2.refrescar();
        Data3.refrescar();
        lista_ = CalculoGarantia::calcular(Data1, hoy_);
    });
    mostrar_cuentas();
    Combo1_Change();
}

void Garantias::mostrar_cuentas() {
    const auto cuenta = [this](Estado e) { return lista_.cuenta[static_cast<int>(e)]; };
    const QString texto = QStringLiteral("Vigentes: %1    Caducan en 90 días: %2    Caducadas: %3    Total: %4")
                              .arg(cuenta(Estado::vigente))
                              .arg(cuenta(Estado::caduca_pronto))
                              .arg(cuenta(Estado::caducada))
                              .arg(lista_.total());
    Label2->setText(texto);
    Label2->setAccessibleName(texto);
}

void Garantias::Combo1_Change() {
    const auto filtro = static_cast<Filtro>(std::max(0, Combo1->currentIndex()));
    modelo_->poner(CalculoGarantia::filtrar(lista_, filtro, hoy_), hoy_);
}

void Garantias::imprimir() {
    Mensajes::proteger(this, [this] {
        impresora_.empezar();
        impresora_.linea(cabecera_impresion);
        impresora_.linea(QString(cabecera_impresion.size(), u'-'));
        impresora_.linea(QString());
        for (int fila = 0; fila < modelo_->filas(); ++fila) {
            QString linea = modelo_->texto(fila, 0);
            for (int columna = 1; columna < ModeloGarantias::columnas; ++columna)
                linea += separacion + modelo_->texto(fila, columna);
            impresora_.linea(linea);
        }
        impresora_.terminar();
    });
}

void Garantias::exportar() {
    Exportar::exportar(this, *modelo_,
                       Ubicacion::nombre_junto_al_inventario(Module1::base_datos, QStringLiteral("-garantias.xlsx")));
}
