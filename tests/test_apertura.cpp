// Creating and opening inventory files when the disk or another program does not play along: a name taken
// meanwhile, a folder whose change is not kept, a damaged or disguised file, a file replaced while it is read, and
// a location file that names something it should not.
#include "data/archivo_nuevo.h"
#include "data/conexion.h"
#include "data/esquema.h"
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
};

QTEST_MAIN(PruebaApertura)
#include "test_apertura.moc"
