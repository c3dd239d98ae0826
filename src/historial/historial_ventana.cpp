// The history window: a table model over the entries read, so a component with thousands of them opens at once.
#include "historial/historial_ventana.h"

#include "custodia/campos.h"
#include "data/error_datos.h"
#include "data/ubicacion.h"
#include "data/valores.h"
#include "exportar/exportar.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QStringList cabeceras = {QStringLiteral("Fecha y hora"), QStringLiteral("Usuario"), QStringLiteral("Cambio"),
                               QStringLiteral("Qué"),          QStringLiteral("Código"),  QStringLiteral("Detalle")};

QString texto(const Historial::Entrada& e, int columna) {
    switch (columna) {
    case 0:
        return e.momento.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case 1:
        return e.usuario;
    case 2:
        return Historial::texto_cambio(e.cambio);
    case 3:
        return Historial::texto_tabla(e.tabla);
    case 4:
        return QString::number(e.registro);
    default:
        return e.detalle();
    }
}

// An optional date of a filter field: empty for none.
QDate fecha_filtro(QLineEdit* campo, const QString& nombre) {
    const QString t = campo->text().trimmed();
    if (t.isEmpty())
        return QDate();
    const std::optional<QDate> fecha = Valores::fecha_de_texto(t);
    if (!fecha)
        throw ErrorDatos(QStringLiteral("la fecha %1 «%2» no es válida; escríbala como dd/mm/aaaa.").arg(nombre, t));
    return *fecha;
}

} // namespace

class ModeloHistorial : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void poner(std::vector<Historial::Entrada> entradas) {
        beginResetModel();
        entradas_ = std::move(entradas);
        endResetModel();
    }
    const std::vector<Historial::Entrada>& entradas() const { return entradas_; }

    int rowCount(const QModelIndex& padre) const override { return padre.isValid() ? 0 : int(entradas_.size()); }
    int columnCount(const QModelIndex& padre) const override { return padre.isValid() ? 0 : int(cabeceras.size()); }
    QVariant data(const QModelIndex& i, int rol) const override {
        if (!i.isValid() || (rol != Qt::DisplayRole && rol != Qt::ToolTipRole))
            return {};
        return texto(entradas_[size_t(i.row())], i.column());
    }
    QVariant headerData(int seccion, Qt::Orientation o, int rol) const override {
        if (o == Qt::Horizontal && rol == Qt::DisplayRole && seccion < int(cabeceras.size()))
            return cabeceras[seccion];
        return {};
    }

private:
    std::vector<Historial::Entrada> entradas_;
};

VentanaHistorial::VentanaHistorial(ImpresoraLineas& impresora, std::optional<qint64> componente, QWidget* padre)
    : VentanaFija(padre), impresora_(impresora), componente_(componente) {
    CamposVentana::preparar(this, "Historial",
                            componente ? QStringLiteral("Historial del componente %1").arg(*componente) : titulo);

    auto* todo = new QVBoxLayout(this);
    if (!componente_) {
        const auto campo = [this](const char* nombre, const QString& ayuda) {
            auto* c = new QLineEdit(this);
            c->setObjectName(QLatin1String(nombre));
            c->setToolTip(ayuda);
            return c;
        };
        TextDesde = campo("TextDesde", QStringLiteral("Desde el día (dd/mm/aaaa); vacío para desde el principio"));
        TextHasta = campo("TextHasta", QStringLiteral("Hasta el día (dd/mm/aaaa), incluido; vacío para hasta hoy"));
        TextBuscar = campo("TextBuscar", QStringLiteral("Texto que buscar en los valores, el usuario o el código"));
        ComboUsuario = new QComboBox(this);
        ComboUsuario->setObjectName(QStringLiteral("ComboUsuario"));
        ComboUsuario->addItem(QString());
        ComboCambio = new QComboBox(this);
        ComboCambio->setObjectName(QStringLiteral("ComboCambio"));
        ComboCambio->addItem(QString());
        for (const QString& c : Historial::cambios())
            ComboCambio->addItem(Historial::texto_cambio(c), c);
        Command4 = CamposVentana::boton(this, "Command4", QStringLiteral("&Buscar"));
        auto* filtros = new QHBoxLayout;
        for (auto [texto, control] :
             std::initializer_list<std::pair<QString, QWidget*>>{{QStringLiteral("Desde:"), TextDesde},
                                                                 {QStringLiteral("Hasta:"), TextHasta},
                                                                 {QStringLiteral("Usuario:"), ComboUsuario},
                                                                 {QStringLiteral("Cambio:"), ComboCambio},
                                                                 {QStringLiteral("Texto:"), TextBuscar}}) {
            auto* etiqueta = new QLabel(texto, this);
            etiqueta->setBuddy(control);
            filtros->addWidget(etiqueta);
            filtros->addWidget(control, control == TextBuscar ? 2 : 1);
        }
        filtros->addWidget(Command4);
        todo->addLayout(filtros);
        connect(Command4, &QPushButton::clicked, this, &VentanaHistorial::mostrar);
        connect(TextBuscar, &QLineEdit::returnPressed, this, &VentanaHistorial::mostrar);
        Mensajes::proteger(this, [this] {
            for (const QString& u : Historial::usuarios(Module1::base_datos))
                ComboUsuario->addItem(u);
        });
    }
    Label1 = CamposVentana::etiqueta(this, "Label1", QString());
    modelo_ = new ModeloHistorial(this);
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(windowTitle());
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setModel(modelo_);
    const int anchos[] = {1900, 1100, 1500, 1100, 800, 6000};
    for (int c = 0; c < int(cabeceras.size()); ++c)
        ListView1->header()->resizeSection(c, Aspecto::px(anchos[c]));
    Command1 = CamposVentana::boton(this, "Command1", QStringLiteral("&Imprimir"));
    Command1->setToolTip(QStringLiteral("Imprime la lista que se muestra"));
    Command2 = CamposVentana::boton(this, "Command2", QStringLiteral("&Exportar..."));
    Command2->setToolTip(QStringLiteral("Guarda la lista que se muestra en un archivo CSV o XLSX"));
    Command3 = CamposVentana::boton(this, "Command3", QStringLiteral("&Cerrar"));
    auto* pie = new QHBoxLayout;
    pie->addWidget(Command1);
    pie->addWidget(Command2);
    pie->addStretch(1);
    pie->addWidget(Command3);
    todo->addWidget(Label1);
    todo->addWidget(ListView1, 1);
    todo->addLayout(pie);
    resize(Aspecto::px(13000), Aspecto::px(6500));

    connect(Command1, &QPushButton::clicked, this, &VentanaHistorial::imprimir);
    connect(Command2, &QPushButton::clicked, this, &VentanaHistorial::exportar);
    connect(Command3, &QPushButton::clicked, this, &QDialog::accept);
    mostrar();
}

VentanaHistorial::~VentanaHistorial() = default;

void VentanaHistorial::mostrar() {
    Mensajes::proteger(this, [this] {
        std::vector<Historial::Entrada> entradas;
        if (componente_) {
            entradas = Historial::de_componente(Module1::base_datos, *componente_);
        } else {
            Historial::Filtro filtro;
            filtro.desde = fecha_filtro(TextDesde, QStringLiteral("inicial"));
            filtro.hasta = fecha_filtro(TextHasta, QStringLiteral("final"));
            if (filtro.desde.isValid() && filtro.hasta.isValid() && filtro.hasta < filtro.desde)
                throw ErrorDatos(QStringLiteral("la fecha final no puede ser anterior a la inicial."));
            filtro.usuario = ComboUsuario->currentText();
            filtro.cambio = ComboCambio->currentData().toString();
            filtro.texto = TextBuscar->text().trimmed();
            entradas = Historial::del_inventario(Module1::base_datos, filtro);
        }
        modelo_->poner(std::move(entradas));
    });
    const size_t n = modelo_->entradas().size();
    Aspecto::mostrar_dato(Label1, n == 1 ? QStringLiteral("1 cambio") : QStringLiteral("%1 cambios").arg(n));
}

void VentanaHistorial::imprimir() {
    Mensajes::proteger(this, [this] {
        CamposVentana::imprimir_tabla(impresora_, windowTitle() + QStringLiteral(": ") + Label1->text(), *this);
    });
}

void VentanaHistorial::exportar() {
    Exportar::exportar(this, *this,
                       Ubicacion::nombre_junto_al_inventario(Module1::base_datos, QStringLiteral("-historial.xlsx")));
}

QStringList VentanaHistorial::cabeceras_exportar() const {
    return cabeceras;
}

ClaseExportar VentanaHistorial::clase_exportar(int columna) const {
    return columna == 4 ? ClaseExportar::numero : ClaseExportar::texto;
}

int VentanaHistorial::filas_exportar() const {
    return int(modelo_->entradas().size());
}

QString VentanaHistorial::texto_exportar(int fila, int columna) const {
    return texto(modelo_->entradas()[size_t(fila)], columna);
}
