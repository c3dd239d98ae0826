// The people and places window: the two lists and what their buttons store.
#include "custodia/personas_lugares.h"

#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

namespace {

constexpr int rol_codigo = Qt::UserRole;

QTreeWidget* lista(QWidget* padre, const char* nombre, const QStringList& cabeceras, const QString& ayuda) {
    auto* l = new QTreeWidget(padre);
    l->setObjectName(QLatin1String(nombre));
    l->setHeaderLabels(cabeceras);
    l->setToolTip(ayuda);
    l->setAccessibleName(ayuda);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setUniformRowHeights(true);
    l->setAllColumnsShowFocus(true);
    l->setSortingEnabled(false);
    return l;
}

QLineEdit* campo(QWidget* padre, const char* nombre, const QString& ayuda) {
    auto* c = new QLineEdit(padre);
    c->setObjectName(QLatin1String(nombre));
    c->setToolTip(ayuda);
    return c;
}

QPushButton* boton(QWidget* padre, const char* nombre, const QString& texto, const QString& ayuda) {
    auto* b = new QPushButton(texto, padre);
    b->setObjectName(QLatin1String(nombre));
    b->setToolTip(ayuda);
    b->setAutoDefault(false);
    return b;
}

std::optional<qint64> codigo_de(const QTreeWidgetItem* item) {
    if (!item)
        return std::nullopt;
    return item->data(0, rol_codigo).toLongLong();
}

} // namespace

PersonasLugares::PersonasLugares(QWidget* padre) : VentanaFija(padre) {
    disenar();
    llenar();
}

PersonasLugares::~PersonasLugares() = default;

void PersonasLugares::disenar() {
    setObjectName(QStringLiteral("PersonasLugares"));
    setWindowTitle(QStringLiteral("Personas y lugares"));
    setWindowIcon(QIcon(QStringLiteral(":/iconos/principal.svg")));
    QPalette fondo = palette();
    fondo.setColor(QPalette::Window, Aspecto::naranja);
    setPalette(fondo);
    setAutoFillBackground(true);

    auto* personas = new QGroupBox(QStringLiteral("Personas"), this);
    ListaPersonas = lista(personas, "ListaPersonas",
                          {QStringLiteral("Nombre"), QStringLiteral("Departamento"), QStringLiteral("Contacto")},
                          QStringLiteral("Personas a las que se pueden entregar componentes"));
    TextNombre = campo(personas, "TextNombre", QStringLiteral("Nombre y apellidos de la persona"));
    TextDepartamento = campo(personas, "TextDepartamento", QStringLiteral("Departamento (opcional)"));
    TextContacto = campo(personas, "TextContacto", QStringLiteral("Correo electrónico o extensión (opcional)"));
    auto* campos_persona = new QFormLayout;
    campos_persona->addRow(QStringLiteral("&Nombre:"), TextNombre);
    campos_persona->addRow(QStringLiteral("&Departamento:"), TextDepartamento);
    campos_persona->addRow(QStringLiteral("C&ontacto:"), TextContacto);
    CmdAnadirPersona = boton(personas, "CmdAnadirPersona", QStringLiteral("&Añadir"),
                             QStringLiteral("Añade una persona con los datos escritos"));
    CmdCambiarPersona = boton(personas, "CmdCambiarPersona", QStringLiteral("Ca&mbiar"),
                              QStringLiteral("Guarda los datos escritos en la persona elegida"));
    CmdBorrarPersona = boton(personas, "CmdBorrarPersona", QStringLiteral("&Borrar"),
                             QStringLiteral("Borra la persona elegida, si ninguna entrega la nombra"));
    auto* botones_persona = new QHBoxLayout;
    for (QPushButton* b : {CmdAnadirPersona, CmdCambiarPersona, CmdBorrarPersona})
        botones_persona->addWidget(b);
    auto* caja_personas = new QVBoxLayout(personas);
    caja_personas->addWidget(ListaPersonas, 1);
    caja_personas->addLayout(campos_persona);
    caja_personas->addLayout(botones_persona);

    auto* lugares = new QGroupBox(QStringLiteral("Lugares"), this);
    ListaLugares = lista(lugares, "ListaLugares", {QStringLiteral("Lugar")},
                         QStringLiteral("Lugares donde pueden quedar los componentes, unos dentro de otros"));
    TextLugar = campo(lugares, "TextLugar", QStringLiteral("Nombre del lugar"));
    ComboDentro = new QComboBox(lugares);
    ComboDentro->setObjectName(QStringLiteral("ComboDentro"));
    ComboDentro->setToolTip(QStringLiteral("Lugar dentro del que está (opcional)"));
    auto* campos_lugar = new QFormLayout;
    campos_lugar->addRow(QStringLiteral("&Lugar:"), TextLugar);
    campos_lugar->addRow(QStringLiteral("Den&tro de:"), ComboDentro);
    CmdAnadirLugar = boton(lugares, "CmdAnadirLugar", QStringLiteral("Aña&dir"),
                           QStringLiteral("Añade un lugar con los datos escritos"));
    CmdCambiarLugar = boton(lugares, "CmdCambiarLugar", QStringLiteral("Camb&iar"),
                            QStringLiteral("Guarda los datos escritos en el lugar elegido"));
    CmdBorrarLugar = boton(lugares, "CmdBorrarLugar", QStringLiteral("Bo&rrar"),
                           QStringLiteral("Borra el lugar elegido, si nada lo nombra"));
    auto* botones_lugar = new QHBoxLayout;
    for (QPushButton* b : {CmdAnadirLugar, CmdCambiarLugar, CmdBorrarLugar})
        botones_lugar->addWidget(b);
    auto* caja_lugares = new QVBoxLayout(lugares);
    caja_lugares->addWidget(ListaLugares, 1);
    caja_lugares->addLayout(campos_lugar);
    caja_lugares->addLayout(botones_lugar);

    CmdCerrar = boton(this, "CmdCerrar", QStringLiteral("&Cerrar"), QStringLiteral("Cierra la ventana"));
    auto* cajas = new QHBoxLayout;
    cajas->addWidget(personas, 3);
    cajas->addWidget(lugares, 2);
    auto* pie = new QHBoxLayout;
    pie->addStretch(1);
    pie->addWidget(CmdCerrar);
    auto* todo = new QVBoxLayout(this);
    todo->addLayout(cajas, 1);
    todo->addLayout(pie);
    resize(Aspecto::px(11000), Aspecto::px(6600));

    connect(ListaPersonas, &QTreeWidget::currentItemChanged, this, &PersonasLugares::persona_a_campos);
    connect(ListaLugares, &QTreeWidget::currentItemChanged, this, &PersonasLugares::lugar_a_campos);
    connect(CmdAnadirPersona, &QPushButton::clicked, this, &PersonasLugares::anadir_persona);
    connect(CmdCambiarPersona, &QPushButton::clicked, this, &PersonasLugares::cambiar_persona);
    connect(CmdBorrarPersona, &QPushButton::clicked, this, &PersonasLugares::borrar_persona);
    connect(CmdAnadirLugar, &QPushButton::clicked, this, &PersonasLugares::anadir_lugar);
    connect(CmdCambiarLugar, &QPushButton::clicked, this, &PersonasLugares::cambiar_lugar);
    connect(CmdBorrarLugar, &QPushButton::clicked, this, &PersonasLugares::borrar_lugar);
    connect(CmdCerrar, &QPushButton::clicked, this, &QDialog::accept);
}

void PersonasLugares::llenar() {
    const std::optional<qint64> persona = persona_elegida();
    const std::optional<qint64> lugar = lugar_elegido();
    const std::optional<qint64> dentro = dentro_elegido();
    const QString nombre = TextNombre->text(), departamento = TextDepartamento->text(), contacto = TextContacto->text(),
                  nombre_lugar = TextLugar->text();
    if (!Mensajes::proteger(this, [this] { estado_ = Custodia::leer(Module1::base_datos); }))
        estado_ = std::make_shared<Custodia::Estado>();

    const QSignalBlocker b1(ListaPersonas), b2(ListaLugares);
    ListaPersonas->clear();
    std::vector<const Custodia::Persona*> personas;
    for (const Custodia::Persona& p : estado_->personas)
        personas.push_back(&p);
    std::stable_sort(personas.begin(), personas.end(),
                     [](auto* a, auto* b) { return QString::localeAwareCompare(a->nombre, b->nombre) < 0; });
    for (const Custodia::Persona* p : personas) {
        auto* item = new QTreeWidgetItem(ListaPersonas, {p->nombre, p->departamento, p->contacto});
        item->setData(0, rol_codigo, p->codigo);
        if (persona == p->codigo)
            ListaPersonas->setCurrentItem(item);
    }
    ListaPersonas->header()->resizeSections(QHeaderView::ResizeToContents);

    // The places as a tree, each under the place it is inside; one whose parent is missing stands at the top.
    ListaLugares->clear();
    std::map<qint64, QTreeWidgetItem*> items;
    for (const Custodia::Lugar& l : estado_->lugares) {
        auto* item = new QTreeWidgetItem(QStringList{l.nombre});
        item->setData(0, rol_codigo, l.codigo);
        items[l.codigo] = item;
    }
    for (const Custodia::Lugar& l : estado_->lugares) {
        QTreeWidgetItem* item = items[l.codigo];
        const auto padre = l.padre ? items.find(*l.padre) : items.end();
        if (padre == items.end())
            continue;
        // A loop another program left in the table stops where it would close: that place stands at the top.
        bool ciclo = false;
        for (QTreeWidgetItem* arriba = padre->second; arriba && !ciclo; arriba = arriba->parent())
            ciclo = arriba == item;
        if (!ciclo)
            padre->second->addChild(item);
    }
    for (auto& [codigo, item] : items)
        if (!item->parent())
            ListaLugares->addTopLevelItem(item);
    ListaLugares->sortItems(0, Qt::AscendingOrder);
    ListaLugares->expandAll();
    if (lugar && items.count(*lugar))
        ListaLugares->setCurrentItem(items[*lugar]);

    ComboDentro->clear();
    ComboDentro->addItem(QStringLiteral("(ninguno)"), QVariant());
    std::vector<std::pair<QString, qint64>> rutas;
    for (const Custodia::Lugar& l : estado_->lugares)
        rutas.emplace_back(estado_->ruta_lugar(l.codigo), l.codigo);
    std::sort(rutas.begin(), rutas.end(),
              [](const auto& a, const auto& b) { return QString::localeAwareCompare(a.first, b.first) < 0; });
    for (const auto& [ruta, codigo] : rutas)
        ComboDentro->addItem(ruta, codigo);
    ComboDentro->setCurrentIndex(dentro ? std::max(0, ComboDentro->findData(*dentro)) : 0);
    TextNombre->setText(nombre);
    TextDepartamento->setText(departamento);
    TextContacto->setText(contacto);
    TextLugar->setText(nombre_lugar);
}

std::optional<qint64> PersonasLugares::persona_elegida() const {
    return codigo_de(ListaPersonas->currentItem());
}

std::optional<qint64> PersonasLugares::lugar_elegido() const {
    return codigo_de(ListaLugares->currentItem());
}

std::optional<qint64> PersonasLugares::dentro_elegido() const {
    const QVariant v = ComboDentro->currentData();
    return v.isValid() ? std::optional<qint64>(v.toLongLong()) : std::nullopt;
}

void PersonasLugares::persona_a_campos() {
    const std::optional<qint64> codigo = persona_elegida();
    const Custodia::Persona* p = codigo && estado_ ? estado_->persona(*codigo) : nullptr;
    if (!p)
        return;
    TextNombre->setText(p->nombre);
    TextDepartamento->setText(p->departamento);
    TextContacto->setText(p->contacto);
}

void PersonasLugares::lugar_a_campos() {
    const std::optional<qint64> codigo = lugar_elegido();
    const Custodia::Lugar* l = codigo && estado_ ? estado_->lugar(*codigo) : nullptr;
    if (!l)
        return;
    TextLugar->setText(l->nombre);
    ComboDentro->setCurrentIndex(l->padre ? std::max(0, ComboDentro->findData(*l->padre)) : 0);
}

template <class F> void PersonasLugares::escribir(F&& escritura) {
    if (Mensajes::proteger(this, std::forward<F>(escritura)))
        llenar();
}

void PersonasLugares::anadir_persona() {
    escribir([this] {
        const qint64 codigo = Custodia::anadir_persona(
            Module1::base_datos, {0, TextNombre->text(), TextDepartamento->text(), TextContacto->text()});
        // The new person is the one selected once the list is read again.
        ListaPersonas->clear();
        auto* item = new QTreeWidgetItem(ListaPersonas);
        item->setData(0, rol_codigo, codigo);
        ListaPersonas->setCurrentItem(item);
    });
}

void PersonasLugares::cambiar_persona() {
    const std::optional<qint64> codigo = persona_elegida();
    if (!codigo) {
        Mensajes::aviso(this, QStringLiteral("ERROR: primero debe elegir en la lista la persona que desea cambiar."));
        return;
    }
    escribir([&] {
        Custodia::modificar_persona(Module1::base_datos,
                                    {*codigo, TextNombre->text(), TextDepartamento->text(), TextContacto->text()});
    });
}

void PersonasLugares::borrar_persona() {
    const std::optional<qint64> codigo = persona_elegida();
    if (!codigo) {
        Mensajes::aviso(this, QStringLiteral("ERROR: primero debe elegir en la lista la persona que desea borrar."));
        return;
    }
    const QString nombre = estado_->nombre_persona(*codigo);
    if (!Mensajes::pregunta(this, QStringLiteral("          Va a borrar a %1. ").arg(nombre),
                            QStringLiteral("                        ¿Esta seguro?")))
        return;
    escribir([&] { Custodia::borrar_persona(Module1::base_datos, *codigo); });
}

void PersonasLugares::anadir_lugar() {
    escribir([this] {
        const qint64 codigo = Custodia::anadir_lugar(Module1::base_datos, {0, TextLugar->text(), dentro_elegido()});
        ListaLugares->clear();
        auto* item = new QTreeWidgetItem(ListaLugares);
        item->setData(0, rol_codigo, codigo);
        ListaLugares->setCurrentItem(item);
    });
}

void PersonasLugares::cambiar_lugar() {
    const std::optional<qint64> codigo = lugar_elegido();
    if (!codigo) {
        Mensajes::aviso(this, QStringLiteral("ERROR: primero debe elegir en la lista el lugar que desea cambiar."));
        return;
    }
    escribir([&] { Custodia::modificar_lugar(Module1::base_datos, {*codigo, TextLugar->text(), dentro_elegido()}); });
}

void PersonasLugares::borrar_lugar() {
    const std::optional<qint64> codigo = lugar_elegido();
    if (!codigo) {
        Mensajes::aviso(this, QStringLiteral("ERROR: primero debe elegir en la lista el lugar que desea borrar."));
        return;
    }
    const QString ruta = estado_->ruta_lugar(*codigo);
    if (!Mensajes::pregunta(this, QStringLiteral("          Va a borrar el lugar %1. ").arg(ruta),
                            QStringLiteral("                        ¿Esta seguro?")))
        return;
    escribir([&] { Custodia::borrar_lugar(Module1::base_datos, *codigo); });
}
