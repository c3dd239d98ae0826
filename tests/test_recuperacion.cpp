// Recovery from faults the user does not cause: a crash in the middle of a write, another program holding the
// file, a path the system would read differently, a row another program changed; and what a screen reader hears.
#include "data/conexion.h"
#include "data/origen_datos.h"
#include "data/ubicacion.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dialogos_sistema.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <cerrno>
#include <set>
#include <sqlite3.h>
#include <unistd.h>

using Soporte::avisos;
using Soporte::control;

namespace {

const QStringList tres_componentes = {
    "INSERT INTO Tipo VALUES (1, 'Ordenador'), (2, 'Monitor')",
    "INSERT INTO Marca VALUES (1, 'HP')",
    "INSERT INTO Elemento VALUES (3, 1, 1, 'EliteDesk', 'CZC1', '2021-03-05', 24, 'Contabilidad', 0)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'E24', 'S7', '1999-11-12', 100000, 'Recepción', 1)",
    "INSERT INTO Elemento VALUES (9, 1, 1, 'ProDesk', 'CZC9', '2022-01-31', 12.5, '', 0)",
};
const QStringList lineas_tres = {
    "3|Ordenador|HP|EliteDesk|CZC1|05/03/2021|24|Contabilidad|No",
    "7|Monitor|HP|E24|S7|12/11/1999|100000|Recepción|Si",
    "9|Ordenador|HP|ProDesk|CZC9|31/01/2022|12.5||No",
};

// Starts the writer in `modo` on `ruta`.
std::unique_ptr<QProcess> escritor(const char* modo, const QString& ruta) {
    auto proceso = std::make_unique<QProcess>();
    proceso->start(QStringLiteral(ESCRITOR_PRUEBA), {QLatin1String(modo), ruta});
    if (!proceso->waitForStarted())
        qFatal("no arranca el escritor");
    return proceso;
}

// The next line the writer printed, or an empty text when it stopped.
QString linea_de(QProcess& proceso) {
    while (!proceso.canReadLine())
        if (!proceso.waitForReadyRead(10000))
            return {};
    return QString::fromUtf8(proceso.readLine()).trimmed();
}

void matar(QProcess& proceso) {
    proceso.kill();
    proceso.waitForFinished();
}

// Another program dies in the middle of a large write, leaving its journal beside the file.
void dejar_escritura_interrumpida(const QString& ruta) {
    auto proceso = escritor("colgado", ruta);
    QCOMPARE(linea_de(*proceso), QStringLiteral("listo"));
    matar(*proceso);
    QVERIFY(QFileInfo(ruta + QStringLiteral("-journal")).size() > 0);
}

QString integridad(const QString& ruta) {
    SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READONLY);
    return QString::fromStdString(db.execAndGet("PRAGMA integrity_check").getString());
}

QLabel* etiqueta_ruta(Principal& p) {
    return control<QLabel>(&p, "Label2");
}

QString nombre_accesible(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

// Opens the settings dialog from the main window and does `accion` in it.
void en_configurar(Principal& p, const std::function<void(QWidget*)>& accion) {
    Soporte::en_ventana<QDialog>(&p, "menuConfigurar", accion);
}

// A folder whose entries nobody may remove, as a folder the user may not change (root ignores the permissions of
// a folder, so the tests make it with a layer over SQLite's file system): removing a file fails as the system
// fails it there.
class CarpetaFija {
public:
    CarpetaFija() {
        real_ = sqlite3_vfs_find(nullptr);
        capa_ = *real_;
        capa_.zName = "carpeta_fija";
        capa_.xDelete = [](sqlite3_vfs*, const char*, int) {
            ultimo_error_ = EACCES;
            return SQLITE_IOERR_DELETE;
        };
        capa_.xGetLastError = [](sqlite3_vfs*, int, char*) { return ultimo_error_; };
        sqlite3_vfs_register(&capa_, 1);
    }
    ~CarpetaFija() {
        sqlite3_vfs_unregister(&capa_);
        sqlite3_vfs_register(real_, 1);
    }

private:
    sqlite3_vfs* real_;
    sqlite3_vfs capa_;
    static inline int ultimo_error_ = 0;
};

const QString no_deshecha = QStringLiteral("no se puede abrir la base de datos %1: una escritura interrumpida no se "
                                           "ha podido deshacer porque el archivo o su carpeta son de solo lectura.");

} // namespace

class PruebaRecuperacion : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() {
        Conexion::forzar_solo_lectura(false);
        Conexion::fijar_espera_bloqueo(4000);
        Conexion::al_esperar_bloqueo(Aspecto::mostrar_espera);
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void escritura_interrumpida_se_deshace_al_abrir() {
        QTemporaryDir aqui;
        const QString ruta = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        dejar_escritura_interrumpida(ruta);
        auto p = Soporte::abrir_principal(aqui, ruta);
        Soporte::buscar(*p, QStringLiteral("Todos"));
        QCOMPARE(avisos(), QStringList());
        QCOMPARE(Soporte::lineas(*p), lineas_tres);
        QCOMPARE(integridad(ruta), QStringLiteral("ok"));
    }

    void escritura_interrumpida_en_archivo_de_solo_lectura() {
        QTemporaryDir aqui;
        const QString ruta = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        dejar_escritura_interrumpida(ruta);
        const QByteArray antes = Soporte::contenido(ruta);
        Conexion::forzar_solo_lectura(true);
        OrigenDatos origen;
        origen.enlazar_base_datos(ruta);
        origen.enlazar_tabla(QStringLiteral("Elemento"));
        QCOMPARE(Soporte::mensaje_de([&] { origen.refrescar(); }),
                 QStringLiteral("no se puede abrir la base de datos %1: una escritura interrumpida no se ha podido "
                                "deshacer porque el archivo o su carpeta son de solo lectura.")
                     .arg(ruta));
        QCOMPARE(Soporte::contenido(ruta), antes);
        QVERIFY(QFileInfo(ruta + QStringLiteral("-journal")).size() > 0);
    }

    // The reason told for a file that cannot be removed: a folder that may not be changed is not a failing disk.
    void motivo_de_un_borrado_data() {
        QTest::addColumn<int>("codigo");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("motivo");
        const QString carpeta = QStringLiteral("la carpeta del archivo es de solo lectura.");
        const QString disco = QStringLiteral("ha fallado la lectura o la escritura del disco.");
        QTest::newRow("sin permiso") << SQLITE_IOERR_DELETE << EACCES << carpeta;
        QTest::newRow("no permitido") << SQLITE_IOERR_DELETE << EPERM << carpeta;
        QTest::newRow("disco de solo lectura") << SQLITE_IOERR_DELETE << EROFS << carpeta;
        QTest::newRow("disco que falla") << SQLITE_IOERR_DELETE << EIO << disco;
        QTest::newRow("lectura sin permiso") << SQLITE_IOERR_READ << EACCES << disco;
    }
    void motivo_de_un_borrado() {
        QFETCH(int, codigo);
        QFETCH(int, error);
        QFETCH(QString, motivo);
        QCOMPARE(motivo_sqlite(codigo, error), motivo);
    }

    // An interrupted write in a folder that may not be changed: SQLite undoes the write but cannot remove the
    // journal, which stays and must be undone again at every opening; the user is told the folder's reason, as on a
    // disk mounted read-only.
    void escritura_interrumpida_en_carpeta_fija() {
        QTemporaryDir aqui;
        const QString ruta = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        dejar_escritura_interrumpida(ruta);
        const CarpetaFija fija;
        OrigenDatos origen;
        origen.enlazar_base_datos(ruta);
        origen.enlazar_tabla(QStringLiteral("Elemento"));
        QCOMPARE(Soporte::mensaje_de([&] { origen.refrescar(); }), no_deshecha.arg(ruta));
        QVERIFY(QFileInfo(ruta + QStringLiteral("-journal")).size() > 0);
    }

    // The same in a real folder made read-only; only a user other than root is held by its permissions.
    void escritura_interrumpida_en_carpeta_de_solo_lectura() {
        if (::geteuid() == 0)
            QSKIP("root no respeta los permisos de una carpeta");
        QTemporaryDir aqui;
        const QString ruta = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        dejar_escritura_interrumpida(ruta);
        QVERIFY(QFile::setPermissions(aqui.path(), QFile::ReadOwner | QFile::ExeOwner));
        OrigenDatos origen;
        origen.enlazar_base_datos(ruta);
        origen.enlazar_tabla(QStringLiteral("Elemento"));
        const QString mensaje = Soporte::mensaje_de([&] { origen.refrescar(); });
        QFile::setPermissions(aqui.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(mensaje, no_deshecha.arg(ruta));
    }

    // The program killed at random moments while it stores components: every stored one survives and the file
    // always opens as it is, without a message.
    void muertes_al_azar_mientras_guarda() {
        QTemporaryDir aqui;
        const QString ruta = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        const quint32 semilla = QRandomGenerator::global()->generate();
        QRandomGenerator azar(semilla);
        std::set<qint64> guardados;
        int con_diario = 0;
        constexpr int muertes = 20;
        for (int vuelta = 0; vuelta < muertes; ++vuelta) {
            auto proceso = escritor("componentes", ruta);
            const int antes_de_matar = 1 + static_cast<int>(azar.bounded(12));
            for (int i = 0; i < antes_de_matar; ++i) {
                const QString linea = linea_de(*proceso);
                QVERIFY2(!linea.isEmpty(), qPrintable(QString::fromUtf8(proceso->readAllStandardError())));
                guardados.insert(linea.toLongLong());
            }
            matar(*proceso);
            // What the writer printed before it died was stored too.
            while (proceso->canReadLine())
                guardados.insert(QString::fromUtf8(proceso->readLine()).trimmed().toLongLong());
            con_diario += QFileInfo(ruta + QStringLiteral("-journal")).size() > 0;

            OrigenDatos origen;
            origen.enlazar_base_datos(ruta);
            origen.enlazar_tabla(QStringLiteral("Elemento"));
            QCOMPARE(Soporte::mensaje_de([&] { origen.refrescar(); }), QStringLiteral("(sin error)"));
            for (qint64 codigo : guardados)
                QVERIFY2(origen.primera_fila_con_codigo(codigo),
                         qPrintable(QStringLiteral("falta %1 (semilla %2)").arg(codigo).arg(semilla)));
            QCOMPARE(integridad(ruta), QStringLiteral("ok"));
        }
        qInfo("%d muertes, %d con escritura a medias, %zu componentes guardados, semilla %u", muertes, con_diario,
              guardados.size(), semilla);
    }

    void otro_programa_retiene_el_archivo_data() {
        QTest::addColumn<QString>("orden");
        QTest::newRow("Buscar") << "Command1";
        QTest::newRow("Añadir") << "BotonAnadir";
        QTest::newRow("Consultar") << "BotonConsultar";
        QTest::newRow("Modificar") << "BotonModificar";
    }

    // One wait and one message per command, with the wait cursor while it lasts.
    void otro_programa_retiene_el_archivo() {
        QFETCH(QString, orden);
        QTemporaryDir aqui;
        const QString ruta = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        auto p = Soporte::abrir_principal(aqui, ruta);
        Soporte::buscar(*p, QStringLiteral("Todos"));
        Soporte::seleccionar(*p, 0);
        Conexion::fijar_espera_bloqueo(200);
        int esperas = 0;
        Conexion::al_esperar_bloqueo([&] {
            ++esperas;
            Aspecto::mostrar_espera();
        });
        SQLite::Database otro(ruta.toStdString(), SQLite::OPEN_READWRITE);
        otro.exec("BEGIN EXCLUSIVE");
        // Closes the card if it opened: that would have been a second read of the held file.
        bool ficha_abierta = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* ficha = QApplication::activeModalWidget()) {
                ficha_abierta = true;
                ficha->close();
            }
        });
        if (orden == QLatin1String("Command1"))
            QTest::mouseClick(control<QPushButton>(p.get(), "Command1"), Qt::LeftButton);
        else
            QVERIFY(Soporte::pulsar_barra(p.get(), orden));
        QCOMPARE(esperas, 1);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QCOMPARE(avisos(), QStringList({QStringLiteral("ERROR: no se puede abrir la base de datos %1: otro programa "
                                                       "está usando el archivo; inténtelo de nuevo más tarde.")
                                            .arg(ruta)}));
        QVERIFY(!ficha_abierta);
        QCoreApplication::processEvents();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        otro.exec("ROLLBACK");
    }

    void ruta_con_caracter_nulo_o_salto_de_linea_data() {
        QTest::addColumn<QString>("desde");
        QTest::addColumn<QString>("cola");
        QTest::addColumn<QString>("motivo");
        const QString nulo = QStringLiteral("el nombre contiene un carácter nulo, que ningún nombre de archivo puede "
                                            "llevar.");
        const QString salto = QStringLiteral("el nombre contiene un salto de línea, que el archivo de configuración "
                                             "no puede guardar.");
        QTest::newRow("talvirenca.cfg") << "ubicacion" << QStringLiteral("\0x") << nulo;
        QTest::newRow("Nueva base de datos") << "texto" << QStringLiteral("\0x") << nulo;
        QTest::newRow("Nueva base de datos, salto") << "texto" << QStringLiteral("\nx") << salto;
        QTest::newRow("Examinar") << "examinar" << QStringLiteral("\0x") << nulo;
        QTest::newRow("diálogo de arranque") << "arranque" << QStringLiteral("\0x") << nulo;
    }

    // The name the system would read is cut at the NUL and names another program's database, which stays as it was.
    void ruta_con_caracter_nulo_o_salto_de_linea() {
        QFETCH(QString, desde);
        QFETCH(QString, cola);
        QFETCH(QString, motivo);
        QTemporaryDir aqui;
        const QString ajeno = aqui.filePath("ajeno.db");
        {
            SQLite::Database db(ajeno.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec("CREATE TABLE Clientes (Nombre TEXT); INSERT INTO Clientes VALUES ('Ana')");
        }
        const QByteArray antes = Soporte::contenido(ajeno);
        const QString mala = ajeno + cola;
        const QString visible = Ubicacion::ruta_visible(mala);
        const QString buena = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        if (desde == QLatin1String("ubicacion") || desde == QLatin1String("arranque")) {
            if (desde == QLatin1String("ubicacion"))
                Soporte::escribir_ubicacion(aqui.path(), mala.toUtf8() + "\r\n");
            else
                QFile::remove(aqui.filePath("talvirenca.cfg"));
            DialogosSistema::proximo_archivo(desde == QLatin1String("ubicacion") ? std::optional<QString>(buena)
                                                                                 : std::optional<QString>(mala));
            Soporte::DirectorioActual en(aqui.path());
            Principal p;
            p.show();
            const QString origen = desde == QLatin1String("ubicacion")
                                       ? QStringLiteral("La base de datos que indica talvirenca.cfg")
                                       : QStringLiteral("El archivo elegido");
            QStringList esperados = {
                QStringLiteral("ERROR: %1 (%2) no se puede usar: %3").arg(origen, visible, motivo)};
            if (desde == QLatin1String("arranque")) {
                esperados.prepend(QStringLiteral("No hay base de datos seleccionada."));
                esperados.append(QStringLiteral(
                    "ERROR: no hay ninguna base de datos seleccionada; elija una en Archivo, Configurar."));
            }
            QCOMPARE(avisos(), esperados);
            QCOMPARE(Module1::base_datos, desde == QLatin1String("ubicacion") ? buena : QString());
        } else {
            auto p = Soporte::abrir_principal(aqui, buena);
            en_configurar(*p, [&](QWidget* w) {
                if (desde == QLatin1String("texto")) {
                    control<QLineEdit>(w, "Text1")->setText(mala);
                    QTest::mouseClick(control<QPushButton>(w, "Command1"), Qt::LeftButton);
                } else {
                    DialogosSistema::proximo_archivo(mala);
                    QTest::mouseClick(control<QPushButton>(w, "Command3"), Qt::LeftButton);
                    QCOMPARE(control<QLineEdit>(w, "Text1")->text(), QString());
                }
                // Refused, the dialog stays open to correct the name.
                QVERIFY(w->isVisible());
                QCOMPARE(avisos(),
                         QStringList(
                             {QStringLiteral("ERROR: la base de datos %1 no se puede usar: %2").arg(visible, motivo)}));
                QTest::mouseClick(control<QPushButton>(w, "Command2"), Qt::LeftButton);
            });
            QCOMPARE(Module1::base_datos, buena);
        }
        QCOMPARE(Soporte::contenido(ajeno), antes);
        QVERIFY(!Soporte::contenido(aqui.filePath("talvirenca.cfg")).contains('\0'));
    }

    // A label that shows data speaks that data; its caption is not what the user needs to hear.
    void la_ruta_se_oye_y_no_se_interpreta() {
        QTemporaryDir aqui;
        const QString a = Soporte::crear_base(aqui, "a.db", tres_componentes);
        QVERIFY(QDir(aqui.path()).mkpath("<b>negrita"));
        const QString b = Soporte::crear_base(aqui, "<b>negrita/b.db");
        auto p = Soporte::abrir_principal(aqui, a);
        QCOMPARE(nombre_accesible(etiqueta_ruta(*p)), a);
        QCOMPARE(QAccessible::queryAccessibleInterface(etiqueta_ruta(*p))->text(QAccessible::Description),
                 QStringLiteral("Nombre y ubicación de la base de datos que se utiliza"));
        en_configurar(*p, [&](QWidget* w) {
            control<QLineEdit>(w, "Text1")->setText(b);
            QTest::mouseClick(control<QPushButton>(w, "Command1"), Qt::LeftButton);
        });
        QCOMPARE(nombre_accesible(etiqueta_ruta(*p)), b);
        QCOMPARE(etiqueta_ruta(*p)->text(), b);
        QCOMPARE(etiqueta_ruta(*p)->textFormat(), Qt::PlainText);
        // The field beside its caption keeps the caption as its name.
        en_configurar(*p, [&](QWidget* w) {
            QCOMPARE(nombre_accesible(control<QLineEdit>(w, "Text1")), QStringLiteral("Nueva base de datos:"));
            QTest::mouseClick(control<QPushButton>(w, "Command2"), Qt::LeftButton);
        });
    }

    // The components are read at first use, from the file the window opened, whatever was chosen since.
    void lectura_diferida_lee_lo_que_se_abrio() {
        QTemporaryDir aqui;
        const QString a = Soporte::crear_base(aqui, "a.db", tres_componentes);
        const QString b =
            Soporte::crear_base(aqui, "b.db",
                                {"INSERT INTO Tipo VALUES (1, 'Escáner')", "INSERT INTO Marca VALUES (1, 'Epson')",
                                 "INSERT INTO Elemento VALUES (50, 1, 1, 'DS-30', 'X1', '2020-02-02', 6, '', 0)"});
        auto p = Soporte::abrir_principal(aqui, a);
        en_configurar(*p, [&](QWidget* w) {
            control<QLineEdit>(w, "Text1")->setText(b);
            QTest::mouseClick(control<QPushButton>(w, "Command1"), Qt::LeftButton);
        });
        Soporte::reemplazar(control<QComboBox>(p.get(), "DBCombo1"), QStringLiteral("Todos"));
        QVERIFY(Soporte::pulsar_barra(p.get(), QStringLiteral("BotonBuscar")));
        QCOMPARE(Soporte::lineas(*p), lineas_tres);
        // "Buscar" reads the tables again, now from the file chosen.
        Soporte::buscar(*p, QStringLiteral("Todos"));
        QCOMPARE(Soporte::lineas(*p), QStringList({"50|Escáner|Epson|DS-30|X1|02/02/2020|6||No"}));
        QCOMPARE(avisos(), QStringList());
    }

    // The row's identity follows its code through every store, and a row another program removed is never
    // reported stored or deleted.
    void identidad_de_la_fila_tras_cada_cambio() {
        QTemporaryDir aqui;
        const QString ruta = Soporte::crear_base(aqui, "inventario.db", tres_componentes);
        OrigenDatos d;
        d.enlazar_base_datos(ruta);
        d.enlazar_tabla(QStringLiteral("Elemento"));
        d.refrescar();
        d.situar(*d.primera_fila_con_codigo(3));
        d.editar();
        d.escribir(0, QStringLiteral("30"));
        d.actualizar();
        d.editar();
        d.escribir(3, QStringLiteral("EliteDesk G2"));
        d.actualizar();
        QVERIFY(Soporte::filas(ruta, "Elemento").contains("30|1|1|EliteDesk G2|CZC1|2021-03-05|24.0|Contabilidad|0"));
        d.borrar();
        QCOMPARE(Soporte::filas(ruta, "Elemento").size(), 2);
        QVERIFY(!Soporte::filas(ruta, "Elemento").join(u'\n').contains("EliteDesk"));

        Soporte::ejecutar(ruta, {"DELETE FROM Elemento WHERE Codigo IN (7, 9)"});
        d.situar(*d.primera_fila_con_codigo(7));
        d.editar();
        d.escribir(3, QStringLiteral("E27"));
        QCOMPARE(
            Soporte::mensaje_de([&] { d.actualizar(); }),
            QStringLiteral("no se han podido guardar los cambios en %1: el componente ha cambiado o se ha borrado en "
                           "la base de datos desde que se leyó.")
                .arg(ruta));
        d.cancelar();
        d.situar(*d.primera_fila_con_codigo(9));
        QCOMPARE(Soporte::mensaje_de([&] { d.borrar(); }),
                 QStringLiteral(
                     "no se ha podido borrar en %1: el componente ha cambiado o se ha borrado en la base de datos "
                     "desde que se leyó.")
                     .arg(ruta));
        QCOMPARE(Soporte::filas(ruta, "Elemento").size(), 0);
        QCOMPARE(integridad(ruta), QStringLiteral("ok"));
    }

    void garantia_en_cifras_data() {
        QTest::addColumn<double>("meses");
        QTest::addColumn<QString>("texto");
        QTest::newRow("cien mil") << 100000.0 << "100000";
        QTest::newRow("un millón") << 1e6 << "1000000";
        QTest::newRow("fracción") << 12.5 << "12.5";
        QTest::newRow("décima") << 0.1 << "0.1";
        QTest::newRow("negativo") << -6.0 << "-6";
        QTest::newRow("cero") << 0.0 << "0";
    }

    void garantia_en_cifras() {
        QFETCH(double, meses);
        QFETCH(QString, texto);
        QCOMPARE(Valores::texto_real(meses), texto);
    }
};

QTEST_MAIN(PruebaRecuperacion)
#include "test_recuperacion.moc"
