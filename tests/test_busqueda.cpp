// The text search of "&Herramientas": what it finds, how it lists it, and what it refuses.
#include "buscartexto/indice_texto.h"
#include "plataforma/impresora_lineas.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Ratón'), (2, 'Monitor'), (3, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'Samsung'), (2, 'Logitech'), (3, 'HP')",
    "INSERT INTO Elemento VALUES (5, 1, 2, 'M100', 'LG-77', '2020-01-02', 12, 'Ratón óptico de Recepción', 0)",
    "INSERT INTO Elemento VALUES (12, 2, 1, 'S24F350', 'CN12', '2021-05-06', 24, 'Pantalla de contabilidad', 1)",
    "INSERT INTO Elemento VALUES (30, 3, 3, 'LaserJet 1020', 'VNB3X', '2019-03-04', 36, '', 0)",
    "INSERT INTO Elemento VALUES (112, 2, 3, 'E24', 'ABC', '2018-07-08', 6, 'Monitor del almacén', 0)",
};

const QString titulo = QStringLiteral("Buscar texto");
const QString vacio = QStringLiteral("ERROR: primero debe escribir el texto que desea buscar.");
QString sin_resultados(const QString& texto) {
    return QStringLiteral("No hay ningún componente que contenga «%1».").arg(texto);
}

QStringList codigos(Principal& p) {
    QStringList primeras;
    for (const QString& linea : Soporte::lineas(p))
        primeras << linea.section(u'|', 0, 0);
    return primeras;
}

// Opens "Buscar texto...", types `texto` and presses "Buscar", as the user does.
void buscar_texto(Principal& p, const QString& texto) {
    bool abierto = false;
    Soporte::cuando_abra_modal([&](QWidget* dialogo) {
        abierto = true;
        QCOMPARE(dialogo->windowTitle(), titulo);
        auto* campo = Soporte::control<QLineEdit>(dialogo, "Text1");
        Soporte::teclear(campo, texto);
        QTest::mouseClick(Soporte::control<QPushButton>(dialogo, "Command1"), Qt::LeftButton);
        QVERIFY(!dialogo->isVisible());
    });
    Soporte::accion(&p, QStringLiteral("menuBuscarTexto"))->trigger();
    QVERIFY(abierto);
}

} // namespace

class PruebaBusqueda : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    // The status bar says the list holds a text search's result, with how many components, while it does.
    void la_barra_de_estado_dice_la_busqueda_data() {
        QTest::addColumn<QString>("como");
        QTest::newRow("botón Buscar") << "Command1";
        QTest::newRow("Intro en el selector de tipos") << "Intro";
        QTest::newRow("Buscar de la barra") << "BotonBuscar";
    }
    void la_barra_de_estado_dice_la_busqueda() {
        QFETCH(QString, como);
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, QStringLiteral("inventario.db"), inventario));
        auto* estado = Soporte::control<QLabel>(p.get(), "lblBusqueda");
        QCOMPARE(estado->text(), "");
        buscar_texto(*p, "monitor");
        QCOMPARE(codigos(*p), QStringList({"12", "112"}));
        QCOMPARE(estado->text(), "Búsqueda: «monitor» — 2 componentes");
        QCOMPARE(estado->accessibleName(), estado->text());
        buscar_texto(*p, "raton");
        QCOMPARE(estado->text(), "Búsqueda: «raton» — 1 componente");
        // Listing a type again ends it, whichever way the user searches.
        auto* tipo = Soporte::control<QComboBox>(p.get(), "DBCombo1");
        tipo->lineEdit()->clear();
        Soporte::teclear(tipo, "Monitor");
        if (como == "Command1")
            QTest::mouseClick(Soporte::control<QPushButton>(p.get(), "Command1"), Qt::LeftButton);
        else if (como == "Intro")
            QTest::keyClick(tipo, Qt::Key_Return);
        else
            QVERIFY(Soporte::pulsar_barra(p.get(), como));
        QCOMPARE(codigos(*p), QStringList({"12", "112"}));
        QCOMPARE(estado->text(), "");
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void encuentra_en_cada_columna_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QStringList>("esperados");
        QTest::newRow("tipo sin acento") << "raton" << QStringList{"5"};
        QTest::newRow("tipo en mayúsculas con acento") << "RATÓN" << QStringList{"5"};
        QTest::newRow("marca en mayúsculas") << "SAMSUNG" << QStringList{"12"};
        QTest::newRow("parte de la marca") << "logi" << QStringList{"5"};
        QTest::newRow("tipo y descripción") << "monitor" << QStringList{"12", "112"};
        QTest::newRow("modelo") << "s24f" << QStringList{"12"};
        QTest::newRow("número de serie") << "vnb3x" << QStringList{"30"};
        QTest::newRow("descripción") << "Contabilidad" << QStringList{"12"};
        QTest::newRow("acento en la descripción") << "almacen" << QStringList{"112"};
        QTest::newRow("acento tecleado que el texto también lleva") << "óptico" << QStringList{"5"};
        // Codes and serial numbers hold it; the warranty 12 of component 5 and the dates are not searched.
        QTest::newRow("número dentro de códigos y textos") << "12" << QStringList{"12", "112"};
        QTest::newRow("número dentro del modelo") << "1020" << QStringList{"30"};
        QTest::newRow("código entero") << "30" << QStringList{"30"};
        QTest::newRow("fecha, no se busca") << "2019" << QStringList{};
        QTest::newRow("renting, no se busca") << "Si" << QStringList{};
        QTest::newRow("blancos dentro del texto") << "jet 10" << QStringList{"30"};
        QTest::newRow("sin coincidencias") << "zzz" << QStringList{};
    }
    void encuentra_en_cada_columna() {
        QFETCH(QString, texto);
        QFETCH(QStringList, esperados);
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "inventario.db", inventario));
        buscar_texto(*p, texto);
        QCOMPARE(codigos(*p), esperados);
        QCOMPARE(Soporte::avisos(), esperados.isEmpty() ? QStringList{sin_resultados(texto)} : QStringList{});
    }

    // Texts from other systems: accents written as combining marks after their letter, "ß", and ligatures. Each
    // reads as its letters, whichever way it was typed; Korean syllables stay whole.
    void pliega_acentos_sueltos_y_ligaduras_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QStringList>("esperados");
        QTest::newRow("acento suelto en el texto") << "raton" << QStringList{"40"};
        QTest::newRow("acento compuesto tecleado") << "RATÓN" << QStringList{"40"};
        QTest::newRow("acento suelto tecleado") << QStringLiteral("rato\u0301n") << QStringList{"40"};
        QTest::newRow("diéresis suelta") << "pinguino" << QStringList{"40"};
        QTest::newRow("ss por ß") << "strasse" << QStringList{"41"};
        QTest::newRow("ß tecleada") << "STRAßE" << QStringList{"41"};
        QTest::newRow("ẞ mayúscula") << QStringLiteral("STRA\u1E9EE") << QStringList{"41"};
        QTest::newRow("ligadura ffi") << "office" << QStringList{"42"};
        QTest::newRow("ligadura fi") << "file" << QStringList{"42"};
        QTest::newRow("ligadura tecleada") << QStringLiteral("o\uFB03ce") << QStringList{"42"};
        QTest::newRow("œ") << "oeuvre" << QStringList{"43"};
        QTest::newRow("æ") << "AETHER" << QStringList{"43"};
        QTest::newRow("ĳ") << "ijssel" << QStringList{"43"};
        QTest::newRow("sílaba coreana") << QStringLiteral("\uD55C") << QStringList{"44"};
        QTest::newRow("otra sílaba coreana") << QStringLiteral("\uD558") << QStringList{"45"};
        QTest::newRow("solo un acento suelto") << QStringLiteral("\u0301") << QStringList{};
    }
    void pliega_acentos_sueltos_y_ligaduras() {
        QFETCH(QString, texto);
        QFETCH(QStringList, esperados);
        QTemporaryDir dir;
        const QStringList filas = {
            "INSERT INTO Tipo VALUES (1, 'Varios')",
            "INSERT INTO Marca VALUES (1, 'Marca')",
            QStringLiteral("INSERT INTO Elemento VALUES (40, 1, 1, 'Rato\u0301n', 'S', NULL, 0, 'Pingu\u0308ino', 0)"),
            QStringLiteral("INSERT INTO Elemento VALUES (41, 1, 1, 'M', 'S', NULL, 0, 'Straße 5, Hausa', 0)"),
            QStringLiteral("INSERT INTO Elemento VALUES (42, 1, 1, 'O\uFB03ce \uFB01le', 'S', NULL, 0, '', 0)"),
            QStringLiteral("INSERT INTO Elemento VALUES (43, 1, 1, 'Œuvre', 'Æther', NULL, 0, '\u0132ssel', 0)"),
            QStringLiteral("INSERT INTO Elemento VALUES (44, 1, 1, '\uD55C\uAD6D', 'S', NULL, 0, '', 0)"),
            QStringLiteral("INSERT INTO Elemento VALUES (45, 1, 1, '\uD558\uB298', 'S', NULL, 0, '', 0)")};
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "inventario.db", filas));
        buscar_texto(*p, texto);
        QCOMPARE(codigos(*p), esperados);
        QCOMPARE(Soporte::avisos(), esperados.isEmpty() ? QStringList{sin_resultados(texto)} : QStringList{});
    }

    // The folded texts follow the snapshot itself: a "Buscar" that finds the file as it was keeps them, and any
    // change of the rows, even one that keeps their number, is searched at once.
    void el_indice_sigue_a_la_instantanea() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        auto p = Soporte::abrir_principal(dir, ruta);
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList{"5"});
        auto* indice = p->findChild<IndiceTexto*>();
        QVERIFY(indice);
        QCOMPARE(indice->veces_plegado(), 1);
        const quint64 identidad = p->Data1.identidad();
        Soporte::buscar(*p, "Todos");
        QCOMPARE(p->Data1.identidad(), identidad);
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList{"5"});
        QCOMPARE(indice->veces_plegado(), 1);
        // A write through the list's own source shows in its snapshot, with as many rows as before.
        p->Data1.situar(2);
        p->Data1.editar();
        p->Data1.escribir(7, QStringLiteral("Ratón de repuesto"));
        p->Data1.actualizar();
        QCOMPARE(p->Data1.numero_filas(), 4);
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList({"5", "30"}));
        QCOMPARE(indice->veces_plegado(), 2);
        // Another program's change, read by the next "Buscar", is a new snapshot too.
        Soporte::ejecutar(ruta, {"UPDATE Elemento SET Modelo = 'Raton X' WHERE Codigo = 112"});
        Soporte::buscar(*p, "Todos");
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList({"5", "30", "112"}));
        QCOMPARE(indice->veces_plegado(), 3);
    }

    void lista_las_nueve_columnas_como_el_filtro_de_tipo() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "inventario.db", inventario));
        Soporte::buscar(*p, "Todos");
        const QStringList todas = Soporte::lineas(*p);
        buscar_texto(*p, "e");
        // Every component has an "e" somewhere; the lines are those of the type filter, in table order.
        QCOMPARE(Soporte::lineas(*p), todas);
        buscar_texto(*p, "cn12");
        QCOMPARE(Soporte::lineas(*p),
                 QStringList{"12|Monitor|Samsung|S24F350|CN12|06/05/2021|24|Pantalla de contabilidad|Si"});
        auto* lista = p->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
        QCOMPARE(lista->model()->columnCount(), 9);
        QCOMPARE(lista->model()->headerData(4, Qt::Horizontal).toString(), "Nº Serie");
    }

    void despues_de_un_filtro_de_tipo_y_al_imprimir() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "inventario.db", inventario));
        auto impresora = std::make_unique<ImpresoraMemoria>();
        ImpresoraMemoria* papel = impresora.get();
        p->fijar_impresora_lineas(std::move(impresora));
        Soporte::buscar(*p, "Impresora");
        QCOMPARE(codigos(*p), QStringList{"30"});
        // The search looks in every type, and leaves the picker's text as it was.
        buscar_texto(*p, "hp");
        QCOMPARE(codigos(*p), QStringList({"30", "112"}));
        QCOMPARE(p->findChild<QComboBox*>(QStringLiteral("DBCombo1"))->currentText(), "Impresora");
        Soporte::accion(p.get(), QStringLiteral("menuImprimir"))->trigger();
        QCOMPARE(papel->documentos.size(), 1);
        QCOMPARE(papel->documentos[0].mid(3),
                 QStringList(
                     {"30      Impresora      HP      LaserJet 1020      VNB3X      04/03/2019      36            No",
                      "112      Monitor      HP      E24      ABC      08/07/2018      6      Monitor del almacén      "
                      "No"}));
        // "Buscar" goes back to the type filter.
        QTest::mouseClick(p->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(codigos(*p), QStringList{"30"});
    }

    void texto_vacio_se_rechaza_data() {
        QTest::addColumn<QString>("texto");
        QTest::newRow("vacío") << "";
        QTest::newRow("solo blancos") << "   ";
    }
    void texto_vacio_se_rechaza() {
        QFETCH(QString, texto);
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "inventario.db", inventario));
        Soporte::buscar(*p, "Monitor");
        const QStringList antes = Soporte::lineas(*p);
        bool abierto = false;
        Soporte::cuando_abra_modal([&](QWidget* dialogo) {
            abierto = true;
            Soporte::teclear(Soporte::control<QLineEdit>(dialogo, "Text1"), texto);
            QTest::mouseClick(Soporte::control<QPushButton>(dialogo, "Command1"), Qt::LeftButton);
            QCOMPARE(Soporte::avisos(), QStringList{vacio});
            QVERIFY(dialogo->isVisible());
            // Cancelling leaves the list as it was.
            QTest::mouseClick(Soporte::control<QPushButton>(dialogo, "Command2"), Qt::LeftButton);
            QVERIFY(!dialogo->isVisible());
        });
        Soporte::accion(p.get(), QStringLiteral("menuBuscarTexto"))->trigger();
        QVERIFY(abierto);
        QCOMPARE(Soporte::lineas(*p), antes);
    }

    void busca_en_lo_leido_hasta_el_siguiente_buscar() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        auto p = Soporte::abrir_principal(dir, ruta);
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList{"5"});
        // Another program describes a printer as a mouse and renames a brand, leaving as many components as
        // before: the window's snapshot does not know yet.
        Soporte::ejecutar(ruta, {"UPDATE Elemento SET Descripcion = 'Ratón inalámbrico' WHERE Codigo = 30",
                                 "UPDATE Marca SET Nombre = 'Ratones SA' WHERE Codigo = 1"});
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList{"5"});
        // "Buscar" reads the tables again, and the next search sees both changes.
        Soporte::buscar(*p, "Todos");
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList({"5", "12", "30"}));
        // A component deleted from the list is no longer found.
        Soporte::seleccionar(*p, 1);
        Mensajes::responder(true);
        Soporte::accion(p.get(), QStringLiteral("menuEliminar"))->trigger();
        QCOMPARE(Soporte::avisos().size(), 1);
        buscar_texto(*p, "raton");
        QCOMPARE(codigos(*p), QStringList({"5", "30"}));
    }

    void tras_la_ficha_sigue_la_busqueda() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "inventario.db", inventario);
        auto p = Soporte::abrir_principal(dir, ruta);
        Soporte::buscar(*p, "Ratón");
        auto* lista = p->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
        const auto cambiar_descripcion = [&](int fila, const QString& descripcion) {
            Soporte::seleccionar(*p, fila);
            bool abierta = false;
            Soporte::cuando_abra_modal([&](QWidget* ficha) {
                abierta = true;
                Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text8"), descripcion);
                QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
            });
            Soporte::accion(p.get(), QStringLiteral("menuModificar"))->trigger();
            QVERIFY(abierta);
        };
        // The list is the same search, showing the change, with the changed component still selected.
        buscar_texto(*p, "hp");
        cambiar_descripcion(1, "Monitor de la entrada");
        QCOMPARE(Soporte::lineas(*p), QStringList({"30|Impresora|HP|LaserJet 1020|VNB3X|04/03/2019|36||No",
                                                   "112|Monitor|HP|E24|ABC|08/07/2018|6|Monitor de la entrada|No"}));
        QCOMPARE(lista->currentIndex().row(), 1);
        // A component that no longer holds the text leaves the list, without a message the user did not ask for.
        buscar_texto(*p, "entrada");
        QCOMPARE(codigos(*p), QStringList{"112"});
        cambiar_descripcion(0, "Monitor del almacén");
        QCOMPARE(codigos(*p), QStringList());
        QCOMPARE(Soporte::avisos(), QStringList());
        // After a deletion from the results, the search is still the list a card comes back to.
        buscar_texto(*p, "monitor");
        QCOMPARE(codigos(*p), QStringList({"12", "112"}));
        Soporte::seleccionar(*p, 0);
        Mensajes::responder(true);
        Soporte::accion(p.get(), QStringLiteral("menuEliminar"))->trigger();
        QCOMPARE(Soporte::avisos().size(), 1);
        cambiar_descripcion(0, "Monitor viejo");
        QCOMPARE(Soporte::lineas(*p), QStringList{"112|Monitor|HP|E24|ABC|08/07/2018|6|Monitor viejo|No"});
        // A type list is again what a card comes back to.
        Soporte::buscar(*p, "Impresora");
        cambiar_descripcion(0, "Impresora de la entrada");
        QCOMPARE(Soporte::lineas(*p),
                 QStringList{"30|Impresora|HP|LaserJet 1020|VNB3X|04/03/2019|36|Impresora de la entrada|No"});
    }
};

QTEST_MAIN(PruebaBusqueda)
#include "test_busqueda.moc"
