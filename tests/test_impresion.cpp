// Printing the component list: the lines written, and a real printout to a PDF file.
#include "plataforma/impresora_lineas.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QPrinter>
#include <QProcess>
#include <QtTest>

using Soporte::avisos;

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP'), (2, 'Dell')",
    "INSERT INTO Elemento VALUES (3, 1, 2, 'P2422H', 'CN3', '2000-03-05', 36, 'Recepción', 1)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'S1', '1999-02-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (9, 1, 1, 'E24', 'S9', '2001-06-30', 24, 'Almacén', 0)",
};

const QString cabecera =
    QStringLiteral("Codigo    Tipo    Marca    Modelo    Nº Serie    Fecha    Garantia    Descripcion    Renting");
const QString regla(92, u'-');

// The main window printing into memory.
ImpresoraMemoria* a_memoria(Principal& p) {
    auto impresora = std::make_unique<ImpresoraMemoria>();
    ImpresoraMemoria* vista = impresora.get();
    p.fijar_impresora_lineas(std::move(impresora));
    return vista;
}

// The printout read back with its blanks: the fixed-pitch font is 9 points, 5.4 points a character.
QString texto_pdf(const QString& pdf) {
    QProcess proceso;
    proceso.start(QStringLiteral("pdftotext"), {QStringLiteral("-fixed"), QStringLiteral("5.4"), pdf, "-"});
    proceso.waitForFinished(30000);
    return QString::fromUtf8(proceso.readAllStandardOutput());
}

} // namespace

class PruebaImpresion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void lista_vacia_tres_lineas() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        ImpresoraMemoria* impresora = a_memoria(*p);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonImprimir"));
        QCOMPARE(cabecera.size(), 92);
        QCOMPARE(impresora->documentos, QList<QStringList>({{cabecera, regla, ""}}));
        QCOMPARE(impresora->terminados, 1);
        QCOMPARE(avisos(), QStringList());
    }

    void una_linea_por_componente_en_orden() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        ImpresoraMemoria* impresora = a_memoria(*p);
        Soporte::buscar(*p, "Todos");
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        const QString seis = QStringLiteral("      ");
        QCOMPARE(impresora->documentos.size(), 1);
        QCOMPARE(impresora->documentos.first(),
                 QStringList({cabecera, regla, "",
                              "3" + seis + "Monitor" + seis + "Dell" + seis + "P2422H" + seis + "CN3" + seis +
                                  "05/03/2000" + seis + "36" + seis + "Recepción" + seis + "Si",
                              "7      Impresora      HP      LJ4      S1      01/02/1999      12            No",
                              "9      Monitor      HP      E24      S9      30/06/2001      24      Almacén      No"}));
        // The list filtered to one type, then one line deleted: the printout follows the list.
        Soporte::buscar(*p, "Monitor");
        Soporte::seleccionar(*p, 0);
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonBorrar"));
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonImprimir"));
        QCOMPARE(impresora->documentos.size(), 2); // each print is a document of its own
        QCOMPARE(impresora->documentos.last().mid(3), QStringList({impresora->documentos.first().at(5)}));
        avisos();
    }

    void impresion_real_en_un_pdf() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "i.db", inventario);
        QStringList muchas;
        for (int codigo = 100; codigo < 190; ++codigo)
            muchas << QStringLiteral("INSERT INTO Elemento VALUES (%1, 2, 1, 'LJ%1', 'S%1', '2010-01-01', 12, '%2', 0)")
                          .arg(codigo)
                          .arg(codigo == 150 ? QString(300, u'x') + "FIN" : QString());
        Soporte::ejecutar(base, muchas);
        auto p = Soporte::abrir_principal(dir, base);
        const QString pdf = dir.filePath("lista.pdf");
        DialogosSistema::proxima_impresora([&](QPrinter& impresora) {
            impresora.setOutputFormat(QPrinter::PdfFormat);
            impresora.setOutputFileName(pdf);
        });
        Soporte::accion(p.get(), "menuConfigPrint")->trigger();
        DialogosSistema::proxima_impresora(nullptr); // cancelled: the choice made before stays
        Soporte::accion(p.get(), "menuConfigPrint")->trigger();
        Soporte::buscar(*p, "Impresora");
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonImprimir"));
        QCOMPARE(avisos(), QStringList());
        const QString texto = texto_pdf(pdf);
        QVERIFY2(texto.contains(cabecera), qPrintable(texto.left(400)));
        QVERIFY(texto.contains(regla));
        QVERIFY(texto.contains("7      Impresora      HP      LJ4      S1      01/02/1999      12            No"));
        QVERIFY(texto.contains("189      Impresora      HP      LJ189")); // the last line, pages later
        QVERIFY(texto.count(u'\f') >= 2);                                 // more than one page
        QString sin_saltos = texto;
        sin_saltos.remove(QRegularExpression("\n *"));            // line breaks and the page margin that follows them
        QVERIFY(sin_saltos.contains(QString(300, u'x') + "FIN")); // a long line continues, it is not cut
    }

    void sin_impresora_elegida() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        DialogosSistema::proxima_impresora([](QPrinter& impresora) {
            impresora.setOutputFormat(QPrinter::NativeFormat);
            impresora.setPrinterName(QString());
        });
        Soporte::accion(p.get(), "menuConfigPrint")->trigger();
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        QCOMPARE(avisos(), QStringList({"ERROR: no hay ninguna impresora elegida. Elija una impresora o un archivo "
                                        "PDF en Archivo, Configurar impresion."}));
    }

    void archivo_pdf_que_no_se_puede_escribir() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        const QString imposible = dir.filePath("no/existe/lista.pdf");
        DialogosSistema::proxima_impresora([&](QPrinter& impresora) {
            impresora.setOutputFormat(QPrinter::PdfFormat);
            impresora.setOutputFileName(imposible);
        });
        Soporte::accion(p.get(), "menuConfigPrint")->trigger();
        Soporte::accion(p.get(), "menuImprimir")->trigger();
        QCOMPARE(avisos(), QStringList({"ERROR: no se puede imprimir en " + imposible + "."}));
    }
};

QTEST_MAIN(PruebaImpresion)
#include "test_impresion.moc"
