// The warranty window: end dates and states, the list's order, the filter and its counts, colours, printing and
// export of what it shows.
#include "exportar/exportar.h"
#include "garantias/calculo_garantia.h"
#include "garantias/garantias.h"
#include "garantias/modelo_garantias.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/reloj.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using CalculoGarantia::Estado;
using Soporte::avisos;

namespace {

const QDate hoy(2024, 6, 15);

// Sorted by end date: 1 (31/01/2021), 3 (29/02/2024), 4 (14/06/2024), 8 (16/06/2024), 7 (29/06/2024),
// 2 (01/07/2024), 9 (01/01/2026), 5 (15/06/2027); 6 has no purchase date.
const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP'), (2, 'Dell')",
    "INSERT INTO Elemento VALUES (1, 1, 1, 'M1', 'S1', '2020-01-31', 12, '', 0)",
    "INSERT INTO Elemento VALUES (2, 2, 2, 'P2', 'S2', '2023-07-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (3, 1, 2, 'M3', 'S3', '2024-01-31', 1, '', 0)",
    "INSERT INTO Elemento VALUES (4, 1, 1, 'M4', 'S4', '2024-06-14', 0, '', 0)",
    "INSERT INTO Elemento VALUES (5, 2, 1, 'P5', 'S5', '2024-06-15', 36, '', 1)",
    "INSERT INTO Elemento VALUES (6, 2, 1, 'P6', 'S6', NULL, 24, '', 0)",
    "INSERT INTO Elemento VALUES (7, 1, 2, 'M7', 'S;7', '2023-09-14', 9.5, 'Sala \"B\"', 0)",
    "INSERT INTO Elemento VALUES (8, 1, 1, 'M8', 'S8', '2024-03-16', 3, '', 0)",
    "INSERT INTO Elemento VALUES (9, 99, 1, 'X9', 'S9', '2024-01-01', 24, '', 0)",
};

QStringList lineas(QTreeView* lista) {
    QStringList resultado;
    QAbstractItemModel* m = lista->model();
    for (int f = 0; f < m->rowCount(); ++f) {
        QStringList textos;
        for (int c = 0; c < m->columnCount(); ++c)
            textos << m->index(f, c).data().toString();
        resultado << textos.join('|');
    }
    return resultado;
}

QStringList codigos(QTreeView* lista) {
    QStringList resultado;
    for (int f = 0; f < lista->model()->rowCount(); ++f)
        resultado << lista->model()->index(f, 0).data().toString();
    return resultado;
}

// Opens the warranty window from the menu and runs `accion` on it.
void en_garantias(Principal& p, const std::function<void(Garantias*)>& accion) {
    Soporte::en_ventana<Garantias>(&p, "menuGarantias", accion);
}

} // namespace

class PruebaGarantias : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void init() { Reloj::fijar_hoy(hoy); }
    void cleanup() {
        Reloj::fijar_hoy({});
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void fecha_de_fin_data() {
        QTest::addColumn<QDate>("compra");
        QTest::addColumn<double>("meses");
        QTest::addColumn<QDate>("fin");
        QTest::newRow("un año") << QDate(2023, 5, 10) << 12.0 << QDate(2024, 5, 10);
        QTest::newRow("31 ene + 1, no bisiesto") << QDate(2023, 1, 31) << 1.0 << QDate(2023, 2, 28);
        QTest::newRow("31 ene + 1, bisiesto") << QDate(2024, 1, 31) << 1.0 << QDate(2024, 2, 29);
        QTest::newRow("29 feb + 12") << QDate(2024, 2, 29) << 12.0 << QDate(2025, 2, 28);
        QTest::newRow("29 feb + 48") << QDate(2024, 2, 29) << 48.0 << QDate(2028, 2, 29);
        QTest::newRow("31 ago + 3") << QDate(2023, 8, 31) << 3.0 << QDate(2023, 11, 30);
        QTest::newRow("31 dic + 2, cambio de año") << QDate(2023, 12, 31) << 2.0 << QDate(2024, 2, 29);
        QTest::newRow("garantía 0") << QDate(2024, 6, 14) << 0.0 << QDate(2024, 6, 14);
        QTest::newRow("medio mes: 15 días") << QDate(2024, 1, 15) << 0.5 << QDate(2024, 1, 30);
        QTest::newRow("1,5 meses por febrero bisiesto") << QDate(2024, 1, 15) << 1.5 << QDate(2024, 3, 1);
        QTest::newRow("1,5 meses, no bisiesto") << QDate(2023, 1, 15) << 1.5 << QDate(2023, 3, 2);
        QTest::newRow("0,25: 7,5 redondea a 8") << QDate(2024, 1, 1) << 0.25 << QDate(2024, 1, 9);
        QTest::newRow("0,1: 3 días") << QDate(2024, 1, 1) << 0.1 << QDate(2024, 1, 4);
        QTest::newRow("0,01: 0,3 redondea a 0") << QDate(2024, 1, 1) << 0.01 << QDate(2024, 1, 1);
        QTest::newRow("9,5 sobre fin de mes") << QDate(2023, 9, 14) << 9.5 << QDate(2024, 6, 29);
        QTest::newRow("negativa") << QDate(2024, 3, 31) << -1.0 << QDate(2024, 2, 29);
    }
    void fecha_de_fin() {
        QFETCH(QDate, compra);
        QFETCH(double, meses);
        QFETCH(QDate, fin);
        QCOMPARE(CalculoGarantia::fin(compra, meses), std::optional<QDate>(fin));
    }

    void sin_fecha_no_hay_fin() {
        QCOMPARE(CalculoGarantia::fin(QDate(), 12), std::nullopt);
        QVERIFY(CalculoGarantia::fin(QDate(2024, 1, 1), std::numeric_limits<double>::infinity()).has_value());
        QVERIFY(CalculoGarantia::fin(QDate(2024, 1, 1), 1e300)->isValid());
    }

    void estado_data() {
        QTest::addColumn<int>("dias");
        QTest::addColumn<int>("estado");
        QTest::addColumn<QString>("texto");
        QTest::newRow("ayer") << -1 << int(Estado::caducada) << "Caducada";
        QTest::newRow("hace años") << -1000 << int(Estado::caducada) << "Caducada";
        QTest::newRow("hoy") << 0 << int(Estado::caducada) << "Caducada";
        QTest::newRow("mañana") << 1 << int(Estado::caduca_pronto) << "Caduca en 1 día";
        QTest::newRow("2 días") << 2 << int(Estado::caduca_pronto) << "Caduca en 2 días";
        QTest::newRow("90 días") << 90 << int(Estado::caduca_pronto) << "Caduca en 90 días";
        QTest::newRow("91 días") << 91 << int(Estado::vigente) << "Vigente";
    }
    void estado() {
        QFETCH(int, dias);
        QFETCH(int, estado);
        QFETCH(QString, texto);
        QCOMPARE(int(CalculoGarantia::estado(hoy.addDays(dias), hoy)), estado);
        QCOMPARE(CalculoGarantia::texto_estado(hoy.addDays(dias), hoy), texto);
    }

    void entradas_del_menu_herramientas() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        auto* menu = p->findChild<QMenu*>("menuHerramientas");
        QVERIFY(menu);
        QStringList entradas;
        // The other tools' entries share the menu; these three stand together, in this order.
        for (QAction* a : menu->actions())
            if (a->objectName() == "menuGarantias" || a->objectName() == "menuResumen" ||
                a->objectName() == "menuExportarLista")
                entradas << a->objectName() + "=" + a->text();
        QCOMPARE(entradas, QStringList({"menuGarantias=&Garantías", "menuResumen=&Resumen",
                                        "menuExportarLista=&Exportar lista..."}));
    }

    void lista_ordenada_por_fin() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        en_garantias(*p, [](Garantias* v) {
            QCOMPARE(v->windowTitle(), "Garantías");
            auto* lista = Soporte::control<QTreeView>(v, "ListView1");
            QCOMPARE(lineas(lista), QStringList({
                                        "1|Monitor|HP|M1|S1|31/01/2020|12|31/01/2021|Caducada",
                                        "3|Monitor|Dell|M3|S3|31/01/2024|1|29/02/2024|Caducada",
                                        "4|Monitor|HP|M4|S4|14/06/2024|0|14/06/2024|Caducada",
                                        "8|Monitor|HP|M8|S8|16/03/2024|3|16/06/2024|Caduca en 1 día",
                                        "7|Monitor|Dell|M7|S;7|14/09/2023|9.5|29/06/2024|Caduca en 14 días",
                                        "2|Impresora|Dell|P2|S2|01/07/2023|12|01/07/2024|Caduca en 16 días",
                                        "9||HP|X9|S9|01/01/2024|24|01/01/2026|Vigente",
                                        "5|Impresora|HP|P5|S5|15/06/2024|36|15/06/2027|Vigente",
                                    }));
            QStringList cabeceras;
            for (int c = 0; c < lista->model()->columnCount(); ++c)
                cabeceras << lista->model()->headerData(c, Qt::Horizontal).toString();
            QCOMPARE(cabeceras.join('|'), "Codigo|Tipo|Marca|Modelo|Nº Serie|Fecha|Garantia|Fin garantia|Estado");
            // Colour never alone: the state's text is in every line, and the colour follows it.
            const auto fondo = [&](int fila) { return lista->model()->index(fila, 3).data(Qt::BackgroundRole); };
            QCOMPARE(fondo(0).value<QColor>(), ModeloGarantias::rojo_suave);
            QCOMPARE(fondo(3).value<QColor>(), ModeloGarantias::ambar);
            QVERIFY(!fondo(7).isValid());
        });
    }

    void filtro_y_cuentas_data() {
        QTest::addColumn<QString>("filtro");
        QTest::addColumn<QStringList>("codigos");
        QTest::newRow("todas") << "Todas" << QStringList({"1", "3", "4", "8", "7", "2", "9", "5"});
        QTest::newRow("en garantía") << "En garantía" << QStringList({"8", "7", "2", "9", "5"});
        QTest::newRow("caducan pronto") << "Caducan en 90 días" << QStringList({"8", "7", "2"});
        QTest::newRow("caducadas") << "Caducadas" << QStringList({"1", "3", "4"});
    }
    void filtro_y_cuentas() {
        QFETCH(QString, filtro);
        QFETCH(QStringList, codigos);
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        en_garantias(*p, [&](Garantias* v) {
            auto* cuentas = Soporte::control<QLabel>(v, "Label2");
            const QString texto = "Vigentes: 2    Caducan en 90 días: 3    Caducadas: 3    Total: 8";
            QCOMPARE(cuentas->text(), texto);
            QCOMPARE(cuentas->accessibleName(), texto);
            auto* combo = Soporte::control<QComboBox>(v, "Combo1");
            QCOMPARE(combo->accessibleName(), "Mostrar:");
            // From another filter first, so the choice really changes the list.
            Soporte::elegir(combo, filtro == "Caducadas" ? "Todas" : "Caducadas");
            Soporte::elegir(combo, filtro);
            QCOMPARE(::codigos(Soporte::control<QTreeView>(v, "ListView1")), codigos);
            QCOMPARE(cuentas->text(), texto);
        });
    }

    void el_reloj_del_programa_manda() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Reloj::fijar_hoy(QDate(2021, 1, 1));
        en_garantias(*p, [&](Garantias* v) {
            QCOMPARE(Soporte::control<QLabel>(v, "Label2")->text(),
                     "Vigentes: 7    Caducan en 90 días: 1    Caducadas: 0    Total: 8");
            QCOMPARE(lineas(Soporte::control<QTreeView>(v, "ListView1")).first(),
                     "1|Monitor|HP|M1|S1|31/01/2020|12|31/01/2021|Caduca en 30 días");
        });
    }

    void inventario_sin_fechas() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(
            dir,
            Soporte::crear_base(dir, "i.db", {"INSERT INTO Elemento VALUES (6, 2, 1, 'P6', 'S6', NULL, 24, '', 0)"}));
        en_garantias(*p, [&](Garantias* v) {
            QCOMPARE(Soporte::control<QTreeView>(v, "ListView1")->model()->rowCount(), 0);
            QCOMPARE(Soporte::control<QLabel>(v, "Label2")->text(),
                     "Vigentes: 0    Caducan en 90 días: 0    Caducadas: 0    Total: 0");
            // Nothing to export: the message, and no save dialog.
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Command2"), Qt::LeftButton);
            QCOMPARE(avisos(), QStringList({"ERROR: la lista no muestra ningún componente que exportar."}));
        });
    }

    void imprime_lo_que_muestra() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        auto impresora = std::make_unique<ImpresoraMemoria>();
        ImpresoraMemoria* memoria = impresora.get();
        p->fijar_impresora_lineas(std::move(impresora));
        en_garantias(*p, [&](Garantias* v) {
            Soporte::elegir(Soporte::control<QComboBox>(v, "Combo1"), "Caducan en 90 días");
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Command1"), Qt::LeftButton);
        });
        const QString cabecera =
            "Codigo    Tipo    Marca    Modelo    Nº Serie    Fecha    Garantia    Fin garantia    Estado";
        const QString s = "      ";
        QCOMPARE(memoria->documentos,
                 QList<QStringList>({{cabecera, QString(cabecera.size(), u'-'), "",
                                      "8" + s + "Monitor" + s + "HP" + s + "M8" + s + "S8" + s + "16/03/2024" + s +
                                          "3" + s + "16/06/2024" + s + "Caduca en 1 día",
                                      "7" + s + "Monitor" + s + "Dell" + s + "M7" + s + "S;7" + s + "14/09/2023" + s +
                                          "9.5" + s + "29/06/2024" + s + "Caduca en 14 días",
                                      "2" + s + "Impresora" + s + "Dell" + s + "P2" + s + "S2" + s + "01/07/2023" + s +
                                          "12" + s + "01/07/2024" + s + "Caduca en 16 días"}}));
        QCOMPARE(memoria->terminados, 1);
        QCOMPARE(avisos(), QStringList());
    }

    void exporta_lo_que_muestra() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        const QString ruta = dir.filePath("garantias.csv");
        en_garantias(*p, [&](Garantias* v) {
            Soporte::elegir(Soporte::control<QComboBox>(v, "Combo1"), "Caducadas");
            DialogosSistema::proximo_guardado(ruta);
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Command2"), Qt::LeftButton);
        });
        QCOMPARE(avisos(), QStringList{Exportar::exportadas.arg(ruta).arg(3)});
        QCOMPARE(DialogosSistema::ultima_propuesta(), dir.filePath("i-garantias.xlsx"));
        QProcess python;
        python.start("python3", {"-c",
                                 "import csv, json, sys\n"
                                 "print(json.dumps(list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', "
                                 "newline=''), delimiter=';'))))",
                                 ruta});
        QVERIFY(python.waitForFinished(30000));
        const QJsonArray filas = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        QCOMPARE(filas.size(), 4);
        QCOMPARE(filas[0].toArray().last().toString(), "Estado");
        QCOMPARE(filas[1].toArray().toVariantList(),
                 QVariantList({"1", "Monitor", "HP", "M1", "S1", "31/01/2020", "12", "31/01/2021", "Caducada"}));
        QCOMPARE(filas[3].toArray()[0].toString(), "4");
    }

    void exporta_a_xlsx_con_fechas_y_numeros() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        const QString ruta = dir.filePath("garantias.xlsx");
        en_garantias(*p, [&](Garantias* v) {
            DialogosSistema::proximo_guardado(ruta);
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Command2"), Qt::LeftButton);
        });
        QCOMPARE(avisos().size(), 1);
        QProcess unzip;
        unzip.start("unzip", {"-p", ruta, "xl/worksheets/sheet1.xml"});
        QVERIFY(unzip.waitForFinished(30000));
        const QString hoja = QString::fromUtf8(unzip.readAllStandardOutput());
        // The first line, component 1: code and months as numbers, purchase and end as dates (days from 30/12/1899).
        const auto dia = [](QDate d) { return QString::number(QDate(1899, 12, 30).daysTo(d)); };
        QVERIFY(hoja.contains("<c r=\"A2\"><v>1</v></c>"));
        QVERIFY(hoja.contains("<c r=\"G2\"><v>12</v></c>"));
        QVERIFY(QRegularExpression("<c r=\"F2\" s=\"\\d+\"><v>" + dia(QDate(2020, 1, 31)) + "</v></c>")
                    .match(hoja)
                    .hasMatch());
        QVERIFY(QRegularExpression("<c r=\"H2\" s=\"\\d+\"><v>" + dia(QDate(2021, 1, 31)) + "</v></c>")
                    .match(hoja)
                    .hasMatch());
        QVERIFY(hoja.contains("<autoFilter ref=\"A1:I9\"/>"));
    }
};

QTEST_MAIN(PruebaGarantias)
#include "test_garantias.moc"
