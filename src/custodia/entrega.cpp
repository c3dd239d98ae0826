// The hand-out and return windows.
#include "custodia/entrega.h"

#include "data/error_datos.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "custodia/campos.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"
#include "plataforma/reloj.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

using namespace CamposVentana;

namespace {

const QString ninguno = QString();

QComboBox* selector(QWidget* padre, const char* nombre, const QString& ayuda) {
    auto* combo = new QComboBox(padre);
    combo->setObjectName(QLatin1String(nombre));
    combo->setToolTip(ayuda);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->completer()->setCompletionMode(QCompleter::PopupCompletion);
    combo->completer()->setFilterMode(Qt::MatchContains);
    combo->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    return combo;
}

// The code of what the picker names: the entry whose text is the one typed (case aside); none for an empty text.
std::optional<qint64> elegido(QComboBox* combo, const QString& falta) {
    const QString texto = combo->currentText().trimmed();
    if (texto.isEmpty())
        return std::nullopt;
    const int i = combo->findText(texto, Qt::MatchFixedString);
    if (i < 0 || !combo->itemData(i).isValid())
        throw ErrorDatos(falta.arg(texto));
    return combo->itemData(i).toLongLong();
}

} // namespace

namespace Custodia {

void llenar_personas(QComboBox* combo, const Estado& estado) {
    std::vector<std::pair<QString, qint64>> nombres;
    for (const Persona& p : estado.personas)
        nombres.emplace_back(estado.nombre_persona(p.codigo), p.codigo);
    std::stable_sort(nombres.begin(), nombres.end(),
                     [](const auto& a, const auto& b) { return QString::localeAwareCompare(a.first, b.first) < 0; });
    combo->clear();
    combo->addItem(ninguno);
    for (const auto& [nombre, codigo] : nombres)
        combo->addItem(nombre, codigo);
}

void llenar_lugares(QComboBox* combo, const Estado& estado) {
    std::vector<std::pair<QString, qint64>> rutas;
    for (const Lugar& l : estado.lugares)
        rutas.emplace_back(estado.ruta_lugar(l.codigo), l.codigo);
    std::stable_sort(rutas.begin(), rutas.end(),
                     [](const auto& a, const auto& b) { return QString::localeAwareCompare(a.first, b.first) < 0; });
    combo->clear();
    combo->addItem(ninguno);
    for (const auto& [ruta, codigo] : rutas)
        combo->addItem(ruta, codigo);
}

} // namespace Custodia

Entregar::Entregar(qint64 elemento, const QString& componente, std::shared_ptr<const Custodia::Estado> estado,
                   QWidget* padre)
    : VentanaFija(padre), elemento_(elemento), estado_(std::move(estado)) {
    preparar(this, "Entregar", QStringLiteral("Entregar"));
    LabelComponente = etiqueta(this, "LabelComponente", componente);
    const QString actual = estado_->linea(elemento_);
    LabelActual = etiqueta(this, "LabelActual", actual.isEmpty() ? QStringLiteral("No está entregado.") : actual);
    ComboPersona = selector(this, "ComboPersona", QStringLiteral("Persona que recibe el componente (opcional)"));
    Custodia::llenar_personas(ComboPersona, *estado_);
    ComboLugar = selector(this, "ComboLugar", QStringLiteral("Lugar donde queda el componente (opcional)"));
    Custodia::llenar_lugares(ComboLugar, *estado_);
    TextFecha = campo_fecha(this);
    TextNota = new QLineEdit(this);
    TextNota->setObjectName(QStringLiteral("TextNota"));
    CheckTraspaso = new QCheckBox(QStringLiteral("&Traspaso: cerrar la entrega actual en esta fecha"), this);
    CheckTraspaso->setObjectName(QStringLiteral("CheckTraspaso"));
    CheckTraspaso->setVisible(!actual.isEmpty());
    CheckTraspaso->setChecked(!actual.isEmpty());
    Command1 = boton(this, "Command1", QStringLiteral("Aceptar"));
    Command2 = boton(this, "Command2", QStringLiteral("Cancelar"));

    auto* campos = new QFormLayout;
    campos->addRow(QStringLiteral("Componente:"), LabelComponente);
    campos->addRow(QStringLiteral("Ahora:"), LabelActual);
    campos->addRow(QStringLiteral("&Persona:"), ComboPersona);
    campos->addRow(QStringLiteral("&Lugar:"), ComboLugar);
    campos->addRow(QStringLiteral("&Fecha:"), TextFecha);
    campos->addRow(QStringLiteral("&Nota:"), TextNota);
    campos->addRow(QString(), CheckTraspaso);
    auto* pie = new QHBoxLayout;
    pie->addStretch(1);
    pie->addWidget(Command2);
    pie->addWidget(Command1);
    auto* todo = new QVBoxLayout(this);
    todo->addLayout(campos);
    todo->addLayout(pie);
    ComboPersona->setFocus();
    connect(Command1, &QPushButton::clicked, this, &Entregar::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

Entregar::~Entregar() = default;

void Entregar::aceptar() {
    const bool hecho = Mensajes::proteger(this, [this] {
        Custodia::DatosEntrega datos;
        datos.elemento = elemento_;
        datos.persona =
            elegido(ComboPersona,
                    QStringLiteral("no hay ninguna persona llamada «%1»; añádala antes en «Personas y lugares»."));
        datos.lugar = elegido(
            ComboLugar, QStringLiteral("no hay ningún lugar llamado «%1»; añádalo antes en «Personas y lugares»."));
        datos.fecha = fecha_de(TextFecha);
        datos.nota = TextNota->text();
        std::optional<qint64> traspaso;
        if (CheckTraspaso->isVisible() && CheckTraspaso->isChecked())
            if (const Custodia::Abierta* a = estado_->abierta(elemento_))
                traspaso = a->entrega;
        Custodia::entregar(Module1::base_datos, datos, traspaso);
    });
    if (hecho)
        accept();
}

Devolver::Devolver(qint64 elemento, const QString& componente, std::shared_ptr<const Custodia::Estado> estado,
                   QWidget* padre)
    : VentanaFija(padre), elemento_(elemento), estado_(std::move(estado)) {
    preparar(this, "Devolver", QStringLiteral("Devolver"));
    LabelComponente = etiqueta(this, "LabelComponente", componente);
    LabelActual = etiqueta(this, "LabelActual", estado_->linea(elemento_));
    TextFecha = campo_fecha(this);
    ComboEstado = new QComboBox(this);
    ComboEstado->setObjectName(QStringLiteral("ComboEstado"));
    ComboEstado->setEditable(true);
    ComboEstado->setInsertPolicy(QComboBox::NoInsert);
    ComboEstado->addItems({QString(), QStringLiteral("Bien"), QStringLiteral("Con desperfectos"),
                           QStringLiteral("Incompleto"), QStringLiteral("Averiado")});
    ComboEstado->setToolTip(QStringLiteral("En qué estado vuelve el componente (texto libre)"));
    TextNota = new QLineEdit(this);
    TextNota->setObjectName(QStringLiteral("TextNota"));
    Command1 = boton(this, "Command1", QStringLiteral("Aceptar"));
    Command2 = boton(this, "Command2", QStringLiteral("Cancelar"));

    auto* campos = new QFormLayout;
    campos->addRow(QStringLiteral("Componente:"), LabelComponente);
    campos->addRow(QStringLiteral("Ahora:"), LabelActual);
    campos->addRow(QStringLiteral("&Fecha:"), TextFecha);
    campos->addRow(QStringLiteral("&Estado:"), ComboEstado);
    campos->addRow(QStringLiteral("&Nota:"), TextNota);
    auto* pie = new QHBoxLayout;
    pie->addStretch(1);
    pie->addWidget(Command2);
    pie->addWidget(Command1);
    auto* todo = new QVBoxLayout(this);
    todo->addLayout(campos);
    todo->addLayout(pie);
    TextFecha->setFocus();
    connect(Command1, &QPushButton::clicked, this, &Devolver::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
}

Devolver::~Devolver() = default;

void Devolver::aceptar() {
    const bool hecho = Mensajes::proteger(this, [this] {
        const Custodia::Abierta* a = estado_->abierta(elemento_);
        if (!a)
            throw ErrorDatos(QStringLiteral("el componente %1 no está entregado.").arg(elemento_));
        Custodia::devolver(Module1::base_datos,
                           {elemento_, a->entrega, fecha_de(TextFecha), ComboEstado->currentText(), TextNota->text()});
    });
    if (hecho)
        accept();
}
