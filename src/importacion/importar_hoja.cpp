#include "importacion/importar_hoja.h"

#include "data/error_datos.h"
#include "hojas/valores_hoja.h"
#include "importacion/destino_importacion.h"
#include "importacion/importar_access.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>

using Aspecto::sitio;

namespace {

const QString titulo = QStringLiteral("Importar hoja de cálculo");
const QString filtro = QStringLiteral("Hojas de cálculo (*.xlsx *.ods *.csv *.txt *.xls);;Todos los archivos (*)");
const QString ninguna = QStringLiteral("(ninguna)");
const QStringList separadores = {QStringLiteral(";"), QStringLiteral(","), QStringLiteral("\t")};
const QStringList nombres_separadores = {QStringLiteral("Punto y coma (;)"), QStringLiteral("Coma (,)"),
                                         QStringLiteral("Tabulador")};
const QStringList codificaciones = {QStringLiteral("UTF-8"), QStringLiteral("Windows-1252")};
constexpr int filas_vista = 8;
constexpr int columnas_vista = 40;

QString nombre_separador(const QString& s) {
    const qsizetype i = separadores.indexOf(s);
    return i < 0 ? s : nombres_separadores[i].section(u' ', 0, i == 2 ? 0 : 2).toLower();
}

} // namespace

ImportarHoja::ImportarHoja(QWidget* padre) : VentanaFija(padre) {
    disenar();
}

void ImportarHoja::disenar() {
    setObjectName(QStringLiteral("ImportarHoja"));
    Aspecto::preparar_ventana(this, titulo, 600, 600, 10800, 8160, QStringLiteral(":/iconos/importar.svg"));
    paginas_ = new QStackedWidget(this);
    paginas_->setGeometry(sitio(0, 0, 10800, 7500));
    auto* columnas = new QWidget(paginas_);
    auto* comprobacion = new QWidget(paginas_);
    paginas_->addWidget(columnas);
    paginas_->addWidget(comprobacion);

    Aspecto::etiqueta(columnas, "Label1", QStringLiteral("Archivo:"), sitio(120, 150, 1200, 255));
    Label2 = Aspecto::etiqueta(columnas, "Label2", QString(), sitio(1380, 150, 9300, 255));
    Label2->setToolTip(QStringLiteral("La hoja de cálculo que se importa"));
    auto* l3 = Aspecto::etiqueta(columnas, "Label3", QStringLiteral("&Hoja:"), sitio(120, 540, 1200, 255));
    Combo1 = new QComboBox(columnas);
    Aspecto::preparar_campo(Combo1, "Combo1", sitio(1380, 495, 3300, 315),
                            QStringLiteral("La hoja del libro que se importa"));
    Aspecto::acompanar(l3, Combo1);
    auto* l4 = Aspecto::etiqueta(columnas, "Label4", QStringLiteral("&Separador:"), sitio(4860, 540, 1100, 255));
    Combo2 = new QComboBox(columnas);
    Combo2->addItems(nombres_separadores);
    Aspecto::preparar_campo(Combo2, "Combo2", sitio(6000, 495, 2000, 315),
                            QStringLiteral("Lo que separa las columnas del texto"));
    Aspecto::acompanar(l4, Combo2);
    auto* l5 = Aspecto::etiqueta(columnas, "Label5", QStringLiteral("Codi&ficación:"), sitio(8100, 540, 1100, 255));
    Combo3 = new QComboBox(columnas);
    Combo3->addItems(codificaciones);
    Aspecto::preparar_campo(Combo3, "Combo3", sitio(9240, 495, 1440, 315),
                            QStringLiteral("Cómo están escritas las letras del texto"));
    Aspecto::acompanar(l5, Combo3);
    Label6 = Aspecto::etiqueta(columnas, "Label6", QString(), sitio(4860, 900, 5820, 255));
    Label6->setToolTip(QStringLiteral("Lo que se ha detectado en el archivo de texto"));
    Check1 = new QCheckBox(QStringLiteral("La &primera fila tiene los nombres de las columnas"), columnas);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(sitio(120, 900, 4600, 300));
    Check1->setChecked(true);
    // Only the box and its caption take a click.
    Check1->adjustSize();
    Grid1 = new QTableWidget(columnas);
    Aspecto::preparar_campo(Grid1, "Grid1", sitio(120, 1320, 10560, 2700),
                            QStringLiteral("Las primeras filas de la hoja"));
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setAccessibleName(QStringLiteral("Primeras filas de la hoja"));
    for (int campo = 0; campo < MapeoHoja::numero_campos; ++campo) {
        const int x = 120 + (campo % 3) * 3540;
        const int y = 4200 + (campo / 3) * 900;
        const QByteArray nombre_etiqueta = "Label" + QByteArray::number(10 + campo);
        auto* l = Aspecto::etiqueta(columnas, nombre_etiqueta.constData(),
                                    MapeoHoja::nombre(campo) +
                                        (MapeoHoja::obligatorio(campo) ? QStringLiteral(" *:") : QStringLiteral(":")),
                                    sitio(x, y, 3300, 255));
        campos_[campo] = new QComboBox(columnas);
        const QByteArray nombre = "Campo" + QByteArray::number(campo);
        Aspecto::preparar_campo(campos_[campo], nombre.constData(), sitio(x, y + 270, 3300, 315),
                                QStringLiteral("La columna de la hoja que da %1").arg(MapeoHoja::nombre(campo)));
        Aspecto::acompanar(l, campos_[campo]);
    }
    Command1 = Aspecto::boton(columnas, "Command1", QStringLiteral("&Siguiente"), sitio(7920, 6960, 1335, 375),
                              QStringLiteral("Comprueba lo que se importará, sin escribir nada"));

    Label7 = Aspecto::etiqueta(comprobacion, "Label7", QString(), sitio(120, 150, 10560, 1500));
    Label7->setToolTip(QStringLiteral("Lo que hará la importación"));
    Label7->setWordWrap(true);
    Text1 = new QPlainTextEdit(comprobacion);
    Aspecto::preparar_campo(
        Text1, "Text1", sitio(120, 1740, 10560, 3900),
        QStringLiteral("Las filas con una decisión y las que no se importan, con su número de fila"));
    Text1->setReadOnly(true);
    Text1->setAccessibleName(QStringLiteral("Filas con una decisión y filas que no se importan"));
    Option1 = new QRadioButton(QStringLiteral("Añadir al inventario en &uso"), comprobacion);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option1->setGeometry(sitio(120, 5820, 6000, 300));
    Option2 = new QRadioButton(QStringLiteral("Crear un inventario &nuevo"), comprobacion);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option2->setGeometry(sitio(120, 6180, 6000, 300));
    Option1->adjustSize();
    Option2->adjustSize();
    Command3 = Aspecto::boton(comprobacion, "Command3", QStringLiteral("&Atrás"), sitio(6480, 6960, 1335, 375),
                              QStringLiteral("Vuelve a las columnas"));
    Command2 = Aspecto::boton(comprobacion, "Command2", QStringLiteral("&Importar"), sitio(7920, 6960, 1335, 375),
                              QStringLiteral("Importa las filas comprobadas"));
    Command4 = Aspecto::boton(this, "Command4", QStringLiteral("Cancelar"), sitio(9360, 7560, 1335, 375),
                              QStringLiteral("Cierra la ventana sin importar nada"));

    connect(Command1, &QPushButton::clicked, this, &ImportarHoja::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ImportarHoja::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &ImportarHoja::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &ImportarHoja::Command4_Click);
    connect(Check1, &QCheckBox::toggled, this, [this] { llenar_columnas(); });
    connect(Option1, &QRadioButton::toggled, this, [this] {
        if (paginas_->currentIndex() == 1)
            comprobar();
    });
    // Another sheet, separator or encoding is read again from the file.
    const auto releer = [this] {
        if (llenando_)
            return;
        LecturaHijo::Opciones antes = opciones_;
        if (!es_csv())
            opciones_.hoja = Combo1->currentText();
        else {
            opciones_.separador = separadores.value(Combo2->currentIndex());
            opciones_.codificacion = Combo3->currentText();
        }
        if (!leer())
            opciones_ = antes;
        mostrar_datos();
    };
    connect(Combo1, &QComboBox::currentIndexChanged, this, releer);
    connect(Combo2, &QComboBox::currentIndexChanged, this, releer);
    connect(Combo3, &QComboBox::currentIndexChanged, this, releer);
}

std::optional<QString> ImportarHoja::ejecutar() {
    QWidget* padre = parentWidget();
    const std::optional<QString> origen = DialogosSistema::elegir_archivo(padre, titulo, filtro);
    if (!origen)
        return std::nullopt;
    origen_ = *origen;
    if (!leer())
        return std::nullopt;
    separador_detectado_ = datos_.separador;
    codificacion_detectada_ = datos_.codificacion;
    mostrar_datos();
    // The inventory in use takes the rows whether it is a file or on a server.
    const bool en_uso = !Module1::base_datos.isEmpty();
    Option1->setEnabled(en_uso);
    (en_uso ? Option1 : Option2)->setChecked(true);
    exec();
    return nuevo_;
}

bool ImportarHoja::leer() {
    QProgressDialog progreso(QStringLiteral("Leyendo %1...").arg(QFileInfo(origen_).fileName()),
                             QStringLiteral("Cancelar"), 0, 0, parentWidget());
    progreso.setWindowTitle(titulo);
    progreso.setMinimumDuration(500);
    try {
        std::optional<DatosHoja> d = LecturaHijo::leer(ImportarAccess::orden(), origen_, opciones_, [&](qint64 filas) {
            progreso.setLabelText(
                QStringLiteral("Leídas %L1 filas de %2...").arg(filas).arg(QFileInfo(origen_).fileName()));
            QCoreApplication::processEvents();
            return !progreso.wasCanceled();
        });
        if (!d)
            return false;
        datos_ = std::move(*d);
    } catch (const ErrorDatos& e) {
        Mensajes::aviso(isVisible() ? this : parentWidget(), QStringLiteral("ERROR: ") + e.texto());
        return false;
    }
    return true;
}

void ImportarHoja::mostrar_datos() {
    llenando_ = true;
    Aspecto::mostrar_dato(Label2, QDir::toNativeSeparators(origen_));
    Combo1->clear();
    Combo1->addItems(datos_.hojas);
    Combo1->setCurrentIndex(datos_.elegida);
    Combo1->setEnabled(datos_.hojas.size() > 1);
    for (QWidget* w : std::initializer_list<QWidget*>{Combo2, Combo3, Label6, findChild<QLabel*>("Label4"),
                                                      findChild<QLabel*>("Label5")})
        w->setVisible(es_csv());
    if (es_csv()) {
        Combo2->setCurrentIndex(int(separadores.indexOf(datos_.separador)));
        Combo3->setCurrentIndex(int(codificaciones.indexOf(datos_.codificacion)));
        Aspecto::mostrar_dato(Label6, QStringLiteral("Detectado: separador %1, codificación %2.")
                                          .arg(nombre_separador(separador_detectado_), codificacion_detectada_));
    }
    const int columnas = std::min(datos_.columnas, columnas_vista);
    const int filas = int(std::min<std::size_t>(datos_.filas.size(), filas_vista));
    Grid1->clear();
    Grid1->setColumnCount(columnas);
    Grid1->setRowCount(filas);
    QStringList letras;
    for (int c = 0; c < columnas; ++c)
        letras << MapeoHoja::letra(c);
    Grid1->setHorizontalHeaderLabels(letras);
    QStringList numeros;
    for (int f = 0; f < filas; ++f) {
        const FilaHoja& fila = datos_.filas[std::size_t(f)];
        numeros << QString::number(fila.numero);
        for (int c = 0; c < columnas && c < int(fila.celdas.size()); ++c)
            Grid1->setItem(f, c, new QTableWidgetItem(fila.celdas[std::size_t(c)].como_texto()));
    }
    Grid1->setVerticalHeaderLabels(numeros);
    llenando_ = false;
    llenar_columnas();
}

QStringList ImportarHoja::cabeceras() const {
    return PlanHoja::cabeceras(datos_, Check1->isChecked());
}

// Each field's picker offers the sheet's columns; the choice is the one remembered for these headers, or the one
// the headers' names suggest.
void ImportarHoja::llenar_columnas() {
    const QStringList c = cabeceras();
    MapeoHoja::Mapeo m = MapeoHoja::ninguno;
    if (!c.isEmpty())
        m = MapeoHoja::recordado(c).value_or(MapeoHoja::proponer(c));
    QStringList opciones{ninguna};
    for (int i = 0; i < datos_.columnas; ++i)
        opciones << (c.value(i).isEmpty() ? MapeoHoja::letra(i) : MapeoHoja::letra(i) + QStringLiteral(": ") + c[i]);
    for (int campo = 0; campo < MapeoHoja::numero_campos; ++campo) {
        campos_[campo]->clear();
        campos_[campo]->addItems(opciones);
        campos_[campo]->setCurrentIndex(m[campo] + 1);
    }
}

MapeoHoja::Mapeo ImportarHoja::mapeo() const {
    MapeoHoja::Mapeo m;
    for (int campo = 0; campo < MapeoHoja::numero_campos; ++campo)
        m[campo] = campos_[campo]->currentIndex() - 1;
    return m;
}

void ImportarHoja::Command1_Click() {
    try {
        PlanHoja::exigir_columnas(mapeo());
    } catch (const ErrorDatos& e) {
        Mensajes::aviso(this, QStringLiteral("ERROR: ") + e.texto());
        return;
    }
    paginas_->setCurrentIndex(1);
    comprobar();
}

// The plan, made against the inventory it would go into: the one in use, or an empty new one.
void ImportarHoja::comprobar() {
    LoteInventario::Existente existente;
    if (Option1->isChecked()) {
        try {
            existente = LoteInventario::leer(Module1::base_datos);
        } catch (const ErrorDatos& e) {
            Mensajes::aviso(this, QStringLiteral("ERROR: ") + e.texto());
            Option2->setChecked(true);
            return;
        }
    }
    plan_ = PlanHoja::planear(datos_, Check1->isChecked(), mapeo(), existente);
    Aspecto::mostrar_dato(Label7, PlanHoja::texto_comprobacion(plan_));
    Text1->setPlainText(PlanHoja::detalles(plan_));
    Command2->setEnabled(!plan_.componentes.empty());
}

void ImportarHoja::Command3_Click() {
    paginas_->setCurrentIndex(0);
}

void ImportarHoja::Command4_Click() {
    reject();
}

void ImportarHoja::Command2_Click() {
    QStringList nuevos;
    for (const auto& t : plan_.tipos_nuevos)
        nuevos << QStringLiteral("el tipo %1").arg(t.nombre);
    for (const auto& m : plan_.marcas_nuevas)
        nuevos << QStringLiteral("la marca %1").arg(m.nombre);
    if (!nuevos.isEmpty() &&
        !Mensajes::pregunta(this, titulo,
                            QStringLiteral("Se crearán %1, que no existen todavía. ¿Desea continuar?")
                                .arg(nuevos.join(QStringLiteral(", ")))))
        return;
    QString destino = Module1::base_datos;
    if (Option2->isChecked()) {
        const std::optional<QString> elegido = DestinoImportacion::pedir_nuevo(this, origen_);
        if (!elegido)
            return;
        destino = *elegido;
    }
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (Option2->isChecked())
            PlanHoja::a_inventario_nuevo(plan_, destino);
        else
            PlanHoja::a_inventario(plan_, destino);
        QApplication::restoreOverrideCursor();
    } catch (const ErrorDatos& e) {
        QApplication::restoreOverrideCursor();
        Mensajes::aviso(this, QStringLiteral("ERROR: ") + e.texto());
        return;
    }
    if (const QStringList c = cabeceras(); !c.isEmpty())
        MapeoHoja::recordar(c, mapeo());
    anadido_en_uso_ = Option1->isChecked();
    DestinoImportacion::mostrar_resumen(this, PlanHoja::texto_resumen(plan_, destino), PlanHoja::detalles(plan_));
    if (Option2->isChecked() && DestinoImportacion::usar_ahora(this, titulo, destino))
        nuevo_ = destino;
    accept();
}
