// A code read by a barcode scanner, or asked for by "Ir al código", opens the record card on that component.
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, '2024')",
    "INSERT INTO Marca VALUES (1, 'HP')",
    "INSERT INTO Elemento VALUES (3, 1, 1, 'P2422H', 'S3', '2000-03-05', 24, '', 1)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'S7', '1999-02-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (2024, 1, 1, 'E2', 'S2024', '1999-02-01', 12, '', 0)",
};

// Keys pressed on the widget with the focus, `paso` milliseconds apart, as a scanner (or a person) types them.
void teclear_con_pausas(const QString& teclas, ulong paso) {
    static ulong reloj = 1000;
    for (const QChar c : teclas) {
        const bool intro = c == u'\n';
        QKeyEvent tecla(QEvent::KeyPress, intro ? Qt::Key_Return : Qt::Key_0 + (c.unicode() - u'0'), Qt::NoModifier,
                        intro ? QStringLiteral("\r") : QString(c));
        tecla.setTimestamp(reloj += paso);
        QApplication::sendEvent(QApplication::focusWidget(), &tecla);
    }
}

} // namespace

class TestLector : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }

    void escaner_data() {
        QTest::addColumn<QString>("foco");
        QTest::addColumn<QString>("teclas");
        QTest::addColumn<int>("paso");
        QTest::addColumn<QString>("ficha");
        QTest::addColumn<QStringList>("avisos");
        QTest::newRow("en Buscar") << "Command1"
                                   << "7\n"
                                   << 15 << "7" << QStringList();
        QTest::newRow("en la lista") << "ListView1"
                                     << "2024\n"
                                     << 15 << "2024" << QStringList();
        QTest::newRow("ceros delante") << "Command1"
                                       << "0003\n"
                                       << 30 << "3" << QStringList();
        QTest::newRow("código desconocido") << "Command1"
                                            << "999\n"
                                            << 15 << "" << QStringList{"ERROR: ningún componente tiene el código 999."};
        QTest::newRow("tecleo lento") << "Command1"
                                      << "7\n"
                                      << 400 << "" << QStringList();
        QTest::newRow("en el selector, código") << "DBCombo1"
                                                << "3\n"
                                                << 400 << "3" << QStringList();
        QTest::newRow("en el selector, código desconocido")
            << "DBCombo1"
            << "55\n"
            << 15 << "" << QStringList{"ERROR: ningún componente tiene el código 55."};
        // A type named with digits is a type: Enter searches it, as "Buscar" does.
        QTest::newRow("en el selector, tipo de cifras") << "DBCombo1"
                                                        << "2024\n"
                                                        << 15 << "" << QStringList();
    }
    void escaner() {
        QFETCH(QString, foco);
        QFETCH(QString, teclas);
        QFETCH(int, paso);
        QFETCH(QString, ficha);
        QFETCH(QStringList, avisos);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), inventario);
        auto principal = Soporte::abrir_principal(dir, ruta);
        principal->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(principal.get()));
        // At start-up "Buscar" has the focus.
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command1"));
        if (foco == "ListView1")
            Soporte::buscar(*principal, QStringLiteral("Todos"));
        const QStringList lista_antes = Soporte::lineas(*principal);
        auto* combo = Soporte::control<QComboBox>(principal.get(), "DBCombo1");
        Soporte::control(principal.get(), qPrintable(foco))->setFocus();
        // Whatever window opens is looked at and closed, so a card that should not open fails the test, not hangs it.
        QString abierta;
        bool solo_consulta = false;
        QTimer guardia;
        guardia.callOnTimeout([&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                abierta = Soporte::control<QLineEdit>(w, "Text1")->text();
                solo_consulta = Soporte::control<QLineEdit>(w, "Text4")->isReadOnly();
                QTest::mouseClick(Soporte::control<QPushButton>(w, "Command2"), Qt::LeftButton);
            }
        });
        guardia.start(0);
        if (foco == "DBCombo1") {
            combo->lineEdit()->clear();
            Soporte::teclear(combo, teclas.chopped(1));
            teclear_con_pausas(QStringLiteral("\n"), paso);
        } else {
            teclear_con_pausas(teclas, paso);
        }
        guardia.stop();
        QCOMPARE(abierta, ficha);
        QCOMPARE(solo_consulta, !ficha.isEmpty());
        QCOMPARE(Soporte::avisos(), avisos);
        if (QTest::currentDataTag() == QLatin1String("en el selector, tipo de cifras")) {
            // Enter listed the components of that type.
            QCOMPARE(Soporte::lineas(*principal).size(), 1);
            QVERIFY(Soporte::lineas(*principal).first().startsWith(QStringLiteral("7|2024|")));
        } else {
            QCOMPARE(Soporte::lineas(*principal), lista_antes);
        }
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void ir_al_codigo_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("aceptar");
        QTest::addColumn<QString>("ficha");
        QTest::addColumn<QStringList>("avisos");
        QTest::newRow("código desconocido")
            << "10" << true << "" << QStringList{"ERROR: ningún componente tiene el código 10."};
        QTest::newRow("existente") << " 2024 " << true << "2024" << QStringList();
        QTest::newRow("letras") << "7a" << true << ""
                                << QStringList{
                                       "ERROR: «7a» no es un código de componente: un código solo tiene cifras."};
        QTest::newRow("vacío") << "" << true << ""
                               << QStringList{"ERROR: «» no es un código de componente: un código solo tiene cifras."};
        QTest::newRow("25 cifras") << "1234567890123456789012345" << true << ""
                                   << QStringList{"ERROR: «1234567890123456789012345» es un número demasiado grande "
                                                  "para un código: un código va hasta 9223372036854775807."};
        QTest::newRow("cancelado") << "3" << false << "" << QStringList();
    }
    void ir_al_codigo() {
        QFETCH(QString, texto);
        QFETCH(bool, aceptar);
        QFETCH(QString, ficha);
        QFETCH(QStringList, avisos);
        QTemporaryDir dir;
        auto principal =
            Soporte::abrir_principal(dir, Soporte::crear_base(dir, QStringLiteral("inventario.db"), inventario));
        QString abierta;
        Soporte::cuando_abra_modal([&](QWidget* w) {
            QCOMPARE(w->objectName(), QStringLiteral("IrCodigo"));
            QCOMPARE(Soporte::control(w, "Text1")->accessibleName(), "Código:");
            Soporte::teclear(Soporte::control(w, "Text1"), texto);
            if (!ficha.isEmpty())
                Soporte::cuando_abra_modal([&](QWidget* f) {
                    abierta = Soporte::control<QLineEdit>(f, "Text1")->text();
                    QTest::mouseClick(Soporte::control<QPushButton>(f, "Command2"), Qt::LeftButton);
                });
            if (aceptar)
                QTest::keyClick(Soporte::control(w, "Text1"), Qt::Key_Return);
            else
                QTest::mouseClick(Soporte::control<QPushButton>(w, "Command2"), Qt::LeftButton);
            // After a message the dialog stays, its text selected to be typed over.
            const bool error = aceptar && !avisos.isEmpty();
            QCOMPARE(w->isVisible(), error);
            if (error)
                QCOMPARE(Soporte::control<QLineEdit>(w, "Text1")->selectedText(), texto.trimmed());
        });
        Soporte::accion(principal.get(), QStringLiteral("menuIrCodigo"))->trigger();
        QCOMPARE(abierta, ficha);
        QCOMPARE(Soporte::avisos(), avisos);
        QVERIFY(Soporte::sin_sobresaltos());
    }
};

QTEST_MAIN(TestLector)
#include "test_lector.moc"
