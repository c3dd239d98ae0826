// The component list: the type filter, its nine columns and when the main window reads the tables again.
#include "modulo/module1.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using Soporte::avisos;
using Soporte::lineas;

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora'), (3, 'Teclado')",
    "INSERT INTO Marca VALUES (1, 'HP'), (2, 'Dell'), (5, 'Samsung')",
    "INSERT INTO Elemento VALUES (12, 1, 2, 'P2422H', 'CN12', '2000-03-05', 36, 'Recepción', 1)",
    "INSERT INTO Elemento VALUES (3, 1, 5, 'S24R350', 'HN03', '1999-11-12', 24, '', 0)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'S1', '1999-02-01', 12, '', 0)",
};

const QString monitor_3 = "3|Monitor|Samsung|S24R350|HN03|12/11/1999|24||No";
const QString impresora_7 = "7|Impresora|HP|LJ4|S1|01/02/1999|12||No";
const QString monitor_12 = "12|Monitor|Dell|P2422H|CN12|05/03/2000|36|Recepción|Si";

QStringList cabeceras(Principal& p) {
    const QAbstractItemModel* m = p.findChild<QTreeView*>("ListView1")->model();
    QStringList lista;
    for (int i = 0; i < m->columnCount(); ++i)
        lista << m->headerData(i, Qt::Horizontal).toString();
    return lista;
}

} // namespace

class PruebaLista : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void todos_los_componentes_en_orden_de_tabla() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        QCOMPARE(lineas(*p), QStringList({monitor_3, impresora_7, monitor_12}));
        QCOMPARE(cabeceras(*p), QStringList({"Codigo", "Tipo", "Marca", "Modelo", "Nº Serie", "Fecha", "Garantia",
                                             "Descripcion", "Renting"}));
        QHeaderView* cabecera = p->findChild<QTreeView*>("ListView1")->header();
        QList<int> anchos;
        for (int i = 0; i < cabecera->count(); ++i)
            anchos << cabecera->sectionSize(i);
        QCOMPARE(anchos, QList<int>({47, 47, 67, 67, 67, 67, 53, 167, 53})); // 9500 twips: wider than the list
        QVERIFY(Module1::columnas_creadas);
        QCOMPARE(avisos(), QStringList());
    }

    void un_tipo_y_la_letra_exacta() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Monitor");
        QCOMPARE(lineas(*p), QStringList({monitor_3, monitor_12}));
        Soporte::buscar(*p, "todos");
        QCOMPARE(lineas(*p), QStringList());
        Soporte::buscar(*p, "Monitor ");
        QCOMPARE(lineas(*p), QStringList());
        QCOMPARE(cabeceras(*p).size(), 9); // created once, not again at every search
    }

    void dos_tipos_con_el_mismo_nombre() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        Soporte::ejecutar(base, {"INSERT INTO Tipo VALUES (4, 'Impresora')",
                                 "INSERT INTO Elemento VALUES (20, 4, 1, 'M404', 'PH20', '2022-04-03', 12, '', 0)"});
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Impresora");
        QCOMPARE(lineas(*p), QStringList({"20|Impresora|HP|M404|PH20|03/04/2022|12||No"}));
    }

    void nombre_sin_tipo_da_el_codigo_cero() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        Soporte::ejecutar(base, {"INSERT INTO Elemento VALUES (30, 0, 1, 'Sin tipo', 'X', '2001-01-01', 6, '', 0)"});
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Ratón");
        QCOMPARE(lineas(*p), QStringList({"30||HP|Sin tipo|X|01/01/2001|6||No"}));
    }

    void sin_texto_en_el_selector() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        Soporte::buscar(*p, "");
        QCOMPARE(avisos(), QStringList({"ERROR: primero debe seleccionar un componente."}));
        QCOMPARE(lineas(*p), QStringList());
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBuscar"));
        QCOMPARE(avisos(), QStringList({"ERROR: primero debe seleccionar un componente."}));
    }

    void tabla_vacia_da_columnas_sin_lineas() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir));
        Soporte::buscar(*p, "Todos");
        QCOMPARE(lineas(*p), QStringList());
        QCOMPARE(cabeceras(*p).size(), 9);
    }

    void actualizar_tras_la_ficha_con_el_selector_vacio() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::ejecutar(base, {"INSERT INTO Elemento VALUES (40, 0, 2, 'Nuevo', 'N40', '2026-12-06', 6, '', 0)"});
        p->actualizar_lista(); // what the main window does once the record card closes
        QCOMPARE(cabeceras(*p).size(), 9);
        QCOMPARE(lineas(*p), QStringList({"40||Dell|Nuevo|N40|06/12/2026|6||No"}));
        QCOMPARE(avisos(), QStringList());
    }

    void actualizar_relee_solo_los_componentes() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Todos");
        // Rows stored elsewhere, as the record card and the types and brands window do.
        Soporte::ejecutar(base, {"INSERT INTO Tipo VALUES (9, 'Escáner')",
                                 "UPDATE Marca SET Nombre = 'Hewlett' "
                                 "WHERE Codigo = 1",
                                 "INSERT INTO Elemento VALUES (8, 9, 1, 'DS-530', 'X7', '2024-02-22', 12, '', 1)"});
        p->actualizar_lista();
        QCOMPARE(lineas(*p), QStringList({monitor_3, impresora_7, "8||HP|DS-530|X7|22/02/2024|12||Si", monitor_12}));
        Soporte::buscar(*p, "Todos");
        QCOMPARE(lineas(*p).at(2), "8|Escáner|Hewlett|DS-530|X7|22/02/2024|12||Si");
    }

    void la_barra_busca_sin_releer() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        auto p = Soporte::abrir_principal(dir, base);
        auto* selector = p->findChild<QComboBox*>("DBCombo1");
        QTest::keyClicks(selector, "Todos");
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBuscar"));
        QCOMPARE(lineas(*p).size(), 3);
        Soporte::ejecutar(base, {"INSERT INTO Tipo VALUES (9, 'Escáner')",
                                 "INSERT INTO Elemento VALUES (8, 9, 1, 'DS-530', 'X7', '2024-02-22', 12, '', 1)"});
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBuscar"));
        QCOMPARE(selector->findText("Escáner"), -1);
        QCOMPARE(lineas(*p).size(), 3);
        QTest::mouseClick(p->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QCOMPARE(selector->findText("Escáner"), 3);
        QCOMPARE(selector->currentText(), "Todos"); // the filter survives the picker's refill
        QCOMPARE(lineas(*p).size(), 4);
    }

    void elegir_el_tipo_en_la_lista_del_selector() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        auto* selector = p->findChild<QComboBox*>("DBCombo1");
        selector->setFocus();
        QTest::keyClick(selector, Qt::Key_Down); // from no choice to the first name, Monitor
        QTest::keyClick(selector, Qt::Key_Down);
        QCOMPARE(selector->currentText(), "Impresora");
        QTest::mouseClick(p->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QCOMPARE(lineas(*p), QStringList({impresora_7}));
    }
};

QTEST_MAIN(PruebaLista)
#include "test_lista.moc"
