// The types and brands window: its lists, adding and deleting names, and the failures of the file.
#include "anadirtm/anadirtm.h"
#include "data/conexion.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <memory>

namespace {

const QString falta_nombre = QStringLiteral("ERROR: primero debe especificar un tipo.");
const QString falta_eliminar = QStringLiteral("ERROR: Primero debe especificar elemento a eliminar");
const QString no_encontrado = QStringLiteral("ERROR: no se encuentra elemento en tipos.");
const QString en_uso = QStringLiteral("ERROR: Se esta utilizando el tipo que desea eliminar.");

template <class T> T* control(QWidget* ventana, const char* nombre) {
    T* c = ventana->findChild<T*>(QLatin1String(nombre));
    if (!c)
        qFatal("No existe el control %s", nombre);
    return c;
}

QComboBox* caja(QWidget* v, int linea) {
    return control<QComboBox>(v, linea == 1 ? "Combo1" : "Combo2");
}

QStringList lista(QComboBox* c) {
    QStringList nombres;
    for (int i = 0; i < c->count(); ++i)
        nombres << c->itemText(i);
    return nombres;
}

// What the user does: replaces the box's text by typing.
void escribir_nombre(QComboBox* c, const QString& texto) {
    c->lineEdit()->selectAll();
    QTest::keyClick(c->lineEdit(), Qt::Key_Delete);
    Soporte::teclear(c->lineEdit(), texto);
}

void pulsar(QWidget* v, const char* boton) {
    QTest::mouseClick(control<QPushButton>(v, boton), Qt::LeftButton);
}

const char* anadir(int linea) {
    return linea == 1 ? "Command1" : "Command2";
}
const char* eliminar(int linea) {
    return linea == 1 ? "Command4" : "Command5";
}
QString tabla(int linea) {
    return linea == 1 ? QStringLiteral("Tipo") : QStringLiteral("Marca");
}

std::unique_ptr<AnadirTM> abrir_ventana(const QString& ruta) {
    Module1::base_datos = ruta;
    auto v = std::make_unique<AnadirTM>();
    v->show();
    if (!QTest::qWaitForWindowExposed(v.get()))
        qFatal("La ventana no se muestra");
    return v;
}

// Tipo and Marca with the same rows, and one component of type 2 and brand 3.
const QStringList tipos_y_marcas = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora'), (3, 'Escáner')",
    "INSERT INTO Marca VALUES (1, 'HP'), (2, 'Dell'), (3, 'Epson')",
    "INSERT INTO Elemento VALUES (10, 2, 3, 'LJ4', 'S10', '1999-02-01', 12, '', 0)",
};

} // namespace

class PruebaAnadirTM : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    int cuenta = 0;

    QString base(const QStringList& sentencias) {
        return Soporte::crear_base(dir, QStringLiteral("tm%1.db").arg(++cuenta), sentencias);
    }

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() {
        Conexion::forzar_solo_lectura(false);
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void diseno() {
        auto v = abrir_ventana(base(tipos_y_marcas));
        QCOMPARE(v->windowTitle(), "Anadir registros tipo/marca");
        QCOMPARE(v->size(), QSize(Aspecto::px(4515), Aspecto::px(1680)));
        QVERIFY(!v->windowIcon().isNull());
        QCOMPARE(v->palette().color(QPalette::Window), Aspecto::naranja);
        QCOMPARE(control<QLabel>(v.get(), "Label1")->text(), "Tipo:");
        QCOMPARE(control<QLabel>(v.get(), "Label2")->text(), "Marca:");
        QCOMPARE(caja(v.get(), 1)->accessibleName(), "Tipo:");
        QCOMPARE(caja(v.get(), 2)->accessibleName(), "Marca:");
        QCOMPARE(caja(v.get(), 1)->palette().color(QPalette::Base), Aspecto::amarillo);
        QVERIFY(caja(v.get(), 1)->toolTip().isEmpty());
        const QList<std::array<QString, 3>> botones = {
            {"Command1", "Añadir", "Añade registros a la table de tipos"},
            {"Command2", "Añadir", "Añade registros a la tabla de marcas"},
            {"Command3", "Aceptar", "Volver a la ventana principal"},
            {"Command4", "Eliminar", "Elimina registros de la tabla de tipos"},
            {"Command5", "Eliminar", "Elimina registros ed la tabla de marcas"},
        };
        for (const auto& [nombre, texto, ayuda] : botones) {
            auto* b = control<QPushButton>(v.get(), nombre.toLatin1().constData());
            QCOMPARE(b->text(), texto);
            QCOMPARE(b->toolTip(), ayuda);
            QVERIFY(!b->autoDefault());
            QVERIFY(b->isEnabled());
        }

        v->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(v.get()));
        const auto en_foco = [] {
            QWidget* w = QApplication::focusWidget();
            if (w && qobject_cast<QComboBox*>(w->parentWidget()))
                w = w->parentWidget();
            return w ? w->objectName() : QString();
        };
        QCOMPARE(en_foco(), "Combo1");
        QStringList orden;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            orden << en_foco();
        }
        QCOMPARE(orden, QStringList({"Command1", "Combo2", "Command2", "Command3", "Command4", "Command5", "Combo1"}));

        // Neither Escape nor Enter acts by itself: nothing is added, nothing closes.
        const QByteArray antes = Soporte::contenido(Module1::base_datos);
        escribir_nombre(caja(v.get(), 1), "Ratón");
        QTest::keyClick(caja(v.get(), 1)->lineEdit(), Qt::Key_Return);
        QTest::keyClick(caja(v.get(), 1)->lineEdit(), Qt::Key_Escape);
        QTest::keyClick(v.get(), Qt::Key_Escape);
        QVERIFY(v->isVisible());
        QCOMPARE(caja(v.get(), 1)->currentText(), "Ratón");
        QCOMPARE(lista(caja(v.get(), 1)), QStringList({"Monitor", "Impresora", "Escáner"}));
        // What the user typed stays as typed: no name of the list completes it or replaces it.
        escribir_nombre(caja(v.get(), 1), "mon");
        QCOMPARE(caja(v.get(), 1)->currentText(), "mon");
        escribir_nombre(caja(v.get(), 1), "monitor");
        QTest::keyClick(caja(v.get(), 1)->lineEdit(), Qt::Key_Return);
        QCOMPARE(caja(v.get(), 1)->currentText(), "monitor");
        QCOMPARE(lista(caja(v.get(), 1)), QStringList({"Monitor", "Impresora", "Escáner"}));
        QCOMPARE(Soporte::contenido(Module1::base_datos), antes);
        QCOMPARE(Soporte::avisos(), QStringList());

        pulsar(v.get(), "Command3");
        QVERIFY(!v->isVisible());
        QCOMPARE(v->result(), int(QDialog::Accepted));
    }

    void listas_en_orden_de_tabla() {
        auto v = abrir_ventana(base({
            "INSERT INTO Tipo VALUES (5, 'Alfa'), (1, 'Zeta'), (3, 'Monitor'), (9, 'Monitor')",
            "INSERT INTO Marca VALUES (2, 'Sony'), (4, 'HP'), (7, 'Acer')",
        }));
        QCOMPARE(lista(caja(v.get(), 1)), QStringList({"Zeta", "Monitor", "Alfa", "Monitor"}));
        QCOMPARE(lista(caja(v.get(), 2)), QStringList({"Sony", "HP", "Acer"}));
        QCOMPARE(caja(v.get(), 1)->currentText(), "");
        QCOMPARE(caja(v.get(), 2)->currentText(), "");
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void tablas_vacias() {
        auto v = abrir_ventana(base({"INSERT INTO Marca VALUES (1, 'HP')"}));
        QCOMPARE(lista(caja(v.get(), 1)), QStringList());
        QCOMPARE(lista(caja(v.get(), 2)), QStringList({"HP"}));
        auto w = abrir_ventana(base({"INSERT INTO Tipo VALUES (1, 'Monitor')"}));
        QCOMPARE(lista(caja(w.get(), 1)), QStringList({"Monitor"}));
        QCOMPARE(lista(caja(w.get(), 2)), QStringList());
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void anadir_con_codigo_siguiente_data() {
        QTest::addColumn<int>("linea");
        QTest::addColumn<QStringList>("codigos");
        QTest::addColumn<QString>("esperado");
        for (int linea : {1, 2}) {
            const char* t = linea == 1 ? "tipo" : "marca";
            QTest::addRow("%s 1 2 7 99", t) << linea << QStringList({"1", "2", "7", "99"}) << "100";
            QTest::addRow("%s 1 2 3", t) << linea << QStringList({"1", "2", "3"}) << "4";
            QTest::addRow("%s 1 2 5", t) << linea << QStringList({"1", "2", "5"}) << "6";
            QTest::addRow("%s vacia", t) << linea << QStringList() << "1";
        }
    }
    void anadir_con_codigo_siguiente() {
        QFETCH(int, linea);
        QFETCH(QStringList, codigos);
        QFETCH(QString, esperado);
        QStringList sentencias;
        QStringList antes;
        for (const QString& c : codigos) {
            sentencias << QStringLiteral("INSERT INTO %1 VALUES (%2, 'N%2')").arg(tabla(linea), c);
            antes << QStringLiteral("N%1").arg(c);
        }
        const QString ruta = base(sentencias);
        auto v = abrir_ventana(ruta);
        const QStringList otra_lista = lista(caja(v.get(), 3 - linea));
        escribir_nombre(caja(v.get(), linea), "Escáner");
        escribir_nombre(caja(v.get(), 3 - linea), "sin tocar");
        pulsar(v.get(), anadir(linea));

        QCOMPARE(Soporte::avisos(), QStringList());
        const QStringList filas = Soporte::filas(ruta, tabla(linea));
        QCOMPARE(filas.size(), codigos.size() + 1);
        QCOMPARE(filas.last(), esperado + "|Escáner");
        QCOMPARE(lista(caja(v.get(), linea)), antes + QStringList({"Escáner"}));
        QCOMPARE(caja(v.get(), linea)->currentText(), "");
        // The other line is left as it was.
        QCOMPARE(lista(caja(v.get(), 3 - linea)), otra_lista);
        QCOMPARE(caja(v.get(), 3 - linea)->currentText(), "sin tocar");
        QCOMPARE(Soporte::filas(ruta, tabla(3 - linea)), QStringList());
    }

    void anadir_nombres_tal_como_se_escriben() {
        const QString ruta = base({"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (4, 'HP')"});
        auto v = abrir_ventana(ruta);
        for (const QString& nombre : QStringList({"00", " 0", "0 ", " ", "Monitor", " Monitor "})) {
            escribir_nombre(caja(v.get(), 1), nombre);
            pulsar(v.get(), "Command1");
        }
        escribir_nombre(caja(v.get(), 2), "HP");
        pulsar(v.get(), "Command2");
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(Soporte::filas(ruta, "Tipo"),
                 QStringList({"1|Monitor", "2|00", "3| 0", "4|0 ", "5| ", "6|Monitor", "7| Monitor "}));
        QCOMPARE(Soporte::filas(ruta, "Marca"), QStringList({"4|HP", "5|HP"}));
        QCOMPARE(lista(caja(v.get(), 1)), QStringList({"Monitor", "00", " 0", "0 ", " ", "Monitor", " Monitor "}));
        QCOMPARE(lista(caja(v.get(), 2)), QStringList({"HP", "HP"}));
    }

    void anadir_rechazado_data() {
        QTest::addColumn<int>("linea");
        QTest::addColumn<QString>("texto");
        for (int linea : {1, 2}) {
            const char* t = linea == 1 ? "tipo" : "marca";
            QTest::addRow("%s vacio", t) << linea << "";
            QTest::addRow("%s cero", t) << linea << "0";
        }
    }
    void anadir_rechazado() {
        QFETCH(int, linea);
        QFETCH(QString, texto);
        const QString ruta = base(tipos_y_marcas);
        auto v = abrir_ventana(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        const QStringList nombres = lista(caja(v.get(), linea));
        escribir_nombre(caja(v.get(), linea), texto);
        pulsar(v.get(), anadir(linea));
        QCOMPARE(Soporte::avisos(), QStringList({falta_nombre}));
        QCOMPARE(Soporte::contenido(ruta), antes);
        QCOMPARE(caja(v.get(), linea)->currentText(), texto);
        QCOMPARE(lista(caja(v.get(), linea)), nombres);
    }

    void cada_apertura_lee_de_nuevo() {
        const QString ruta = base(tipos_y_marcas);
        auto v = abrir_ventana(ruta);
        escribir_nombre(caja(v.get(), 2), "Canon");
        pulsar(v.get(), "Command2");
        pulsar(v.get(), "Command3");
        v.reset();
        Soporte::ejecutar(ruta, {"INSERT INTO Tipo VALUES (8, 'Ratón')"});
        auto w = abrir_ventana(ruta);
        QCOMPARE(lista(caja(w.get(), 1)), QStringList({"Monitor", "Impresora", "Escáner", "Ratón"}));
        QCOMPARE(lista(caja(w.get(), 2)), QStringList({"HP", "Dell", "Epson", "Canon"}));
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void eliminar_sin_nombre_o_no_encontrado_data() {
        QTest::addColumn<int>("linea");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("mensaje");
        for (int linea : {1, 2}) {
            const char* t = linea == 1 ? "tipo" : "marca";
            const QString nombre = linea == 1 ? "Monitor" : "Dell";
            QTest::addRow("%s vacio", t) << linea << "" << falta_eliminar;
            QTest::addRow("%s otra letra", t) << linea << nombre.toLower() << no_encontrado;
            QTest::addRow("%s blanco detras", t) << linea << nombre + " " << no_encontrado;
            QTest::addRow("%s blanco delante", t) << linea << " " + nombre << no_encontrado;
            QTest::addRow("%s ninguno", t) << linea << "Plotter" << no_encontrado;
            QTest::addRow("%s cero", t) << linea << "0" << no_encontrado;
        }
    }
    void eliminar_sin_nombre_o_no_encontrado() {
        QFETCH(int, linea);
        QFETCH(QString, texto);
        QFETCH(QString, mensaje);
        const QString ruta = base(tipos_y_marcas);
        auto v = abrir_ventana(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        escribir_nombre(caja(v.get(), linea), texto);
        pulsar(v.get(), eliminar(linea));
        QCOMPARE(Soporte::avisos(), QStringList({mensaje}));
        QCOMPARE(Soporte::contenido(ruta), antes);
        QCOMPARE(caja(v.get(), linea)->currentText(), texto);
    }

    void eliminar_en_tabla_vacia() {
        const QString ruta = base({});
        auto v = abrir_ventana(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        for (int linea : {1, 2}) {
            escribir_nombre(caja(v.get(), linea), "Monitor");
            pulsar(v.get(), eliminar(linea));
        }
        QCOMPARE(Soporte::avisos(), QStringList({no_encontrado, no_encontrado}));
        QCOMPARE(Soporte::contenido(ruta), antes);
    }

    void eliminar_en_uso_data() {
        QTest::addColumn<int>("linea");
        QTest::addColumn<int>("posicion");
        for (int linea : {1, 2})
            for (int posicion : {0, 1, 2})
                QTest::addRow("%s en la fila %d", linea == 1 ? "tipo" : "marca", posicion) << linea << posicion;
    }
    void eliminar_en_uso() {
        QFETCH(int, linea);
        QFETCH(int, posicion);
        // Three components; the one at `posicion` uses type 3 or brand 3, the others use code 1 of both tables.
        QStringList sentencias = {"INSERT INTO Tipo VALUES (1, 'Monitor'), (3, 'Escáner'), (4, 'Ratón')",
                                  "INSERT INTO Marca VALUES (1, 'HP'), (3, 'Epson'), (4, 'Logitech')"};
        for (int i = 0; i < 3; ++i) {
            const int tipo = (linea == 1 && i == posicion) ? 3 : 1;
            const int marca = (linea == 2 && i == posicion) ? 3 : 1;
            sentencias << QStringLiteral("INSERT INTO Elemento VALUES (%1, %2, %3, 'M', 'S', NULL, 0, '', 0)")
                              .arg(10 + i)
                              .arg(tipo)
                              .arg(marca);
        }
        const QString ruta = base(sentencias);
        auto v = abrir_ventana(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        const QString nombre = linea == 1 ? "Escáner" : "Epson";
        escribir_nombre(caja(v.get(), linea), nombre);
        pulsar(v.get(), eliminar(linea));
        QCOMPARE(Soporte::avisos(), QStringList({en_uso}));
        QCOMPARE(Soporte::contenido(ruta), antes);
        QCOMPARE(caja(v.get(), linea)->currentText(), nombre);
    }

    void eliminar_tipo_sin_uso() {
        const QString ruta = base(tipos_y_marcas);
        auto v = abrir_ventana(ruta);
        // The first row of the table, then the last one.
        escribir_nombre(caja(v.get(), 1), "Monitor");
        pulsar(v.get(), "Command4");
        QCOMPARE(Soporte::avisos(), QStringList({"Registro eliminado."}));
        QCOMPARE(Soporte::filas(ruta, "Tipo"), QStringList({"2|Impresora", "3|Escáner"}));
        // Nothing is refilled: the name stays in the list and in the box.
        QCOMPARE(lista(caja(v.get(), 1)), QStringList({"Monitor", "Impresora", "Escáner"}));
        QCOMPARE(caja(v.get(), 1)->currentText(), "Monitor");
        pulsar(v.get(), "Command4");
        QCOMPARE(Soporte::avisos(), QStringList({no_encontrado}));

        escribir_nombre(caja(v.get(), 1), "Escáner");
        pulsar(v.get(), "Command4");
        QCOMPARE(Soporte::avisos(), QStringList({"Registro eliminado."}));
        QCOMPARE(Soporte::filas(ruta, "Tipo"), QStringList({"2|Impresora"}));
        QCOMPARE(Soporte::filas(ruta, "Marca").size(), 3);

        // The next addition still numbers after the greatest code left, and refills the list.
        escribir_nombre(caja(v.get(), 1), "Plotter");
        pulsar(v.get(), "Command1");
        QCOMPARE(Soporte::filas(ruta, "Tipo"), QStringList({"2|Impresora", "3|Plotter"}));
        QCOMPARE(lista(caja(v.get(), 1)), QStringList({"Impresora", "Plotter"}));
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void eliminar_marca_sin_uso_en_silencio() {
        // Brand 2 is no component's brand, though it is the type code of the only component.
        const QString ruta = base(tipos_y_marcas);
        auto v = abrir_ventana(ruta);
        escribir_nombre(caja(v.get(), 2), "Dell");
        pulsar(v.get(), "Command5");
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(Soporte::filas(ruta, "Marca"), QStringList({"1|HP", "3|Epson"}));
        QCOMPARE(Soporte::filas(ruta, "Tipo").size(), 3);
        QCOMPARE(lista(caja(v.get(), 2)), QStringList({"HP", "Dell", "Epson"}));
        QCOMPARE(caja(v.get(), 2)->currentText(), "Dell");
        pulsar(v.get(), "Command5");
        QCOMPARE(Soporte::avisos(), QStringList({no_encontrado}));
    }

    void eliminar_sin_componentes() {
        const QString ruta = base({"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')"});
        auto v = abrir_ventana(ruta);
        escribir_nombre(caja(v.get(), 1), "Monitor");
        pulsar(v.get(), "Command4");
        escribir_nombre(caja(v.get(), 2), "HP");
        pulsar(v.get(), "Command5");
        QCOMPARE(Soporte::avisos(), QStringList({"Registro eliminado."}));
        QCOMPARE(Soporte::filas(ruta, "Tipo"), QStringList());
        QCOMPARE(Soporte::filas(ruta, "Marca"), QStringList());
    }

    void dos_del_mismo_nombre() {
        // Only the first row of the name counts, and at most one row goes.
        const QString ruta = base({
            "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Monitor'), (5, 'Disco'), (6, 'Disco')",
            "INSERT INTO Marca VALUES (1, 'HP')",
            "INSERT INTO Elemento VALUES (10, 1, 1, 'M', 'S', NULL, 0, '', 0)",
            "INSERT INTO Elemento VALUES (11, 6, 1, 'M', 'S', NULL, 0, '', 0)",
        });
        auto v = abrir_ventana(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        escribir_nombre(caja(v.get(), 1), "Monitor");
        pulsar(v.get(), "Command4");
        QCOMPARE(Soporte::avisos(), QStringList({en_uso}));
        QCOMPARE(Soporte::contenido(ruta), antes);

        escribir_nombre(caja(v.get(), 1), "Disco");
        pulsar(v.get(), "Command4");
        QCOMPARE(Soporte::avisos(), QStringList({"Registro eliminado."}));
        QCOMPARE(Soporte::filas(ruta, "Tipo"), QStringList({"1|Monitor", "2|Monitor", "6|Disco"}));
        pulsar(v.get(), "Command4");
        QCOMPARE(Soporte::avisos(), QStringList({en_uso}));
        QCOMPARE(Soporte::filas(ruta, "Tipo").size(), 3);
    }

    void base_inutilizable_al_abrir_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("no es una base") << "notas.db" << QByteArray("Lista de la compra.\n" + QByteArray(2048, 'x'))
                                        << "el archivo no es una base de datos.";
        QTest::newRow("no existe") << "falta.db" << QByteArray() << "el archivo no existe.";
    }
    void base_inutilizable_al_abrir() {
        QFETCH(QString, nombre);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, motivo);
        const QString ruta = dir.filePath(nombre);
        if (!bytes.isEmpty()) {
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        const QString error = QStringLiteral("ERROR: no se puede abrir la base de datos %1: %2").arg(ruta, motivo);
        auto v = abrir_ventana(ruta);
        QCOMPARE(Soporte::avisos(), QStringList({error}));
        QCOMPARE(lista(caja(v.get(), 1)), QStringList());
        QCOMPARE(lista(caja(v.get(), 2)), QStringList());
        for (int linea : {1, 2}) {
            escribir_nombre(caja(v.get(), linea), "Monitor");
            pulsar(v.get(), anadir(linea));
            pulsar(v.get(), eliminar(linea));
        }
        QCOMPARE(Soporte::avisos(), QStringList({error, error, error, error}));
        QCOMPARE(Soporte::contenido(ruta), bytes);
        QCOMPARE(QFileInfo::exists(ruta), !bytes.isEmpty());
        pulsar(v.get(), "Command3");
        QVERIFY(!v->isVisible());
    }

    void archivo_de_solo_lectura() {
        const QString ruta = base(tipos_y_marcas);
        auto v = abrir_ventana(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        const QString error =
            QStringLiteral("ERROR: no se han podido guardar los cambios en %1: el archivo es de solo lectura.")
                .arg(ruta);
        Conexion::forzar_solo_lectura(true);
        escribir_nombre(caja(v.get(), 1), "Ratón");
        pulsar(v.get(), "Command1");
        escribir_nombre(caja(v.get(), 2), "Dell");
        pulsar(v.get(), "Command5");
        QCOMPARE(Soporte::avisos(), QStringList({error, error}));
        QCOMPARE(Soporte::contenido(ruta), antes);
        QCOMPARE(lista(caja(v.get(), 1)), QStringList({"Monitor", "Impresora", "Escáner"}));
        QCOMPARE(caja(v.get(), 1)->currentText(), "Ratón");

        // Once the file can be written, the same clicks work: nothing was left half done.
        Conexion::forzar_solo_lectura(false);
        pulsar(v.get(), "Command1");
        pulsar(v.get(), "Command5");
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(Soporte::filas(ruta, "Tipo"), QStringList({"1|Monitor", "2|Impresora", "3|Escáner", "4|Ratón"}));
        QCOMPARE(Soporte::filas(ruta, "Marca"), QStringList({"1|HP", "3|Epson"}));
    }

    void archivo_bloqueado_por_otro_programa() {
        const QString ruta = base(tipos_y_marcas);
        auto v = abrir_ventana(ruta);
        {
            SQLite::Database otro(ruta.toStdString(), SQLite::OPEN_READWRITE);
            otro.exec("BEGIN EXCLUSIVE");
            escribir_nombre(caja(v.get(), 2), "Canon");
            pulsar(v.get(), "Command2");
            QCOMPARE(Soporte::avisos(),
                     QStringList({QStringLiteral("ERROR: no se puede abrir la base de datos %1: otro programa está "
                                                 "usando el archivo; inténtelo de nuevo más tarde.")
                                      .arg(ruta)}));
            QCOMPARE(lista(caja(v.get(), 2)), QStringList({"HP", "Dell", "Epson"}));
            otro.exec("ROLLBACK");
        }
        QCOMPARE(Soporte::filas(ruta, "Marca").size(), 3);
        pulsar(v.get(), "Command2");
        QCOMPARE(Soporte::filas(ruta, "Marca").last(), "4|Canon");
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void sin_codigos_libres() {
        const QString ruta = base({"INSERT INTO Tipo VALUES (9223372036854775807, 'Monitor')"});
        auto v = abrir_ventana(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        escribir_nombre(caja(v.get(), 1), "Ratón");
        pulsar(v.get(), "Command1");
        QCOMPARE(Soporte::avisos(), QStringList({"ERROR: no quedan códigos libres en la tabla Tipo."}));
        QCOMPARE(Soporte::contenido(ruta), antes);
        QCOMPARE(caja(v.get(), 1)->currentText(), "Ratón");
    }
};

QTEST_MAIN(PruebaAnadirTM)
#include "test_anadirtm.moc"
