// The main window: start-up with its location file, the database in use, its commands and leaving the program.
#include "data/ubicacion.h"
#include "modulo/module1.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>
#include <sys/stat.h>

using Soporte::avisos;

namespace {

const QStringList tipos_y_marcas = {
    "INSERT INTO Tipo VALUES (1, 'Ordenador'), (2, 'Monitor'), (3, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP')",
};

const QString sin_seleccion = QStringLiteral("ERROR: No hay ningun elemento seleccionado.");
const QString pregunta_salir =
    QStringLiteral("          Va a salir de la aplicación. |                        ¿Esta seguro?");

QStringList nombres(QComboBox* combo) {
    QStringList lista;
    for (int i = 0; i < combo->count(); ++i)
        lista << combo->itemText(i);
    return lista;
}

QString ubicacion(const QTemporaryDir& dir) {
    return QString::fromUtf8(Soporte::contenido(dir.filePath("talvirenca.cfg")));
}

} // namespace

class PruebaPrincipal : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void arranque_con_su_base_de_datos() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "inventario.db", tipos_y_marcas);
        Soporte::escribir_ubicacion(dir.path(), base.toUtf8() + "\r\n");
        Soporte::DirectorioActual aqui(dir.path());
        Principal p;
        p.show();
        QCOMPARE(p.windowTitle(), "Talvirenca de hardware v1.1.");
        QCOMPARE(p.findChild<QLabel*>("Label2")->text(), base);
        QCOMPARE(Module1::directorio_inicial, QDir::currentPath());
        QCOMPARE(nombres(p.findChild<QComboBox*>("DBCombo1")), QStringList({"Ordenador", "Monitor", "Impresora"}));
        auto* lista = p.findChild<QTreeView*>("ListView1");
        QCOMPARE(lista->model()->columnCount(), 0);
        QCOMPARE(lista->model()->rowCount(), 0);
        QVERIFY(!Module1::columnas_creadas);
        QCOMPARE(avisos(), QStringList());
        QCOMPARE(ubicacion(dir), base + "\r\n"); // read, not rewritten
    }

    void diseno_y_accesibilidad() {
        QTemporaryDir dir;
        Soporte::escribir_ubicacion(dir.path(), Soporte::crear_base(dir).toUtf8() + "\r\n");
        Soporte::DirectorioActual aqui(dir.path());
        Principal p;
        QCOMPARE(p.centralWidget()->size(), QSize(454, 262));
        QCOMPARE(p.findChild<QPushButton*>("Command1")->geometry(), QRect(344, 72, 105, 27));
        QCOMPARE(p.findChild<QTreeView*>("ListView1")->geometry(), QRect(8, 104, 441, 137));
        QCOMPARE(p.findChild<QComboBox*>("DBCombo1")->accessibleName(), "Selección de tipos de componentes");
        QCOMPARE(p.findChild<QLabel*>("Label2")->toolTip(), "Nombre y ubicación de la base de datos que se utiliza");
        QCOMPARE(p.findChild<QPushButton*>("Command1")->toolTip(), "Busca según el tipo de componente seleccionado");
        QCOMPARE(p.findChild<QTreeView*>("ListView1")->accessibleName(), "Lista de componentes");
        QStringList claves, ayudas;
        for (QAction* a : p.findChild<QToolBar*>("Toolbar1")->actions()) {
            claves << a->objectName();
            ayudas << a->toolTip();
            QVERIFY(!a->icon().isNull());
        }
        QCOMPARE(claves, QStringList({"BotonAbrir", "BotonImprimir", "BotonBuscar", "BotonAnadir", "BotonConsultar",
                                      "BotonModificar", "BotonBorrar", "BotonAyuda"}));
        QCOMPARE(ayudas.at(3), "Añade nuevo registro");
        QCOMPARE(ayudas.at(7), "Temas de ayuda");
        QStringList menus;
        for (const char* nombre :
             {"menuConfigurar", "menuAnadirTM", "menuConfigPrint", "menuImprimir", "menuSalir", "menuAnadir",
              "menuModificar", "menuConsultar", "menuEliminar", "menuTemasAyuda", "menuAcercaDe"})
            menus << Soporte::accion(&p, nombre)->text();
        QCOMPARE(menus,
                 QStringList({"&Configurar", "&Mantener tipos/marcas", "&Configurar impresion", "&Imprimir", "&Salir",
                              "&Añadir", "&Modificar", "&Consultar", "&Eliminar", "&Temas de ayuda", "&Acerca de"}));
        QCOMPARE(Module1::accion_ficha, QString());
    }

    void primera_vez_sin_archivo_de_ubicacion() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "elegida.db", tipos_y_marcas);
        Soporte::DirectorioActual aqui(dir.path());
        DialogosSistema::proximo_archivo(base);
        Principal p;
        QCOMPARE(avisos(), QStringList({"No hay base de datos seleccionada."}));
        QCOMPARE(ubicacion(dir), base + "\r\n");
        QCOMPARE(p.findChild<QLabel*>("Label2")->text(), base);
        p.show();
        QCOMPARE(p.findChild<QComboBox*>("DBCombo1")->count(), 3);
    }

    void archivo_de_ubicacion_vacio_o_ilegible() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir);
        Soporte::escribir_ubicacion(dir.path(), QByteArray());
        Soporte::DirectorioActual aqui(dir.path());
        DialogosSistema::proximo_archivo(base);
        Principal p;
        QCOMPARE(avisos(), QStringList({"No hay base de datos seleccionada."}));
        QCOMPARE(ubicacion(dir), base + "\r\n");
    }

    void dialogo_cancelado_guarda_una_linea_vacia() {
        QTemporaryDir dir;
        Soporte::DirectorioActual aqui(dir.path());
        {
            DialogosSistema::proximo_archivo(std::nullopt);
            Principal p;
            QCOMPARE(ubicacion(dir), "\r\n");
            QCOMPARE(p.findChild<QLabel*>("Label2")->text(), "");
            p.show(); // no database: the data sources cannot open
            QCOMPARE(avisos(), QStringList({"No hay base de datos seleccionada.",
                                            "ERROR: no hay ninguna base de datos seleccionada; elija una en "
                                            "Archivo, Configurar."}));
        }
        Principal segunda; // the empty line is read without any message
        QCOMPARE(Module1::base_datos, "");
        QCOMPARE(avisos(), QStringList());
    }

    void solo_cuenta_la_primera_linea() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "primera.db", tipos_y_marcas);
        const QByteArray dos_lineas = base.toUtf8() + "\r\n/otra/base.db\r\n";
        Soporte::escribir_ubicacion(dir.path(), dos_lineas);
        Soporte::DirectorioActual aqui(dir.path());
        Principal p;
        QCOMPARE(Module1::base_datos, base);
        QCOMPARE(Soporte::contenido(dir.filePath("talvirenca.cfg")), dos_lineas);
        p.guarda_base_datos();
        QCOMPARE(ubicacion(dir), base + "\r\n");
    }

    void linea_terminada_solo_en_salto() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir, "salto.db", tipos_y_marcas);
        Soporte::escribir_ubicacion(dir.path(), base.toUtf8() + "\n");
        Soporte::DirectorioActual aqui(dir.path());
        Principal p;
        p.show();
        QCOMPARE(Module1::base_datos, base);
        QCOMPARE(p.findChild<QComboBox*>("DBCombo1")->count(), 3);
        QCOMPARE(avisos(), QStringList());
    }

    void la_ubicacion_sigue_en_el_directorio_de_arranque() {
        QTemporaryDir arranque, otro;
        const QString base = Soporte::crear_base(otro, "lejos.db");
        Soporte::DirectorioActual aqui(arranque.path());
        DialogosSistema::proximo_archivo(base);
        Principal p;
        QCOMPARE(avisos(), QStringList({"No hay base de datos seleccionada."}));
        QDir::setCurrent(otro.path()); // as a file dialog may leave it
        Module1::base_datos = base + "x";
        p.guarda_base_datos();
        QCOMPARE(ubicacion(arranque), base + "x\r\n");
        QVERIFY(!QFile::exists(otro.filePath("talvirenca.cfg")));
    }

    void archivo_de_ubicacion_que_no_se_puede_escribir() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir);
        QVERIFY(QDir(dir.path()).mkdir("talvirenca.cfg")); // a folder where the file should be
        Soporte::DirectorioActual aqui(dir.path());
        DialogosSistema::proximo_archivo(base);
        Principal p;
        const QStringList vistos = avisos();
        QCOMPARE(vistos.size(), 2);
        QCOMPARE(vistos.at(0), "No hay base de datos seleccionada.");
        QVERIFY2(vistos.at(1).startsWith("ERROR: no se puede guardar el archivo de configuración " +
                                         QDir::toNativeSeparators(dir.filePath("talvirenca.cfg"))),
                 qPrintable(vistos.at(1)));
        QCOMPARE(p.findChild<QLabel*>("Label2")->text(), base); // the program goes on with the choice
    }

    // A location file others may change is not used: the user is told why, chooses again, and the choice is kept
    // in a file of their own that the next start trusts.
    void archivo_de_ubicacion_que_otros_pueden_cambiar() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir);
        Soporte::escribir_ubicacion(dir.path(), "postgresql://intruso@servidor.ajeno/inventario\r\n");
        const QByteArray cfg = QFile::encodeName(Ubicacion::ruta(dir.path()));
        QCOMPARE(::chmod(cfg.constData(), 0666), 0);
        Soporte::DirectorioActual aqui(dir.path());
        DialogosSistema::proximo_archivo(base);
        {
            Principal p;
            QCOMPARE(avisos(), QStringList({"ERROR: el archivo de configuración " + Ubicacion::ruta(dir.path()) +
                                                " no se usa: otros usuarios pueden cambiarlo.",
                                            "No hay base de datos seleccionada."}));
            QCOMPARE(p.findChild<QLabel*>("Label2")->text(), base);
        }
        QCOMPARE(Ubicacion::problema(dir.path()), std::nullopt);
        QCOMPARE(Ubicacion::leer(dir.path()), std::optional<QString>(base));
    }

    void inventario_nuevo_aceptado() {
        QTemporaryDir dir;
        const QString nueva = dir.filePath("nuevo/inventario.db");
        Soporte::escribir_ubicacion(dir.path(), nueva.toUtf8() + "\r\n");
        Soporte::DirectorioActual aqui(dir.path());
        Mensajes::responder(true);
        Principal p;
        p.show();
        QCOMPARE(avisos(), QStringList({"          Base de datos nueva. |No existe la base de datos " + nueva +
                                        ".\n\n¿Desea crear en ese archivo un inventario nuevo y vacío?"}));
        QCOMPARE(Soporte::filas(nueva, "Elemento"), QStringList());
        QCOMPARE(Soporte::filas(nueva, "Tipo"), QStringList());
        QCOMPARE(Soporte::filas(nueva, "Marca"), QStringList());
        QCOMPARE(p.findChild<QComboBox*>("DBCombo1")->count(), 0);
    }

    void inventario_nuevo_rechazado() {
        QTemporaryDir dir;
        const QString nueva = dir.filePath("inventario.db");
        Soporte::escribir_ubicacion(dir.path(), nueva.toUtf8() + "\r\n");
        Soporte::DirectorioActual aqui(dir.path());
        Mensajes::responder(false);
        Principal p;
        p.show();
        QVERIFY(!QFile::exists(nueva));
        const QStringList vistos = avisos();
        QCOMPARE(vistos.size(), 2);
        QCOMPARE(vistos.at(1), "ERROR: no se puede abrir la base de datos " + nueva + ": el archivo no existe.");
        QCOMPARE(p.findChild<QLabel*>("Label2")->text(), nueva);
    }

    void base_inservible_se_abre_igual() {
        QTemporaryDir dir;
        const QString texto = dir.filePath("notas.txt");
        QFile f(texto);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("No soy un inventario.\n");
        f.close();
        Soporte::escribir_ubicacion(dir.path(), texto.toUtf8() + "\r\n");
        Soporte::DirectorioActual aqui(dir.path());
        Principal p;
        p.show();
        const QString error =
            "ERROR: no se puede abrir la base de datos " + texto + ": el archivo no es una base de datos.";
        QCOMPARE(avisos(), QStringList({error}));
        QVERIFY(p.isVisible());
        QCOMPARE(p.findChild<QLabel*>("Label2")->text(), texto);
        QTest::keyClicks(p.findChild<QComboBox*>("DBCombo1"), "Todos");
        QTest::mouseClick(p.findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QCOMPARE(avisos(), QStringList({error}));
        QCOMPARE(Soporte::contenido(texto), QByteArray("No soy un inventario.\n"));
    }

    void ordenes_sin_elemento_seleccionado() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", tipos_y_marcas));
        for (const char* clave : {"BotonConsultar", "BotonModificar", "BotonBorrar"})
            QVERIFY(Soporte::pulsar_barra(p.get(), clave));
        for (const char* entrada : {"menuConsultar", "menuModificar", "menuEliminar"})
            Soporte::accion(p.get(), entrada)->trigger();
        QCOMPARE(avisos(), QStringList(6, sin_seleccion));
    }

    void ayuda_desde_la_barra_y_el_menu() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir));
        QVERIFY(Soporte::pulsar_barra(p.get(), "BotonAyuda"));
        Soporte::accion(p.get(), "menuTemasAyuda")->trigger();
        QCOMPARE(avisos(), QStringList(2, "Ayuda todavía no implementada."));
        p->Toolbar1_ButtonClick("BotonQueNoExiste"); // an unknown key does nothing
        QCOMPARE(avisos(), QStringList());
    }

    void salir_con_no_y_con_si() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir));
        Mensajes::responder(false);
        Soporte::accion(p.get(), "menuSalir")->trigger();
        QVERIFY(p->isVisible());
        Mensajes::responder(true);
        Soporte::accion(p.get(), "menuSalir")->trigger();
        QVERIFY(!p->isVisible());
        QCOMPARE(avisos(), QStringList(2, pregunta_salir));
    }

    void la_caja_de_cierre_pregunta_lo_mismo() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir));
        Mensajes::responder(false);
        QVERIFY(!p->close());
        QVERIFY(p->isVisible());
        Mensajes::responder(true);
        QVERIFY(p->close());
        QCOMPARE(avisos(), QStringList(2, pregunta_salir));
    }

    void cada_ventana_con_su_icono() {
        QTemporaryDir dir;
        const QString base =
            Soporte::crear_base(dir, "i.db",
                                {"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')",
                                 "INSERT INTO Elemento VALUES (1, 1, 1, 'E24', 'S1', '2000-01-01', 12, '', 0)"});
        auto p = Soporte::abrir_principal(dir, base);
        const auto imagen = [](QWidget* w) { return w->windowIcon().pixmap(32, 32).toImage(); };
        QList<QImage> iconos = {imagen(p.get())};
        QVERIFY(!iconos.first().isNull());
        // Each window is opened the way the user opens it, and looked at while it is open.
        const auto icono_de = [&](const std::function<void()>& abrir) {
            QImage visto;
            Soporte::cuando_abra_modal([&](QWidget* ventana) { visto = imagen(ventana); });
            abrir();
            return visto;
        };
        iconos << icono_de([&] { QVERIFY(Soporte::pulsar_barra(p.get(), "BotonAnadir")); });
        iconos << icono_de([&] { Soporte::accion(p.get(), "menuAnadirTM")->trigger(); });
        iconos << icono_de([&] { QVERIFY(Soporte::pulsar_barra(p.get(), "BotonAbrir")); });
        for (int i = 0; i < iconos.size(); ++i)
            for (int j = i + 1; j < iconos.size(); ++j)
                QVERIFY2(!iconos[i].isNull() && iconos[i] != iconos[j], qPrintable(QString("%1 %2").arg(i).arg(j)));
        const QImage acerca = icono_de([&] { Soporte::accion(p.get(), "menuAcercaDe")->trigger(); });
        QVERIFY(!iconos.contains(acerca)); // the About box has none of its own
    }

    void cajas_de_mensaje_en_castellano() {
        auto aviso = Mensajes::caja_aviso(nullptr, "Hola");
        QCOMPARE(aviso->windowTitle(), "Talvirenca");
        QCOMPARE(aviso->icon(), QMessageBox::NoIcon);
        QCOMPARE(aviso->buttons().size(), 1);
        QCOMPARE(aviso->buttons().first()->text().remove('&'), "Aceptar");
        auto pregunta = Mensajes::caja_pregunta(nullptr, "Título", "¿Seguro?");
        QCOMPARE(pregunta->windowTitle(), "Título");
        QCOMPARE(pregunta->icon(), QMessageBox::NoIcon);
        QCOMPARE(pregunta->button(QMessageBox::Yes)->text().remove('&'), "Sí");
        QCOMPARE(pregunta->button(QMessageBox::No)->text().remove('&'), "No");
        QCOMPARE(pregunta->defaultButton(), pregunta->button(QMessageBox::Yes));
    }
};

QTEST_MAIN(PruebaPrincipal)
#include "test_principal.moc"
