// The summary window: its design, its charts and tables, saving a chart and printing.
#include "resumen/resumen.h"

#include "data/error_datos.h"
#include "data/ubicacion.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"
#include "plataforma/reloj.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QStyle>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QValueAxis>

using Aspecto::sitio;

namespace {

// About how many characters of names fit side by side under a chart's bars.
constexpr int caracteres_bajo_barras = 40;

struct Grafico {
    const char* titulo;
    const char* columna_nombre;
    const char* columna_valor;
};
const Grafico graficos_resumen[Resumen::graficos] = {
    {"Componentes por tipo", "Tipo", "Componentes"},
    {"Compras por año", "Año", "Compras"},
    {"Estado de las garantías", "Estado", "Componentes"},
};

// Colours of the warranty states, as in the warranty window: in warranty, ending soon, ended.
const QColor colores_estados[CalculoGarantia::numero_estados] = {{120, 190, 120}, {255, 200, 90}, {240, 140, 140}};

constexpr int alto_fila = 3150;

const QString grafico_guardado = QStringLiteral("Gráfico «%1» guardado en %2 con %3 componentes.");
const QString grafico_guardado_uno = QStringLiteral("Gráfico «%1» guardado en %2 con %3 componente.");

// Room a chart's name labels need on top of the labels themselves: its title, the other axis and the margins.
constexpr int alto_sin_nombres = 90;
constexpr int ancho_sin_nombres = 70;
// Room between two labels side by side or one above the other.
constexpr int separacion = 6;

struct Barras {
    QChart* grafico;
    // The size at which every bar carries its name: larger than the chart's place when there are many bars, and
    // then the chart scrolls.
    QSize tamano;
};

// Bars of counts by name. Names that would not fit side by side under the bars (types often have long names) go
// beside horizontal bars instead, where each has the room of a line, when `pueden_tumbarse`; names under vertical
// bars turn upright when
// side by side they would not fit. Every bar carries its name: when the chart's place has no room for them all,
// the chart grows.
Barras grafico_barras(const QString& titulo, const std::vector<DatosResumen::Barra>& barras, const QSize& sitio,
                      bool pueden_tumbarse) {
    QStringList nombres;
    int mayor = 0;
    for (const DatosResumen::Barra& b : barras) {
        nombres << b.nombre;
        mayor = std::max(mayor, b.valor);
    }
    const bool tumbadas =
        pueden_tumbarse && nombres.join(QString()).size() + 2 * nombres.size() > caracteres_bajo_barras;
    // Horizontal bars go from the bottom up: the list is turned round so that they read, from the top, as the
    // table beside them.
    auto* conjunto = new QBarSet(titulo);
    nombres.clear();
    for (std::size_t i = 0; i < barras.size(); ++i) {
        const DatosResumen::Barra& b = barras[tumbadas ? barras.size() - 1 - i : i];
        *conjunto << b.valor;
        nombres << b.nombre;
    }
    QAbstractBarSeries* serie = tumbadas ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries)
                                         : static_cast<QAbstractBarSeries*>(new QBarSeries);
    serie->append(conjunto);
    auto* grafico = new QChart;
    grafico->addSeries(serie);
    auto* eje_nombres = new QBarCategoryAxis;
    eje_nombres->append(nombres);
    eje_nombres->setTruncateLabels(false);
    grafico->addAxis(eje_nombres, tumbadas ? Qt::AlignLeft : Qt::AlignBottom);
    serie->attachAxis(eje_nombres);
    auto* eje_cuentas = new QValueAxis;
    eje_cuentas->setRange(0, std::max(1, mayor));
    eje_cuentas->setLabelFormat(QStringLiteral("%d"));
    // Whole numbers on the axis: one mark per unit for small counts, rounded steps for large ones.
    if (mayor <= 10)
        eje_cuentas->setTickCount(std::max(1, mayor) + 1);
    else
        eje_cuentas->applyNiceNumbers();
    grafico->addAxis(eje_cuentas, tumbadas ? Qt::AlignBottom : Qt::AlignLeft);
    serie->attachAxis(eje_cuentas);
    grafico->legend()->hide();

    const QFontMetrics letra(eje_nombres->labelsFont());
    const int n = static_cast<int>(nombres.size());
    QSize tamano = sitio;
    if (tumbadas) {
        tamano.setHeight(std::max(sitio.height(), n * (letra.height() + separacion) + alto_sin_nombres));
    } else {
        int mas_ancho = 0;
        for (const QString& nombre : nombres)
            mas_ancho = std::max(mas_ancho, letra.horizontalAdvance(nombre));
        int por_nombre = mas_ancho + separacion;
        if (n * por_nombre + ancho_sin_nombres > sitio.width()) {
            eje_nombres->setLabelsAngle(-90);
            por_nombre = letra.height() + separacion;
        }
        tamano.setWidth(std::max(sitio.width(), n * por_nombre + ancho_sin_nombres));
    }
    return {grafico, tamano};
}

QChart* grafico_tarta(const std::array<int, CalculoGarantia::numero_estados>& estados) {
    auto* serie = new QPieSeries;
    for (int i = 0; i < CalculoGarantia::numero_estados; ++i) {
        QPieSlice* trozo =
            serie->append(QStringLiteral("%1: %2").arg(DatosResumen::nombres_estados[i]).arg(estados[i]), estados[i]);
        trozo->setBrush(colores_estados[i]);
        // Borders of the slice's own colour: a white one would draw a line from the centre when one state holds
        // every component, or when a state holds none.
        trozo->setBorderColor(colores_estados[i]);
        if (estados[i] == 0)
            trozo->setPen(Qt::NoPen);
    }
    auto* grafico = new QChart;
    grafico->addSeries(serie);
    grafico->legend()->setAlignment(Qt::AlignBottom);
    return grafico;
}

} // namespace

Resumen::Resumen(QPrinter& impresora, QWidget* padre) : VentanaFija(padre), impresora_(impresora) {
    Data1.enlazar_tabla(QStringLiteral("Elemento"));
    Data2.enlazar_tabla(QStringLiteral("Tipo"));
    disenar();
    Form_Load();
}

Resumen::~Resumen() = default;

void Resumen::disenar() {
    setObjectName(QStringLiteral("Resumen"));
    Aspecto::preparar_ventana(this, titulo, 0, 0, 11280, 3 * alto_fila + 840, QStringLiteral(":/iconos/resumen.svg"));
    setAttribute(Qt::WA_Moved, false);
    // The charts and their tables, as printed.
    Frame1 = new QWidget(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(sitio(0, 0, 11280, 3 * alto_fila + 120));
    for (int i = 0; i < graficos; ++i) {
        const Grafico& g = graficos_resumen[i];
        const int arriba = 120 + i * alto_fila;
        // A chart larger than its place, to name every bar, scrolls in it.
        Marco[i] = new QScrollArea(Frame1);
        Marco[i]->setObjectName(QStringLiteral("Marco%1").arg(i + 1));
        Marco[i]->setGeometry(sitio(120, arriba, 7440, alto_fila - 120));
        Marco[i]->setFrameShape(QFrame::NoFrame);
        Marco[i]->setWidgetResizable(true);
        Chart[i] = new QChartView;
        Chart[i]->setObjectName(QStringLiteral("Chart%1").arg(i + 1));
        Chart[i]->setRenderHint(QPainter::Antialiasing);
        Marco[i]->setWidget(Chart[i]);
        Tabla[i] = new QTableWidget(0, 2, Frame1);
        Aspecto::preparar_campo(Tabla[i], QStringLiteral("Tabla%1").arg(i + 1).toLatin1().constData(),
                                sitio(7680, arriba, 3480, alto_fila - 600), QString());
        Tabla[i]->setAccessibleName(QString::fromUtf8(g.titulo));
        Tabla[i]->setHorizontalHeaderLabels({QString::fromUtf8(g.columna_nombre), QString::fromUtf8(g.columna_valor)});
        Tabla[i]->verticalHeader()->hide();
        Tabla[i]->verticalHeader()->setDefaultSectionSize(Aspecto::px(300));
        Tabla[i]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        Tabla[i]->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        Tabla[i]->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        Guardar[i] = Aspecto::boton(
            this, QStringLiteral("Guardar%1").arg(i + 1).toLatin1().constData(), QStringLiteral("Guardar gráfico..."),
            sitio(7680, arriba + alto_fila - 540, 1800, 375),
            QStringLiteral("Guarda el gráfico \"%1\" como imagen PNG o SVG").arg(QString::fromUtf8(g.titulo)));
        connect(Guardar[i], &QPushButton::clicked, this, [this, i] { guardar_grafico(i); });
    }
    const int abajo = 3 * alto_fila + 300;
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("&Imprimir"), sitio(120, abajo, 1215, 375),
                              QStringLiteral("Imprime los gráficos y sus tablas"));
    Command2 = Aspecto::boton(this, "Command2", QStringLiteral("&Cerrar"), sitio(9945, abajo, 1215, 375),
                              QStringLiteral("Cierra la ventana"));
    connect(Command1, &QPushButton::clicked, this, &Resumen::imprimir);
    connect(Command2, &QPushButton::clicked, this, &QDialog::accept);
}

void Resumen::Form_Load() {
    Data1.enlazar_base_datos(Module1::base_datos);
    Data2.enlazar_base_datos(Module1::base_datos);
    Mensajes::proteger(this, [this] {
        Data1.refrescar();
        Data2.refrescar();
        datos_ = DatosResumen::calcular(Data1, Data2, Reloj::hoy());
    });
    dibujar();
}

void Resumen::dibujar() {
    std::array<std::vector<DatosResumen::Barra>, graficos> filas{datos_.por_tipo, datos_.por_anio, {}};
    for (int e = 0; e < CalculoGarantia::numero_estados; ++e)
        filas[2].push_back({DatosResumen::nombres_estados[e], datos_.estados[e]});
    for (int i = 0; i < graficos; ++i) {
        const QString titulo_grafico = QString::fromUtf8(graficos_resumen[i].titulo);
        QChart* grafico = nullptr;
        if (i < 2) {
            // Years stand under their bars, upright when many, so they read left to right as time goes.
            const Barras b = grafico_barras(titulo_grafico, filas[i], Marco[i]->size(), i == 0);
            grafico = b.grafico;
            // Within the room the scroll bar leaves, so a chart taller than its place scrolls only one way.
            const int barra = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            QSize tamano = b.tamano;
            if (tamano.height() > Marco[i]->height())
                tamano.setWidth(std::max(tamano.width() - barra, 0));
            if (tamano.width() > Marco[i]->width())
                tamano.setHeight(std::max(tamano.height() - barra, 0));
            Chart[i]->setMinimumSize(tamano.width() > Marco[i]->width() ? tamano.width() : 0,
                                     tamano.height() > Marco[i]->height() ? tamano.height() : 0);
        } else {
            grafico = grafico_tarta(datos_.estados);
        }
        grafico->setTitle(titulo_grafico);
        grafico->setMargins(QMargins(4, 4, 4, 4));
        // Square corners: a saved or printed chart shows no corner of the window behind it.
        grafico->setBackgroundRoundness(0);
        QChart* anterior = Chart[i]->chart();
        Chart[i]->setChart(grafico);
        delete anterior;
        // The numbers as text too: in the table beside the chart, and as the chart's tooltip and description.
        Tabla[i]->setRowCount(static_cast<int>(filas[i].size()));
        contados_[i] = 0;
        for (const DatosResumen::Barra& b : filas[i])
            contados_[i] += b.valor;
        QStringList resumen;
        for (int f = 0; f < static_cast<int>(filas[i].size()); ++f) {
            const DatosResumen::Barra& b = filas[i][f];
            Tabla[i]->setItem(f, 0, new QTableWidgetItem(b.nombre));
            auto* valor = new QTableWidgetItem(QString::number(b.valor));
            valor->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Tabla[i]->setItem(f, 1, valor);
            resumen << QStringLiteral("%1: %2").arg(b.nombre).arg(b.valor);
        }
        const QString texto = titulo_grafico + QStringLiteral(". ") +
                              (resumen.isEmpty() ? QStringLiteral("Sin datos") : resumen.join(QStringLiteral("; ")));
        Chart[i]->setToolTip(texto);
        Chart[i]->setAccessibleName(titulo_grafico);
        Chart[i]->setAccessibleDescription(texto);
    }
}

void Resumen::guardar_grafico(int cual) {
    // Named after the inventory and the chart: "oficina-compras-por-año.png".
    const QString grafico = QString::fromUtf8(graficos_resumen[cual].titulo).toLower().replace(u' ', u'-');
    const std::optional<DialogosSistema::Guardado> eleccion = DialogosSistema::guardar_archivo(
        this, {titulo_guardar,
               {filtro_png, filtro_svg},
               Ubicacion::nombre_junto_al_inventario(Module1::base_datos,
                                                     QLatin1Char('-') + grafico + QStringLiteral(".png"))});
    if (!eleccion)
        return;
    const QString& ruta = eleccion->ruta;
    const bool svg = ruta.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) ||
                     (!ruta.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) && eleccion->filtro == filtro_svg);
    Mensajes::proteger(this, [&] {
        QSaveFile archivo(ruta);
        archivo.setDirectWriteFallback(false);
        if (!archivo.open(QIODevice::WriteOnly))
            throw ErrorDatos(
                QStringLiteral("no se puede crear el archivo %1: la carpeta no existe o no se puede escribir en ella.")
                    .arg(QDir::toNativeSeparators(ruta)));
        QChartView* vista = Chart[cual];
        bool escrito = true;
        if (svg) {
            QSvgGenerator generador;
            generador.setOutputDevice(&archivo);
            generador.setSize(vista->size());
            generador.setViewBox(QRect(QPoint(0, 0), vista->size()));
            generador.setTitle(QString::fromUtf8(graficos_resumen[cual].titulo));
            generador.setDescription(vista->toolTip());
            QPainter pintor(&generador);
            vista->render(&pintor);
        } else {
            escrito = vista->grab().toImage().save(&archivo, "PNG");
        }
        if (!escrito || !archivo.commit())
            throw ErrorDatos(QStringLiteral("no se pudo escribir el archivo %1: el disco puede estar lleno.")
                                 .arg(QDir::toNativeSeparators(ruta)));
        // Told, as an export is: where the picture went and how many components it counts.
        Mensajes::aviso(this, (contados_[cual] == 1 ? grafico_guardado_uno : grafico_guardado)
                                  .arg(QString::fromUtf8(graficos_resumen[cual].titulo), QDir::toNativeSeparators(ruta),
                                       QString::number(contados_[cual])));
    });
}

void Resumen::imprimir() {
    Mensajes::proteger(this, [this] {
        exigir_impresora_elegida(impresora_);
        QPainter pintor;
        if (!pintor.begin(&impresora_))
            throw ErrorDatos(QStringLiteral("no se puede imprimir: la impresora no está disponible."));
        const QRectF pagina(QPointF(0, 0), impresora_.pageLayout().paintRectPixels(impresora_.resolution()).size());
        // The first page holds the three charts, one under another, drawn as lines and text rather than pictures.
        const double alto = pagina.height() / graficos;
        for (int i = 0; i < graficos; ++i)
            Chart[i]->render(&pintor, QRectF(0, i * alto, pagina.width(), alto * 0.95), Chart[i]->viewport()->rect());
        // Then their numbers as text, as the tables show them.
        impresora_.newPage();
        QFont letra(QStringLiteral("DejaVu Sans"));
        letra.setPointSize(10);
        QFont negrita = letra;
        negrita.setBold(true);
        const double linea = QFontMetricsF(letra, &impresora_).lineSpacing();
        double y = linea;
        const auto escribir = [&](const QFont& f, const QString& texto) {
            if (y + linea > pagina.height()) {
                impresora_.newPage();
                y = linea;
            }
            pintor.setFont(f);
            pintor.drawText(QPointF(0, y), texto);
            y += linea;
        };
        for (int i = 0; i < graficos; ++i) {
            escribir(negrita, QString::fromUtf8(graficos_resumen[i].titulo));
            for (int f = 0; f < Tabla[i]->rowCount(); ++f)
                escribir(letra,
                         QStringLiteral("    %1: %2").arg(Tabla[i]->item(f, 0)->text(), Tabla[i]->item(f, 1)->text()));
            y += linea;
        }
        pintor.end();
    });
}
