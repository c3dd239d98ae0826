// The shortcuts that keep a large inventory quick give what the full paths give: snapshots shared between sources
// and made from this program's own writes, the list changed line by line after the card, the greatest code read
// from the snapshot, and printing that counts its pages and can be cancelled.
#include "data/origen_datos.h"
#include "data/recorridos.h"
#include "ficha/ficha.h"
#include "plataforma/dbcombo.h"
#include "plataforma/impresora_lineas.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora'), (3, 'Teclado')",
    "INSERT INTO Marca VALUES (1, 'HP'), (2, 'Dell'), (5, 'Samsung')",
    "INSERT INTO Elemento VALUES (12, 1, 2, 'P2422H', 'CN12', '2000-03-05', 36, 'Recepción', 1)",
    "INSERT INTO Elemento VALUES (3, 1, 5, 'S24R350', 'HN03', '1999-11-12', 24, '', 0)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'S1', NULL, 12, '', 0)",
    "INSERT INTO Elemento VALUES (20, 3, 2, 'K120', 'T20', '2003-04-05', 6.5, 'Almacén', 0)",
};

// Everything a source shows, row by row: rowid-free texts of every column, in the snapshot's order.
QStringList contenido(OrigenDatos& origen) {
    QStringList filas;
    for (int fila = 0; fila < origen.numero_filas(); ++fila) {
        QStringList columnas;
        for (int c = 0; c < origen.tabla().numero_columnas(); ++c)
            columnas << (origen.valor(fila, c).isNull() ? QStringLiteral("<nulo>") : origen.texto(fila, c));
        filas << columnas.join(u'|');
    }
    return filas;
}

// What a full read of the table gives: the file copied under another name, which no source has seen.
QStringList leido_entero(const QString& ruta, const QString& tabla = QStringLiteral("Elemento")) {
    const QString copia = ruta + QStringLiteral(".copia.db");
    QFile::remove(copia);
    QFile::copy(ruta, copia);
    OrigenDatos origen;
    origen.enlazar_base_datos(copia);
    origen.enlazar_tabla(tabla);
    origen.refrescar();
    const QStringList filas = contenido(origen);
    QFile::remove(copia);
    return filas;
}

std::unique_ptr<OrigenDatos> origen(const QString& ruta, const QString& tabla = QStringLiteral("Elemento")) {
    auto o = std::make_unique<OrigenDatos>();
    o->enlazar_base_datos(ruta);
    o->enlazar_tabla(tabla);
    o->refrescar();
    return o;
}

// One write through a source: 'anadir' a new component, 'cambiar' the code and model of component 3, 'borrar'
// component 12.
void escribir(OrigenDatos& o, const QString& cual) {
    if (cual == "anadir") {
        Recorridos::anadir(o, {QStringLiteral("5"), 2, 5, QStringLiteral("Nuevo"), QStringLiteral("N5"),
                               QDate(2024, 1, 31), 12.0, QStringLiteral("Añadido"), true});
    } else if (cual == "cambiar") {
        o.situar(*o.primera_fila_con_codigo(3));
        o.editar();
        o.escribir(0, QStringLiteral("30"));
        o.escribir(3, QStringLiteral("Cambiado"));
        o.actualizar();
    } else {
        o.borrar_filas({*o.primera_fila_con_codigo(12)});
    }
}

void pulsar(QWidget* ventana, const char* boton) {
    QTest::mouseClick(Soporte::control<QPushButton>(ventana, boton), Qt::LeftButton);
}

} // namespace

class PruebaRendimiento : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void escrituras_data() {
        QTest::addColumn<QString>("cual");
        QTest::addColumn<bool>("fuera");
        QTest::addColumn<bool>("sin_claves");
        for (const char* cual : {"anadir", "cambiar", "borrar"}) {
            QTest::addRow("%s", cual) << QString(cual) << false << false;
            QTest::addRow("%s, luego otro programa", cual) << QString(cual) << true << false;
            QTest::addRow("%s, archivo sin claves", cual) << QString(cual) << false << true;
        }
    }

    // A write through one source: the writer sees it at once, another source only after its refresh, and then
    // exactly what a full read of the file gives, whether or not another program wrote after it.
    void escrituras() {
        QFETCH(QString, cual);
        QFETCH(bool, fuera);
        QFETCH(bool, sin_claves);
        QTemporaryDir dir;
        const QString ruta = sin_claves ? Soporte::crear_base_sin_claves(dir, "i.db", inventario)
                                        : Soporte::crear_base(dir, "i.db", inventario);
        auto escritor = origen(ruta);
        auto lector = origen(ruta);
        // Both found the file in the same state: the second took the first's snapshot.
        QCOMPARE(lector->identidad(), escritor->identidad());
        const QStringList antes = contenido(*lector);
        QCOMPARE(antes, leido_entero(ruta));

        escribir(*escritor, cual);
        QCOMPARE(contenido(*lector), antes);
        // The greatest code read from the writer's snapshot, its own row included, is the walk's.
        qint64 andando = 0;
        Recorridos::completo(*escritor, [&] { andando = std::max(andando, escritor->leer_entero(0).value_or(0)); });
        QCOMPARE(Recorridos::codigo_mayor(*escritor), andando);
        const QStringList propio = contenido(*escritor);
        QCOMPARE(propio.size(), antes.size() + (cual == "anadir" ? 1 : cual == "borrar" ? -1 : 0));
        if (cual == "anadir")
            QCOMPARE(propio.last(), "5|2|5|Nuevo|N5|31/01/2024|12|Añadido|Verdadero");
        if (fuera)
            Soporte::ejecutar(ruta, {"UPDATE Elemento SET Modelo = 'De fuera' WHERE Codigo = 7"});

        lector->refrescar();
        // The reader took the snapshot the writer made from its own write, unless another program wrote after it.
        QCOMPARE(lector->cambio_al_refrescar().has_value(), !fuera);
        const QStringList completo = leido_entero(ruta);
        QCOMPARE(contenido(*lector), completo);
        QCOMPARE(completo.join(u'\n').contains("De fuera"), fuera);
        escritor->refrescar();
        QCOMPARE(contenido(*escritor), completo);
        // A third source, and both again, still agree with the file.
        auto tercero = origen(ruta);
        QCOMPARE(contenido(*tercero), completo);
        lector->refrescar();
        QCOMPARE(contenido(*lector), completo);
    }

    void codigo_mayor_data() {
        QTest::addColumn<QStringList>("codigos");
        QTest::addColumn<qint64>("mayor");
        QTest::addRow("vacía") << QStringList() << qint64(0);
        QTest::addRow("en orden") << QStringList({"1", "4", "9"}) << qint64(9);
        QTest::addRow("negativos") << QStringList({"-5", "-2"}) << qint64(0);
        QTest::addRow("repetidos y nulos") << QStringList({"NULL", "8", "8", "3"}) << qint64(8);
        QTest::addRow("texto y real") << QStringList({"'15'", "2.5", "'x'", "11"}) << qint64(15);
    }

    // The greatest code from the snapshot is the walk's, and the source ends at end as the walk leaves it.
    void codigo_mayor() {
        QFETCH(QStringList, codigos);
        QFETCH(qint64, mayor);
        QTemporaryDir dir;
        QStringList sentencias;
        for (const QString& c : codigos)
            sentencias << QStringLiteral("INSERT INTO Elemento (Codigo, Tipo, Marca) VALUES (%1, 1, 1)").arg(c);
        const QString ruta = Soporte::crear_base_sin_claves(dir, "i.db", sentencias);
        auto o = origen(ruta);
        qint64 andando = 0;
        Recorridos::completo(*o, [&] { andando = std::max(andando, o->leer_entero(0).value_or(0)); });
        QCOMPARE(andando, mayor);
        o->mover_primero();
        int avisos = 0;
        connect(o.get(), &OrigenDatos::fila_cambiada, this, [&] { ++avisos; });
        QCOMPARE(Recorridos::codigo_mayor(*o), mayor);
        QVERIFY(o->al_final());
        QVERIFY(avisos <= 2); // not one per row
    }

    void lista_tras_la_ficha_data() {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("accion");
        QTest::addColumn<bool>("fuera");
        for (const char* tipo : {"Todos", "Monitor", "Teclado"})
            for (const char* accion : {"cancelar", "anadir", "modificar", "borrar"})
                for (bool fuera : {false, true})
                    QTest::addRow("%s, %s%s", tipo, accion, fuera ? ", otro programa escribe" : "")
                        << QString(tipo) << QString(accion) << fuera;
    }

    // After every command the list holds exactly what "Buscar" would fill it with, however it was updated.
    void lista_tras_la_ficha() {
        QFETCH(QString, tipo);
        QFETCH(QString, accion);
        QFETCH(bool, fuera);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "i.db", inventario);
        auto p = Soporte::abrir_principal(dir, ruta);
        Soporte::buscar(*p, tipo);
        const auto comprobar = [&] {
            const QStringList actualizada = Soporte::lineas(*p);
            Soporte::buscar(*p, tipo);
            QCOMPARE(actualizada, Soporte::lineas(*p));
        };
        for (int vez = 0; vez < 2; ++vez) {
            if (accion == "borrar") {
                if (Soporte::lineas(*p).isEmpty())
                    return;
                Soporte::seleccionar(*p, 0);
                Mensajes::responder(true);
                QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
                comprobar();
                continue;
            }
            // Another program changes a component meanwhile; not the one the card changes, which would refuse to
            // write over it, but a listed one when there is one.
            QString ajeno = QStringLiteral("3");
            if (accion == "modificar") {
                Soporte::seleccionar(*p, 0);
                const QStringList lineas = Soporte::lineas(*p);
                ajeno = lineas.size() > 1 ? lineas[1].section(u'|', 0, 0)
                                          : QStringLiteral("(SELECT min(Codigo) FROM Elemento WHERE Codigo <> %1)")
                                                .arg(lineas.value(0).section(u'|', 0, 0));
            }
            const QStringList antes = Soporte::lineas(*p);
            bool abierta = false;
            Soporte::cuando_abra_modal([&](QWidget* ficha) {
                abierta = true;
                // The card took the main window's snapshot instead of reading the table again (unless another
                // program wrote after a cancelled card, which left the main window's as it was).
                if (accion != "cancelar" || !fuera || vez == 0)
                    QCOMPARE(static_cast<Ficha*>(ficha)->Data1.identidad(), p->Data1.identidad());
                if (fuera)
                    Soporte::ejecutar(ruta, {"UPDATE Elemento SET Modelo = 'De fuera' WHERE Codigo = " + ajeno});
                if (accion == "cancelar") {
                    pulsar(ficha, "Command2");
                    return;
                }
                if (accion == "anadir") {
                    Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo1"), "Monitor");
                    Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo2"), "HP");
                    Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text4"), "Nuevo");
                    Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text5"), QStringLiteral("N%1").arg(vez));
                    Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text6"), "1/2/2020");
                    Soporte::elegir(Soporte::control<QComboBox>(ficha, "Combo2"), "12");
                    Soporte::elegir(Soporte::control<QComboBox>(ficha, "Combo1"), "No");
                } else {
                    Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text1"),
                                        QStringLiteral("%1").arg(40 + vez));
                    Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo1"), "Teclado");
                    Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text6"), "3/4/2021");
                }
                pulsar(ficha, "Command1");
            });
            if (accion == "modificar" && Soporte::lineas(*p).isEmpty()) {
                Soporte::cuando_abra_modal({});
                return;
            }
            QVERIFY(Soporte::pulsar_barra(p.get(), accion == "anadir"      ? "BotonAnadir"
                                                   : accion == "modificar" ? "BotonModificar"
                                                                           : "BotonAnadir"));
            QVERIFY(abierta);
            const QStringList mostrados = Soporte::avisos();
            QVERIFY2(mostrados.isEmpty(), qPrintable(mostrados.join(u'\n')));
            // A card that stored nothing leaves the list as it was, without reading the file; what another
            // program wrote meanwhile shows at the next "Buscar".
            if (accion == "cancelar")
                QCOMPARE(Soporte::lineas(*p), antes);
            else
                comprobar();
        }
    }

    void lineas_juntas_data() {
        QTest::addColumn<QStringList>("filas");
        QTest::addRow("corrientes") << inventario.mid(2);
        QTest::addRow("raras") << QStringList{
            "INSERT INTO Elemento VALUES (-4, 9, NULL, 'sin tipo', 'x', '0999-12-31', 1e20, 'año', 5)",
            "INSERT INTO Elemento VALUES ('12a', 1, 2, X'41FF42', 'A' || char(0) || 'B', '2024-02-30', -0.5, NULL, 1)",
            "INSERT INTO Elemento VALUES (NULL, '2', 5, char(65279) || 'bom', '日本', '10000-01-01', 'doce', '', 'x')",
            "INSERT INTO Elemento VALUES (8, 3, 2, '', '', '2024-12-31 10:00', 0.1, 'a	b', 0)",
            "INSERT INTO Elemento VALUES (8, 1, 1, 'dos veces', '', '1000-01-01', 36, 'ñ', 1)",
            "INSERT INTO Tipo VALUES (9, 'Nombre' || char(0) || 'con cero')",
            "INSERT INTO Tipo VALUES (1, 'Repetido')"};
    }

    // Every line the list shows is, text for text, the line a lookup per row gives.
    void lineas_juntas() {
        QFETCH(QStringList, filas);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base_sin_claves(dir, "i.db", inventario.mid(0, 2) + filas);
        auto p = Soporte::abrir_principal(dir, ruta);
        for (const QString tipo : {"Todos", "Monitor", "Teclado"}) {
            Soporte::buscar(*p, tipo);
            const QStringList mostradas = Soporte::lineas(*p);
            QStringList esperadas;
            for (int fila = 0; fila < p->Data1.numero_filas(); ++fila) {
                if (tipo != "Todos" && p->Data1.entero(fila, 1) != (tipo == "Monitor" ? 1 : 3))
                    continue;
                QStringList textos;
                for (QString texto : p->linea_componente(fila))
                    textos << texto.replace(QChar(0), u' ');
                esperadas << textos.join(u'|');
            }
            QCOMPARE(mostradas, esperadas);
            QVERIFY(p->Data1.al_final());
        }
    }

    // Printing counts its pages in the progress dialog; a cancel at the second page leaves no document at all.
    void impresion_cuenta_paginas_y_se_cancela() {
        QTemporaryDir dir;
        QStringList muchas = inventario;
        for (int codigo = 100; codigo < 260; ++codigo)
            muchas << QStringLiteral("INSERT INTO Elemento VALUES (%1, 2, 1, 'LJ', 'S%1', '2010-01-01', 12, '', 0)")
                          .arg(codigo);
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", muchas));
        Soporte::buscar(*p, "Todos");
        auto memoria = std::make_unique<ImpresoraMemoria>();
        memoria->lineas_por_pagina = 10;
        ImpresoraMemoria* impresora = memoria.get();
        p->fijar_impresora_lineas(std::move(memoria));

        QStringList vistas;
        bool cancelar = false;
        QTimer mirar;
        connect(&mirar, &QTimer::timeout, this, [&] {
            auto* progreso = p->findChild<QProgressDialog*>(QStringLiteral("ProgresoImpresion"));
            if (!progreso)
                return;
            if (vistas.isEmpty() || vistas.last() != progreso->labelText())
                vistas << progreso->labelText();
            if (cancelar && vistas.size() == 2)
                progreso->cancel();
        });
        mirar.start(0);
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        // 3 heading lines and 164 components, 10 lines a page: 17 pages.
        QCOMPARE(impresora->documentos.size(), 1);
        QCOMPARE(impresora->documentos.first().size(), 167);
        QStringList paginas;
        for (int n = 1; n <= 17; ++n)
            paginas << QStringLiteral("Imprimiendo la página %1...").arg(n);
        QCOMPARE(vistas, paginas);
        QCOMPARE(Soporte::avisos(), QStringList());

        vistas.clear();
        cancelar = true;
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        QCOMPARE(impresora->documentos.size(), 1);
        QCOMPARE(impresora->terminados, 1);
        QCOMPARE(impresora->cancelados, 1);
        QCOMPARE(Soporte::avisos(), QStringList({"Impresión cancelada: no se ha impreso nada."}));

        // On paper: a PDF cancelled at its second page leaves neither the file nor the one written beside it.
        QPrinter papel;
        papel.setOutputFormat(QPrinter::PdfFormat);
        papel.setOutputFileName(dir.filePath("lista.pdf"));
        p->fijar_impresora_lineas(std::make_unique<ImpresoraPapel>(papel));
        vistas.clear();
        Soporte::buscar(*p, "Todos");
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        QCOMPARE(vistas, paginas.mid(0, 2));
        QCOMPARE(Soporte::avisos(), QStringList({"Impresión cancelada: no se ha impreso nada."}));
        QCOMPARE(QDir(dir.path()).entryList({"*.pdf"}), QStringList());
        QCOMPARE(papel.outputFileName(), dir.filePath("lista.pdf"));
        cancelar = false;
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(QDir(dir.path()).entryList({"*.pdf"}), QStringList({"lista.pdf"}));
    }
};

QTEST_MAIN(PruebaRendimiento)
#include "test_rendimiento.moc"
