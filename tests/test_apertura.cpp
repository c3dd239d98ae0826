// Creating and opening inventory files when the disk or another program does not play along: a name taken
// meanwhile, a folder whose change is not kept, a damaged or disguised file, a file replaced while it is read, and
// a location file that names something it should not.
#include "data/archivo_nuevo.h"
#include "data/conexion.h"
#include "data/esquema.h"
#include "data/inventario_nuevo.h"
#include "modulo/module1.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QDir>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

namespace {

// The files of a folder, hidden ones too.
QStringList archivos(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class PruebaApertura : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() {
        ArchivoNuevo::al_dar_nombre({});
        ArchivoNuevo::al_sincronizar({});
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // Another program makes a file of the new inventory's name after the program looked: its file stays as it
    // made it, and the new inventory is refused.
    void crear_no_toca_el_archivo_de_otro_data() {
        QTest::addColumn<QStringList>("sentencias");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("inventario de otro")
            << QStringList{"CREATE TABLE Tipo (Codigo, Nombre)", "INSERT INTO Tipo VALUES (1, 'Suyo')"} << QByteArray();
        QTest::newRow("archivo vacío") << QStringList() << QByteArray("");
        QTest::newRow("otro archivo") << QStringList() << QByteArray("notas de otro programa\n");
    }
    void crear_no_toca_el_archivo_de_otro() {
        QFETCH(QStringList, sentencias);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("nuevo.db"));
        QByteArray suyo;
        ArchivoNuevo::al_dar_nombre([&](const QString& destino) {
            if (!sentencias.isEmpty()) {
                SQLite::Database otro(destino.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
                for (const QString& s : sentencias)
                    otro.exec(s.toStdString());
            } else {
                QFile f(destino);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(bytes);
            }
            suyo = Soporte::contenido(destino);
        });
        QCOMPARE(Soporte::mensaje_de([&] { Esquema::crear_inventario(ruta); }),
                 QStringLiteral("no se puede crear la base de datos %1: el archivo ya existe.").arg(ruta));
        QVERIFY(QFileInfo::exists(ruta));
        QCOMPARE(Soporte::contenido(ruta), suyo);
        QCOMPARE(archivos(dir.path()), QStringList{QStringLiteral("nuevo.db")});
    }

    // The disk does not confirm the new file or its name in the folder (a failing disk, a network folder that
    // loses writes): the user is told, and no file is left that a power cut could take away or leave half-made.
    void disco_que_no_confirma_data() {
        QTest::addColumn<QString>("operacion");
        QTest::addColumn<bool>("carpeta");
        QTest::newRow("inventario nuevo, su nombre") << "crear" << true;
        QTest::newRow("inventario nuevo, su contenido") << "crear" << false;
        QTest::newRow("importación, su nombre") << "importar" << true;
        QTest::newRow("importación, su contenido") << "importar" << false;
    }
    void disco_que_no_confirma() {
        QFETCH(QString, operacion);
        QFETCH(bool, carpeta);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("nuevo.db"));
        QStringList pedidas;
        ArchivoNuevo::al_sincronizar([&](const QString& r) {
            pedidas << r;
            return (r == dir.path()) != carpeta;
        });
        const QString mensaje = Soporte::mensaje_de([&] {
            if (operacion == QLatin1String("crear")) {
                Esquema::crear_inventario(ruta);
                return;
            }
            InventarioNuevo nuevo(ruta);
            nuevo.anadir_tipo(1, QStringLiteral("Monitor"));
            nuevo.terminar();
        });
        QCOMPARE(mensaje, QStringLiteral("no se puede crear la base de datos %1: el disco no ha confirmado que el "
                                         "archivo quede guardado.")
                              .arg(ruta));
        QCOMPARE(archivos(dir.path()), QStringList());
        QVERIFY(pedidas.contains(dir.path()) || !carpeta);
    }

    // The backup whose name the disk does not confirm says so, and never that it is done.
    void copia_que_el_disco_no_confirma() {
        QTemporaryDir dir;
        const QString ruta =
            Soporte::crear_base(dir, QStringLiteral("inventario.db"), {"INSERT INTO Tipo VALUES (1, 'Monitor')"});
        const QByteArray antes = Soporte::contenido(ruta);
        auto p = Soporte::abrir_principal(dir, ruta);
        const QString destino = dir.filePath(QStringLiteral("copia.db"));
        ArchivoNuevo::al_sincronizar([&](const QString& r) { return r != dir.path(); });
        DialogosSistema::proximo_guardado(destino);
        Soporte::accion(p.get(), QStringLiteral("menuCopiaSeguridad"))->trigger();
        QCOMPARE(Soporte::avisos(),
                 QStringList{QStringLiteral("ERROR: no se puede hacer la copia en %1: el disco no ha confirmado que "
                                            "el archivo quede guardado.")
                                 .arg(destino)});
        QVERIFY(!QFileInfo::exists(destino));
        QCOMPARE(Soporte::contenido(ruta), antes);
    }
};

QTEST_MAIN(PruebaApertura)
#include "test_apertura.moc"
