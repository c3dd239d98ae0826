// The import of an Access file with a failing disk: the new inventory is written through SQLite, and the import is
// run once per read, write, sync, truncation and lock it makes, with that call failing, once as a passing failure
// and once with the disk staying broken. Each time the import stops with the failure's reason, leaves nothing in
// the destination's folder, and then works once the disk does.
#include "data/error_datos.h"
#include "importar/importacion.h"
#include "jet/escritor_jet.h"
#include "soporte/vfs_fallos.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

namespace {

Jet::Tabla con(Jet::Tabla tabla, std::vector<Jet::Fila> filas) {
    tabla.filas = std::move(filas);
    return tabla;
}

// Enough components for the new file to span many pages, some with codes the import decides.
QByteArray access_de_prueba() {
    std::vector<Jet::Fila> elementos;
    for (qint64 i = 1; i <= 400; ++i)
        elementos.push_back({i % 50 == 0 ? Jet::Valor{} : Jet::Valor{i}, qint64(i % 3 + 1), qint64(1),
                             QStringLiteral("Modelo %1").arg(i), QStringLiteral("S%1").arg(i),
                             Jet::fecha_ole(QDate(2000, 1, 1).addDays(i)), 24.0,
                             QStringLiteral("Descripción larga del componente número %1, planta %2").arg(i).arg(i % 7),
                             i % 2 == 0});
    return Jet::escribir({con(Jet::tabla_elemento(), std::move(elementos)),
                          con(Jet::tabla_tipo_marca(QStringLiteral("Tipo")), {{qint64(1), QStringLiteral("Monitor")},
                                                                              {qint64(2), QStringLiteral("Teclado")},
                                                                              {qint64(3), QStringLiteral("Escáner")}}),
                          con(Jet::tabla_tipo_marca(QStringLiteral("Marca")), {{qint64(1), QStringLiteral("HP")}})});
}

// Every row of the new file, after checking that it is sound.
QString contenido(const QString& ruta) {
    try {
        SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READONLY);
        QStringList partes = {QString::fromStdString(db.execAndGet("PRAGMA integrity_check").getString())};
        for (const char* tabla : {"Tipo", "Marca", "Elemento"}) {
            SQLite::Statement st(db, std::string("SELECT * FROM ") + tabla + " ORDER BY rowid");
            while (st.executeStep())
                for (int i = 0; i < st.getColumnCount(); ++i)
                    partes << QString::fromUtf8(st.getColumn(i).getText());
        }
        return partes.join(u'|');
    } catch (const std::exception& e) {
        return QStringLiteral("ilegible: ") + QString::fromUtf8(e.what());
    }
}

// The reason the user must read for the failure that was made.
QString motivo_esperado() {
    if (VfsFallos::codigo_fallado() == SQLITE_FULL)
        return QStringLiteral("el disco está lleno.");
    if (VfsFallos::clase_fallada() == VfsFallos::Clase::bloqueo)
        return QStringLiteral("no se puede bloquear el archivo; puede estar en una carpeta de red que no lo permite.");
    return QStringLiteral("ha fallado la lectura o la escritura del disco.");
}

} // namespace

class PruebaFallosHerramientas : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString origen_;
    QString destino_;

    // One import with the failure at call n (none for 0): the error it gave, empty when it worked.
    QString importar(int n) {
        n == 0 ? VfsFallos::contar() : VfsFallos::fallar_en(n);
        QString error;
        try {
            Importacion::importar(origen_, destino_);
        } catch (const ErrorDatos& e) {
            error = e.texto();
        }
        VfsFallos::parar();
        return error;
    }

    QStringList archivos() const {
        return QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private Q_SLOTS:
    void initTestCase() {
        // Hundreds of imports: in memory when the system offers a folder there.
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            qputenv("TMPDIR", "/dev/shm");
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        origen_ = dir_->filePath(QStringLiteral("inventario.mdb"));
        destino_ = dir_->filePath(QStringLiteral("nuevo.db"));
        QFile archivo(origen_);
        QVERIFY(archivo.open(QIODevice::WriteOnly) && archivo.write(access_de_prueba()) > 0);
        archivo.close();
        VfsFallos::instalar();
    }
    void cleanup() { VfsFallos::parar(); }

    void importacion_data() {
        QTest::addColumn<bool>("siempre");
        QTest::newRow("pasajero") << false;
        QTest::newRow("persistente") << true;
    }
    void importacion() {
        QFETCH(bool, siempre);
        QCOMPARE(importar(0), QString());
        const int total = VfsFallos::llamadas();
        const QString esperado = contenido(destino_);
        QVERIFY(QFile::remove(destino_));
        QVERIFY(esperado.startsWith(QLatin1String("ok|1|Monitor|")));
        QVERIFY(esperado.contains(QStringLiteral("|Descripción larga del componente número 400, planta 1|")));
        QVERIFY(total > 0);

        const QStringList solo_origen = {QStringLiteral("inventario.mdb")};
        int resistieron = 0;
        int absorbidos = 0; // the failure did not stop the import, and the file it wrote is whole
        QStringList problemas;
        VfsFallos::fallar_siempre(siempre);
        for (int n = 1; n <= total; ++n) {
            const QString error = importar(n);
            QString problema;
            if (!VfsFallos::fallo_hecho()) {
                problema = QStringLiteral("el fallo no llegó a hacerse");
            } else if (error.isEmpty()) {
                if (contenido(destino_) != esperado)
                    problema = QStringLiteral("importado sin aviso, con otro contenido");
                else
                    ++absorbidos;
                QFile::remove(destino_);
            } else {
                const QString visto =
                    QStringLiteral("no se puede crear la base de datos %1: %2").arg(destino_, motivo_esperado());
                if (error != visto)
                    problema = QStringLiteral("error «%1»").arg(error);
                else if (archivos() != solo_origen)
                    problema = QStringLiteral("quedan %1").arg(archivos().join(u','));
            }
            if (problema.isEmpty()) {
                if (const QString otra = importar(0); !otra.isEmpty())
                    problema = QStringLiteral("al repetir: ") + otra;
                else if (contenido(destino_) != esperado)
                    problema = QStringLiteral("al repetir, otro contenido");
                QFile::remove(destino_);
            }
            if (problema.isEmpty())
                ++resistieron;
            else
                problemas << QStringLiteral("llamada %1 de %2 (%3): %4")
                                 .arg(n)
                                 .arg(total)
                                 .arg(VfsFallos::nombre_clase(VfsFallos::clase_fallada()), problema);
        }
        VfsFallos::fallar_siempre(false);
        qInfo().noquote() << QStringLiteral("importación, fallo %1: %2 de %3; %4 sin efecto en la importación")
                                 .arg(QLatin1String(QTest::currentDataTag()))
                                 .arg(resistieron)
                                 .arg(total)
                                 .arg(absorbidos);
        QCOMPARE(problemas, QStringList());
    }
};

QTEST_GUILESS_MAIN(PruebaFallosHerramientas)
#include "test_fallos_herramientas.moc"
