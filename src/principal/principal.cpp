// The main window's design: layout, menus and toolbar.
#include "principal/principal.h"

#include "plataforma/aspecto.h"
#include "plataforma/dbcombo.h"
#include "plataforma/impresora_lineas.h"
#include "principal/modelo_lista.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

using Aspecto::sitio;

namespace {

struct Boton {
    const char* clave;
    const char* ayuda;
    const char* icono;
};

// Left to right, as the toolbar shows them.
const Boton botones[] = {
    {"BotonAbrir", "Abre nueva base de datos", "abrir"},
    {"BotonImprimir", "Imprime lista actual", "imprimir"},
    {"BotonBuscar", "Buscar elementos seleccionados", "buscar"},
    {"BotonAnadir", "Añade nuevo registro", "anadir"},
    {"BotonConsultar", "Consulta elemento seleccionado", "consultar"},
    {"BotonModificar", "Modifica elemento seleccionado", "modificar"},
    {"BotonBorrar", "Borra elemento seleccionado", "borrar"},
    {"BotonAyuda", "Temas de ayuda", "ayuda"},
};

void color_sistema(QWidget* w) {
    QPalette paleta = w->palette();
    paleta.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    w->setPalette(paleta);
    w->setAutoFillBackground(true);
}

} // namespace

Principal::Principal(QWidget* padre)
    : QMainWindow(padre, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      impresora_lineas_(std::make_unique<ImpresoraPapel>(impresora_)) {
    disenar();
    Form_Load();
}

Principal::~Principal() = default;

void Principal::disenar() {
    setObjectName(QStringLiteral("Principal"));
    auto* cliente = new QWidget(this);
    cliente->setObjectName(QStringLiteral("cliente"));
    Aspecto::preparar_ventana(this, QStringLiteral("Talvirenca de hardware v"), 1815, 2175, 6810, 3930,
                              QStringLiteral(":/iconos/principal.svg"));
    // The menu bar sits above the designed client area, so the window is sized by its layout instead.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    Aspecto::fijar_tamano_cliente(cliente, 6810, 3930);
    setCentralWidget(cliente);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    crear_menus();
    crear_barra(cliente);

    Label1 = Aspecto::etiqueta(cliente, "Label1", QStringLiteral("Base de datos:"), sitio(120, 600, 1215, 255));
    Label2 = Aspecto::etiqueta(cliente, "Label2", QString(), sitio(1320, 600, 5415, 255));
    Label2->setToolTip(QStringLiteral("Nombre y ubicación de la base de datos que se utiliza"));
    Label2->setAutoFillBackground(true);
    QPalette amarillo = Label2->palette();
    amarillo.setColor(QPalette::Window, Aspecto::amarillo);
    Label2->setPalette(amarillo);
    Label2->setAccessibleDescription(Label2->toolTip());
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    DBCombo1 = new DBCombo(cliente);
    Aspecto::preparar_campo(DBCombo1, "DBCombo1", sitio(120, 1080, 4935, 315),
                            QStringLiteral("Selección de tipos de componentes"));
    DBCombo1->fijar_origen_filas(&Data2);

    Command1 = Aspecto::boton(cliente, "Command1", QStringLiteral("Buscar"), sitio(5160, 1080, 1575, 400),
                              QStringLiteral("Busca según el tipo de componente seleccionado"));

    modelo_ = new ModeloLista(this);
    ListView1 = new QTreeView(cliente);
    Aspecto::preparar_campo(ListView1, "ListView1", sitio(120, 1560, 6615, 2055),
                            QStringLiteral("Lista de componentes"));
    ListView1->setModel(modelo_);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    StatusBar2 = new QStatusBar(cliente);
    StatusBar2->setObjectName(QStringLiteral("StatusBar2"));
    StatusBar2->setGeometry(sitio(0, 3645, 6810, 255));
    StatusBar2->setSizeGripEnabled(false);
    color_sistema(StatusBar2);
    lblBusqueda = new QLabel(StatusBar2);
    lblBusqueda->setObjectName(QStringLiteral("lblBusqueda"));
    lblBusqueda->setTextFormat(Qt::PlainText);
    lblBusqueda->setToolTip(QStringLiteral("Qué muestra la lista cuando es el resultado de una búsqueda de texto"));
    lblBusqueda->setAccessibleDescription(lblBusqueda->toolTip());
    StatusBar2->addWidget(lblBusqueda);
    lblTitular = new QLabel(StatusBar2);
    lblTitular->setObjectName(QStringLiteral("lblTitular"));
    lblTitular->setTextFormat(Qt::PlainText);
    lblTitular->setToolTip(QStringLiteral("Quién tiene el componente elegido y dónde está"));
    lblTitular->setAccessibleDescription(lblTitular->toolTip());
    StatusBar2->addWidget(lblTitular, 1);
    StatusBar1 = new QStatusBar(cliente);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, Aspecto::px(3900), Aspecto::px(6810), 2);
    StatusBar1->setSizeGripEnabled(false);
    color_sistema(StatusBar1);

    setTabOrder(Command1, DBCombo1);
    setTabOrder(DBCombo1, ListView1);

    connect(Command1, &QPushButton::clicked, this, &Principal::Command1_Click);
    // Enter in the type picker searches, as the button beside it does.
    connect(DBCombo1->lineEdit(), &QLineEdit::returnPressed, this, &Principal::Command1_Click);
    connect(modelo_, &ModeloLista::modelReset, this, &Principal::senalar_busqueda);
    // The status line follows the selected line; the line's own menu hands its component out and back.
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Principal::mostrar_titular);
    connect(modelo_, &ModeloLista::modelReset, this, &Principal::mostrar_titular);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QTreeView::customContextMenuRequested, this, &Principal::menu_linea);
    connect(modelo_, &ModeloLista::rowsInserted, this, &Principal::senalar_busqueda);
    connect(modelo_, &ModeloLista::rowsRemoved, this, &Principal::senalar_busqueda);
}

QAction* Principal::accion_menu(QMenu* menu, const char* nombre, const QString& texto, void (Principal::*orden)()) {
    QAction* accion = menu->addAction(texto);
    accion->setObjectName(QLatin1String(nombre));
    if (orden)
        connect(accion, &QAction::triggered, this, orden);
    return accion;
}

void Principal::crear_menus() {
    QMenuBar* barra = menuBar();
    color_sistema(barra);
    QMenu* archivo = barra->addMenu(QStringLiteral("&Archivo"));
    archivo->setObjectName(QStringLiteral("menuArchivo"));
    accion_menu(archivo, "menuConfigurar", QStringLiteral("&Configurar"), &Principal::abrir);
    accion_menu(archivo, "menuAnadirTM", QStringLiteral("&Mantener tipos/marcas"), &Principal::mantener_tipos_marcas);
    archivo->addSeparator();
    accion_menu(archivo, "menuConfigPrint", QStringLiteral("&Configurar impresion"), &Principal::menuConfigPrint_Click);
    accion_menu(archivo, "menuImprimir", QStringLiteral("&Imprimir"), &Principal::imprimir);
    archivo->addSeparator();
    accion_menu(archivo, "menuSalir", QStringLiteral("&Salir"), &Principal::salir);

    QMenu* acciones = barra->addMenu(QStringLiteral("&Acciones"));
    acciones->setObjectName(QStringLiteral("menuAcciones"));
    accion_menu(acciones, "menuAnadir", QStringLiteral("&Añadir"), &Principal::Anadir);
    connect(accion_menu(acciones, "menuModificar", QStringLiteral("&Modificar"), nullptr), &QAction::triggered, this,
            [this] { con_seleccion(&Principal::modificar); });
    connect(accion_menu(acciones, "menuConsultar", QStringLiteral("&Consultar"), nullptr), &QAction::triggered, this,
            [this] { con_seleccion(&Principal::consultar); });
    acciones->addSeparator();
    connect(accion_menu(acciones, "menuEliminar", QStringLiteral("&Eliminar"), nullptr), &QAction::triggered, this,
            [this] { con_seleccion(&Principal::borrar); });

    // Every command beyond the design lives here, so the design's own menus keep their entries.
    QMenu* herramientas = barra->addMenu(QStringLiteral("&Herramientas"));
    herramientas->setObjectName(QStringLiteral("menuHerramientas"));
    crear_menu_herramientas(herramientas);

    QMenu* ayuda_menu = barra->addMenu(QStringLiteral("&Ayuda"));
    ayuda_menu->setObjectName(QStringLiteral("menuAyuda"));
    accion_menu(ayuda_menu, "menuTemasAyuda", QStringLiteral("&Temas de ayuda"), &Principal::ayuda);
    ayuda_menu->addSeparator();
    accion_menu(ayuda_menu, "menuAcercaDe", QStringLiteral("&Acerca de"), &Principal::acerca_de);
}

void Principal::crear_barra(QWidget* cliente) {
    Toolbar1 = new QToolBar(cliente);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setGeometry(sitio(0, 0, 6810, 420));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    color_sistema(Toolbar1);
    for (const Boton& b : botones) {
        const QString clave = QLatin1String(b.clave);
        QAction* accion = Toolbar1->addAction(QIcon(QStringLiteral(":/iconos/%1.svg").arg(QLatin1String(b.icono))),
                                              QString::fromUtf8(b.ayuda));
        accion->setObjectName(clave);
        accion->setToolTip(QString::fromUtf8(b.ayuda));
        connect(accion, &QAction::triggered, this, [this, clave] { Toolbar1_ButtonClick(clave); });
    }
}
