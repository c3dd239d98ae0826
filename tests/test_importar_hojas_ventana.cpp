// The sheet import as the user does it: from the main window's "&Herramientas" menu, over files written by
// openpyxl and CSV written by hand, through the window's columns and check steps, into the inventory in use (a file
// or on the test server the fixture starts, tests/pg_servidor.sh) or a new file; every cancel and every failure
// leaves the folder and the inventory as they were.
#include "data/esquema.h"
#include "data/ubicacion.h"
#include "importacion/importar_access.h"
#include "importacion/importar_hoja.h"
#include "modulo/module1.h"
#include "principal/principal.h"
#include "soporte/pg_pruebas.h"
#include "soporte/soporte.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

namespace {

const char* const libro = R"(
import sys, datetime, openpyxl
wb = openpyxl.Workbook(); ws = wb.active; ws.title = "Equipos"
ws.append(["Nº", "Categoría", "Fabricante", "Modelo", "S/N", "Fecha de compra", "Garantía", "Notas", "Renting"])
ws.append([1, "portatil", "hp", "Elite", "S1", datetime.date(2020, 3, 5), "2 años", "uno", "Sí"])
ws.append([1, "Impresora", "Epson", "L300", "S2", "06/03/2020", "12 meses", None, "X"])
ws.append([3, "Impresora", "Epson", None, "S3", "07/03/2020", 12, None, None])
wb.create_sheet("Segunda").append(["solo"])
wb.save(sys.argv[1])
)";

QString python() {
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

QString escribir_libro(const QTemporaryDir& dir) {
    const QString ruta = dir.filePath(QStringLiteral("inventario.xlsx"));
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), QString::fromUtf8(libro), ruta});
    p.waitForFinished(60000);
    if (p.exitCode() != 0)
        qFatal("openpyxl: %s", p.readAllStandardError().constData());
    return ruta;
}

QString guardar(const QTemporaryDir& dir, const QString& nombre, const QByteArray& bytes) {
    QFile f(dir.filePath(nombre));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("no se puede escribir %s", qPrintable(f.fileName()));
    return f.fileName();
}

QStringList archivos(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

template <class T> T* de(QWidget* v, const char* nombre) {
    return Soporte::control<T>(v, nombre);
}
void pulsar(QWidget* v, const char* boton) {
    QTest::mouseClick(de<QPushButton>(v, boton), Qt::LeftButton);
}
QString campo(QWidget* v, int i) {
    return de<QComboBox>(v, QByteArray("Campo" + QByteArray::number(i)).constData())->currentText();
}

// The test server's inventory `nombre`, made anew with one type, one brand and one component.
QString inventario_servidor(const QString& nombre) {
    const QString base = PgPruebas::base_vacia(nombre);
    Esquema::crear_inventario(base);
    PgPruebas::sql(base, {"INSERT INTO tipo VALUES (1, 'Portátil')", "INSERT INTO marca VALUES (1, 'HP')",
                          "INSERT INTO elemento VALUES (1, 1, 1, 'Viejo', 'S0', '2019-01-01', 0, '', false)"});
    return base;
}
QStringList contenido_servidor(const QString& base) {
    QStringList todo;
    for (const char* tabla : {"tipo", "marca", "elemento"})
        todo << PgPruebas::sql(base, {QStringLiteral("SELECT * FROM %1 ORDER BY codigo").arg(QLatin1String(tabla))});
    return todo;
}

const QStringList base_inicial = {"INSERT INTO Tipo VALUES (1, 'Portátil')", "INSERT INTO Marca VALUES (1, 'HP')",
                                  "INSERT INTO Elemento VALUES (1, 1, 1, 'Viejo', 'S0', '2019-01-01', 0, '', 0)"};

} // namespace

class PruebaVentanaHojas : public QObject {
    Q_OBJECT
    QTemporaryDir ajustes_;
private Q_SLOTS:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ajustes_.path());
        Soporte::preparar_aplicacion();
        ImportarAccess::fijar_orden(QStringLiteral(TALVIRENCA_IMPORTAR));
    }
    void init() {
        QSettings(Programa::titulo, Programa::titulo).clear();
        Mensajes::reiniciar();
        DialogosSistema::reiniciar();
    }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void al_inventario_en_uso() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, QStringLiteral("inventario.db"), base_inicial);
        const QString origen = escribir_libro(dir);
        auto principal = Soporte::abrir_principal(dir, base);
        DialogosSistema::proximo_archivo(origen);
        Mensajes::responder(true); // the new type and brand
        Soporte::cuando_abra_modal([&](QWidget* v) {
            QCOMPARE(de<QComboBox>(v, "Combo1")->count(), 2);
            QVERIFY(de<QComboBox>(v, "Combo1")->isEnabled());
            QVERIFY(!de<QComboBox>(v, "Combo2")->isVisible());
            QCOMPARE(de<QTableWidget>(v, "Grid1")->item(1, 3)->text(), QStringLiteral("Elite"));
            QCOMPARE(de<QTableWidget>(v, "Grid1")->verticalHeaderItem(3)->text(), QStringLiteral("4"));
            // The headers' names propose every column.
            const QStringList propuestos = {"A: Nº",       "B: Categoría", "C: Fabricante",
                                            "D: Modelo",   "E: S/N",       "F: Fecha de compra",
                                            "G: Garantía", "H: Notas",     "I: Renting"};
            for (int i = 0; i < 9; ++i)
                QCOMPARE(campo(v, i), propuestos[i]);
            pulsar(v, "Command1");
            QVERIFY(de<QRadioButton>(v, "Option1")->isChecked());
            QCOMPARE(de<QLabel>(v, "Label7")->text(),
                     QStringLiteral("Se añadirán 2 componentes.\n2 filas se añaden con alguna decisión.\n1 fila queda "
                                    "sin importar.\nTipos nuevos que se crearán: Impresora.\nMarcas nuevas que se "
                                    "crearán: Epson."));
            QCOMPARE(
                de<QPlainTextEdit>(v, "Text1")->toPlainText(),
                QStringLiteral("Decisiones:\nFila 2: el código 1 ya existe; recibe el código 2.\nFila 3: el código "
                               "1 ya existe; recibe el código 3.\nFilas que no se importan:\nFila 4: Modelo vacío; "
                               "no se importa.\nTipo nuevo: Impresora (código 2)\nMarca nueva: Epson (código 2)"));
            pulsar(v, "Command2");
        });
        Soporte::accion(principal.get(), QStringLiteral("menuImportarHoja"))->trigger();
        const QStringList avisos = Soporte::avisos();
        QCOMPARE(avisos.size(), 2);
        QCOMPARE(avisos[0], QStringLiteral("Importar hoja de cálculo|Se crearán el tipo Impresora, la marca Epson, que "
                                           "no existen todavía. ¿Desea continuar?"));
        QCOMPARE(avisos[1].section(u'\n', 0, 0), QStringLiteral("Se han importado 2 componentes en %1.").arg(base));
        QCOMPARE(Soporte::filas(base, QStringLiteral("Elemento")),
                 (QStringList{"1|1|1|Viejo|S0|2019-01-01|0.0||0", "2|1|1|Elite|S1|2020-03-05|24.0|uno|1",
                              "3|2|2|L300|S2|2020-03-06|12.0||1"}));
        Soporte::buscar(*principal, QStringLiteral("Impresora"));
        QCOMPARE(Soporte::lineas(*principal).size(), 1);
    }

    // Into the inventory in use on the server: all the rows with their new type and brand, in one transaction; a
    // failure on the way (the inventory changed after the check, a refusal of the server at the third row, the
    // connection lost there) leaves the server as it was and says why.
    void al_inventario_del_servidor_data() {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("error");
        QTest::newRow("añadidos") << "bien" << QString();
        QTest::newRow("otro añade antes") << "cambiado"
                                          << "ERROR: el inventario %1 ha cambiado mientras se preparaba la "
                                             "importación; no se ha añadido nada. Vuelva a importar la hoja.";
        QTest::newRow("el servidor rechaza una fila") << "rechazo"
                                                      << "ERROR: no se han podido añadir los componentes a %1: ya "
                                                         "existe un registro con ese código. No se ha añadido nada.";
        QTest::newRow("conexión perdida") << "perdida"
                                          << "ERROR: no se han podido añadir los componentes a %1: se ha perdido la "
                                             "conexión con el servidor; se volverá a conectar en la próxima "
                                             "operación. No se ha añadido nada.";
    }
    void al_inventario_del_servidor() {
        QFETCH(QString, caso);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString base = inventario_servidor(QStringLiteral("hojas_servidor"));
        const QString origen = escribir_libro(dir);
        // The server fails while the components go in, at the third one.
        const QString fallo = caso == QLatin1String("rechazo")
                                  ? QStringLiteral("RAISE unique_violation USING MESSAGE = 'repetido'")
                                  : QStringLiteral("PERFORM pg_terminate_backend(pg_backend_pid())");
        if (caso == QLatin1String("rechazo") || caso == QLatin1String("perdida"))
            PgPruebas::sql(base,
                           {QStringLiteral("CREATE FUNCTION fallar() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF "
                                           "NEW.codigo = 3 THEN %1; END IF; RETURN NEW; END $$")
                                .arg(fallo),
                            "CREATE TRIGGER fallar BEFORE INSERT ON elemento FOR EACH ROW EXECUTE FUNCTION fallar()"});
        QStringList antes = contenido_servidor(base);
        auto principal = Soporte::abrir_principal(dir, base);
        DialogosSistema::proximo_archivo(origen);
        Mensajes::responder(true); // the new type and brand
        Soporte::cuando_abra_modal([&](QWidget* v) {
            pulsar(v, "Command1");
            QVERIFY(de<QRadioButton>(v, "Option1")->isEnabled());
            QVERIFY(de<QRadioButton>(v, "Option1")->isChecked());
            QCOMPARE(de<QLabel>(v, "Label7")->text().section(u'\n', 0, 0),
                     QStringLiteral("Se añadirán 2 componentes."));
            // Another program adds a component after the check, taking a code the plan gives.
            if (caso == QLatin1String("cambiado")) {
                PgPruebas::sql(base,
                               {"INSERT INTO elemento VALUES (2, 1, 1, 'Otro', 'S9', '2019-01-01', 0, '', false)"});
                antes = contenido_servidor(base);
            }
            pulsar(v, "Command2");
            if (v->isVisible())
                pulsar(v, "Command4");
        });
        Soporte::accion(principal.get(), QStringLiteral("menuImportarHoja"))->trigger();
        const QStringList avisos = Soporte::avisos();
        QCOMPARE(avisos.size(), 2);
        // The main window lists the new components at once, or none.
        Soporte::buscar(*principal, QStringLiteral("Impresora"));
        QCOMPARE(Soporte::lineas(*principal).size(), error.isEmpty() ? 1 : 0);
        if (!error.isEmpty()) {
            QCOMPARE(avisos[1], error.arg(Ubicacion::sin_contrasena(base)));
            QCOMPARE(contenido_servidor(base), antes);
            return;
        }
        QCOMPARE(avisos[1].section(u'\n', 0, 0), QStringLiteral("Se han importado 2 componentes en %1.").arg(base));
        QCOMPARE(contenido_servidor(base),
                 (QStringList{"1|Portátil", "2|Impresora", "1|HP", "2|Epson", "1|1|1|Viejo|S0|2019-01-01|0||f",
                              "2|1|1|Elite|S1|2020-03-05|24|uno|t", "3|2|2|L300|S2|2020-03-06|12||t"}));
    }

    // The command adds to an inventory on the server the same way.
    void orden_al_servidor() {
        QTemporaryDir dir;
        const QString base = inventario_servidor(QStringLiteral("hojas_orden"));
        const QString csv = guardar(dir, QStringLiteral("a.csv"), "PC,HP,M1,S1,05/03/2020\n");
        const QString mapa = guardar(dir, QStringLiteral("mapa.txt"),
                                     "cabecera = no\ntipo = A\nmarca = B\nmodelo = C\nnumero_serie = D\nfecha = E\n");
        QProcess orden;
        orden.start(QStringLiteral(TALVIRENCA_IMPORTAR),
                    {"--hoja", csv, "--columnas", mapa, "--anadir", base, "--crear-nombres"});
        QVERIFY(orden.waitForFinished(60000));
        QCOMPARE(orden.readAllStandardError(), QByteArray());
        QCOMPARE(orden.exitCode(), 0);
        QCOMPARE(PgPruebas::sql(base,
                                {"SELECT e.codigo, t.nombre, e.modelo FROM elemento e JOIN tipo t ON t.codigo = e.tipo "
                                 "ORDER BY e.codigo"}),
                 (QStringList{"1|Portátil|Viejo", "2|PC|M1"}));
    }

    void csv_a_inventario_nuevo() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, QStringLiteral("inventario.db"), base_inicial);
        const QByteArray antes = Soporte::contenido(base);
        const QString origen = guardar(dir, QStringLiteral("equipos.csv"),
                                       "Tipo;Marca;Modelo;N\xBA serie;Fecha;Descripci\xF3n\r\n"
                                       "Rat\xF3n;Logi;M1;R1;01/02/2022;\"dos\r\nl\xEDneas\"\r\n");
        const QString nuevo = dir.filePath(QStringLiteral("nuevo.db"));
        auto principal = Soporte::abrir_principal(dir, base);
        DialogosSistema::proximo_archivo(origen);
        DialogosSistema::proximo_guardado(nuevo);
        Mensajes::responder(true); // new names
        Mensajes::responder(true); // use it now
        Soporte::cuando_abra_modal([&](QWidget* v) {
            QCOMPARE(de<QLabel>(v, "Label6")->text(),
                     QStringLiteral("Detectado: separador punto y coma, codificación Windows-1252."));
            QCOMPARE(de<QLabel>(v, "Label6")->accessibleName(), de<QLabel>(v, "Label6")->text());
            QVERIFY(!de<QComboBox>(v, "Combo1")->isEnabled());
            // Read with another separator, the row is one column; back to ";" it is six again.
            Soporte::elegir(de<QComboBox>(v, "Combo2"), QStringLiteral("Coma (,)"));
            QCOMPARE(de<QTableWidget>(v, "Grid1")->columnCount(), 1);
            Soporte::elegir(de<QComboBox>(v, "Combo2"), QStringLiteral("Punto y coma (;)"));
            QCOMPARE(de<QTableWidget>(v, "Grid1")->columnCount(), 6);
            QCOMPARE(campo(v, 4), QStringLiteral("D: Nº serie"));
            QCOMPARE(campo(v, 0), QStringLiteral("(ninguna)"));
            pulsar(v, "Command1");
            QTest::mouseClick(de<QRadioButton>(v, "Option2"), Qt::LeftButton);
            QCOMPARE(de<QLabel>(v, "Label7")->text().section(u'\n', 0, 1),
                     QStringLiteral("Se añadirán 1 componente.\n1 fila se añade con alguna decisión."));
            pulsar(v, "Command2");
        });
        Soporte::accion(principal.get(), QStringLiteral("menuImportarHoja"))->trigger();
        QCOMPARE(Soporte::filas(nuevo, QStringLiteral("Elemento")),
                 QStringList{"1|1|1|M1|R1|2022-02-01|0.0|dos\nlíneas|0"});
        QCOMPARE(Soporte::filas(nuevo, QStringLiteral("Tipo")), QStringList{"1|Ratón"});
        QCOMPARE(Soporte::contenido(base), antes);
        QCOMPARE(Module1::base_datos, nuevo);
        QCOMPARE(Soporte::control<QLabel>(principal.get(), "Label2")->text(), nuevo);
    }

    // Each step's way out leaves the folder and the inventory as they were.
    void cancelar_data() {
        QTest::addColumn<QString>("paso");
        QTest::newRow("archivo") << "archivo";
        QTest::newRow("columnas") << "columnas";
        QTest::newRow("comprobación") << "comprobacion";
        QTest::newRow("nombres nuevos") << "nombres";
        QTest::newRow("nombre del archivo nuevo") << "guardar";
        QTest::newRow("cerrar la ventana") << "cerrar";
    }
    void cancelar() {
        QFETCH(QString, paso);
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, QStringLiteral("inventario.db"), base_inicial);
        const QString origen = escribir_libro(dir);
        const QByteArray antes = Soporte::contenido(base);
        const QStringList hay = archivos(dir);
        ImportarHoja ventana;
        Module1::base_datos = base;
        DialogosSistema::proximo_archivo(paso == QLatin1String("archivo") ? std::nullopt : std::optional(origen));
        if (paso == QLatin1String("nombres"))
            Mensajes::responder(false);
        if (paso == QLatin1String("guardar")) {
            Mensajes::responder(true);
            DialogosSistema::proximo_guardado(std::nullopt);
        }
        if (paso != QLatin1String("archivo"))
            Soporte::cuando_abra_modal([&](QWidget* v) {
                if (paso == QLatin1String("cerrar")) {
                    v->close();
                    return;
                }
                if (paso != QLatin1String("columnas"))
                    pulsar(v, "Command1");
                if (paso == QLatin1String("guardar"))
                    QTest::mouseClick(de<QRadioButton>(v, "Option2"), Qt::LeftButton);
                if (paso == QLatin1String("nombres") || paso == QLatin1String("guardar")) {
                    pulsar(v, "Command2");
                    QVERIFY(v->isVisible());
                }
                pulsar(v, "Command4");
            });
        QVERIFY(!ventana.ejecutar());
        QVERIFY(!ventana.anadido_en_uso());
        QCOMPARE(Soporte::contenido(base), antes);
        QCOMPARE(archivos(dir), hay);
        QCOMPARE(Soporte::avisos().size(),
                 paso == QLatin1String("nombres") || paso == QLatin1String("guardar") ? 1 : 0);
    }

    // The columns chosen are offered again for a sheet with the same headers.
    void mapeo_recordado() {
        QTemporaryDir dir;
        const QString origen = escribir_libro(dir);
        const QString base = Soporte::crear_base(dir, QStringLiteral("inventario.db"), base_inicial);
        Module1::base_datos = base;
        for (int vez = 0; vez < 2; ++vez) {
            ImportarHoja ventana;
            DialogosSistema::proximo_archivo(origen);
            if (vez == 0) {
                Mensajes::responder(true);
                DialogosSistema::proximo_guardado(dir.filePath(QStringLiteral("n.db")));
                Mensajes::responder(false);
            }
            Soporte::cuando_abra_modal([&](QWidget* v) {
                if (vez == 0) {
                    Soporte::elegir(de<QComboBox>(v, "Campo7"), QStringLiteral("D: Modelo"));
                    Soporte::elegir(de<QComboBox>(v, "Campo0"), QStringLiteral("(ninguna)"));
                    pulsar(v, "Command1");
                    QTest::mouseClick(de<QRadioButton>(v, "Option2"), Qt::LeftButton);
                    pulsar(v, "Command2");
                    return;
                }
                QCOMPARE(campo(v, 7), QStringLiteral("D: Modelo"));
                QCOMPARE(campo(v, 0), QStringLiteral("(ninguna)"));
                // Without headers nothing is proposed.
                QTest::mouseClick(de<QCheckBox>(v, "Check1"), Qt::LeftButton);
                QCOMPARE(campo(v, 3), QStringLiteral("(ninguna)"));
                pulsar(v, "Command4");
            });
            ventana.ejecutar();
        }
        QCOMPARE(Soporte::filas(dir.filePath(QStringLiteral("n.db")), QStringLiteral("Elemento")).value(0),
                 QStringLiteral("1|1|1|Elite|S1|2020-03-05|24.0|Elite|1"));
    }

    void otra_hoja_y_columnas_que_faltan() {
        QTemporaryDir dir;
        const QString origen = escribir_libro(dir);
        Module1::base_datos = Soporte::crear_base(dir, QStringLiteral("inventario.db"), base_inicial);
        ImportarHoja ventana;
        DialogosSistema::proximo_archivo(origen);
        Soporte::cuando_abra_modal([&](QWidget* v) {
            Soporte::elegir(de<QComboBox>(v, "Combo1"), QStringLiteral("Segunda"));
            QCOMPARE(de<QTableWidget>(v, "Grid1")->item(0, 0)->text(), QStringLiteral("solo"));
            pulsar(v, "Command1");
            QCOMPARE(Soporte::avisos(), QStringList{"ERROR: faltan las columnas de los campos Tipo, Marca, Modelo, Nº "
                                                    "de serie y Fecha."});
            pulsar(v, "Command4");
        });
        QVERIFY(!ventana.ejecutar());
    }

    void archivo_danado() {
        QTemporaryDir dir;
        const QString origen = guardar(dir, QStringLiteral("roto.xlsx"), QByteArray("PK\x03\x04 roto", 9));
        ImportarHoja ventana;
        DialogosSistema::proximo_archivo(origen);
        QVERIFY(!ventana.ejecutar());
        QCOMPARE(Soporte::avisos(),
                 QStringList{QStringLiteral("ERROR: el archivo %1 no es una hoja de cálculo que se pueda leer, o está "
                                            "dañado.")
                                 .arg(origen)});
    }
};

QTEST_MAIN(PruebaVentanaHojas)
#include "test_importar_hojas_ventana.moc"
