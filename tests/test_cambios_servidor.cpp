// A server inventory refreshed by its changes: what other connections commit, in whatever order, arrives once and
// exactly once; and whenever the changes cannot be known the tables are read whole. Every refresh is compared with
// a whole read made on another thread, which shares no snapshot with this one.
#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/motor_pg.h"
#include "data/origen_datos.h"
#include "data/recorridos.h"
#include "soporte/pg_pruebas.h"
#include "soporte/soporte.h"

#include <QRandomGenerator>
#include <QtTest>
#include <thread>

using PgPruebas::sql;

namespace {

QStringList filas_de(OrigenDatos& o) {
    QStringList filas;
    for (int fila = 0; fila < o.numero_filas(); ++fila) {
        QStringList campos;
        for (int i = 0; i < o.tabla().numero_columnas(); ++i)
            campos << o.texto(fila, i);
        filas << campos.join(u'|');
    }
    return filas;
}

// The table read whole, by a source of a thread of its own.
QStringList lectura_completa(const QString& base, const char* tabla) {
    QStringList filas;
    std::thread([&] {
        OrigenDatos o;
        o.enlazar_base_datos(base);
        o.enlazar_tabla(QString::fromLatin1(tabla));
        o.refrescar();
        filas = filas_de(o);
        Servidor::cerrar_conexiones();
    }).join();
    return filas;
}

QString componente(int codigo, const QString& modelo) {
    return QStringLiteral("INSERT INTO elemento VALUES (%1, 1, 1, '%2', 'S%1', DATE '2024-01-02', 2, '', false)")
        .arg(codigo)
        .arg(modelo);
}

// A new inventory with one type, one brand and components 10, 20 and 30.
QString inventario(const QString& nombre) {
    const QString base = PgPruebas::base_vacia(nombre);
    Esquema::crear_inventario(base);
    sql(base, {QStringLiteral("INSERT INTO tipo VALUES (1, 'Monitor')"),
               QStringLiteral("INSERT INTO marca VALUES (1, 'Acme')"), componente(10, "A"), componente(20, "B"),
               componente(30, "C")});
    return base;
}

struct Fuente {
    OrigenDatos o;
    explicit Fuente(const QString& base, const char* tabla = "Elemento") {
        o.enlazar_base_datos(base);
        o.enlazar_tabla(QString::fromLatin1(tabla));
        o.refrescar();
    }
};

// The refresh read only the changes: the change from the previous rows is known.
bool por_cambios(const OrigenDatos& o) {
    return o.cambio_al_refrescar().has_value();
}

} // namespace

class TestCambiosServidor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { Servidor::cerrar_conexiones(); }

    // A transaction that stays open while another commits is seen at the refresh after it commits, however
    // their transaction numbers compare; nothing is seen twice.
    void transacciones_que_terminan_desordenadas() {
        const QString base = inventario(QStringLiteral("desorden"));
        Fuente f(base);
        PGconn* a = PgPruebas::conectar(base);
        PGconn* b = PgPruebas::conectar(base);
        PgPruebas::sql_en(a, {QStringLiteral("BEGIN"), QStringLiteral("UPDATE elemento SET modelo = 'A1' WHERE "
                                                                      "codigo = 10")});
        PgPruebas::sql_en(b, {QStringLiteral("BEGIN"),
                              QStringLiteral("UPDATE elemento SET modelo = 'C2' WHERE "
                                             "codigo = 30"),
                              QStringLiteral("COMMIT")});
        f.o.refrescar();
        QVERIFY(por_cambios(f.o));
        QCOMPARE(filas_de(f.o), lectura_completa(base, "Elemento"));
        QCOMPARE(f.o.texto(0, 3), "A");
        QCOMPARE(f.o.texto(2, 3), "C2");
        PgPruebas::sql_en(a, {QStringLiteral("COMMIT")});
        f.o.refrescar();
        QVERIFY(por_cambios(f.o));
        QCOMPARE(filas_de(f.o), lectura_completa(base, "Elemento"));
        QCOMPARE(f.o.numero_filas(), 3);
        QCOMPARE(f.o.texto(0, 3), "A1");
        PQfinish(a);
        PQfinish(b);
    }

    // Several writers adding, changing (codes too) and deleting, committing or rolling back in a random order,
    // against one source that refreshes between their steps.
    void escritores_al_azar() {
        const QString base = inventario(QStringLiteral("azar"));
        const quint32 semilla = QRandomGenerator::global()->generate();
        QRandomGenerator azar(semilla);
        Fuente f(base);
        constexpr int escritores = 3;
        PGconn* c[escritores];
        bool abierta[escritores] = {};
        for (PGconn*& conexion : c)
            conexion = PgPruebas::conectar(base);
        int siguiente = 100;
        int por_cambios_vistos = 0;
        for (int paso = 0; paso < 120; ++paso) {
            const int w = azar.bounded(escritores);
            QStringList sentencias;
            if (!abierta[w]) {
                sentencias << QStringLiteral("BEGIN");
                abierta[w] = true;
            }
            // Each writer keeps to codes of its own (code % 3), so that no two wait for the same row.
            const int propio = w + 3 * azar.bounded(1, 40);
            switch (azar.bounded(6)) {
            case 0:
                sentencias << componente(3 * (++siguiente) + w, QStringLiteral("N%1").arg(paso));
                break;
            case 1:
                sentencias << QStringLiteral("UPDATE elemento SET modelo = 'M%1' WHERE codigo %% 3 = %2 AND codigo "
                                             "IN (SELECT codigo FROM elemento WHERE codigo %% 3 = %2 ORDER BY "
                                             "random() LIMIT 2)")
                                  .arg(paso)
                                  .arg(w);
                break;
            case 2:
                sentencias << QStringLiteral("DELETE FROM elemento WHERE codigo = %1").arg(propio);
                break;
            case 3:
                sentencias << QStringLiteral("UPDATE elemento SET codigo = codigo + 3000 WHERE codigo = %1 AND NOT "
                                             "EXISTS (SELECT 1 FROM elemento WHERE codigo = %1 + 3000)")
                                  .arg(propio);
                break;
            case 4:
                sentencias << (azar.bounded(4) == 0 ? QStringLiteral("ROLLBACK") : QStringLiteral("COMMIT"));
                abierta[w] = false;
                break;
            default:
                f.o.refrescar();
                por_cambios_vistos += por_cambios(f.o);
                QCOMPARE(filas_de(f.o), lectura_completa(base, "Elemento"));
                break;
            }
            sentencias.replaceInStrings(QStringLiteral("%%"), QStringLiteral("%"));
            PgPruebas::sql_en(c[w], sentencias);
        }
        for (int w = 0; w < escritores; ++w) {
            if (abierta[w])
                PgPruebas::sql_en(c[w], {QStringLiteral("COMMIT")});
            PQfinish(c[w]);
        }
        f.o.refrescar();
        QVERIFY2(filas_de(f.o) == lectura_completa(base, "Elemento"), qPrintable(QString::number(semilla)));
        QVERIFY2(por_cambios_vistos > 0, qPrintable(QString::number(semilla)));
    }

    // The sources of one program share the rows of one state of the server; each refresh after a change by
    // someone else reads only that change, and a second source finds the rows the first one read.
    void fuentes_que_comparten() {
        const QString base = inventario(QStringLiteral("compartidas"));
        Fuente uno(base);
        Fuente otro(base);
        QCOMPARE(otro.o.identidad(), uno.o.identidad());
        sql(base, {QStringLiteral("UPDATE elemento SET modelo = 'B2' WHERE codigo = 20")});
        uno.o.refrescar();
        QVERIFY(por_cambios(uno.o));
        QCOMPARE(uno.o.cambio_al_refrescar()->quitadas, std::vector<int>{1});
        QCOMPARE(uno.o.cambio_al_refrescar()->anadidas, std::vector<int>{1});
        otro.o.refrescar();
        QCOMPARE(otro.o.identidad(), uno.o.identidad());
        // Nothing changed since: the same rows, the windows keep their lines.
        const quint64 antes = uno.o.identidad();
        uno.o.refrescar();
        QCOMPARE(uno.o.identidad(), antes);
        // A change to another table leaves this one's rows as they were.
        sql(base, {QStringLiteral("UPDATE marca SET nombre = 'Acme 2'")});
        uno.o.refrescar();
        QCOMPARE(uno.o.identidad(), antes);
        // This program's own write: the other source's refresh takes it with the change known.
        uno.o.mover_primero();
        uno.o.editar();
        uno.o.escribir(3, QStringLiteral("A3"));
        uno.o.actualizar();
        otro.o.refrescar();
        QVERIFY(por_cambios(otro.o));
        QCOMPARE(filas_de(otro.o), lectura_completa(base, "Elemento"));
        // The writer itself, after the other source moved the shared rows on and another write: what changed
        // from the rows it saw is known, its own write among them, so the list need not be made again.
        uno.o.situar(1);
        uno.o.borrar();
        sql(base, {componente(25, "Z")});
        otro.o.refrescar();
        const QStringList vistas = filas_de(uno.o);
        uno.o.refrescar();
        QVERIFY(por_cambios(uno.o));
        const CambioInstantanea& cambio = *uno.o.cambio_al_refrescar();
        QCOMPARE(cambio.anterior.numero_filas(), vistas.size());
        // Since the rows it saw: its change of 10, its deletion of 20 and the other program's 25.
        QCOMPARE(cambio.quitadas, std::vector<int>{0});
        QCOMPARE(cambio.anadidas, (std::vector<int>{0, 1}));
        QCOMPARE(filas_de(uno.o), lectura_completa(base, "Elemento"));
        QCOMPARE(uno.o.numero_filas(), 3);
    }

    // Whenever the notes cannot tell every change since the kept rows, the table is read whole, and shows what
    // the server holds.
    void lectura_entera_data() {
        QTest::addColumn<QStringList>("sentencias");
        QTest::addColumn<bool>("purgar");
        QTest::newRow("notas purgadas") << QStringList{QStringLiteral("UPDATE elemento SET modelo = 'P' WHERE "
                                                                      "codigo = 20"),
                                                       QStringLiteral("UPDATE talvirenca_cambios SET momento = "
                                                                      "now() - interval '30 days'")}
                                        << true;
        QTest::newRow("disparador desactivado")
            << QStringList{QStringLiteral("ALTER TABLE elemento DISABLE TRIGGER talvirenca_cambios_cambio"),
                           QStringLiteral("UPDATE elemento SET modelo = 'D' WHERE codigo = 20")}
            << false;
        QTest::newRow("tabla vaciada") << QStringList{QStringLiteral("TRUNCATE elemento")} << false;
        QTest::newRow("disparador desactivado un momento")
            << QStringList{QStringLiteral("ALTER TABLE elemento DISABLE TRIGGER talvirenca_cambios_alta"),
                           componente(40, "E"),
                           QStringLiteral("ALTER TABLE elemento ENABLE TRIGGER talvirenca_cambios_alta")}
            << false;
    }
    void lectura_entera() {
        QFETCH(QStringList, sentencias);
        QFETCH(bool, purgar);
        const QString base = inventario(QStringLiteral("entera"));
        Fuente f(base);
        sql(base, sentencias);
        if (purgar) {
            PGconn* c = PgPruebas::conectar(base);
            MotorPg::purgar_cambios(c, 3600);
            PQfinish(c);
        }
        f.o.refrescar();
        QVERIFY(!por_cambios(f.o));
        QCOMPARE(filas_de(f.o), lectura_completa(base, "Elemento"));
    }

    // The database was dropped and made again under the same name (as a restore does): the rows are read whole.
    void base_restaurada() {
        const QString base = inventario(QStringLiteral("restaurada"));
        Fuente f(base);
        Servidor::cerrar_conexiones();
        inventario(QStringLiteral("restaurada"));
        sql(base, {QStringLiteral("DELETE FROM elemento WHERE codigo = 20")});
        f.o.refrescar();
        QVERIFY(!por_cambios(f.o));
        QCOMPARE(f.o.numero_filas(), 2);
    }

    // An inventory made before the notes existed: a user who may only read and change the rows works with whole
    // reads and creates nothing; its owner's first use installs the notes, and the other user's changes are noted
    // from then on although that user has no right on the notes.
    void inventario_sin_notas() {
        const QString base = inventario(QStringLiteral("sinnotas"));
        sql(base, {QStringLiteral("DROP TABLE talvirenca_cambios"),
                   QStringLiteral("DROP FUNCTION talvirenca_anotar_cambios() CASCADE"),
                   QStringLiteral("ALTER TABLE talvirenca DROP COLUMN cambios_desde"),
                   QStringLiteral("DO $$ BEGIN CREATE ROLE empleado LOGIN; EXCEPTION WHEN duplicate_object THEN "
                                  "NULL; END $$"),
                   QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON elemento, tipo, marca TO empleado"),
                   QStringLiteral("GRANT SELECT ON talvirenca TO empleado")});
        Servidor::cerrar_conexiones();
        const QString empleado = PgPruebas::uri(QStringLiteral("sinnotas"), QStringLiteral("empleado"));
        const auto tablas = [&] {
            return sql(base, {QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'")});
        };
        {
            Fuente f(empleado);
            QCOMPARE(tablas(), QStringList{"4"});
            sql(base, {QStringLiteral("UPDATE elemento SET modelo = 'X' WHERE codigo = 10")});
            f.o.refrescar();
            QVERIFY(!por_cambios(f.o));
            QCOMPARE(f.o.texto(0, 3), "X");
        }
        Servidor::cerrar_conexiones();
        Fuente dueno(base);
        QCOMPARE(tablas(), QStringList{"5"});
        {
            Fuente f(empleado);
            f.o.mover_ultimo();
            f.o.editar();
            f.o.escribir(3, QStringLiteral("Y"));
            f.o.actualizar();
        }
        dueno.o.refrescar();
        QVERIFY(por_cambios(dueno.o));
        QCOMPARE(dueno.o.texto(2, 3), "Y");
    }
};

QTEST_MAIN(TestCambiosServidor)
#include "test_cambios_servidor.moc"
