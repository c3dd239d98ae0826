#include "etiquetas/etiquetas.h"

#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString clave_formato = QStringLiteral("etiquetas/formato");
const QString clave_linea = QStringLiteral("etiquetas/linea");
const QString clave_titular = QStringLiteral("etiquetas/titular");
const QString cancelado = QStringLiteral("Impresión de etiquetas cancelada: no se ha impreso nada.");
const QString fallo = QStringLiteral("ERROR: no se pueden imprimir las etiquetas en %1.");
const QString impresas = QStringLiteral("Se han impreso %1 etiquetas en %2.");
const QString impresa_una = QStringLiteral("Se ha impreso 1 etiqueta en %1.");

QSettings ajustes() {
    return QSettings(Programa::titulo, Programa::titulo);
}
} // namespace

Etiquetas::Etiquetas(QWidget* padre, QPrinter& impresora, Tanda lista, int seleccionada)
    : VentanaFija(padre, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint),
      impresora_(impresora), lista_(std::move(lista)),
      seleccionada_(seleccionada >= 0 && seleccionada < lista_.cuantas ? seleccionada : -1) {
    disenar();
    leer_ajustes();
}

Etiquetas::~Etiquetas() = default;

void Etiquetas::disenar() {
    setObjectName(QStringLiteral("Etiquetas"));
    Aspecto::preparar_ventana(this, QStringLiteral("Etiquetas"), 2000, 2200, 6000, 3000,
                              QStringLiteral(":/iconos/imprimir.svg"));
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    auto* formulario = new QFormLayout;
    // Fields on light yellow like every window's; each speaks the caption of the label beside it.
    const auto campo = [&](QWidget* control, const char* nombre, const QString& etiqueta, const QString& ayuda) {
        Aspecto::preparar_campo(control, nombre, QRect(), ayuda);
        auto* e = new QLabel(etiqueta, this);
        formulario->addRow(e, control);
        e->setBuddy(control);
        control->setAccessibleName(QString(etiqueta).remove(u'&'));
    };

    cboFormato = new QComboBox(this);
    for (const Formato& f : formatos())
        cboFormato->addItem(f.nombre, f.clave);
    campo(cboFormato, "cboFormato", QStringLiteral("&Formato:"), QStringLiteral("Hoja o rollo de etiquetas"));

    spnInicio = new QSpinBox(this);
    campo(spnInicio, "spnInicio", QStringLiteral("&Empezar en la etiqueta:"),
          QStringLiteral("Primera etiqueta libre de una hoja ya empezada, contando de izquierda a derecha y de "
                         "arriba abajo"));

    txtLinea = new QLineEdit(this);
    txtLinea->setMaxLength(80);
    campo(txtLinea, "txtLinea", QStringLiteral("&Línea propia:"),
          QStringLiteral("Texto que encabeza cada etiqueta, por ejemplo el nombre de la empresa"));

    chkTitular = new QCheckBox(QStringLiteral("&Quién lo tiene o dónde está, en una línea al pie"), this);
    chkTitular->setObjectName(QStringLiteral("chkTitular"));
    chkTitular->setToolTip(QStringLiteral("Cada etiqueta lleva el nombre de quien tiene el componente o, si no lo "
                                          "tiene nadie, el lugar donde está"));
    formulario->addRow(QString(), chkTitular);

    optTodos = new QRadioButton(
        QStringLiteral("&Todos los componentes de la lista (%1)").arg(QString::number(lista_.cuantas)), this);
    optTodos->setObjectName(QStringLiteral("optTodos"));
    optSeleccionado = new QRadioButton(
        seleccionada_ >= 0
            ? QStringLiteral("&Solo el componente seleccionado (código %1)").arg(lista_.etiqueta(seleccionada_).codigo)
            : QStringLiteral("&Solo el componente seleccionado (no hay ninguno)"),
        this);
    optSeleccionado->setObjectName(QStringLiteral("optSeleccionado"));
    optSeleccionado->setEnabled(seleccionada_ >= 0);
    optTodos->setChecked(true);

    cmdImprimir = new QPushButton(QStringLiteral("&Imprimir..."), this);
    cmdImprimir->setObjectName(QStringLiteral("cmdImprimir"));
    cmdImprimir->setToolTip(QStringLiteral("Muestra las etiquetas y las imprime en la impresora elegida"));
    cmdCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    cmdCancelar->setToolTip(QStringLiteral("Vuelve al menu principal sin imprimir"));
    for (QPushButton* b : {cmdImprimir, cmdCancelar})
        b->setAutoDefault(false);
    // Plain buttons in a row: like every window of the program, this one has no default button for Enter.
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(cmdImprimir);
    botones->addWidget(cmdCancelar);

    auto* todo = new QVBoxLayout(this);
    todo->addWidget(optTodos);
    todo->addWidget(optSeleccionado);
    todo->addLayout(formulario);
    todo->addLayout(botones);
    todo->setSizeConstraint(QLayout::SetFixedSize);
    // Tab goes down the window as it is laid out: which components, then the fields, then the buttons.
    QWidget* const orden[] = {optTodos, optSeleccionado, cboFormato,  spnInicio,
                              txtLinea, chkTitular,      cmdImprimir, cmdCancelar};
    for (std::size_t i = 1; i < std::size(orden); ++i)
        QWidget::setTabOrder(orden[i - 1], orden[i]);
    cmdImprimir->setFocus();

    connect(cboFormato, &QComboBox::currentIndexChanged, this, &Etiquetas::formato_cambiado);
    connect(cmdImprimir, &QPushButton::clicked, this, &Etiquetas::cmdImprimir_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

void Etiquetas::leer_ajustes() {
    QSettings s = ajustes();
    const int indice = cboFormato->findData(s.value(clave_formato).toString());
    cboFormato->setCurrentIndex(indice >= 0 ? indice : 0);
    txtLinea->setText(s.value(clave_linea).toString());
    chkTitular->setChecked(s.value(clave_titular, false).toBool());
    formato_cambiado();
}

void Etiquetas::guardar_ajustes() const {
    QSettings s = ajustes();
    s.setValue(clave_formato, formato_elegido().clave);
    s.setValue(clave_linea, linea());
    s.setValue(clave_titular, chkTitular->isChecked());
}

void Etiquetas::formato_cambiado() {
    const Formato& f = formato_elegido();
    // A roll has no used places to skip.
    spnInicio->setRange(1, f.por_pagina());
    spnInicio->setEnabled(!f.rollo);
}

const Formato& Etiquetas::formato_elegido() const {
    return formato(cboFormato->currentData().toString());
}

int Etiquetas::inicio() const {
    return formato_elegido().rollo ? 0 : spnInicio->value() - 1;
}

QString Etiquetas::linea() const {
    return txtLinea->text().trimmed();
}

Tanda Etiquetas::elegidas() const {
    Tanda tanda = lista_;
    if (optSeleccionado->isChecked() && seleccionada_ >= 0)
        tanda = {1, [this](int) { return lista_.etiqueta(seleccionada_); }};
    if (!chkTitular->isChecked())
        tanda.etiqueta = [leer = tanda.etiqueta](int n) {
            DatosEtiqueta d = leer(n);
            d.titular.clear();
            return d;
        };
    return tanda;
}

void Etiquetas::cmdImprimir_Click() {
    guardar_ajustes();
    if (!Mensajes::proteger(this, [this] { exigir_impresora_elegida(impresora_); }))
        return;
    // The list's printer keeps its own paper: the labels' paper holds only while they print.
    const QPageLayout pagina = impresora_.pageLayout();
    const bool pagina_entera = impresora_.fullPage();
    DibujoEtiquetas::preparar_impresora(impresora_, formato_elegido());
    const int resultado = vista_previa();
    impresora_.setFullPage(pagina_entera);
    impresora_.setPageLayout(pagina);
    // The preview closes after its "Imprimir" even when the print failed: the window then stays open, so the user
    // can choose another printer or layout.
    if (resultado != QDialog::Accepted || !ultima_completa_)
        return;
    // Told, as an export is: where the labels went and how many.
    const int cuantas = elegidas().cuantas;
    const bool pdf = impresora_.outputFormat() == QPrinter::PdfFormat;
    const QString destino = pdf ? QDir::toNativeSeparators(impresora_.outputFileName())
                                : QStringLiteral("la impresora %1").arg(impresora_.printerName());
    Mensajes::aviso(this, cuantas == 1 ? impresa_una.arg(destino) : impresas.arg(QString::number(cuantas), destino));
    accept();
}

int Etiquetas::vista_previa() {
    // The printer was chosen in "Configurar impresion": the preview's "Imprimir" prints there at once, with no
    // second printer dialog.
    QDialog vista(this);
    vista.setObjectName(QStringLiteral("VistaEtiquetas"));
    vista.setWindowTitle(QStringLiteral("Vista previa de las etiquetas"));
    auto* previa = new QPrintPreviewWidget(&impresora_, &vista);
    previa->setObjectName(QStringLiteral("previa"));
    previa->fitToWidth();
    connect(previa, &QPrintPreviewWidget::paintRequested, this, &Etiquetas::pintar);
    auto* imprimir = new QPushButton(QStringLiteral("&Imprimir"), &vista);
    imprimir->setObjectName(QStringLiteral("cmdImprimirVista"));
    imprimir->setToolTip(QStringLiteral("Imprime las etiquetas en la impresora elegida"));
    auto* cancelar = new QPushButton(QStringLiteral("Cancelar"), &vista);
    cancelar->setObjectName(QStringLiteral("cmdCancelarVista"));
    cancelar->setToolTip(QStringLiteral("Vuelve a la ventana de etiquetas sin imprimir"));
    for (QPushButton* b : {imprimir, cancelar})
        b->setAutoDefault(false);
    connect(imprimir, &QPushButton::clicked, &vista, [&vista, previa] {
        previa->print();
        vista.accept();
    });
    connect(cancelar, &QPushButton::clicked, &vista, &QDialog::reject);
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(imprimir);
    botones->addWidget(cancelar);
    auto* todo = new QVBoxLayout(&vista);
    todo->addWidget(previa);
    todo->addLayout(botones);
    vista.resize(Aspecto::px(9000), Aspecto::px(9000));
    return vista.exec();
}

void Etiquetas::pintar(QPrinter* destino) {
    const Tanda tanda = elegidas();
    QProgressDialog progreso(QStringLiteral("Preparando las etiquetas..."), QStringLiteral("Cancelar"), 0,
                             tanda.cuantas, this);
    progreso.setWindowTitle(Programa::titulo);
    progreso.setWindowModality(Qt::WindowModal);
    bool cancelada = false;
    const auto seguir = [&](int hechas) {
        progreso.setValue(hechas);
        cancelada = progreso.wasCanceled();
        return !cancelada;
    };
    ultima_completa_ = DibujoEtiquetas::imprimir(*destino, formato_elegido(), inicio(), linea(), tanda, seguir);
    // Gone before any message: a progress window due to appear would cover it.
    progreso.reset();
    progreso.hide();
    if (ultima_completa_)
        return;
    if (cancelada) {
        Mensajes::aviso(this, cancelado);
        return;
    }
    const bool pdf = destino->outputFormat() == QPrinter::PdfFormat;
    Mensajes::aviso(this, fallo.arg(pdf ? destino->outputFileName() : destino->printerName()));
}
