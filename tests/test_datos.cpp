// The data source, its walks and the value forms, against real inventory files.
#include "data/conexion.h"
#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/origen_datos.h"
#include "data/recorridos.h"
#include "data/valores.h"
#include "soporte/soporte.h"

#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

namespace {

const QStringList tres_elementos = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP'), (2, 'Dell')",
    "INSERT INTO Elemento VALUES (12, 2, 1, 'LJ4', 'S12', '1999-02-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (3, 1, 2, 'P2422H', 'S3', '2000-03-05', 24, 'Contabilidad', 1)",
    "INSERT INTO Elemento VALUES (7, 1, 1, 'E24', 'S7', '1999-11-12', 36, 'Recepción', 0)",
};

OrigenDatos* origen(const QString& ruta, const QString& tabla, QObject* padre) {
    auto* o = new OrigenDatos(padre);
    o->enlazar_base_datos(ruta);
    o->enlazar_tabla(tabla);
    return o;
}


} // namespace

class PruebaDatos : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void cleanup() { Conexion::forzar_solo_lectura(false); }

    void movimientos_en_orden_de_tabla() {
        const QString ruta = Soporte::crear_base(dir, "mov.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        QVERIFY(!d->al_final());
        QCOMPARE(d->leer(0).toLongLong(), 3); // ascending code, not insertion order
        d->mover_siguiente();
        QCOMPARE(d->leer(0).toLongLong(), 7);
        d->mover_ultimo();
        QCOMPARE(d->leer(0).toLongLong(), 12);
        d->mover_anterior();
        QCOMPARE(d->leer(0).toLongLong(), 7);
        d->mover_siguiente();
        d->mover_siguiente();
        QVERIFY(d->al_final());
        QVERIFY(Soporte::mensaje_de([&] { d->leer(0); }).contains("no hay ningún registro actual"));
        d->mover_primero();
        QCOMPARE(d->leer(0).toLongLong(), 3);

        QStringList codigos;
        Recorridos::completo(*d, [&] { codigos << d->leer_texto(0); });
        QCOMPARE(codigos, QStringList({"3", "7", "12"}));
    }

    void valores_leidos_en_su_forma() {
        const QString ruta = Soporte::crear_base(dir, "formas.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        QCOMPARE(d->leer(0).typeId(), QMetaType::LongLong);
        QCOMPARE(d->leer(5).toDate(), QDate(2000, 3, 5));
        QCOMPARE(d->leer_texto(5), "05/03/2000");
        QCOMPARE(d->leer(6).toDouble(), 24.0);
        QCOMPARE(d->leer_texto(6), "24");
        QCOMPARE(d->leer_texto(7), "Contabilidad");
        QCOMPARE(d->leer(8), QVariant(true));
        QCOMPARE(Valores::si_no(d->leer(8)), "Si");
        d->mover_siguiente();
        QCOMPARE(Valores::si_no(d->leer(8)), "No");
        QCOMPARE(d->leer_texto(5), "12/11/1999");
        QCOMPARE(d->leer_texto(7), "Recepción");
    }

    void tabla_vacia_al_final_de_inmediato() {
        const QString ruta = Soporte::crear_base(dir, "vacia.db");
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        QVERIFY(d->al_final());
        int leidas = 0;
        Recorridos::completo(*d, [&] { ++leidas; });
        QCOMPARE(leidas, 0);
        QCOMPARE(Recorridos::codigo_mayor(*d), 0);
    }

    void escritura_vista_por_otro_origen_solo_tras_refrescar() {
        const QString ruta = Soporte::crear_base(dir, "dos.db", tres_elementos);
        OrigenDatos* uno = origen(ruta, "Tipo", this);
        OrigenDatos* otro = origen(ruta, "Tipo", this);
        uno->refrescar();
        otro->refrescar();
        Recorridos::anadir(*uno, {3, QStringLiteral("Ratón")});
        QCOMPARE(uno->numero_filas(), 3); // its own write shows at once
        QCOMPARE(otro->numero_filas(), 2);
        QCOMPARE(Recorridos::codigo_de_nombre(*otro, "Ratón"), 0);
        otro->refrescar();
        QCOMPARE(Recorridos::codigo_de_nombre(*otro, "Ratón"), 3);
        QCOMPARE(Soporte::filas(ruta, "Tipo").last(), "3|Ratón");
    }

    void refrescar_ve_cada_cambio_del_archivo() {
        // Changes that keep the file's size, made right after a refresh, are still seen by the next one.
        const QString ruta = Soporte::crear_base(dir, "cambios.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Tipo", this);
        for (int vuelta = 0; vuelta < 20; ++vuelta) {
            d->refrescar();
            const QString nombre = QStringLiteral("Nombre%1").arg(vuelta % 10);
            QVERIFY(d->leer_texto(1) != nombre);
            Soporte::ejecutar(ruta, {QStringLiteral("UPDATE Tipo SET Nombre = '%1' WHERE Codigo = 1").arg(nombre)});
            d->refrescar();
            QCOMPARE(d->leer_texto(1), nombre);
        }
        // A file put in its place is read again even when it looks the same from outside.
        const QString otra = Soporte::crear_base(dir, "otra.db", {"INSERT INTO Tipo VALUES (1, 'Otro9')"});
        QVERIFY(QFile::remove(ruta));
        QVERIFY(QFile::copy(otra, ruta));
        d->refrescar();
        QCOMPARE(d->leer_texto(1), "Otro9");
        QCOMPARE(d->numero_filas(), 1);
    }

    void enlazar_otra_tabla() {
        const QString ruta = Soporte::crear_base(dir, "tablas.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Tipo", this);
        d->refrescar();
        d->enlazar_tabla("Marca");
        QCOMPARE(d->leer_texto(1), "Monitor"); // binding alone reads nothing
        d->refrescar();
        QCOMPARE(d->leer_texto(1), "HP");
        Recorridos::anadir(*d, {3, QStringLiteral("Lenovo")});
        QCOMPARE(Soporte::filas(ruta, "Marca").last(), "3|Lenovo");
        QCOMPARE(Soporte::filas(ruta, "Tipo").size(), 2);
        d->enlazar_tabla("Tabla");
        QCOMPARE(Soporte::mensaje_de([&] { d->refrescar(); }), "la tabla «Tabla» no existe en el inventario.");
    }

    void abierto_al_usarse() {
        const QString ruta = Soporte::crear_base(dir, "diferido.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->abrir_al_usarse();
        QVERIFY(!d->abierto());
        d->mover_primero();
        QCOMPARE(d->leer_texto(0), "3");
        OrigenDatos* falta = origen(dir.filePath("falta.db"), "Elemento", this);
        falta->abrir_al_usarse();
        QVERIFY(Soporte::mensaje_de([&] { falta->mover_primero(); }).endsWith("el archivo no existe."));
    }

    void fila_nueva_con_ceros() {
        const QString ruta = Soporte::crear_base(dir, "nueva.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        d->anadir_nuevo();
        QCOMPARE(d->leer_texto(1), "0");
        QCOMPARE(d->leer_texto(2), "0");
        QCOMPARE(d->leer_texto(6), "0");
        QCOMPARE(d->leer_texto(3), "");
        d->escribir(0, QStringLiteral("20"));
        d->escribir(1, QStringLiteral("1"));
        d->escribir(2, QStringLiteral("2"));
        d->escribir(3, QStringLiteral("M"));
        d->escribir(4, QStringLiteral("N"));
        d->escribir(5, QStringLiteral("06/12/2026"));
        d->escribir(6, 18.0);
        d->escribir(7, QStringLiteral(""));
        d->escribir(8, 1);
        d->actualizar();
        QCOMPARE(Soporte::filas(ruta, "Elemento").last(), "20|1|2|M|N|2026-12-06|18.0||1");
        d->cancelar(); // nothing pending: harmless
        QCOMPARE(Soporte::filas(ruta, "Elemento").size(), 4);
    }

    void editar_cambia_la_misma_fila() {
        const QString ruta = Soporte::crear_base(dir, "editar.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        d->mover_siguiente(); // 7
        d->editar();
        d->escribir(0, QStringLiteral("70"));
        d->escribir(3, QStringLiteral("E27"));
        QCOMPARE(d->leer_texto(3), "E27");
        d->actualizar();
        QCOMPARE(d->leer_texto(0), "70");
        QCOMPARE(Soporte::filas(ruta, "Elemento"),
                 QStringList({"3|1|2|P2422H|S3|2000-03-05|24.0|Contabilidad|1", "12|2|1|LJ4|S12|1999-02-01|12.0||0",
                              "70|1|1|E27|S7|1999-11-12|36.0|Recepción|0"}));
    }

    void borrar_y_pasar_a_la_siguiente() {
        const QString ruta = Soporte::crear_base(dir, "borrar.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        d->mover_siguiente(); // 7
        d->borrar();
        d->mover_siguiente();
        QCOMPARE(d->leer_texto(0), "12");
        d->borrar(); // the last row
        d->mover_siguiente();
        QVERIFY(d->al_final());
        QCOMPARE(Soporte::filas(ruta, "Elemento").size(), 1);
    }

    void codigo_grande_exacto() {
        const QString ruta = Soporte::crear_base(dir, "grande.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        d->editar();
        d->escribir(0, QStringLiteral("16777217"));
        d->actualizar();
        OrigenDatos* otro = origen(ruta, "Elemento", this);
        otro->refrescar();
        QCOMPARE(Recorridos::codigo_mayor(*otro), 16777217);
        otro->mover_ultimo();
        QCOMPARE(otro->leer_texto(0), "16777217");
    }

    void recorridos_de_busqueda() {
        const QString ruta = Soporte::crear_base_sin_claves(dir, "a_mano.db");
        Soporte::ejecutar(ruta, {"INSERT INTO Tipo VALUES (3, 'Monitor'), (5, 'Teclado'), (7, 'Monitor')",
                                 "INSERT INTO Marca VALUES (4, 'Primera'), (4, 'Segunda'), (9, 'Otra')"});
        OrigenDatos* tipos = origen(ruta, "Tipo", this);
        OrigenDatos* marcas = origen(ruta, "Marca", this);
        tipos->refrescar();
        marcas->refrescar();
        QCOMPARE(Recorridos::codigo_de_nombre(*tipos, "Monitor"), 7); // the last equal row wins
        QCOMPARE(Recorridos::codigo_de_nombre(*tipos, "monitor"), 0);
        QCOMPARE(Recorridos::codigo_de_nombre(*tipos, "Ratón"), 0);
        QCOMPARE(Recorridos::nombre_de_codigo(*marcas, 4).value(), "Primera"); // the first equal row
        QCOMPARE(marcas->leer_texto(1), "Primera");                            // and the source stands on it
        QVERIFY(!Recorridos::nombre_de_codigo(*marcas, 8).has_value());
        QVERIFY(marcas->al_final());
        QCOMPARE(Recorridos::codigo_mayor(*tipos), 7);
    }

    void codigo_mayor_por_valor() {
        const QString ruta =
            Soporte::crear_base(dir, "mayor.db", {"INSERT INTO Tipo VALUES (3, 'a'), (10, 'b'), (7, 'c')"});
        OrigenDatos* d = origen(ruta, "Tipo", this);
        d->refrescar();
        QCOMPARE(Recorridos::codigo_mayor(*d), 10);
        const QString negativos =
            Soporte::crear_base(dir, "negativos.db", {"INSERT INTO Tipo VALUES (-4, 'a'), (0, 'b')"});
        d->enlazar_base_datos(negativos);
        QCOMPARE(Recorridos::codigo_mayor(*d), 10); // binding alone reads nothing
        d->refrescar();
        QCOMPARE(Recorridos::codigo_mayor(*d), 0);
    }

    void escrituras_que_la_columna_no_admite() {
        const QString ruta = Soporte::crear_base(dir, "admite.db", tres_elementos);
        const QByteArray antes = Soporte::contenido(ruta);
        OrigenDatos* d = origen(ruta, "Elemento", this);
        d->refrescar();
        d->editar();
        QCOMPARE(Soporte::mensaje_de([&] { d->escribir(0, QStringLiteral("12a")); }),
                 "la columna Codigo no admite el valor «12a»: no es un número entero.");
        QCOMPARE(Soporte::mensaje_de([&] { d->escribir(5, QStringLiteral("31/02/2000")); }),
                 "la columna Fecha no admite el valor «31/02/2000»: no es una fecha válida.");
        d->escribir(0, QStringLiteral("12")); // a code another row has
        QCOMPARE(Soporte::mensaje_de([&] { d->actualizar(); }),
                 QStringLiteral("no se han podido guardar los cambios en %1: ya existe un registro con ese código.")
                     .arg(ruta));
        QCOMPARE(Soporte::contenido(ruta), antes);
        QCOMPARE(d->leer_texto(0), "12"); // the entry is kept for another try
    }

    void archivo_de_solo_lectura_queda_igual() {
        const QString ruta = Soporte::crear_base(dir, "solo.db", tres_elementos);
        const QByteArray antes = Soporte::contenido(ruta);
        OrigenDatos* d = origen(ruta, "Tipo", this);
        d->refrescar();
        Conexion::forzar_solo_lectura(true);
        QVERIFY(Soporte::mensaje_de([&] {
                    Recorridos::anadir(*d, {9, QStringLiteral("Escáner")});
                }).endsWith("el archivo es de solo lectura."));
        QVERIFY(Soporte::mensaje_de([&] { d->borrar(); }).endsWith("el archivo es de solo lectura."));
        QCOMPARE(d->numero_filas(), 2);
        QCOMPARE(Soporte::contenido(ruta), antes);
    }

    void archivo_bloqueado_por_otro_programa() {
        const QString ruta = Soporte::crear_base(dir, "bloqueado.db", tres_elementos);
        OrigenDatos* d = origen(ruta, "Tipo", this);
        d->refrescar();
        SQLite::Database otro(ruta.toStdString(), SQLite::OPEN_READWRITE);
        otro.exec("BEGIN EXCLUSIVE");
        QVERIFY(Soporte::mensaje_de([&] {
                    Recorridos::anadir(*d, {9, QStringLiteral("Escáner")});
                }).endsWith("otro programa está usando el archivo; inténtelo de nuevo más tarde."));
        otro.exec("ROLLBACK");
        Recorridos::anadir(*d, {9, QStringLiteral("Escáner")});
        QCOMPARE(Soporte::filas(ruta, "Tipo").size(), 3);
    }

    void archivos_que_no_son_inventarios_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("sentencias");
        QTest::addColumn<QString>("motivo");
        QByteArray azar(8192, '\0');
        for (int i = 0; i < azar.size(); ++i)
            azar[i] = static_cast<char>((i * 7919 + 13) % 251);
        QTest::newRow("texto") << "notas.txt" << QByteArray("Esto es una lista de la compra.\n") << QStringList()
                               << "el archivo no es una base de datos.";
        QTest::newRow("bytes al azar") << "azar.db" << azar << QStringList() << "el archivo no es una base de datos.";
        QTest::newRow("sin tabla Marca")
            << "sin_marca.db" << QByteArray()
            << QStringList({"CREATE TABLE Tipo (Codigo INTEGER, Nombre TEXT)",
                            "CREATE TABLE Elemento (Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, "
                            "Descripcion, Renting)"})
            << "le falta la tabla Marca; no es un inventario de Talvirenca.";
        QTest::newRow("otras columnas")
            << "columnas.db" << QByteArray()
            << QStringList({"CREATE TABLE Tipo (Codigo INTEGER, Nombre TEXT)",
                            "CREATE TABLE Marca (Codigo INTEGER, Nombre TEXT, Pais TEXT)",
                            "CREATE TABLE Elemento (Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, "
                            "Descripcion, Renting)"})
            << "la tabla Marca no tiene las columnas de un inventario de Talvirenca.";
        QTest::newRow("con disparador")
            << "disparador.db" << QByteArray()
            << QStringList({"CREATE TABLE Tipo (Codigo INTEGER, Nombre TEXT)",
                            "CREATE TABLE Marca (Codigo INTEGER, Nombre TEXT)",
                            "CREATE TABLE Elemento (Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, "
                            "Descripcion, Renting)",
                            "INSERT INTO Tipo VALUES (1, 'Monitor')",
                            "CREATE TRIGGER borra_todo AFTER INSERT ON Tipo BEGIN DELETE FROM Marca; END",
                            "INSERT INTO Marca VALUES (1, 'HP')"})
            << "contiene disparadores o vistas, que el programa no admite.";
        QTest::newRow("sin número de fila")
            << "sin_rowid.db" << QByteArray()
            << QStringList({"CREATE TABLE Tipo (Codigo INTEGER, Nombre TEXT)",
                            "CREATE TABLE Marca (Codigo INTEGER, Nombre TEXT)",
                            "CREATE TABLE Elemento (Codigo INTEGER PRIMARY KEY, Tipo, Marca, Modelo, NumSerie, "
                            "Fecha, Garantia, Descripcion, Renting) WITHOUT ROWID"})
            << "la tabla Elemento está declarada sin número de fila (WITHOUT ROWID), que el programa no admite.";
    }

    void archivos_que_no_son_inventarios() {
        QFETCH(QString, nombre);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, sentencias);
        QFETCH(QString, motivo);
        const QString ruta = dir.filePath(nombre);
        if (!bytes.isEmpty()) {
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        } else {
            SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            for (const QString& s : sentencias)
                db.exec(s.toStdString());
        }
        const QByteArray antes = Soporte::contenido(ruta);
        OrigenDatos* d = origen(ruta, "Tipo", this);
        QCOMPARE(Soporte::mensaje_de([&] { d->refrescar(); }),
                 QStringLiteral("no se puede abrir la base de datos %1: %2").arg(ruta, motivo));
        // Unopened, every later operation gives the same reason and writes nothing.
        QCOMPARE(Soporte::mensaje_de([&] { d->anadir_nuevo(); }),
                 QStringLiteral("no se puede abrir la base de datos %1: %2").arg(ruta, motivo));
        QCOMPARE(Soporte::contenido(ruta), antes);
    }

    void archivo_que_falta_o_sin_ruta() {
        OrigenDatos* d = origen(dir.filePath("no_existe.db"), "Elemento", this);
        QCOMPARE(Soporte::mensaje_de([&] { d->refrescar(); }),
                 QStringLiteral("no se puede abrir la base de datos %1: el archivo no existe.")
                     .arg(dir.filePath("no_existe.db")));
        QVERIFY(!QFile::exists(dir.filePath("no_existe.db"))); // opening never creates
        d->enlazar_base_datos(QString());
        QCOMPARE(Soporte::mensaje_de([&] { d->refrescar(); }),
                 "no hay ninguna base de datos seleccionada; elija una en Archivo, Configurar.");
    }

    void inventario_nuevo() {
        const QString ruta = dir.filePath("sub/carpeta/nuevo.db");
        Esquema::crear_inventario(ruta);
        SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READONLY);
        QCOMPARE(db.execAndGet("PRAGMA application_id").getInt(), Esquema::application_id);
        QCOMPARE(db.execAndGet("SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_schema "
                               "WHERE type = 'table' ORDER BY name)")
                     .getString(),
                 std::string("Elemento,Marca,Tipo"));
        for (const char* tabla : {"Elemento", "Tipo", "Marca"}) {
            OrigenDatos* d = origen(ruta, tabla, this);
            d->refrescar();
            QVERIFY(d->al_final());
        }
        QVERIFY(Soporte::mensaje_de([&] { Esquema::crear_inventario(ruta); }).endsWith("el archivo ya existe."));
    }

    void lectura_numerica() {
        QCOMPARE(Valores::valor_numerico(u"12"), 12.0);
        QCOMPARE(Valores::valor_numerico(u"12 meses"), 12.0);
        QCOMPARE(Valores::valor_numerico(u" 1 2\t"), 12.0);
        QCOMPARE(Valores::valor_numerico(u"meses"), 0.0);
        QCOMPARE(Valores::valor_numerico(u""), 0.0);
        QCOMPARE(Valores::valor_numerico(u"-3.5e1x"), -35.0);
        QCOMPARE(Valores::valor_numerico(u".5"), 0.5);
        QCOMPARE(Valores::valor_numerico(u"12e"), 12.0);
        QCOMPARE(Valores::valor_numerico(u"1.5.3"), 1.5);
        QCOMPARE(Valores::valor_numerico(u"&H10"), 16.0);
        QCOMPARE(Valores::valor_numerico(u"&hff"), 255.0);
        QCOMPARE(Valores::valor_numerico(u"&O17"), 15.0);
        QCOMPARE(Valores::valor_numerico(u"&O9"), 0.0);
    }

    void fechas_y_enteros_tecleados() {
        QCOMPARE(Valores::fecha_de_texto(u"05/03/2000").value(), QDate(2000, 3, 5));
        QCOMPARE(Valores::fecha_de_texto(u"5/3/2000").value(), QDate(2000, 3, 5));
        QVERIFY(!Valores::fecha_de_texto(u"31/02/2000"));
        QVERIFY(!Valores::fecha_de_texto(u"05/03/00"));
        QVERIFY(!Valores::fecha_de_texto(u"2000-03-05"));
        QVERIFY(!Valores::fecha_de_texto(u"hoy"));
        QCOMPARE(Valores::entero_de_texto(u" 42 ").value(), 42);
        QCOMPARE(Valores::entero_de_texto(u"-7").value(), -7);
        QVERIFY(!Valores::entero_de_texto(u"4.5"));
        QVERIFY(!Valores::entero_de_texto(u"-"));
        QVERIFY(!Valores::entero_de_texto(u"99999999999999999999"));
        QCOMPARE(Valores::texto(QVariant(12.5)), "12.5");
        QCOMPARE(Valores::texto(QVariant(true)), "Verdadero");
    }
};

QTEST_GUILESS_MAIN(PruebaDatos)
#include "test_datos.moc"
