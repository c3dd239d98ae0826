// The database settings dialog and the About box, opened from the main window as the user opens them.
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dbcombo.h"
#include "plataforma/dialogos_sistema.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>
#include <memory>

namespace {

template <class T> T* control(QWidget* ventana, const char* nombre) {
    T* c = ventana->findChild<T*>(QLatin1String(nombre));
    if (!c)
        qFatal("No existe el control %s", nombre);
    return c;
}

void pulsar(QWidget* v, const char* boton) {
    QTest::mouseClick(control<QPushButton>(v, boton), Qt::LeftButton);
}

QString cfg(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("talvirenca.cfg"));
}

// The main window started in `dir`, whose location file holds `contenido` (none at all when it is empty).
std::unique_ptr<Principal> arrancar(const QTemporaryDir& dir, const QByteArray& contenido) {
    if (!contenido.isEmpty())
        Soporte::escribir_ubicacion(dir.path(), contenido);
    Soporte::DirectorioActual actual(dir.path());
    auto p = std::make_unique<Principal>();
    p->show();
    if (!QTest::qWaitForWindowExposed(p.get()))
        qFatal("La ventana principal no se muestra");
    return p;
}

QByteArray linea(const QString& ruta) {
    return ruta.toUtf8() + "\r\n";
}

// A location file of two lines: after the settings command it holds one, so it was written again.
QByteArray dos_lineas(const QString& ruta) {
    return linea(ruta) + "otra línea\r\n";
}

QString etiqueta_ruta(Principal* p) {
    return control<QLabel>(p, "Label2")->text();
}

// Opens the settings dialog from the menu and runs `accion` in it.
void configurar(Principal* p, const std::function<void(QWidget*)>& accion, const char* orden = "menuConfigurar") {
    bool abierto = false;
    Soporte::cuando_abra_modal([&](QWidget* w) {
        abierto = true;
        QCOMPARE(w->objectName(), "Configurar");
        accion(w);
    });
    if (QByteArray(orden).startsWith("Boton"))
        QVERIFY(Soporte::pulsar_barra(p, QLatin1String(orden)));
    else
        control<QAction>(p, orden)->trigger();
    QVERIFY(abierto);
}

// The window system gives the keyboard to a dialog as it opens; the offscreen platform of the tests needs asking.
void activar(QWidget* w) {
    w->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), w);
}

QLineEdit* caja_ruta(QWidget* w) {
    return control<QLineEdit>(w, "Text1");
}

} // namespace

class PruebaDialogos : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void configurar_diseno() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        auto p = arrancar(dir, linea(ruta));
        configurar(p.get(), [&](QWidget* w) {
            QCOMPARE(w->windowTitle(), "Configurar");
            QCOMPARE(w->size(), QSize(Aspecto::px(7200), Aspecto::px(1185)));
            // The designed point is the client area's, not the frame's.
            QCOMPARE(w->geometry().topLeft(), QPoint(Aspecto::px(1530), Aspecto::px(2520)));
            QVERIFY(!w->windowIcon().isNull());
            QVERIFY(w->windowIcon().cacheKey() != p->windowIcon().cacheKey());
            QCOMPARE(control<QLabel>(w, "Label1")->text(), "Nueva base de datos:");
            QCOMPARE(caja_ruta(w)->text(), "");
            QCOMPARE(caja_ruta(w)->toolTip(), "Nombre y path de la base de datos");
            QCOMPARE(caja_ruta(w)->accessibleName(), "Nueva base de datos:");
            QCOMPARE(caja_ruta(w)->palette().color(QPalette::Base), Aspecto::amarillo);
            const QList<std::array<QString, 3>> botones = {
                {"Command1", "Aceptar", "Acepta la nueva base de datos y vuelve al menu principal"},
                {"Command2", "Cancelar", "Cancle y vuelve al menu principal"},
                {"Command3", "Examinar", "Examinar base de datos"},
            };
            for (const auto& [nombre, texto, ayuda] : botones) {
                auto* b = control<QPushButton>(w, nombre.toLatin1().constData());
                QCOMPARE(b->text(), texto);
                QCOMPARE(b->toolTip(), ayuda);
                QVERIFY(!b->autoDefault());
            }
            // The path has the focus, and Tab goes as the dialog is laid out: its "Examinar", then the buttons
            // below from left to right.
            activar(w);
            QCOMPARE(QApplication::focusWidget()->objectName(), "Text1");
            QStringList orden;
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                orden << QApplication::focusWidget()->objectName();
            }
            QCOMPARE(orden, QStringList({"Command3", "Command2", "Command1", "Text1"}));
            // Enter and Escape do nothing by themselves.
            Soporte::teclear(caja_ruta(w), "/otra/base.db");
            QTest::keyClick(caja_ruta(w), Qt::Key_Return);
            QTest::keyClick(caja_ruta(w), Qt::Key_Escape);
            QTest::keyClick(w, Qt::Key_Escape);
            QVERIFY(w->isVisible());
            QCOMPARE(caja_ruta(w)->text(), "/otra/base.db");
            pulsar(w, "Command2");
            QVERIFY(!w->isVisible());
        });
        QCOMPARE(Module1::base_datos, ruta);
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void aceptar_sin_texto_mantiene_la_ruta() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        auto p = arrancar(dir, dos_lineas(ruta));
        configurar(p.get(), [](QWidget* w) { pulsar(w, "Command1"); });
        QCOMPARE(Module1::base_datos, ruta);
        QCOMPARE(etiqueta_ruta(p.get()), ruta);
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(ruta));
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void ruta_con_blancos_tal_cual() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        auto p = arrancar(dir, linea(ruta));
        const QString nueva = "  " + dir.filePath("otra base.db") + " ";
        Mensajes::responder(false);
        configurar(p.get(), [&](QWidget* w) {
            Soporte::teclear(caja_ruta(w), nueva);
            pulsar(w, "Command1");
        });
        QCOMPARE(Module1::base_datos, nueva);
        QCOMPARE(etiqueta_ruta(p.get()), nueva);
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(nueva));
        // The main window's sources are bound to the new path, blanks and all.
        QCOMPARE(p->Data1.base_datos(), nueva);
        QCOMPARE(p->Data2.base_datos(), nueva);
        QCOMPARE(p->Data3.base_datos(), nueva);
        QCOMPARE(Soporte::avisos().size(), 1); // the offer of a new inventory, answered No
        QVERIFY(!QFileInfo::exists(nueva));
    }

    void examinar_y_cancelar_vacia_la_caja() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        auto p = arrancar(dir, dos_lineas(ruta));
        DialogosSistema::proximo_archivo(std::nullopt);
        configurar(p.get(), [](QWidget* w) {
            Soporte::teclear(caja_ruta(w), "/tecleada/a/mano.db");
            pulsar(w, "Command3");
            QCOMPARE(caja_ruta(w)->text(), "");
            pulsar(w, "Command1");
        });
        QCOMPARE(Module1::base_datos, ruta);
        QCOMPARE(etiqueta_ruta(p.get()), ruta);
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(ruta));
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void examinar_recuerda_lo_elegido_en_esta_apertura() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        const QString elegida = Soporte::crear_base(dir, "elegida.db");
        auto p = arrancar(dir, linea(ruta));
        DialogosSistema::proximo_archivo(elegida);
        DialogosSistema::proximo_archivo(std::nullopt);
        configurar(p.get(), [&](QWidget* w) {
            pulsar(w, "Command3");
            QCOMPARE(caja_ruta(w)->text(), elegida);
            caja_ruta(w)->selectAll();
            Soporte::teclear(caja_ruta(w), "/otra/cosa.db");
            // A cancel gives back the file chosen before in this opening.
            pulsar(w, "Command3");
            QCOMPARE(caja_ruta(w)->text(), elegida);
            pulsar(w, "Command1");
        });
        QCOMPARE(Module1::base_datos, elegida);
        QCOMPARE(etiqueta_ruta(p.get()), elegida);
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(elegida));
        QCOMPARE(Soporte::avisos(), QStringList());

        // The next opening remembers nothing.
        DialogosSistema::proximo_archivo(std::nullopt);
        configurar(p.get(), [](QWidget* w) {
            QCOMPARE(caja_ruta(w)->text(), "");
            Soporte::teclear(caja_ruta(w), "x");
            pulsar(w, "Command3");
            QCOMPARE(caja_ruta(w)->text(), "");
            pulsar(w, "Command1");
        });
        QCOMPARE(Module1::base_datos, elegida);
    }

    void examinar_no_hereda_la_eleccion_del_arranque() {
        // Without a location file the start-up asks for a database; the settings dialog's own file dialog does
        // not hold that choice.
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        DialogosSistema::proximo_archivo(ruta);
        auto p = arrancar(dir, QByteArray());
        QCOMPARE(Soporte::avisos(), QStringList({"No hay base de datos seleccionada."}));
        QCOMPARE(Module1::base_datos, ruta);
        DialogosSistema::proximo_archivo(std::nullopt);
        configurar(p.get(), [](QWidget* w) {
            pulsar(w, "Command3");
            QCOMPARE(caja_ruta(w)->text(), "");
            pulsar(w, "Command2");
        });
        QCOMPARE(Module1::base_datos, ruta);
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void cancelar_y_cerrar_mantienen_la_ruta_data() {
        QTest::addColumn<QString>("forma");
        QTest::newRow("Cancelar") << "Command2";
        QTest::newRow("cierre") << "";
    }
    void cancelar_y_cerrar_mantienen_la_ruta() {
        QFETCH(QString, forma);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        const QString otra = Soporte::crear_base(dir, "otra.db");
        auto p = arrancar(dir, dos_lineas(ruta));
        // From the toolbar this time: the same command.
        configurar(
            p.get(),
            [&](QWidget* w) {
                Soporte::teclear(caja_ruta(w), otra);
                if (forma.isEmpty())
                    QVERIFY(w->close());
                else
                    pulsar(w, forma.toLatin1().constData());
                QVERIFY(!w->isVisible());
            },
            "BotonAbrir");
        QCOMPARE(Module1::base_datos, ruta);
        QCOMPARE(etiqueta_ruta(p.get()), ruta);
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(ruta));
        QCOMPARE(Soporte::avisos(), QStringList());

        // The second opening starts with an empty box.
        configurar(p.get(), [](QWidget* w) {
            QCOMPARE(caja_ruta(w)->text(), "");
            pulsar(w, "Command2");
        });
    }

    void ruta_nueva_sin_archivo_crea_inventario() {
        QTemporaryDir dir;
        const QString ruta =
            Soporte::crear_base(dir, "inventario.db",
                                {"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')",
                                 "INSERT INTO Elemento VALUES (10, 1, 1, 'E24', 'S10', '1999-02-01', 12, '', 0)"});
        auto p = arrancar(dir, linea(ruta));
        auto* picker = control<DBCombo>(p.get(), "DBCombo1");
        auto* lista = control<QTreeView>(p.get(), "ListView1");
        Soporte::buscar(*p, "Todos");
        QCOMPARE(Soporte::lineas(*p), QStringList({"10|Monitor|HP|E24|S10|01/02/1999|12||No"}));

        const QString nueva = dir.filePath("nuevo.db");
        Mensajes::responder(true);
        configurar(p.get(), [&](QWidget* w) {
            Soporte::teclear(caja_ruta(w), nueva);
            pulsar(w, "Command1");
        });
        QCOMPARE(Soporte::avisos(),
                 QStringList({QStringLiteral("          Base de datos nueva. |No existe la base de datos %1.\n\n¿Desea "
                                             "crear en ese archivo un inventario nuevo y vacío?")
                                  .arg(nueva)}));
        QCOMPARE(etiqueta_ruta(p.get()), nueva);
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(nueva));
        for (const char* tabla : {"Elemento", "Tipo", "Marca"})
            QCOMPARE(Soporte::filas(nueva, tabla), QStringList());
        // The old inventory's lines are gone: their codes would name the new inventory's components.
        QCOMPARE(Soporte::lineas(*p), QStringList());

        pulsar(p.get(), "Command1");
        QCOMPARE(Soporte::lineas(*p), QStringList());
        QCOMPARE(lista->model()->columnCount(), 9);
        QCOMPARE(picker->count(), 0);
        QCOMPARE(Soporte::avisos(), QStringList());

        // The next start uses the new inventory.
        p.reset();
        Module1::base_datos.clear();
        auto q = arrancar(dir, QByteArray());
        QCOMPARE(Module1::base_datos, nueva);
        QCOMPARE(etiqueta_ruta(q.get()), nueva);
        QCOMPARE(Soporte::avisos(), QStringList());
    }

    void ruta_nueva_sin_archivo_sin_crear() {
        // Answered No: the path is kept and remembered, and the user learns why it cannot be used when a window
        // needs its data.
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        auto p = arrancar(dir, linea(ruta));
        const QString nueva = dir.filePath("falta.db");
        Mensajes::responder(false);
        configurar(p.get(), [&](QWidget* w) {
            Soporte::teclear(caja_ruta(w), nueva);
            pulsar(w, "Command1");
        });
        QCOMPARE(Soporte::avisos().size(), 1);
        QVERIFY(!QFileInfo::exists(nueva));
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(nueva));
        QCOMPARE(etiqueta_ruta(p.get()), nueva);

        Soporte::cuando_abra_modal([](QWidget* w) { pulsar(w, "Command3"); });
        control<QAction>(p.get(), "menuAnadirTM")->trigger();
        QCOMPARE(
            Soporte::avisos(),
            QStringList(
                {QStringLiteral("ERROR: no se puede abrir la base de datos %1: el archivo no existe.").arg(nueva)}));
        QVERIFY(!QFileInfo::exists(nueva));
    }

    void acerca_de_dos_veces() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir);
        auto p = arrancar(dir, linea(ruta));
        QCOMPARE(p->windowTitle(), "Talvirenca de hardware v1.1.");
        for (int vez = 0; vez < 2; ++vez) {
            bool abierto = false;
            Soporte::cuando_abra_modal([&](QWidget* w) {
                abierto = true;
                QCOMPARE(w->objectName(), "AcercaDe");
                QCOMPARE(w->windowTitle(), "Acerca De");
                QCOMPARE(w->size(), QSize(Aspecto::px(3675), Aspecto::px(2850)));
                QCOMPARE(w->geometry().topLeft(), QPoint(Aspecto::px(3120), Aspecto::px(2490)));
                QVERIFY(w->windowIcon().isNull());
                QCOMPARE(control<QLabel>(w, "Label1")->text(), "Talvirenca de hardware. Version 1.1.");
                QCOMPARE(control<QLabel>(w, "Label2")->text(), "Windows 95.");
                QCOMPARE(control<QLabel>(w, "Label7")->text(), "Marzo del 2000.");
                auto* aceptar = control<QPushButton>(w, "Command1");
                QCOMPARE(aceptar->text(), "Aceptar");
                QVERIFY(!aceptar->autoDefault());
                activar(w);
                QCOMPARE(QApplication::focusWidget(), aceptar);
                QTest::keyClick(w, Qt::Key_Escape);
                QTest::keyClick(aceptar, Qt::Key_Return);
                QVERIFY(w->isVisible());
                pulsar(w, "Command1");
                QVERIFY(!w->isVisible());
            });
            control<QAction>(p.get(), "menuAcercaDe")->trigger();
            QVERIFY(abierto);
        }
        QCOMPARE(Module1::base_datos, ruta);
        QCOMPARE(Soporte::contenido(cfg(dir)), linea(ruta));
        QCOMPARE(Soporte::avisos(), QStringList());
    }
};

QTEST_MAIN(PruebaDialogos)
#include "test_dialogos.moc"
