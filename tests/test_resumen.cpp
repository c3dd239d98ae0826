// The summary window: the charts' numbers for a known inventory, the same numbers as text, saving a chart and
// printing the window.
#include "data/origen_datos.h"
#include "plataforma/reloj.h"
#include "principal/principal.h"
#include "resumen/datos_resumen.h"
#include "resumen/resumen.h"
#include "soporte/soporte.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsTextItem>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using Soporte::avisos;
using Barras = std::vector<DatosResumen::Barra>;

namespace {

const QDate hoy(2024, 6, 15);

// Types in table order: 4 Teclado (no component), 1 Monitor, 2 Impresora; codes 99 and 0 are in no row of Tipo.
const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora'), (4, 'Teclado')",
    "INSERT INTO Marca VALUES (1, 'HP')",
    "INSERT INTO Elemento VALUES (1, 1, 1, 'M1', 'S1', '2020-01-31', 12, '', 0)",
    "INSERT INTO Elemento VALUES (2, 2, 1, 'P2', 'S2', '2023-07-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (3, 1, 1, 'M3', 'S3', '2024-01-31', 1, '', 0)",
    "INSERT INTO Elemento VALUES (4, 99, 1, 'X4', 'S4', '2024-06-14', 0, '', 0)",
    "INSERT INTO Elemento VALUES (5, 1, 1, 'M5', 'S5', '2024-06-15', 36, '', 1)",
    "INSERT INTO Elemento VALUES (6, 2, 1, 'P6', 'S6', NULL, 24, '', 0)",
    "INSERT INTO Elemento VALUES (7, 0, 1, 'X7', 'S7', '2020-09-13', 48, '', 0)",
};

const Barras por_tipo = {{"Monitor", 3}, {"Impresora", 2}, {"(sin tipo)", 2}};
// Every year from the first purchase to the last, those without any at 0.
const Barras por_anio = {{"2020", 2}, {"2021", 0}, {"2022", 0}, {"2023", 1}, {"2024", 3}};
// 5 (15/06/2027) is in warranty; 2 (01/07/2024) and 7 (13/09/2024, 90 days away) end soon; 1, 3 and 4 ended.
const std::array<int, 3> estados = {1, 2, 3};

QStringList textos(QTableWidget* tabla) {
    QStringList resultado;
    for (int f = 0; f < tabla->rowCount(); ++f)
        resultado << tabla->item(f, 0)->text() + "=" + tabla->item(f, 1)->text();
    return resultado;
}

QStringList textos(const Barras& barras) {
    QStringList resultado;
    for (const DatosResumen::Barra& b : barras)
        resultado << b.nombre + "=" + QString::number(b.valor);
    return resultado;
}

void en_resumen(Principal& p, const std::function<void(Resumen*)>& accion) {
    Soporte::en_ventana<Resumen>(&p, "menuResumen", accion);
}

} // namespace

class PruebaResumen : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void init() { Reloj::fijar_hoy(hoy); }
    void cleanup() {
        Reloj::fijar_hoy({});
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void datos_de_un_inventario_conocido() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        OrigenDatos elemento, tipo;
        for (auto [origen, tabla] : {std::pair{&elemento, "Elemento"}, std::pair{&tipo, "Tipo"}}) {
            origen->enlazar_base_datos(base);
            origen->enlazar_tabla(tabla);
            origen->refrescar();
        }
        const DatosResumen::Datos datos = DatosResumen::calcular(elemento, tipo, hoy);
        QCOMPARE(textos(datos.por_tipo), textos(por_tipo));
        QCOMPARE(textos(datos.por_anio), textos(por_anio));
        QCOMPARE(datos.estados, estados);
    }

    void sin_tipo_solo_cuando_hace_falta() {
        QTemporaryDir dir;
        // Two rows with code 1: the first one's name, counted once.
        const QString base =
            Soporte::crear_base_sin_claves(dir, "i.db",
                                           {"INSERT INTO Tipo VALUES (1, 'Primero'), (1, 'Segundo'), (2, 'Disco')",
                                            "INSERT INTO Elemento VALUES (1, 1, 1, 'M', 'S', NULL, 12, '', 0)",
                                            "INSERT INTO Elemento VALUES (2, 2, 1, 'M', 'S', NULL, 12, '', 0)",
                                            "INSERT INTO Elemento VALUES (3, 1, 1, 'M', 'S', NULL, 12, '', 0)"});
        OrigenDatos elemento, tipo;
        for (auto [origen, tabla] : {std::pair{&elemento, "Elemento"}, std::pair{&tipo, "Tipo"}}) {
            origen->enlazar_base_datos(base);
            origen->enlazar_tabla(tabla);
            origen->refrescar();
        }
        const DatosResumen::Datos datos = DatosResumen::calcular(elemento, tipo, hoy);
        QCOMPARE(textos(datos.por_tipo), QStringList({"Primero=2", "Disco=1"}));
        QVERIFY(datos.por_anio.empty());
        QCOMPARE(datos.estados, (std::array<int, 3>{0, 0, 0}));
    }

    void graficos_y_tablas() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        en_resumen(*p, [](Resumen* v) {
            // Each bar's value, under its name.
            const auto barras = [&](const char* nombre) {
                QChart* grafico = Soporte::control<QChartView>(v, nombre)->chart();
                auto* serie = qobject_cast<QBarSeries*>(grafico->series().value(0));
                QStringList resultado;
                const auto* eje = qobject_cast<QBarCategoryAxis*>(grafico->axes(Qt::Horizontal).value(0));
                for (int i = 0; serie && eje && i < serie->barSets().value(0)->count(); ++i)
                    resultado << eje->at(i) + "=" + QString::number(serie->barSets()[0]->at(i));
                return resultado;
            };
            QCOMPARE(barras("Chart1"), textos(por_tipo));
            QCOMPARE(barras("Chart2"), textos(por_anio));
            auto* tarta = qobject_cast<QPieSeries*>(Soporte::control<QChartView>(v, "Chart3")->chart()->series()[0]);
            QVERIFY(tarta);
            QStringList trozos;
            for (QPieSlice* t : tarta->slices())
                trozos << t->label() + "=" + QString::number(t->value());
            QCOMPARE(trozos, QStringList({"Vigente: 1=1", "Caduca en 90 días o menos: 2=2", "Caducada: 3=3"}));
            // The same numbers as text, in the tables and in each chart's tooltip and description.
            QCOMPARE(textos(Soporte::control<QTableWidget>(v, "Tabla1")), textos(por_tipo));
            QCOMPARE(textos(Soporte::control<QTableWidget>(v, "Tabla2")), textos(por_anio));
            QCOMPARE(textos(Soporte::control<QTableWidget>(v, "Tabla3")),
                     QStringList({"Vigente=1", "Caduca en 90 días o menos=2", "Caducada=3"}));
            const QString ayuda = "Componentes por tipo. Monitor: 3; Impresora: 2; (sin tipo): 2";
            QCOMPARE(Soporte::control<QChartView>(v, "Chart1")->toolTip(), ayuda);
            QCOMPARE(Soporte::control<QChartView>(v, "Chart1")->accessibleDescription(), ayuda);
            QCOMPARE(Soporte::control<QTableWidget>(v, "Tabla2")->accessibleName(), "Compras por año");
        });
    }

    void cada_barra_lleva_su_nombre_data() {
        QTest::addColumn<int>("tipos");
        QTest::addColumn<QList<int>>("anios");
        QTest::newRow("10 tipos de nombre largo") << 10 << QList<int>{2019, 2024};
        QTest::newRow("60 tipos") << 60 << QList<int>{2020};
        QTest::newRow("años con huecos") << 3 << QList<int>{1990, 1995, 2011, 2026};
    }
    // Every bar carries its name in the chart, whole, however many there are: the chart scrolls when its place has
    // no room for them all; and every year from the first to the last is there.
    void cada_barra_lleva_su_nombre() {
        QFETCH(int, tipos);
        QFETCH(QList<int>, anios);
        QStringList sentencias = {"INSERT INTO Marca VALUES (1, 'HP')"};
        QStringList nombres;
        for (int t = 1; t <= tipos; ++t) {
            nombres << QStringLiteral("Tipo de componente número %1").arg(t);
            sentencias << QStringLiteral("INSERT INTO Tipo VALUES (%1, '%2')").arg(t).arg(nombres.last());
            sentencias << QStringLiteral("INSERT INTO Elemento VALUES (%1, %1, 1, 'M', 'S', '%2-05-06', 12, '', 0)")
                              .arg(t)
                              .arg(anios[t % anios.size()]);
        }
        for (int a = 0; a < anios.size(); ++a)
            sentencias << QStringLiteral("INSERT INTO Elemento VALUES (%1, 1, 1, 'M', 'S', '%2-01-02', 12, '', 0)")
                              .arg(1000 + a)
                              .arg(anios[a]);
        QStringList anios_eje;
        for (int a = anios.first(); a <= anios.last(); ++a)
            anios_eje << QString::number(a);
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", sentencias));
        en_resumen(*p, [&](Resumen* v) {
            // The names the user sees on each chart: its labels that are shown, whole.
            const auto vistos = [&](const char* grafico) {
                QSet<QString> textos;
                for (QGraphicsItem* item : Soporte::control<QChartView>(v, grafico)->scene()->items())
                    if (auto* texto = dynamic_cast<QGraphicsTextItem*>(item); texto && texto->isVisible())
                        textos << texto->toPlainText();
                return textos;
            };
            const auto todos = [&](const char* grafico, const QStringList& esperados) {
                const QSet<QString> textos = vistos(grafico);
                for (const QString& e : esperados)
                    if (!textos.contains(e))
                        return false;
                return true;
            };
            QTRY_VERIFY2(todos("Chart1", nombres), qPrintable(QStringList(vistos("Chart1").values()).join(", ")));
            QTRY_VERIFY2(todos("Chart2", anios_eje), qPrintable(QStringList(vistos("Chart2").values()).join(", ")));
            QCOMPARE(Soporte::control<QTableWidget>(v, "Tabla2")->rowCount(), anios_eje.size());
        });
    }

    void guardar_grafico_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QByteArray>("principio");
        QTest::newRow("png") << "tipos.png" << QByteArray("\x89PNG");
        QTest::newRow("svg") << "tipos.svg" << QByteArray("<?xml");
    }
    void guardar_grafico() {
        QFETCH(QString, nombre);
        QFETCH(QByteArray, principio);
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        const QString ruta = dir.filePath(nombre);
        en_resumen(*p, [&](Resumen* v) {
            DialogosSistema::proximo_guardado(ruta);
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Guardar1"), Qt::LeftButton);
            // A folder that does not exist: the message, and nothing written.
            DialogosSistema::proximo_guardado(dir.filePath("no/existe/" + nombre));
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Guardar2"), Qt::LeftButton);
            QCOMPARE(DialogosSistema::ultima_propuesta(), dir.filePath("i-compras-por-año.png"));
        });
        // Told where the picture went and how many components it counts, as an export is.
        QCOMPARE(avisos(), QStringList({"Gráfico «Componentes por tipo» guardado en " + ruta + " con 7 componentes.",
                                        "ERROR: no se puede crear el archivo " + dir.filePath("no/existe/" + nombre) +
                                            ": la carpeta no existe o no se puede escribir en ella."}));
        const QByteArray bytes = Soporte::contenido(ruta);
        QVERIFY(bytes.startsWith(principio));
        if (nombre.endsWith(".svg")) {
            QVERIFY(bytes.contains("Componentes por tipo"));
            QVERIFY(bytes.contains("Monitor"));
        }
    }

    // Printing with no printer chosen yet says what to do, and leaves the printer as it was: choosing a PDF afterwards
    // prints the list there.
    void imprimir_sin_impresora() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        en_resumen(*p,
                   [](Resumen* v) { QTest::mouseClick(Soporte::control<QPushButton>(v, "Command1"), Qt::LeftButton); });
        QCOMPARE(avisos(), QStringList{"ERROR: no hay ninguna impresora elegida. Elija una impresora o un archivo PDF "
                                       "en Archivo, Configurar impresion."});
        const QString pdf = dir.filePath("lista.pdf");
        DialogosSistema::proxima_impresora([&](QPrinter& impresora) {
            impresora.setOutputFormat(QPrinter::PdfFormat);
            impresora.setOutputFileName(pdf);
        });
        Soporte::accion(p.get(), "menuConfigPrint")->trigger();
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        QCOMPARE(avisos(), QStringList());
        QVERIFY(Soporte::contenido(pdf).startsWith("%PDF"));
    }

    // Long type names are shown whole, slanted; a state with no components draws nothing; a saved chart has square
    // corners, with none of the window's colour.
    void graficos_legibles() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(
            dir, Soporte::crear_base(dir, "i.db",
                                     {"INSERT INTO Tipo VALUES (1, 'Ordenador de sobremesa'), (2, 'Portátil'), "
                                      "(3, 'Impresora multifunción'), (4, 'Switch de red'), (5, 'Monitor')",
                                      "INSERT INTO Marca VALUES (1, 'HP')",
                                      "INSERT INTO Elemento VALUES (1, 1, 1, 'A', 'S1', '2024-01-02', 36, '', 0)",
                                      "INSERT INTO Elemento VALUES (2, 2, 1, 'B', 'S2', '2024-03-04', 36, '', 0)",
                                      "INSERT INTO Elemento VALUES (3, 3, 1, 'C', 'S3', '2024-05-06', 36, '', 0)",
                                      "INSERT INTO Elemento VALUES (4, 4, 1, 'D', 'S4', '2024-07-08', 36, '', 0)",
                                      "INSERT INTO Elemento VALUES (5, 5, 1, 'E', 'S5', '2024-09-10', 36, '', 0)"}));
        const QString png = dir.filePath("tipos.png");
        en_resumen(*p, [&](Resumen* v) {
            // The types' long names beside horizontal bars, whole; the years under their bars.
            const auto nombres = [&](const char* grafico, Qt::Orientation orientacion) {
                return qobject_cast<QBarCategoryAxis*>(
                    Soporte::control<QChartView>(v, grafico)->chart()->axes(orientacion).value(0));
            };
            QVERIFY(nombres("Chart1", Qt::Vertical));
            QVERIFY(!nombres("Chart1", Qt::Vertical)->truncateLabels());
            // From the top, in the order of the table beside it.
            QCOMPARE(nombres("Chart1", Qt::Vertical)->categories().last(), "Ordenador de sobremesa");
            QVERIFY(nombres("Chart2", Qt::Horizontal));
            const QList<QPieSlice*> trozos =
                static_cast<QPieSeries*>(Soporte::control<QChartView>(v, "Chart3")->chart()->series().value(0))
                    ->slices();
            QCOMPARE(trozos.size(), 3);
            for (QPieSlice* t : trozos)
                QVERIFY(t->value() == 0 ? t->pen().style() == Qt::NoPen : t->borderColor() == t->brush().color());
            DialogosSistema::proximo_guardado(png);
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Guardar1"), Qt::LeftButton);
        });
        const QImage imagen(png);
        QVERIFY(!imagen.isNull());
        QCOMPARE(imagen.pixelColor(0, 0), imagen.pixelColor(imagen.width() / 2, 2));
    }

    void imprimir_ventana() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        const QString pdf = dir.filePath("resumen.pdf");
        DialogosSistema::proxima_impresora([&](QPrinter& impresora) {
            impresora.setOutputFormat(QPrinter::PdfFormat);
            impresora.setOutputFileName(pdf);
        });
        Soporte::accion(p.get(), "menuConfigPrint")->trigger();
        en_resumen(*p,
                   [](Resumen* v) { QTest::mouseClick(Soporte::control<QPushButton>(v, "Command1"), Qt::LeftButton); });
        QCOMPARE(avisos(), QStringList());
        QProcess proceso;
        proceso.start("pdftotext", {pdf, "-"});
        QVERIFY(proceso.waitForFinished(30000));
        const QString texto = QString::fromUtf8(proceso.readAllStandardOutput());
        // The charts on the first page, their numbers as text on the next.
        const QStringList paginas = texto.split('\f');
        QVERIFY(paginas.size() >= 2);
        for (const char* esperado :
             {"Componentes por tipo", "Compras por año", "Estado de las garantías", "Impresora", "(sin tipo)", "2023"})
            QVERIFY2(paginas[0].contains(QString::fromUtf8(esperado)), esperado);
        QCOMPARE(paginas[1].split('\n', Qt::SkipEmptyParts),
                 QStringList({"Componentes por tipo", "Monitor: 3", "Impresora: 2", "(sin tipo): 2", "Compras por año",
                              "2020: 2", "2021: 0", "2022: 0", "2023: 1", "2024: 3", "Estado de las garantías",
                              "Vigente: 1", "Caduca en 90 días o menos: 2", "Caducada: 3"}));
    }
};

QTEST_MAIN(PruebaResumen)
#include "test_resumen.moc"
