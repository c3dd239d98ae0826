// The types and brands window opened from the main window's menu.
#include "modulo/module1.h"
#include "plataforma/dbcombo.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

template <class T> T* control(QWidget* ventana, const char* nombre) {
    T* c = ventana->findChild<T*>(QLatin1String(nombre));
    if (!c)
        qFatal("No existe el control %s", nombre);
    return c;
}

QStringList lista(QComboBox* c) {
    QStringList nombres;
    for (int i = 0; i < c->count(); ++i)
        nombres << c->itemText(i);
    return nombres;
}

} // namespace

class PruebaAnadirTMMenu : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void desde_el_menu_sin_refrescar_la_principal() {
        const QString ruta = Soporte::crear_base(
            dir, "menu.db",
            {"INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')", "INSERT INTO Marca VALUES (1, 'HP')"});
        auto p = Soporte::abrir_principal(dir, ruta);
        QVERIFY(QTest::qWaitForWindowExposed(p.get()));
        auto* picker = control<DBCombo>(p.get(), "DBCombo1");
        QCOMPARE(picker->count(), 2);

        bool abierta = false;
        Soporte::cuando_abra_modal([&](QWidget* w) {
            abierta = true;
            QCOMPARE(w->objectName(), "AnadirTM");
            QCOMPARE(w->windowTitle(), "Anadir registros tipo/marca");
            QCOMPARE(lista(control<QComboBox>(w, "Combo1")), QStringList({"Monitor", "Impresora"}));
            QCOMPARE(lista(control<QComboBox>(w, "Combo2")), QStringList({"HP"}));
            Soporte::teclear(control<QComboBox>(w, "Combo1")->lineEdit(), "Escáner");
            QTest::mouseClick(control<QPushButton>(w, "Command1"), Qt::LeftButton);
            QTest::mouseClick(control<QPushButton>(w, "Command3"), Qt::LeftButton);
            QVERIFY(!w->isVisible());
        });
        control<QAction>(p.get(), "menuAnadirTM")->trigger();
        QVERIFY(abierta);
        QCOMPARE(Soporte::filas(ruta, "Tipo"), QStringList({"1|Monitor", "2|Impresora", "3|Escáner"}));
        // The main window re-reads its types only when the user searches.
        QCOMPARE(picker->count(), 2);
        QCOMPARE(Soporte::avisos(), QStringList());

        // A new opening reads the tables again; the close box closes it like "Aceptar".
        abierta = false;
        Soporte::cuando_abra_modal([&](QWidget* w) {
            abierta = true;
            QCOMPARE(lista(control<QComboBox>(w, "Combo1")), QStringList({"Monitor", "Impresora", "Escáner"}));
            QVERIFY(w->close());
            QVERIFY(!w->isVisible());
        });
        control<QAction>(p.get(), "menuAnadirTM")->trigger();
        QVERIFY(abierta);

        Soporte::teclear(picker->lineEdit(), "Monitor");
        QTest::mouseClick(control<QPushButton>(p.get(), "Command1"), Qt::LeftButton);
        QCOMPARE(picker->count(), 3);
        QCOMPARE(picker->itemText(2), "Escáner");
        QCOMPARE(Module1::base_datos, ruta);
        QCOMPARE(Soporte::avisos(), QStringList());
    }
};

QTEST_MAIN(PruebaAnadirTMMenu)
#include "test_anadirtm_menu.moc"
