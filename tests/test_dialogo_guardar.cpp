// The save-file dialog itself, as the user meets it (no queued answers): the name it proposes, the ending that
// follows the filter chosen, and what it gives back.
#include "plataforma/dialogos_sistema.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QtTest>

namespace {

const QStringList filtros = {QStringLiteral("Libro de Excel (*.xlsx)"), QStringLiteral("Texto CSV (*.csv)")};

} // namespace

class PruebaDialogoGuardar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The dialog Qt draws itself, whatever the desktop offers, so its controls can be reached.
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void propone_y_sigue_al_filtro_data() {
        QTest::addColumn<QString>("escrito");
        QTest::addColumn<QString>("elegido");
        // The proposed name, with its ending changed by the filter; a name typed without an ending takes it.
        QTest::newRow("nombre propuesto") << QString() << "i-lista.csv";
        QTest::newRow("nombre sin terminación") << "otra"
                                                << "otra.csv";
    }
    void propone_y_sigue_al_filtro() {
        QFETCH(QString, escrito);
        QFETCH(QString, elegido);
        QTemporaryDir dir;
        Soporte::cuando_abra_modal([&](QWidget* modal) {
            auto* dialogo = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialogo);
            QCOMPARE(dialogo->windowTitle(), "Exportar lista");
            QCOMPARE(QDir(dialogo->directory()).absolutePath(), QDir(dir.path()).absolutePath());
            auto* nombre = dialogo->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QCOMPARE(nombre->text(), "i-lista.xlsx");
            // The user picks the second file type with the keyboard.
            auto* tipos = dialogo->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            tipos->setFocus();
            QTest::keyClick(tipos, Qt::Key_Down);
            QCOMPARE(tipos->currentText(), filtros[1]);
            QCOMPARE(nombre->text(), "i-lista.csv");
            if (!escrito.isEmpty()) {
                nombre->selectAll();
                QTest::keyClicks(nombre, escrito);
            }
            QTest::keyClick(nombre, Qt::Key_Return);
        });
        const std::optional<DialogosSistema::Guardado> eleccion = DialogosSistema::guardar_archivo(
            nullptr, {QStringLiteral("Exportar lista"), filtros, dir.filePath(QStringLiteral("i-lista.xlsx"))});
        QVERIFY(eleccion);
        QCOMPARE(eleccion->ruta, dir.filePath(elegido));
        QCOMPARE(eleccion->filtro, filtros[1]);
        QVERIFY(!eleccion->reemplazo_confirmado);
    }

    // A dialog told not to ask gives back an existing file without a question, and without a replacement agreed.
    void sin_pregunta_de_reemplazo() {
        QTemporaryDir dir;
        const QString existente = Soporte::crear_base(dir, "i.db", {});
        Soporte::cuando_abra_modal([&](QWidget* modal) {
            auto* nombre = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QCOMPARE(nombre->text(), "i.db");
            QTest::keyClick(nombre, Qt::Key_Return);
        });
        const std::optional<DialogosSistema::Guardado> eleccion =
            DialogosSistema::guardar_archivo(nullptr, {QStringLiteral("Inventario nuevo"),
                                                       {QStringLiteral("Inventarios de Talvirenca (*.db)")},
                                                       existente,
                                                       false});
        QVERIFY(eleccion);
        QCOMPARE(eleccion->ruta, existente);
        QVERIFY(!eleccion->reemplazo_confirmado);
    }
};

QTEST_MAIN(PruebaDialogoGuardar)
#include "test_dialogo_guardar.moc"
