// The backup of "&Herramientas": the copy made while another program writes, the copy as an inventory, and every
// refusal or failure, after which no file is left behind.
#include "modulo/module1.h"
#include "plataforma/reloj.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QDir>
#include <QDirIterator>
#include <QProgressDialog>
#include <QTimer>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <csignal>
#include <sys/resource.h>

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP'), (5, 'Dell')",
    "INSERT INTO Elemento VALUES (3, 1, 5, 'P2422H', 'S3', '2000-03-05', 24, 'Contabilidad', 1)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'CN12', '1999-02-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (10, 2, 1, 'LJ5', 'S10', '1999-11-12', 36, 'Recepción', 0)",
};

QString terminada(const QString& ruta, int componentes) {
    return QStringLiteral("Copia de seguridad guardada en %1 con %2 componentes.").arg(ruta).arg(componentes);
}

QStringList todo(const QString& ruta) {
    QStringList filas;
    for (const char* tabla : {"Tipo", "Marca", "Elemento"})
        filas << Soporte::filas(ruta, QLatin1String(tabla));
    return filas;
}

// Every file in the folder and below it, with its size.
QStringList archivos(const QString& carpeta) {
    QStringList lista;
    QDirIterator it(carpeta, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        lista << QDir(carpeta).relativeFilePath(it.filePath());
    }
    lista.sort();
    return lista;
}

void copiar(Principal& p) {
    Soporte::accion(&p, QStringLiteral("menuCopiaSeguridad"))->trigger();
}

} // namespace

class PruebaCopia : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        Soporte::preparar_aplicacion();
        Reloj::fijar_hoy(QDate(2026, 12, 7));
    }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void copia_lo_confirmado_mientras_otro_escribe() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        const QStringList confirmado = todo(ruta);
        auto p = Soporte::abrir_principal(dir, ruta);

        // Another program is in the middle of a change it has not committed.
        SQLite::Database otro(ruta.toStdString(), SQLite::OPEN_READWRITE);
        otro.exec("BEGIN IMMEDIATE");
        otro.exec("INSERT INTO Elemento VALUES (11, 1, 1, 'E24', 'S11', '2001-01-01', 6, '', 0)");
        otro.exec("UPDATE Marca SET Nombre = 'Hewlett' WHERE Codigo = 1");

        const QString propuesta = dir.filePath("inventario-2026-12-07.db");
        DialogosSistema::proximo_guardado(propuesta);
        copiar(*p);
        QCOMPARE(DialogosSistema::ultima_propuesta(), propuesta);
        QCOMPARE(Soporte::avisos(), QStringList{terminada(propuesta, 3)});
        otro.exec("COMMIT");
        QCOMPARE(todo(propuesta), confirmado);
        QVERIFY(todo(ruta) != confirmado);
        QCOMPARE(archivos(dir.path()), QStringList({"inventario-2026-12-07.db", "inventario.db", "talvirenca.cfg"}));

        // The copy opens as an inventory, and the main window lists the same components from it.
        QTemporaryDir otra_carpeta;
        auto de_la_copia = Soporte::abrir_principal(otra_carpeta, propuesta);
        Soporte::buscar(*de_la_copia, "Todos");
        QCOMPARE(Soporte::lineas(*de_la_copia), QStringList({"3|Monitor|Dell|P2422H|S3|05/03/2000|24|Contabilidad|Si",
                                                             "7|Impresora|HP|LJ4|CN12|01/02/1999|12||No",
                                                             "10|Impresora|HP|LJ5|S10|12/11/1999|36|Recepción|No"}));
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void rechazos_y_fallos_data() {
        QTest::addColumn<QString>("destino"); // relative to the test's folder
        QTest::addColumn<bool>("confirmado"); // the user agreed in the dialog to replace an existing file
        QTest::addColumn<QString>("aviso");   // %1 is the destination's full path, %2 the inventory's
        QTest::newRow("el propio inventario")
            << "inventario.db" << true << "ERROR: la copia no puede guardarse sobre el propio inventario %2.";
        QTest::newRow("el propio inventario por otro camino")
            << "sub/../inventario.db" << true << "ERROR: la copia no puede guardarse sobre el propio inventario %2.";
        QTest::newRow("un archivo que existe, sin confirmar")
            << "existente.db" << false << "ERROR: el archivo %1 ya existe.";
        QTest::newRow("una carpeta que no existe")
            << "no_existe/copia.db" << true << "ERROR: no se puede hacer la copia en %1: la carpeta no existe.";
        QTest::newRow("un archivo donde debía haber una carpeta")
            << "existente.db/copia.db" << true << "ERROR: no se puede hacer la copia en %1: la carpeta no existe.";
        QTest::newRow("una carpeta como destino")
            << "sub" << true << "ERROR: no se puede hacer la copia en %1: ese nombre es de una carpeta.";
    }
    void rechazos_y_fallos() {
        QFETCH(QString, destino);
        QFETCH(bool, confirmado);
        QFETCH(QString, aviso);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        QDir(dir.path()).mkdir("sub");
        QFile existente(dir.filePath("existente.db"));
        QVERIFY(existente.open(QIODevice::WriteOnly));
        existente.write("no es una copia");
        existente.close();
        auto p = Soporte::abrir_principal(dir, ruta);
        const QStringList antes = archivos(dir.path());
        const QByteArray inventario_antes = Soporte::contenido(ruta);

        const QString completo = QDir::cleanPath(dir.filePath(destino));
        DialogosSistema::proximo_guardado(dir.filePath(destino), confirmado);
        copiar(*p);
        QCOMPARE(Soporte::avisos(), QStringList{QString(aviso).replace("%1", completo).replace("%2", ruta)});
        QCOMPARE(archivos(dir.path()), antes);
        QCOMPARE(Soporte::contenido(ruta), inventario_antes);
        QCOMPARE(Soporte::contenido(dir.filePath("existente.db")), QByteArray("no es una copia"));
    }

    void reemplaza_lo_confirmado() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        const QString destino = dir.filePath("existente.db");
        Soporte::ejecutar(Soporte::crear_base(dir, "existente.db"), {"INSERT INTO Tipo VALUES (9, 'Viejo')"});
        auto p = Soporte::abrir_principal(dir, ruta);
        DialogosSistema::proximo_guardado(destino, true);
        copiar(*p);
        QCOMPARE(Soporte::avisos(), QStringList{terminada(destino, 3)});
        QCOMPARE(todo(destino), todo(ruta));
        QCOMPARE(archivos(dir.path()), QStringList({"existente.db", "inventario.db", "talvirenca.cfg"}));
    }

    void cancelar_el_dialogo_no_hace_nada() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        auto p = Soporte::abrir_principal(dir, ruta);
        const QStringList antes = archivos(dir.path());
        DialogosSistema::proximo_guardado(std::nullopt);
        copiar(*p);
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(archivos(dir.path()), antes);
    }

    void cancelar_durante_la_copia() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        auto p = Soporte::abrir_principal(dir, ruta);
        const QStringList antes = archivos(dir.path());
        DialogosSistema::proximo_guardado(dir.filePath("copia.db"));
        // The user presses "Cancelar" in the progress dialog as soon as the copy lets events through.
        bool cancelada = false;
        QTimer::singleShot(0, p.get(), [&] {
            if (auto* progreso = p->findChild<QProgressDialog*>(QStringLiteral("ProgresoCopia"))) {
                progreso->cancel();
                cancelada = true;
            }
        });
        copiar(*p);
        QVERIFY(cancelada);
        QCOMPARE(Soporte::avisos(), QStringList{"Copia de seguridad cancelada; no se ha guardado nada."});
        QCOMPARE(archivos(dir.path()), antes);
    }

    void sin_base_de_datos() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        auto p = Soporte::abrir_principal(dir, ruta);
        QFile::remove(ruta);
        DialogosSistema::proximo_guardado(dir.filePath("copia.db"));
        copiar(*p);
        const QStringList vistos = Soporte::avisos();
        QCOMPARE(vistos.size(), 1);
        QVERIFY2(vistos[0].startsWith("ERROR: no se puede abrir la base de datos " + ruta), qPrintable(vistos[0]));
        QCOMPARE(archivos(dir.path()), QStringList{"talvirenca.cfg"});

        // With no database named at all, the save dialog is not even offered.
        Module1::base_datos.clear();
        copiar(*p);
        QCOMPARE(Soporte::avisos(), QStringList{"ERROR: no hay ninguna base de datos seleccionada."});
    }

    void disco_lleno_a_mitad_de_copia() {
        // A limit on the size of the files this process writes fails the copy part way, as a full disk does.
        QTemporaryDir dir;
        QStringList filas = QStringList{"BEGIN"} + inventario;
        for (int i = 100; i < 3000; ++i)
            filas << QStringLiteral("INSERT INTO Elemento VALUES (%1, 1, 1, 'Modelo largo %1', 'SN%1', "
                                    "'2001-01-01', 12, '%2', 0)")
                         .arg(i)
                         .arg(QString(200, u'x'));
        filas << "COMMIT";
        const QString ruta = Soporte::crear_base(dir, "inventario.db", filas);
        QVERIFY(QFileInfo(ruta).size() > 256 * 1024);
        auto p = Soporte::abrir_principal(dir, ruta);
        const QStringList antes = archivos(dir.path());
        const QString destino = dir.filePath("copia.db");
        DialogosSistema::proximo_guardado(destino);

        rlimit limite{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limite), 0);
        const rlimit original = limite;
        limite.rlim_cur = 128 * 1024;
        const auto senal = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limite), 0);
        copiar(*p);
        setrlimit(RLIMIT_FSIZE, &original);
        std::signal(SIGXFSZ, senal);

        const QStringList vistos = Soporte::avisos();
        QCOMPARE(vistos.size(), 1);
        QVERIFY2(vistos[0].startsWith("ERROR: no se puede hacer la copia en " + destino + ": "), qPrintable(vistos[0]));
        QCOMPARE(archivos(dir.path()), antes);
    }
};

QTEST_MAIN(PruebaCopia)
#include "test_copia.moc"
