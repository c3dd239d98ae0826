// While another program holds the file: the windows keep painting during the wait, a failed search leaves the list,
// and a card that stores nothing never touches the file.
#include "data/conexion.h"
#include "plataforma/aspecto.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

namespace {

const QStringList tres_componentes = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP'), (5, 'Dell')",
    "INSERT INTO Elemento VALUES (3, 1, 5, 'P2422H', 'S3', '2000-03-05', 24, 'Contabilidad', 1)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'S7', '1999-02-01', 12, '', 0)",
    "INSERT INTO Elemento VALUES (10, 2, 1, 'LJ5', 'S10', '1999-11-12', 36, 'Recepción', 0)",
};

QString ocupado(const QString& ruta) {
    return QStringLiteral("ERROR: no se puede abrir la base de datos %1: otro programa está usando el archivo; "
                          "inténtelo de nuevo más tarde.")
        .arg(ruta);
}

QTreeView* lista(Principal& p) {
    return Soporte::control<QTreeView>(&p, "ListView1");
}

int seleccionada(Principal& p) {
    const QModelIndexList filas = lista(p)->selectionModel()->selectedRows();
    return filas.isEmpty() ? -1 : filas.first().row();
}

// What a timer saw while a command ran: the event loop ran, the wait cursor was up, the list as the user sees it,
// and the list painted again when asked to.
struct Vigia : QObject {
    explicit Vigia(Principal& p) : principal(p) {
        lista(p)->viewport()->installEventFilter(this);
        connect(&reloj, &QTimer::timeout, this, [this] {
            if (!en_orden)
                return;
            ++vueltas;
            cursores_de_espera +=
                QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
            lineas_vistas << Soporte::lineas(principal).size();
            lista(principal)->viewport()->update();
        });
        reloj.start(10);
    }
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (en_orden && evento->type() == QEvent::Paint)
            ++pintadas;
        return QObject::eventFilter(objeto, evento);
    }

    Principal& principal;
    QTimer reloj;
    bool en_orden = false;
    int vueltas = 0;
    int cursores_de_espera = 0;
    int pintadas = 0;
    QList<qsizetype> lineas_vistas;
};

} // namespace

class PruebaEspera : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() {
        Conexion::fijar_espera_bloqueo(4000);
        Conexion::al_esperar_bloqueo(Aspecto::mostrar_espera);
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void buscar_mientras_otro_retiene_el_archivo_data() {
        QTest::addColumn<QString>("como");
        QTest::newRow("botón Buscar") << "Command1";
        QTest::newRow("Intro en el selector de tipos") << "Intro";
    }
    // The window keeps painting with the wait cursor while it waits, and after the message the list and its
    // selection are as they were.
    void buscar_mientras_otro_retiene_el_archivo() {
        QFETCH(QString, como);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), tres_componentes);
        auto p = Soporte::abrir_principal(dir, ruta);
        Soporte::buscar(*p, QStringLiteral("Todos"));
        Soporte::seleccionar(*p, 1);
        const QStringList antes = Soporte::lineas(*p);
        QCOMPARE(antes.size(), 3);
        Conexion::fijar_espera_bloqueo(300);
        SQLite::Database otro(ruta.toStdString(), SQLite::OPEN_READWRITE);
        otro.exec("BEGIN EXCLUSIVE");
        Vigia vigia(*p);
        vigia.en_orden = true;
        if (como == QLatin1String("Command1"))
            QTest::mouseClick(Soporte::control<QPushButton>(p.get(), "Command1"), Qt::LeftButton);
        else
            QTest::keyClick(Soporte::control<QComboBox>(p.get(), "DBCombo1"), Qt::Key_Return);
        vigia.en_orden = false;
        QCOMPARE(Soporte::avisos(), QStringList{ocupado(ruta)});
        QVERIFY2(vigia.vueltas >= 5, qPrintable(QString::number(vigia.vueltas)));
        QCOMPARE(vigia.cursores_de_espera, vigia.vueltas);
        QVERIFY(vigia.pintadas > 0);
        QCOMPARE(vigia.lineas_vistas, QList<qsizetype>(vigia.vueltas, 3));
        QCOMPARE(Soporte::lineas(*p), antes);
        QCOMPARE(seleccionada(*p), 1);
        // The cursor comes back once the window waits for the user again.
        QCoreApplication::processEvents();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        otro.exec("ROLLBACK");
    }

    void cerrar_la_ficha_mientras_otro_retiene_el_archivo_data() {
        QTest::addColumn<QString>("orden");
        QTest::addColumn<QString>("boton");
        QTest::newRow("consultar, Cancelar") << "BotonConsultar"
                                             << "Command2";
        QTest::newRow("consultar, Aceptar") << "BotonConsultar"
                                            << "Command1";
        QTest::newRow("modificar, Cancelar") << "BotonModificar"
                                             << "Command2";
        QTest::newRow("añadir, Cancelar") << "BotonAnadir"
                                          << "Command2";
        QTest::newRow("modificar, cierre de la ventana") << "BotonModificar"
                                                         << "";
    }
    // A card that stores nothing closes at once, without a wait or a message, and the list keeps its selection.
    void cerrar_la_ficha_mientras_otro_retiene_el_archivo() {
        QFETCH(QString, orden);
        QFETCH(QString, boton);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), tres_componentes);
        auto p = Soporte::abrir_principal(dir, ruta);
        Soporte::buscar(*p, QStringLiteral("Todos"));
        Soporte::seleccionar(*p, 2);
        const QStringList antes = Soporte::lineas(*p);
        Conexion::fijar_espera_bloqueo(300);
        int esperas = 0;
        Conexion::al_esperar_bloqueo([&] {
            ++esperas;
            Aspecto::mostrar_espera();
        });
        std::unique_ptr<SQLite::Database> otro;
        const QByteArray contenido = Soporte::contenido(ruta);
        bool abierta = false;
        Soporte::cuando_abra_modal([&](QWidget* ficha) {
            abierta = true;
            otro = std::make_unique<SQLite::Database>(ruta.toStdString(), SQLite::OPEN_READWRITE);
            otro->exec("BEGIN EXCLUSIVE");
            if (boton.isEmpty())
                ficha->close();
            else
                QTest::mouseClick(Soporte::control<QPushButton>(ficha, boton.toLatin1().constData()), Qt::LeftButton);
            QVERIFY(!ficha->isVisible());
        });
        QVERIFY(Soporte::pulsar_barra(p.get(), orden));
        QVERIFY(abierta);
        QCOMPARE(esperas, 0);
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(Soporte::lineas(*p), antes);
        QCOMPARE(seleccionada(*p), 2);
        otro->exec("ROLLBACK");
        QCOMPARE(Soporte::contenido(ruta), contenido);
    }
};

QTEST_MAIN(PruebaEspera)
#include "test_espera.moc"
