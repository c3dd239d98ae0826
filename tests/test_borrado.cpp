// Deleting the selected component from the main window.
#include "data/conexion.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QItemSelectionModel>
#include <QTreeView>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using Soporte::avisos;
using Soporte::lineas;

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP')",
    "INSERT INTO Elemento VALUES (3, 1, 1, 'A', 'S3', '2000-01-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (5, 2, 1, 'B', 'S5', '2000-01-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (7, 1, 1, 'C', 'S7', '2000-01-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (12, 1, 1, 'D', 'S12', '2000-01-01', 12, '', 0)",
};

const QString pregunta_borrar =
    QStringLiteral("          ¿Seguro que desea eliminar el registro? |                        ¿Esta seguro?");

QStringList codigos(Principal& p) {
    QStringList lista;
    for (const QString& l : lineas(p))
        lista << l.section(u'|', 0, 0);
    return lista;
}

int seleccionada(Principal& p) {
    const QModelIndexList filas = p.findChild<QTreeView*>("ListView1")->selectionModel()->selectedRows();
    return filas.isEmpty() ? -1 : filas.first().row();
}

} // namespace

class PruebaBorrado : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() {
        Conexion::forzar_solo_lectura(false);
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void contestar_no_no_cambia_nada() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        const QByteArray antes = Soporte::contenido(base);
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Monitor");
        Soporte::seleccionar(*p, 1);
        Mensajes::responder(false);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
        QCOMPARE(avisos(), QStringList({pregunta_borrar}));
        QCOMPARE(codigos(*p), QStringList({"3", "7", "12"}));
        QCOMPARE(Soporte::contenido(base), antes);
    }

    void borrar_la_linea_del_medio() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Monitor");
        Soporte::seleccionar(*p, 1);
        Mensajes::responder(true);
        Soporte::accion(p.get(), "menuEliminar")->trigger();
        QCOMPARE(avisos(), QStringList({pregunta_borrar})); // no message on success
        QCOMPARE(codigos(*p), QStringList({"3", "12"}));
        QCOMPARE(seleccionada(*p), 1); // the line that followed
        QCOMPARE(Soporte::filas(base, "Elemento").size(), 3);
        for (const QString& fila : Soporte::filas(base, "Elemento"))
            QVERIFY(!fila.startsWith("7|"));
    }

    void borrar_la_unica_linea_y_la_ultima() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Impresora");
        Soporte::seleccionar(*p, 0);
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
        QCOMPARE(lineas(*p), QStringList());
        QCOMPARE(p->findChild<QTreeView*>("ListView1")->model()->columnCount(), 9);
        QCOMPARE(seleccionada(*p), -1);
        Soporte::buscar(*p, "Monitor");
        Soporte::seleccionar(*p, 2);
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
        QCOMPARE(codigos(*p), QStringList({"3", "7"}));
        QCOMPARE(seleccionada(*p), 1); // the new last line
        QCOMPARE(Soporte::filas(base, "Elemento").size(), 2);
        avisos();
    }

    void archivo_que_no_deja_borrar() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        const QByteArray antes = Soporte::contenido(base);
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Monitor");
        Soporte::seleccionar(*p, 0);
        Conexion::forzar_solo_lectura(true);
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
        QCOMPARE(avisos(), QStringList({pregunta_borrar, "ERROR: no se han podido guardar los cambios en " + base +
                                                             ": el archivo es de solo lectura."}));
        QCOMPARE(codigos(*p), QStringList({"3", "7", "12"}));
        QCOMPARE(Soporte::contenido(base), antes);
    }

    void archivo_bloqueado_o_desaparecido() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Monitor");
        Soporte::seleccionar(*p, 0);
        QVERIFY(QFile::rename(base, base + ".fuera"));
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
        QCOMPARE(avisos().last(), "ERROR: no se puede abrir la base de datos " + base + ": el archivo no existe.");
        QCOMPARE(codigos(*p), QStringList({"3", "7", "12"}));
        QVERIFY(!QFile::exists(base)); // nothing was created in its place
    }

    void un_archivo_antiguo_con_un_codigo_repetido() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base_sin_claves(
            dir, "antiguo.db",
            {"INSERT INTO Tipo VALUES (1, 'Monitor')",
             "INSERT INTO Elemento VALUES (4, 1, 1, 'A', 'S', '2000-01-01', 12, '', 0), "
             "(4.0, 1, 1, 'B', 'S', '2000-01-01', 12, '', 0), (5, 1, 1, 'C', 'S', '2000-01-01', 12, '', 0)"});
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Todos");
        QCOMPARE(codigos(*p), QStringList({"4", "4", "5"}));
        Soporte::seleccionar(*p, 0);
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
        QCOMPARE(Soporte::filas(base, "Elemento"), QStringList({"5|1|1|C|S|2000-01-01|12|"
                                                                "|0"}));
        QCOMPARE(codigos(*p), QStringList({"4", "5"})); // only the selected line leaves the list
        avisos();
    }
};

QTEST_MAIN(PruebaBorrado)
#include "test_borrado.moc"
