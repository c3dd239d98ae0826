// The warning the record card gives before storing a serial number that another component already has.
#include "plataforma/dbcombo.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QStringList tres_componentes = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP'), (5, 'Dell')",
    "INSERT INTO Elemento VALUES (3, 1, 5, 'P2422H', 'S3', '2000-03-05', 24, 'Contabilidad', 1)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'CN12', '1999-02-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (10, 2, 1, 'LJ5', 'S10', '1999-11-12', 36, 'Recepción', 0)",
};

const QString titulo = QStringLiteral("Número de serie repetido");
QString aviso(const QString& codigo, const QString& serie) {
    return titulo + QStringLiteral("|Ya existe el componente %1 con el número de serie %2.\n"
                                   "¿Desea guardarlo de todos modos?")
                        .arg(codigo, serie);
}

void pulsar(QWidget* ficha, const char* boton) {
    QTest::mouseClick(Soporte::control<QPushButton>(ficha, boton), Qt::LeftButton);
}

} // namespace

class PruebaNumeroSerie : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void guardar_con_numero_de_serie_data() {
        QTest::addColumn<QString>("orden");    // menu entry of the card's mode
        QTest::addColumn<QString>("codigo");   // component selected; empty to add one
        QTest::addColumn<QString>("serie");    // what the user types as serial number
        QTest::addColumn<int>("respuesta");    // -1 no question expected, 0 "No", 1 "Yes", 2 Enter
        QTest::addColumn<QString>("esperado"); // the warning, if any
        QTest::addColumn<QString>("guardada"); // the stored row of the component when it is stored

        const QString nueva = QStringLiteral("11|1|5|E24|%1|2003-02-01|6.0||0");
        QTest::newRow("añadir, repetido, No") << "menuAnadir"
                                              << ""
                                              << "CN12" << 0 << aviso("7", "CN12") << "";
        QTest::newRow("añadir, repetido con blancos y minúsculas, Sí")
            << "menuAnadir"
            << ""
            << "  cn12 " << 1 << aviso("7", "CN12") << nueva.arg("  cn12 ");
        QTest::newRow("añadir, repetido, Intro") << "menuAnadir"
                                                 << ""
                                                 << "CN12" << 2 << aviso("7", "CN12") << "";
        QTest::newRow("modificar, repetido, Intro") << "menuModificar"
                                                    << "3"
                                                    << "S10" << 2 << aviso("10", "S10") << "";
        QTest::newRow("añadir, nuevo") << "menuAnadir"
                                       << ""
                                       << "CN13" << -1 << "" << nueva.arg("CN13");
        QTest::newRow("añadir, contiene otro sin ser igual") << "menuAnadir"
                                                             << ""
                                                             << "CN1" << -1 << "" << nueva.arg("CN1");
        QTest::newRow("modificar, repetido, No") << "menuModificar"
                                                 << "3"
                                                 << "s10" << 0 << aviso("10", "S10") << "";
        QTest::newRow("modificar, repetido, Sí")
            << "menuModificar"
            << "3"
            << "S10" << 1 << aviso("10", "S10") << "3|1|5|P2422H|S10|2000-03-05|24.0|Contabilidad|1";
        QTest::newRow("modificar, su propio número") << "menuModificar"
                                                     << "3"
                                                     << "S3" << -1 << ""
                                                     << "3|1|5|P2422H|S3|2000-03-05|24.0|Contabilidad|1";
        QTest::newRow("modificar, su propio número en minúsculas") << "menuModificar"
                                                                   << "3"
                                                                   << " s3" << -1 << ""
                                                                   << "3|1|5|P2422H| s3|2000-03-05|24.0|Contabilidad|1";
    }
    void guardar_con_numero_de_serie() {
        QFETCH(QString, orden);
        QFETCH(QString, codigo);
        QFETCH(QString, serie);
        QFETCH(int, respuesta);
        QFETCH(QString, esperado);
        QFETCH(QString, guardada);

        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), tres_componentes);
        auto principal = Soporte::abrir_principal(dir, ruta);
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        if (!codigo.isEmpty()) {
            QStringList codigos;
            for (const QString& linea : Soporte::lineas(*principal))
                codigos << linea.section(u'|', 0, 0);
            Soporte::seleccionar(*principal, codigos.indexOf(codigo));
        }
        const QByteArray antes = Soporte::contenido(ruta);
        if (respuesta == 2)
            Mensajes::responder_con_intro();
        else if (respuesta >= 0)
            Mensajes::responder(respuesta == 1);

        bool abierta = false;
        Soporte::cuando_abra_modal([&](QWidget* ficha) {
            abierta = true;
            if (codigo.isEmpty()) {
                Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo1"), "Monitor");
                Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo2"), "Dell");
                Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text4"), "E24");
                Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text6"), "01/02/2003");
                Soporte::reemplazar(Soporte::control<QComboBox>(ficha, "Combo2"), "6");
                Soporte::reemplazar(Soporte::control<QComboBox>(ficha, "Combo1"), "No");
            }
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text5"), serie);
            pulsar(ficha, "Command1");
            QCOMPARE(Soporte::avisos(), esperado.isEmpty() ? QStringList() : QStringList{esperado});
            if (respuesta == 0 || respuesta == 2) {
                // "No", also by Enter: the card stays open with the entry, and nothing reached the file.
                QVERIFY(ficha->isVisible());
                QCOMPARE(Soporte::control<QLineEdit>(ficha, "Text5")->text(), serie);
                QCOMPARE(Soporte::contenido(ruta), antes);
                pulsar(ficha, "Command2");
            }
            QVERIFY(!ficha->isVisible());
        });
        Soporte::accion(principal.get(), orden)->trigger();
        QVERIFY2(abierta, qPrintable(Soporte::avisos().join('\n')));
        const QStringList filas = Soporte::filas(ruta, QStringLiteral("Elemento"));
        if (guardada.isEmpty())
            QCOMPARE(Soporte::contenido(ruta), antes);
        else
            QVERIFY2(filas.contains(guardada), qPrintable(filas.join('\n')));
    }

    // The box itself, as shown: Enter presses "No".
    void intro_en_la_pregunta_es_no() {
        const auto caja = Mensajes::caja_pregunta(nullptr, titulo, aviso("7", "CN12"), Mensajes::Defecto::no);
        caja->show();
        QTest::keyClick(caja.get(), Qt::Key_Return);
        QCOMPARE(caja->clickedButton(), caja->button(QMessageBox::No));
    }
};

QTEST_MAIN(PruebaNumeroSerie)
#include "test_numero_serie.moc"
