// The opening check on a connection opened elsewhere: the bytes of a file read into memory are accepted or refused
// exactly as the same file on disk would be.
#include "data/conexion.h"
#include "data/error_datos.h"
#include "soporte/soporte.h"

#include <QtTest>
#include <cstring>
#include <sqlite3.h>

namespace {

// The connection the fuzz target makes: the bytes, read only, in a database that lives in memory.
QString comprobar(const QByteArray& bytes) {
    auto db = std::make_unique<SQLite::Database>(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    auto* copia = static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(bytes.size()) + 1));
    if (!bytes.isEmpty())
        std::memcpy(copia, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (sqlite3_deserialize(db->getHandle(), "main", copia, bytes.size(), bytes.size() + 1,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) != SQLITE_OK)
        return QStringLiteral("no se puede leer");
    try {
        Conexion conexion = Conexion::comprobar_abierta(QStringLiteral("memoria"), std::move(db));
        return QStringLiteral("aceptado");
    } catch (const ErrorDatos& e) {
        return e.texto();
    }
}

} // namespace

class PruebaComprobacion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void en_memoria_como_en_disco_data() {
        QTest::addColumn<QStringList>("sentencias");
        QTest::addColumn<QString>("resultado");
        const QString no = QStringLiteral("no se puede abrir la base de datos memoria: ");
        QTest::newRow("inventario") << QStringList({"INSERT INTO Tipo VALUES (1, 'Monitor')"}) << "aceptado";
        QTest::newRow("disparador") << QStringList(
                                           {"CREATE TRIGGER t AFTER INSERT ON Tipo BEGIN DELETE FROM Marca; END"})
                                    << no + "contiene disparadores o vistas, que el programa no admite.";
        QTest::newRow("vista") << QStringList({"CREATE VIEW v AS SELECT * FROM Tipo"})
                               << no + "contiene disparadores o vistas, que el programa no admite.";
        QTest::newRow("otro programa") << QStringList({"PRAGMA application_id = 7"})
                                       << no + "pertenece a otro programa.";
        QTest::newRow("versión nueva") << QStringList({"PRAGMA user_version = 2"})
                                       << no + "la ha creado una versión más reciente del programa.";
        const QString virtual_elemento = no + "la tabla Elemento es una tabla virtual, que el programa no admite.";
        QTest::newRow("Elemento de búsqueda de texto")
            << QStringList({"DROP TABLE Elemento", "CREATE VIRTUAL TABLE Elemento USING fts5(Codigo, Tipo, Marca, "
                                                   "Modelo, NumSerie, Fecha, Garantia, Descripcion, Renting)"})
            << virtual_elemento;
        QTest::newRow("elemento de búsqueda de texto, en minúsculas")
            << QStringList({"DROP TABLE Elemento", "CREATE VIRTUAL TABLE elemento USING fts5(Codigo, Tipo, Marca, "
                                                   "Modelo, NumSerie, Fecha, Garantia, Descripcion, Renting)"})
            << virtual_elemento;
        QTest::newRow("Tipo de otro módulo")
            << QStringList({"DROP TABLE Tipo", "CREATE VIRTUAL TABLE Tipo USING fts5(Codigo, Nombre)"})
            << no + "la tabla Tipo es una tabla virtual, que el programa no admite.";
        QTest::newRow("sin Marca") << QStringList({"DROP TABLE Marca"})
                                   << no + "le falta la tabla Marca; no es un inventario de Talvirenca.";
    }
    void en_memoria_como_en_disco() {
        QFETCH(QStringList, sentencias);
        QFETCH(QString, resultado);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("i.db"), sentencias);
        QCOMPARE(comprobar(Soporte::contenido(ruta)), resultado);
        // The same file opened by the program gives the same answer.
        QString en_disco = QStringLiteral("aceptado");
        try {
            Conexion::abrir(ruta, Conexion::Modo::lectura);
        } catch (const ErrorDatos& e) {
            en_disco = e.texto();
        }
        QCOMPARE(en_disco.replace(ruta, QStringLiteral("memoria")), resultado);
    }

    // A file that passed the check once is checked again when another program changes it, or puts another file in
    // its place, before the program opens it again.
    void cambiado_despues_de_abrirlo_data() { en_memoria_como_en_disco_data(); }
    void cambiado_despues_de_abrirlo() {
        QFETCH(QStringList, sentencias);
        QFETCH(QString, resultado);
        QTemporaryDir dir;
        const auto abrir = [](const QString& ruta) {
            QString texto = QStringLiteral("aceptado");
            try {
                Conexion::abrir(ruta, Conexion::Modo::lectura);
            } catch (const ErrorDatos& e) {
                texto = QString(e.texto()).replace(ruta, QStringLiteral("memoria"));
            }
            return texto;
        };
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("i.db"));
        QCOMPARE(abrir(ruta), QStringLiteral("aceptado"));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(ruta.toUtf8().constData(), &db), SQLITE_OK);
        for (const QString& sentencia : sentencias)
            QCOMPARE(sqlite3_exec(db, sentencia.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        QCOMPARE(abrir(ruta), resultado);

        const QString otra = Soporte::crear_base(dir, QStringLiteral("otra.db"));
        QCOMPARE(abrir(otra), QStringLiteral("aceptado"));
        QVERIFY(QFile::remove(otra));
        QVERIFY(QFile::rename(Soporte::crear_base(dir, QStringLiteral("nueva.db"), sentencias), otra));
        QCOMPARE(abrir(otra), resultado);
    }

    void bytes_que_no_son_inventario() {
        QCOMPARE(comprobar("esto no es una base de datos, aunque sea bastante largo para parecerlo a primera vista "
                           "y ocupe más de cien bytes, que es lo que SQLite lee de su cabecera"),
                 "no se puede abrir la base de datos memoria: el archivo no es una base de datos.");
        QCOMPARE(comprobar({}),
                 "no se puede abrir la base de datos memoria: le falta la tabla Elemento; no es un inventario de "
                 "Talvirenca.");
    }
};

QTEST_MAIN(PruebaComprobacion)
#include "test_comprobacion.moc"
