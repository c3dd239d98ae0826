// An inventory on a PostgreSQL server: the data sources on both engines, several people at once, and the failures
// a server brings. The server is a throwaway cluster the test fixture starts (tests/pg_servidor.sh).
#include "anadirtm/anadirtm.h"
#include "copia/copia.h"
#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/motor.h"
#include "data/motor_pg.h"
#include "data/origen_datos.h"
#include "data/recorridos.h"
#include "data/traslado.h"
#include "data/ubicacion.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/contrasena.h"
#include "plataforma/dbcombo.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/reloj.h"
#include "principal/principal.h"
#include "soporte/pg_pruebas.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <libpq-fe.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using PgPruebas::base_vacia;
using PgPruebas::carpeta_servidor;
using PgPruebas::sql;
using PgPruebas::uri;

// The types, brands and components every engine case starts from.
void llenar(const QString& base) {
    OrigenDatos o;
    o.enlazar_base_datos(base);
    o.enlazar_tabla(QStringLiteral("Tipo"));
    o.refrescar();
    Recorridos::anadir(o, {1, QStringLiteral("Monitor")});
    Recorridos::anadir(o, {2, QStringLiteral("Teclado")});
    o.enlazar_tabla(QStringLiteral("Marca"));
    o.refrescar();
    Recorridos::anadir(o, {1, QStringLiteral("Acme")});
    o.enlazar_tabla(QStringLiteral("Elemento"));
    o.refrescar();
    Recorridos::anadir(o, {30, 1, 1, QStringLiteral("M30"), QStringLiteral("S\t30\\x\nñ"), QDate(2024, 2, 29), 2.5,
                           QStringLiteral("«uno»"), true});
    Recorridos::anadir(o, {10, 2, 1, QStringLiteral("T10"), QStringLiteral("S10"), QVariant(), 0.1, QString(), false});
}

// An inventory on the engine named: a file in `dir`, or a new database on the server.
QString inventario(const QString& motor, const QTemporaryDir& dir, const QString& nombre) {
    const QString base = motor == QLatin1String("pg") ? base_vacia(nombre) : dir.filePath(nombre + ".db");
    Esquema::crear_inventario(base);
    llenar(base);
    return base;
}

QStringList filas_de(OrigenDatos& o) {
    QStringList filas;
    Recorridos::completo(o, [&] {
        QStringList campos;
        for (int i = 0; i < o.tabla().numero_columnas(); ++i)
            campos << o.leer_texto(i);
        filas << campos.join(u'|');
    });
    return filas;
}

QStringList leer_tabla(const QString& base, const char* tabla) {
    OrigenDatos o;
    o.enlazar_base_datos(base);
    o.enlazar_tabla(QString::fromLatin1(tabla));
    o.refrescar();
    return filas_de(o);
}

QString fallo(const std::function<void()>& accion) {
    try {
        accion();
    } catch (const ErrorDatos& e) {
        return e.texto();
    }
    return QStringLiteral("(sin fallo)");
}

void cluster(const char* orden) {
    QProcess p;
    p.start(QStringLiteral("sh"), {QStringLiteral(PG_SCRIPT), QString::fromLatin1(orden), carpeta_servidor()});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
}

// Waits (without a timer) until a statement of the server waits for a lock.
bool alguien_espera(const QString& base) {
    PGconn* c = PQconnectdb(base.toUtf8().constData());
    bool espera = false;
    for (int i = 0; i < 100000 && !espera; ++i) {
        PGresult* r = PQexec(c, "SELECT count(*) FROM pg_locks WHERE NOT granted");
        espera = PQresultStatus(r) == PGRES_TUPLES_OK && std::strcmp(PQgetvalue(r, 0, 0), "0") != 0;
        PQclear(r);
    }
    PQfinish(c);
    return espera;
}

// The role "clave", which the server asks for its password "secreta", with every right on this database's tables.
void crear_clave(const QString& base) {
    sql(base, {QStringLiteral("DO $$ BEGIN CREATE ROLE clave LOGIN PASSWORD 'secreta'; EXCEPTION WHEN "
                              "duplicate_object THEN NULL; END $$"),
               QStringLiteral("GRANT ALL ON ALL TABLES IN SCHEMA public TO clave")});
}

const QString fila30 = QStringLiteral("30|1|1|M30|S\t30\\x\nñ|29/02/2024|2.5|«uno»|Verdadero");
const QString fila10 = QStringLiteral("10|2|1|T10|S10||0.1||Falso");

} // namespace

class TestServidor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        Soporte::preparar_aplicacion();
        // The lock wait is shortened so a test of it ends soon.
        Conexion::fijar_espera_bloqueo(1500);
    }
    void init() { Servidor::al_pedir_contrasena({}); }

    void motores_data() {
        QTest::addColumn<QString>("motor");
        QTest::newRow("archivo") << "sqlite";
        QTest::newRow("servidor") << "pg";
    }

    // The same walks and writes, with the same texts, on a file and on a server.
    void recorridos_y_escrituras_data() { motores_data(); }
    void recorridos_y_escrituras() {
        QFETCH(QString, motor);
        QTemporaryDir dir;
        const QString base = inventario(motor, dir, QStringLiteral("recorridos"));
        OrigenDatos a, b;
        for (OrigenDatos* o : {&a, &b}) {
            o->enlazar_base_datos(base);
            o->enlazar_tabla(QStringLiteral("Elemento"));
            o->refrescar();
        }
        QCOMPARE(filas_de(a), QStringList({fila10, fila30}));
        a.mover_ultimo();
        QCOMPARE(a.leer_texto(3), QStringLiteral("M30"));
        a.mover_anterior();
        QCOMPARE(a.leer(5), QVariant());
        QCOMPARE(a.leer(8), QVariant(false));

        // Own writes show at once; the other source sees them at its next refresh.
        a.mover_primero();
        a.editar();
        a.escribir(3, QStringLiteral("T10b"));
        a.actualizar();
        Recorridos::anadir(a, {20, 1, 1, QStringLiteral("M20"), QString(), QDate(2020, 1, 1), 3.0, QString(), 1});
        QCOMPARE(filas_de(a).size(), 3);
        QCOMPARE(filas_de(b), QStringList({fila10, fila30}));
        b.refrescar();
        QCOMPARE(filas_de(b).first(), QStringLiteral("10|2|1|T10b|S10||0.1||Falso"));
        QCOMPARE(filas_de(b).size(), 3);
        QCOMPARE(b.primera_fila_con_codigo(20), std::optional<int>(1));

        // Deleted by one source: the other's delete says it is no longer there, and deletes nothing.
        b.situar(*b.primera_fila_con_codigo(20));
        b.borrar();
        a.situar(*a.primera_fila_con_codigo(20));
        QCOMPARE(fallo([&] { a.borrar(); }), QStringLiteral("no se ha podido borrar en %1: el componente ha cambiado "
                                                            "o se ha borrado en la base de datos desde que se leyó.")
                                                 .arg(base));
        a.situar(*a.primera_fila_con_codigo(20));
        a.editar();
        a.escribir(3, QStringLiteral("otro"));
        QCOMPARE(
            fallo([&] { a.actualizar(); }),
            QStringLiteral("no se han podido guardar los cambios en %1: el componente ha cambiado o se ha borrado en "
                           "la base de datos desde que se leyó.")
                .arg(base));
        a.cancelar();
        QCOMPARE(leer_tabla(base, "Elemento"), QStringList({"10|2|1|T10b|S10||0.1||Falso", fila30}));
    }

    // Every table of one read comes from the same state of the server, however other users write meanwhile: a backup
    // never holds a component whose type it lacks.
    void una_lectura_un_estado() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("estado"));
        struct Codigos : ReceptorFilas {
            QList<qint64> filas;
            void reservar(qint64, qint64) override {}
            void fila(qint64 identidad) override { filas << identidad; }
            void entero(qint64) override {}
            void real(double) override {}
            void texto(const char*, std::size_t) override {}
            void nulo() override {}
        };
        const std::unique_ptr<Motor> motor = Motor::para(base);
        const auto leer = [&](const std::function<void()>& entre) {
            const std::unique_ptr<Motor::Lectura> lectura = motor->empezar_lectura();
            Codigos tipos, elementos;
            lectura->leer_tabla(Esquema::tipo, tipos);
            entre();
            lectura->leer_tabla(Esquema::elemento, elementos);
            return std::pair(tipos.filas, elementos.filas);
        };
        QCOMPARE(leer([&] {
                     sql(base,
                         {QStringLiteral("INSERT INTO tipo VALUES (7, 'Escáner')"),
                          QStringLiteral("INSERT INTO elemento VALUES (70, 7, 1, 'E', 'S70', NULL, 0, '', false)")});
                 }),
                 std::pair(QList<qint64>{1, 2}, QList<qint64>{10, 30}));
        QCOMPARE(leer([] {}), std::pair(QList<qint64>{1, 2, 7}, QList<qint64>{10, 30, 70}));
        // The read's transaction is over: this thread's connection writes again.
        OrigenDatos marcas;
        marcas.enlazar_base_datos(base);
        marcas.enlazar_tabla(QStringLiteral("Marca"));
        marcas.refrescar();
        Recorridos::anadir(marcas, {2, QStringLiteral("Zeta")});
        QCOMPARE(leer_tabla(base, "Marca"), QStringList({"1|Acme", "2|Zeta"}));
    }

    // A row another user (or another program on the same file) changed since it was read is neither written over
    // nor deleted; the same holds for a type renamed meanwhile.
    void cambio_ajeno_no_se_pisa_data() { motores_data(); }
    void cambio_ajeno_no_se_pisa() {
        QFETCH(QString, motor);
        QTemporaryDir dir;
        const QString base = inventario(motor, dir, QStringLiteral("ajeno"));
        const auto otro = [&](const QString& sentencia) {
            if (motor == QLatin1String("pg"))
                sql(base, {sentencia});
            else
                Soporte::ejecutar(base, {sentencia});
        };
        OrigenDatos a;
        a.enlazar_base_datos(base);
        a.enlazar_tabla(QStringLiteral("Elemento"));
        a.refrescar();
        otro(QStringLiteral("UPDATE Elemento SET Modelo = 'de otro' WHERE Codigo = 10"));
        a.mover_primero();
        a.editar();
        a.escribir(3, QStringLiteral("mío"));
        QVERIFY(fallo([&] { a.actualizar(); })
                    .endsWith(QStringLiteral(
                        "el componente ha cambiado o se ha borrado en la base de datos desde que se leyó.")));
        a.cancelar();
        a.mover_primero();
        QVERIFY(fallo([&] { a.borrar(); }).endsWith(QStringLiteral("desde que se leyó.")));
        const QStringList elementos = leer_tabla(base, "Elemento");
        QCOMPARE(elementos.size(), 2);
        QCOMPARE(elementos.first().section(u'|', 3, 3), QStringLiteral("de otro"));
        // Once read again, the row is the user's to change.
        a.refrescar();
        a.mover_primero();
        a.editar();
        a.escribir(3, QStringLiteral("mío"));
        a.actualizar();
        QCOMPARE(leer_tabla(base, "Elemento").first().section(u'|', 3, 3), QStringLiteral("mío"));

        OrigenDatos tipos;
        tipos.enlazar_base_datos(base);
        tipos.enlazar_tabla(QStringLiteral("Tipo"));
        tipos.refrescar();
        otro(QStringLiteral("UPDATE Tipo SET Nombre = 'Pantalla' WHERE Codigo = 2"));
        tipos.situar(*tipos.primera_fila_con_codigo(2));
        QVERIFY(
            fallo([&] {
                tipos.borrar();
            }).endsWith(QStringLiteral("el tipo ha cambiado o se ha borrado en la base de datos desde que se leyó.")));
        QCOMPARE(leer_tabla(base, "Tipo"), QStringList({"1|Monitor", "2|Pantalla"}));
    }

    // Two people at once: 500 new types each with codes taken as they are stored, and 500 components each with the
    // same codes typed by both.
    void dos_escritores_data() { motores_data(); }
    void dos_escritores() {
        QFETCH(QString, motor);
        QTemporaryDir dir;
        const QString base = inventario(motor, dir, QStringLiteral("dos"));
        std::atomic<int> repetidos = 0;
        std::atomic<int> otros_fallos = 0;
        QString un_fallo;
        const auto escritor = [&] {
            OrigenDatos tipos, elementos;
            tipos.enlazar_base_datos(base);
            tipos.enlazar_tabla(QStringLiteral("Tipo"));
            elementos.enlazar_base_datos(base);
            elementos.enlazar_tabla(QStringLiteral("Elemento"));
            try {
                tipos.refrescar();
                elementos.refrescar();
            } catch (const ErrorDatos& e) {
                ++otros_fallos;
                un_fallo = e.texto();
                return;
            }
            for (int i = 0; i < 500; ++i) {
                try {
                    tipos.anadir_nuevo();
                    tipos.escribir(1, QStringLiteral("t%1").arg(i));
                    tipos.actualizar_con_codigo_nuevo();
                } catch (const ErrorDatos& e) {
                    tipos.cancelar();
                    ++otros_fallos;
                    un_fallo = e.texto();
                }
                try {
                    Recorridos::anadir(elementos, {1000 + i, 1, 1, QStringLiteral("m"), QString(), QDate(2024, 1, 1),
                                                   1.0, QString(), false});
                } catch (const ErrorDatos& e) {
                    elementos.cancelar();
                    if (e.texto() == u"ya existe un componente con ese código." ||
                        e.texto().endsWith(u"ya existe un registro con ese código."))
                        ++repetidos;
                    else {
                        ++otros_fallos;
                        un_fallo = e.texto();
                    }
                }
            }
            Servidor::cerrar_conexiones();
        };
        // The wait cursor is the windows' business, and these writers are not the windows' thread.
        // Two writers hammering one file wait for each other longer than a person would.
        Conexion::al_esperar_bloqueo({});
        Conexion::fijar_espera_bloqueo(20000);
        std::thread uno(escritor), otro(escritor);
        uno.join();
        otro.join();
        Conexion::fijar_espera_bloqueo(1500);
        Conexion::al_esperar_bloqueo(Aspecto::mostrar_espera);
        QVERIFY2(otros_fallos == 0, qPrintable(un_fallo));
        QCOMPARE(repetidos.load(), 500);
        const QStringList tipos = leer_tabla(base, "Tipo");
        QCOMPARE(tipos.size(), 1002);
        for (int i = 0; i < tipos.size(); ++i)
            QCOMPARE(tipos[i].section(u'|', 0, 0), QString::number(i + 1));
        QCOMPARE(leer_tabla(base, "Elemento").size(), 502);
    }

    // The second person adding the same code is told so in the program's words, exactly.
    void mismo_codigo_servidor() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("mismo"));
        OrigenDatos a;
        a.enlazar_base_datos(base);
        a.enlazar_tabla(QStringLiteral("Elemento"));
        a.refrescar();
        sql(base, {QStringLiteral("INSERT INTO elemento (codigo, tipo, marca) VALUES (40, 1, 1)")});
        a.anadir_nuevo();
        a.escribir(0, 40);
        a.escribir(1, 1);
        a.escribir(2, 1);
        QCOMPARE(fallo([&] { a.actualizar(); }), QStringLiteral("ya existe un componente con ese código."));
        QVERIFY(a.hay_pendiente());
    }

    // A type is being deleted while another user stores a component of that type: whoever comes second sees the
    // first, and no component is left with a deleted type.
    void carrera_borrado_tipo_data() {
        QTest::addColumn<QString>("motor");
        QTest::addColumn<bool>("confirma");
        QTest::newRow("servidor, el componente se guarda") << "pg" << true;
        QTest::newRow("servidor, el componente no se guarda") << "pg" << false;
    }
    void carrera_borrado_tipo() {
        QFETCH(QString, motor);
        QFETCH(bool, confirma);
        const QString base = inventario(motor, QTemporaryDir(), QStringLiteral("carrera"));
        sql(base, {QStringLiteral("INSERT INTO tipo VALUES (3, 'Ratón')")});
        PGconn* otro = PQconnectdb(base.toUtf8().constData());
        PQclear(PQexec(otro, "BEGIN"));
        PQclear(PQexec(otro, "INSERT INTO elemento (codigo, tipo, marca) VALUES (50, 3, 1)"));
        std::optional<bool> borrado;
        QString error;
        std::thread borrador([&] {
            OrigenDatos tipos;
            tipos.enlazar_base_datos(base);
            tipos.enlazar_tabla(QStringLiteral("Tipo"));
            try {
                tipos.refrescar();
                tipos.mover_ultimo();
                borrado = tipos.borrar_si_no_usado(QStringLiteral("Elemento"), 1);
            } catch (const ErrorDatos& e) {
                error = e.texto();
            }
            Servidor::cerrar_conexiones();
        });
        const bool espera = alguien_espera(base);
        PQclear(PQexec(otro, confirma ? "COMMIT" : "ROLLBACK"));
        borrador.join();
        PQfinish(otro);
        QVERIFY(espera);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(borrado, std::optional<bool>(!confirma));
        QCOMPARE(sql(base, {QStringLiteral("SELECT count(*) FROM tipo WHERE codigo = 3")}),
                 QStringList{confirma ? "1" : "0"});
    }

    // The connection is lost while the server runs the COMMIT of a new component. The program asks the server what
    // became of the transaction and tells the user exactly that; repeating a change told as not stored makes no
    // duplicate.
    void commit_perdido_data() {
        QTest::addColumn<QString>("corte");
        QTest::addColumn<QString>("mensaje");
        QTest::addColumn<QString>("al_repetir");
        QTest::newRow("guardado") << "guardado" << "(sin fallo)" << "ya existe un componente con ese código.";
        QTest::newRow("no guardado") << "terminado"
                                     << "no se han podido guardar los cambios en %1: se ha perdido la conexión con el "
                                        "servidor mientras los guardaba, y el servidor confirma que no los ha "
                                        "guardado."
                                     << "(sin fallo)";
        QTest::newRow("no se sabe")
            << "en curso"
            << "no se sabe si se han guardado los cambios en %1: se ha perdido la conexión con el servidor mientras "
               "los guardaba, y no se ha podido averiguar si llegó a guardarlos. Busque el registro en la lista "
               "antes de repetir los cambios."
            << "ya existe un componente con ese código.";
    }
    void commit_perdido() {
        QFETCH(QString, corte);
        QFETCH(QString, mensaje);
        QFETCH(QString, al_repetir);
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("perdido"));
        // A check deferred to the COMMIT that waits for a lock the test holds: the COMMIT stays in the server's hands
        // until the test decides.
        sql(base, {QStringLiteral("CREATE FUNCTION retener() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN PERFORM "
                                  "pg_advisory_xact_lock_shared(4242); RETURN NULL; END $$"),
                   QStringLiteral("CREATE CONSTRAINT TRIGGER retener AFTER INSERT ON elemento DEFERRABLE INITIALLY "
                                  "DEFERRED FOR EACH ROW EXECUTE FUNCTION retener()")});
        PGconn* guardian = PQconnectdb(base.toUtf8().constData());
        const auto preguntar = [&](const QByteArray& consulta) {
            PGresult* r = PQexec(guardian, consulta.constData());
            const QByteArray valor = PQntuples(r) == 1 ? QByteArray(PQgetvalue(r, 0, 0)) : QByteArray();
            PQclear(r);
            return valor;
        };
        if (corte != QLatin1String("guardado"))
            preguntar("SELECT pg_advisory_lock(4242)");
        // The program's end of the connection is replaced by a socket whose other end is closed: from then on the
        // program reads the end of the connection, as when a network cable is pulled.
        const auto cortar = [](PGconn* c) {
            int par[2];
            QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM, 0, par), 0);
            close(par[1]);
            dup2(par[0], PQsocket(c));
            close(par[0]);
        };
        QByteArray transaccion;
        MotorPg::al_confirmar([&](PGconn* c, const QByteArray& id) {
            transaccion = id;
            if (corte == QLatin1String("guardado")) {
                // Once the server has stored it, the answer never reaches the program.
                for (int i = 0; i < 100000 && preguntar("SELECT pg_xact_status('" + id + "')") != "committed"; ++i)
                    ;
                cortar(c);
            } else {
                QVERIFY(alguien_espera(base));
                if (corte == QLatin1String("terminado"))
                    preguntar("SELECT pg_terminate_backend(" + QByteArray::number(PQbackendPID(c)) + ", 10000)");
                else
                    cortar(c);
            }
        });
        OrigenDatos o;
        o.enlazar_base_datos(base);
        o.enlazar_tabla(QStringLiteral("Elemento"));
        o.refrescar();
        const auto anadir = [&] {
            return fallo([&] {
                Recorridos::anadir(o, {40, 1, 1, QStringLiteral("M40"), QString(), QVariant(), 0.0, QString(), false});
            });
        };
        QCOMPARE(anadir(), mensaje.arg(Ubicacion::sin_contrasena(base)));
        MotorPg::al_confirmar({});
        QVERIFY(!transaccion.isEmpty());
        // The COMMIT that was still waiting goes on once the lock is let go; the server stores it.
        if (corte != QLatin1String("guardado"))
            preguntar("SELECT pg_advisory_unlock(4242)");
        for (int i = 0; i < 100000 && preguntar("SELECT pg_xact_status('" + transaccion + "')") == "in progress"; ++i)
            ;
        PQfinish(guardian);
        o.refrescar();
        const bool guardado = corte != QLatin1String("terminado");
        QCOMPARE(filas_de(o).filter(QStringLiteral("|M40|")).size(), guardado ? 1 : 0);
        QCOMPARE(anadir(), al_repetir);
        QCOMPARE(sql(base, {QStringLiteral("SELECT count(*) FROM elemento WHERE codigo = 40")}), QStringList{"1"});
    }

    // The reverse: a component of a type deleted since the card read the types is not stored.
    void componente_de_tipo_borrado() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("tipoborrado"));
        OrigenDatos a;
        a.enlazar_base_datos(base);
        a.enlazar_tabla(QStringLiteral("Elemento"));
        a.refrescar();
        sql(base, {QStringLiteral("DELETE FROM elemento WHERE tipo = 2"),
                   QStringLiteral("DELETE FROM tipo WHERE codigo = 2")});
        QVERIFY(fallo([&] {
                    Recorridos::anadir(
                        a, {60, 2, 1, QStringLiteral("x"), QString(), QDate(2024, 1, 1), 1.0, QString(), false});
                }).endsWith(QStringLiteral("el tipo o la marca del componente ya no está en la base de datos.")));
        QCOMPARE(sql(base, {QStringLiteral("SELECT count(*) FROM elemento WHERE codigo = 60")}), QStringList{"0"});
    }

    // A card read before another user deleted a type cannot point a component at that type, on either engine,
    // whether it adds the component or changes one; a change that leaves the type alone still stores.
    void tipo_borrado_por_otro_data() {
        QTest::addColumn<QString>("motor");
        QTest::addColumn<bool>("anadir");
        QTest::newRow("archivo, añadir") << "sqlite" << true;
        QTest::newRow("archivo, modificar") << "sqlite" << false;
        QTest::newRow("servidor, modificar") << "pg" << false;
    }
    void tipo_borrado_por_otro() {
        QFETCH(QString, motor);
        QFETCH(bool, anadir);
        QTemporaryDir dir;
        const QString base = inventario(motor, dir, QStringLiteral("tipo_ajeno"));
        OrigenDatos a;
        a.enlazar_base_datos(base);
        a.enlazar_tabla(QStringLiteral("Elemento"));
        a.refrescar();
        // The other user deletes the brand-new type 3, which no component used yet.
        const QStringList otro = {QStringLiteral("INSERT INTO Tipo VALUES (3, 'Impresora')"),
                                  QStringLiteral("DELETE FROM Tipo WHERE Codigo = 3")};
        if (motor == QLatin1String("pg"))
            sql(base, otro);
        else
            Soporte::ejecutar(base, otro);
        const QString error = fallo([&] {
            if (anadir) {
                Recorridos::anadir(a, {60, 3, 1, QStringLiteral("x"), QString(), QVariant(), 1.0, QString(), false});
                return;
            }
            a.mover_primero();
            a.editar();
            a.escribir(1, 3);
            a.actualizar();
        });
        QVERIFY2(error.endsWith(QStringLiteral("el tipo o la marca del componente ya no está en la base de datos.")),
                 qPrintable(error));
        QCOMPARE(leer_tabla(base, "Elemento"), QStringList({fila10, fila30}));
        if (!anadir) {
            a.cancelar();
            a.refrescar();
            a.mover_primero();
            a.editar();
            a.escribir(3, QStringLiteral("T11"));
            QCOMPARE(fallo([&] { a.actualizar(); }), QStringLiteral("(sin fallo)"));
        }
    }

    // A file made by hand may hold a component's type as a text: the list reads " 5 " as type 5, and so does the
    // check that keeps a type in use from being deleted.
    void tipo_en_uso_guardado_como_texto() {
        QTemporaryDir dir;
        const QString archivo = Soporte::crear_base_sin_claves(
            dir, QStringLiteral("a_mano.db"),
            {"INSERT INTO Tipo VALUES (5, 'Monitor'), (6, 'Ratón')", "INSERT INTO Marca VALUES (1, 'Acme')",
             "INSERT INTO Elemento VALUES (1, ' 5 ', 1, 'M', '', NULL, 0, '', 0)",
             "INSERT INTO Elemento VALUES (2, 6.0, 1, 'R', '', NULL, 0, '', 0)"});
        OrigenDatos tipos;
        tipos.enlazar_base_datos(archivo);
        tipos.enlazar_tabla(QStringLiteral("Tipo"));
        tipos.refrescar();
        for (int fila = 0; fila < 2; ++fila) {
            tipos.situar(fila);
            QCOMPARE(tipos.borrar_si_no_usado(QStringLiteral("Elemento"), 1), false);
        }
        QCOMPARE(Soporte::filas(archivo, QStringLiteral("Tipo")).size(), 2);
    }

    // A role that may only read lists the inventory and is told it may not store.
    void solo_lectura() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("lectura"));
        sql(base, {QStringLiteral("DO $$ BEGIN CREATE ROLE lector LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; "
                                  "END $$"),
                   QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO lector")});
        const QString como_lector = QString(base).replace(QStringLiteral("postgres@"), QStringLiteral("lector@"));
        OrigenDatos o;
        o.enlazar_base_datos(como_lector);
        o.enlazar_tabla(QStringLiteral("Elemento"));
        o.refrescar();
        QCOMPARE(filas_de(o), QStringList({fila10, fila30}));
        const QString guardar = QStringLiteral("no se han podido guardar los cambios en %1: no tiene permiso para "
                                               "modificar el inventario del servidor.")
                                    .arg(como_lector);
        QCOMPARE(fallo([&] {
                     Recorridos::anadir(o, {70, 1, 1, QString(), QString(), QVariant(), 0.0, QString(), false});
                 }),
                 guardar);
        o.cancelar();
        o.mover_primero();
        QCOMPARE(fallo([&] { o.borrar(); }), guardar);
        QCOMPARE(leer_tabla(base, "Elemento"), QStringList({fila10, fila30}));
    }

    // The server stops while the program runs: every operation says so and nothing freezes; once it is back, the
    // next operation connects again.
    void servidor_detenido() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("detenido"));
        OrigenDatos o;
        o.enlazar_base_datos(base);
        o.enlazar_tabla(QStringLiteral("Elemento"));
        o.refrescar();
        cluster("detener");
        const QString sin_servidor = QStringLiteral("no se puede abrir la base de datos %1: el servidor no responde; "
                                                    "puede estar detenido o no ser accesible desde aquí.")
                                         .arg(base);
        QCOMPARE(fallo([&] { o.refrescar(); }), sin_servidor);
        QCOMPARE(fallo([&] { o.mover_primero(); }), sin_servidor);
        cluster("arrancar");
        o.refrescar();
        QCOMPARE(filas_de(o), QStringList({fila10, fila30}));
        // A connection kept from before the restart is replaced without the user noticing.
        cluster("detener");
        cluster("arrancar");
        o.mover_primero();
        o.editar();
        o.escribir(3, QStringLiteral("de nuevo"));
        o.actualizar();
        QCOMPARE(sql(base, {QStringLiteral("SELECT modelo FROM elemento WHERE codigo = 10")}), QStringList{"de nuevo"});
    }

    // A lock held by someone else longer than the wait allowed: the write gives up with a message.
    void espera_de_bloqueo() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("bloqueo"));
        OrigenDatos o;
        o.enlazar_base_datos(base);
        o.enlazar_tabla(QStringLiteral("Elemento"));
        o.refrescar();
        PGconn* otro = PQconnectdb(base.toUtf8().constData());
        PQclear(PQexec(otro, "BEGIN"));
        PQclear(PQexec(otro, "SELECT * FROM elemento WHERE codigo = 10 FOR UPDATE"));
        o.mover_primero();
        o.editar();
        o.escribir(3, QStringLiteral("espera"));
        QCOMPARE(fallo([&] { o.actualizar(); }),
                 QStringLiteral("no se han podido guardar los cambios en %1: otro usuario está modificando los mismos "
                                "datos; inténtelo de nuevo más tarde.")
                     .arg(base));
        PQclear(PQexec(otro, "ROLLBACK"));
        PQfinish(otro);
        o.actualizar();
    }

    // A password the server wants: asked once, kept for the run; a wrong one is told and forgotten.
    void contrasena() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("clave"));
        crear_clave(base);
        QString con_clave = base;
        con_clave.replace(QStringLiteral("postgres@"), QStringLiteral("clave@"));
        QStringList pedidas;
        QList<std::optional<QString>> respuestas = {std::nullopt, QStringLiteral("mala"), QStringLiteral("secreta")};
        Servidor::al_pedir_contrasena([&](const QString& b) {
            pedidas << b;
            return respuestas.isEmpty() ? std::nullopt : respuestas.takeFirst();
        });
        const QString prefijo = QStringLiteral("no se puede abrir la base de datos %1: ").arg(con_clave);
        QCOMPARE(fallo([&] { leer_tabla(con_clave, "Tipo"); }),
                 prefijo + QStringLiteral("el servidor pide una contraseña y no se ha dado ninguna."));
        QCOMPARE(fallo([&] { leer_tabla(con_clave, "Tipo"); }),
                 prefijo + QStringLiteral("el servidor no admite ese usuario con esa contraseña."));
        QCOMPARE(leer_tabla(con_clave, "Tipo").size(), 2);
        Servidor::cerrar_conexiones();
        QCOMPARE(leer_tabla(con_clave, "Marca").size(), 1);
        QCOMPARE(pedidas, QStringList({con_clave, con_clave, con_clave}));

        // A password in the URI is used, never shown and never written to the location file.
        QString en_uri = con_clave;
        en_uri.replace(QStringLiteral("clave@"), QStringLiteral("clave:secreta@"));
        QCOMPARE(leer_tabla(en_uri + QStringLiteral("?sslmode=disable"), "Marca").size(), 1);
        QTemporaryDir dir;
        Ubicacion::guardar(dir.path(), en_uri + QStringLiteral("?sslmode=disable"));
        QCOMPARE(Ubicacion::leer(dir.path()), std::optional<QString>(con_clave + QStringLiteral("?sslmode=disable")));
    }

    void sin_contrasena_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("visible");
        QTest::newRow("usuario y clave") << "postgresql://ana:x@servidor/inv"
                                         << "postgresql://ana@servidor/inv";
        QTest::newRow("postgres://") << "postgres://ana:x:y@s:5432/inv?a=1"
                                     << "postgres://ana@s:5432/inv?a=1";
        QTest::newRow("parámetro primero") << "postgresql://s/inv?password=x&sslmode=require"
                                           << "postgresql://s/inv?sslmode=require";
        QTest::newRow("parámetro último") << "postgresql://s/inv?a=1&password=x"
                                          << "postgresql://s/inv?a=1";
        QTest::newRow("sin clave") << "postgresql://ana@s/inv"
                                   << "postgresql://ana@s/inv";
        QTest::newRow("archivo con dos puntos y @") << "/home/ana:x@y/inv.db"
                                                    << "/home/ana:x@y/inv.db";
    }
    void sin_contrasena() {
        QFETCH(QString, base);
        QFETCH(QString, visible);
        QCOMPARE(Ubicacion::sin_contrasena(base), visible);
    }

    // Other databases are refused as foreign files are.
    void otras_bases_rechazadas_data() {
        QTest::addColumn<QStringList>("sentencias");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("vacía") << QStringList() << "no tiene ningún inventario; está vacía.";
        QTest::newRow("de otro programa")
            << QStringList{"CREATE TABLE elemento (x int)"} << "pertenece a otro programa.";
        QTest::newRow("otra marca") << QStringList{"CREATE TABLE talvirenca (aplicacion text, version int)",
                                                   "INSERT INTO talvirenca VALUES ('Otro', 1)"}
                                    << "pertenece a otro programa.";
        QTest::newRow("versión posterior") << QStringList{"CREATE TABLE talvirenca (aplicacion text, version int)",
                                                          "INSERT INTO talvirenca VALUES ('Talvirenca', 9)"}
                                           << "la ha creado una versión más reciente del programa.";
        QTest::newRow("columnas cambiadas")
            << QStringList{"CREATE TABLE talvirenca (aplicacion text, version int)",
                           "INSERT INTO talvirenca VALUES ('Talvirenca', 1)",
                           "CREATE TABLE tipo (codigo bigint, nombre text)",
                           "CREATE TABLE marca (codigo bigint, nombre text)", "CREATE TABLE elemento (codigo bigint)"}
            << "la tabla Elemento no tiene las columnas de un inventario de Talvirenca.";
    }
    void otras_bases_rechazadas() {
        QFETCH(QStringList, sentencias);
        QFETCH(QString, motivo);
        const QString base = base_vacia(QStringLiteral("otra"));
        if (!sentencias.isEmpty())
            sql(base, sentencias);
        QCOMPARE(fallo([&] { leer_tabla(base, "Tipo"); }),
                 QStringLiteral("no se puede abrir la base de datos %1: %2").arg(base, motivo));
    }

    // An empty server database gets the new-inventory offer; Yes makes the three tables.
    void inventario_nuevo_en_servidor_data() {
        QTest::addColumn<bool>("si");
        QTest::newRow("sí") << true;
        QTest::newRow("no") << false;
    }
    void inventario_nuevo_en_servidor() {
        QFETCH(bool, si);
        const QString base = base_vacia(QStringLiteral("nueva"));
        QString con_clave = base;
        con_clave.replace(QStringLiteral("postgres@"), QStringLiteral("postgres:nada@"));
        QTemporaryDir dir;
        Mensajes::responder(si);
        auto p = Soporte::abrir_principal(dir, con_clave);
        QStringList esperados = {"          Base de datos nueva. |La base de datos " + base +
                                 " del servidor está vacía.\n\n¿Desea crear en ella un inventario nuevo y vacío?"};
        if (!si)
            esperados << "ERROR: no se puede abrir la base de datos " + base +
                             ": no tiene ningún inventario; está vacía.";
        QCOMPARE(Soporte::avisos(), esperados);
        QVERIFY(Soporte::sin_sobresaltos());
        QCOMPARE(p->findChild<QLabel*>(QStringLiteral("Label2"))->text(), base);
        QCOMPARE(sql(base, {QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'")}),
                 QStringList{si ? "5" : "0"}); // the inventory's four tables and the notes of changes
        if (si)
            QCOMPARE(leer_tabla(base, "Elemento"), QStringList());
    }

    // The password dialog of the windows: its answer reaches the server.
    void dialogo_de_contrasena() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("dialogo"));
        crear_clave(base);
        QString con_clave = base;
        con_clave.replace(QStringLiteral("postgres@"), QStringLiteral("clave@"));
        Contrasena::instalar();
        Contrasena::responder(QStringLiteral("secreta"));
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, con_clave);
        QCOMPARE(Contrasena::pedidas(), QList<QString>{con_clave});
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(p->findChild<QComboBox*>(QStringLiteral("DBCombo1"))->count(), 2);
    }

    // A server the start-up cannot reach costs the user one question or one wait, and one message, however many
    // tables the main window opens.
    void arranque_sin_servidor_data() {
        QTest::addColumn<bool>("mudo");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("contraseña cancelada") << false << "el servidor pide una contraseña y no se ha dado ninguna.";
        QTest::newRow("servidor que no responde")
            << true << "el servidor no responde; puede estar detenido o no ser accesible desde aquí.";
    }
    void arranque_sin_servidor() {
        QFETCH(bool, mudo);
        QFETCH(QString, motivo);
        QString base;
        // A port that takes connections and never answers them: each attempt stays in its queue, to be counted.
        const int escucha = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (mudo) {
            sockaddr_in direccion{};
            direccion.sin_family = AF_INET;
            direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t largo = sizeof direccion;
            QCOMPARE(bind(escucha, reinterpret_cast<sockaddr*>(&direccion), largo), 0);
            QCOMPARE(listen(escucha, 16), 0);
            getsockname(escucha, reinterpret_cast<sockaddr*>(&direccion), &largo);
            base = QStringLiteral("postgresql://postgres@127.0.0.1:%1/inventario").arg(ntohs(direccion.sin_port));
        } else {
            base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("arranque"));
            crear_clave(base);
            base.replace(QStringLiteral("postgres@"), QStringLiteral("clave@"));
            Servidor::cerrar_conexiones();
        }
        Contrasena::instalar();
        const qsizetype pedidas = Contrasena::pedidas().size();
        const qsizetype avisos = Soporte::avisos().size();
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, base);
        QCOMPARE(Soporte::avisos().mid(avisos),
                 QStringList{QStringLiteral("ERROR: no se puede abrir la base de datos %1: %2").arg(base, motivo)});
        QCOMPARE(Contrasena::pedidas().size() - pedidas, mudo ? 0 : 1);
        int intentos = 0;
        while (mudo && accept(escucha, nullptr, nullptr) >= 0)
            ++intentos;
        close(escucha);
        QCOMPARE(intentos, mudo ? 1 : 0);
    }

    // "Archivo > Configurar" takes a URI with a password: the data is read with it, and neither the path label nor
    // the location file shows it.
    void configurar_con_contrasena() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("configurar"));
        crear_clave(base);
        const QString visible = QString(base).replace(QStringLiteral("postgres@"), QStringLiteral("clave@"));
        const QString con_clave = QString(base).replace(QStringLiteral("postgres@"), QStringLiteral("clave:secreta@"));
        QTemporaryDir dir;
        const QString archivo = Soporte::crear_base(dir);
        auto p = Soporte::abrir_principal(dir, archivo);
        Soporte::cuando_abra_modal([&](QWidget* v) {
            Soporte::reemplazar(Soporte::control<QLineEdit>(v, "Text1"), con_clave);
            QTest::mouseClick(Soporte::control<QPushButton>(v, "Command1"), Qt::LeftButton);
        });
        Soporte::accion(p.get(), QStringLiteral("menuConfigurar"))->trigger();
        QCOMPARE(p->findChild<QLabel*>(QStringLiteral("Label2"))->text(), visible);
        QCOMPARE(Ubicacion::leer(dir.path()), std::optional<QString>(visible));
        Soporte::buscar(*p, QStringLiteral("Todos"));
        QCOMPARE(Soporte::lineas(*p).size(), 2);
        QCOMPARE(Soporte::avisos(), QStringList());
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // The types and brands window on both engines: a new name takes the greatest code plus 1 as it is stored, and a
    // type is deleted only while no component uses it, whoever added the component.
    void tipos_y_marcas_data() { motores_data(); }
    void tipos_y_marcas() {
        QFETCH(QString, motor);
        QTemporaryDir dir;
        const QString base = inventario(motor, dir, QStringLiteral("tipos"));
        OrigenDatos otro;
        otro.enlazar_base_datos(base);
        otro.enlazar_tabla(QStringLiteral("Tipo"));
        otro.refrescar();
        Recorridos::anadir(otro, {3, QStringLiteral("Ratón")});
        Module1::base_datos = base;
        AnadirTM v;
        v.show();
        // After the window read its lists, another user adds a type and gives "Ratón" to a component.
        Recorridos::anadir(otro, {7, QStringLiteral("Escáner")});
        otro.enlazar_tabla(QStringLiteral("Elemento"));
        otro.refrescar();
        otro.mover_primero();
        otro.editar();
        otro.escribir(1, 3);
        otro.actualizar();

        auto* combo = Soporte::control<QComboBox>(&v, "Combo1");
        Soporte::reemplazar(combo, QStringLiteral("Impresora"));
        QTest::mouseClick(Soporte::control<QPushButton>(&v, "Command1"), Qt::LeftButton);
        QCOMPARE(leer_tabla(base, "Tipo").last(), QStringLiteral("8|Impresora"));
        Soporte::reemplazar(combo, QStringLiteral("Ratón"));
        QTest::mouseClick(Soporte::control<QPushButton>(&v, "Command4"), Qt::LeftButton);
        Soporte::reemplazar(combo, QStringLiteral("Impresora"));
        QTest::mouseClick(Soporte::control<QPushButton>(&v, "Command4"), Qt::LeftButton);
        QCOMPARE(Soporte::avisos(),
                 QStringList({"ERROR: Se esta utilizando el tipo que desea eliminar.", "Registro eliminado."}));
        QVERIFY(Soporte::sin_sobresaltos());
        QCOMPARE(leer_tabla(base, "Tipo"), QStringList({"1|Monitor", "2|Teclado", "3|Ratón", "7|Escáner"}));
    }

    // Two people add a component with the same code: the second card tells so and stays open with what was typed.
    void ficha_con_codigo_ya_guardado() {
        const QString base = inventario(QStringLiteral("pg"), QTemporaryDir(), QStringLiteral("ficha"));
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, QStringLiteral("Todos"));
        bool abierta = false;
        Soporte::cuando_abra_modal([&](QWidget* ficha) {
            abierta = true;
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text1"), QStringLiteral("31"));
            Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo1"), QStringLiteral("Teclado"));
            Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo2"), QStringLiteral("Acme"));
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text4"), QStringLiteral("K1"));
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text5"), QStringLiteral("S1"));
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text6"), QStringLiteral("6/12/2026"));
            Soporte::elegir(Soporte::control<QComboBox>(ficha, "Combo2"), QStringLiteral("36"));
            Soporte::elegir(Soporte::control<QComboBox>(ficha, "Combo1"), QStringLiteral("Si"));
            // Meanwhile, at another desk.
            sql(base, {QStringLiteral("INSERT INTO elemento (codigo, tipo, marca, modelo) VALUES (31, 1, 1, 'otro')")});
            QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
            QVERIFY(ficha->isVisible());
            QCOMPARE(Soporte::control<QLineEdit>(ficha, "Text4")->text(), QStringLiteral("K1"));
        });
        QVERIFY(Soporte::pulsar_barra(p.get(), QStringLiteral("BotonAnadir")));
        QVERIFY(abierta);
        QCOMPARE(Soporte::avisos(), QStringList{"ERROR: ya existe un componente con ese código."});
        QCOMPARE(sql(base, {QStringLiteral("SELECT modelo FROM elemento WHERE codigo = 31")}), QStringList{"otro"});
    }

    // A server's inventory is backed up into an inventory file holding the same rows; an existing file is kept
    // unless the user agreed to replace it.
    void copia_de_seguridad_en_servidor() {
        QTemporaryDir dir;
        const QString base = inventario(QStringLiteral("pg"), dir, QStringLiteral("copia"));
        const QString destino = dir.filePath(QStringLiteral("copia.db"));
        for (const bool reemplazar : {false, true}) {
            DialogosSistema::proximo_guardado(destino, reemplazar);
            Copia(nullptr).hacer(base);
            QVERIFY(DialogosSistema::ultima_propuesta().endsWith(
                QStringLiteral("/copia-%1.db").arg(Reloj::hoy().toString(Qt::ISODate))));
            QCOMPARE(Soporte::avisos(),
                     QStringList{QStringLiteral("Copia de seguridad guardada en %1 con 2 componentes.").arg(destino)});
            for (const char* tabla : {"Elemento", "Tipo", "Marca"})
                QCOMPARE(leer_tabla(destino, tabla), leer_tabla(base, tabla));
            // The second time the file exists: the user's agreement replaces it.
        }
        DialogosSistema::proximo_guardado(destino, false);
        const QByteArray antes = Soporte::contenido(destino);
        Copia(nullptr).hacer(base);
        QCOMPARE(Soporte::avisos(), QStringList{QStringLiteral("ERROR: el archivo %1 ya existe.").arg(destino)});
        QCOMPARE(Soporte::contenido(destino), antes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copia.db"});
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // A file inventory moved to the server reads back identical; a second move is refused.
    void traslado() {
        QTemporaryDir dir;
        const QString archivo = inventario(QStringLiteral("sqlite"), dir, QStringLiteral("origen"));
        Soporte::ejecutar(archivo, {"INSERT INTO Elemento VALUES (5, 1, 1, 'a\\b', 'x\ty', '1999-12-31', 1e300, "
                                    "'línea\r\notra', 0)"});
        const QString base = base_vacia(QStringLiteral("traslado"));
        const Traslado::Cuentas cuentas = Traslado::trasladar(archivo, base);
        QCOMPARE(cuentas.componentes, 3);
        QCOMPARE(cuentas.tipos, 2);
        QCOMPARE(cuentas.marcas, 1);
        for (const char* tabla : {"Elemento", "Tipo", "Marca"})
            QCOMPARE(leer_tabla(base, tabla), leer_tabla(archivo, tabla));
        QCOMPARE(fallo([&] { Traslado::trasladar(archivo, base); }),
                 QStringLiteral("no se ha podido trasladar el inventario a %1: el inventario del servidor ya tiene "
                                "componentes; solo se traslada a un inventario vacío.")
                     .arg(base));
        QCOMPARE(leer_tabla(base, "Elemento").size(), 3);
    }

    // Values another client stored that an inventory file cannot hold: the list shows them as they are, a change
    // to another field of the row keeps them, and a backup names them instead of dropping them.
    void valores_que_un_archivo_no_guarda() {
        QTemporaryDir dir;
        const QString base = inventario(QStringLiteral("pg"), dir, QStringLiteral("valores"));
        sql(base, {QStringLiteral("INSERT INTO elemento VALUES (1, 1, 1, 'AC', '', DATE '0044-03-15 BC', 0, '', false), "
                                  "(2, 1, 1, 'Lejos', '', DATE '20240-03-05', 0, '', false), (3, 1, 1, 'NaN', '', "
                                  "NULL, 'NaN', '', false), (4, 1, 1, 'Sin fin', '', 'infinity', 0, '', false)")});
        const QStringList filas = leer_tabla(base, "Elemento");
        QCOMPARE(filas.mid(0, 3), QStringList({"1|1|1|AC||15/03/0044 a. C.|0||Falso", "2|1|1|Lejos||05/03/20240|0||Falso",
                                               "3|1|1|NaN|||nan||Falso"}));
        OrigenDatos o;
        o.enlazar_base_datos(base);
        o.enlazar_tabla(QStringLiteral("Elemento"));
        o.refrescar();
        for (int fila = 0; fila < 2; ++fila) {
            o.situar(fila);
            o.editar();
            o.escribir(3, QStringLiteral("cambiado"));
            QCOMPARE(fallo([&] { o.actualizar(); }), QStringLiteral("(sin fallo)"));
        }
        QCOMPARE(sql(base, {QStringLiteral("SELECT string_agg(modelo || ' ' || fecha::text, ', ' ORDER BY codigo) "
                                           "FROM elemento WHERE codigo < 3")}),
                 QStringList{"cambiado 0044-03-15 BC, cambiado 20240-03-05"});
        const QString destino = dir.filePath(QStringLiteral("copia.db"));
        DialogosSistema::proximo_guardado(destino, false);
        Copia(nullptr).hacer(base);
        QCOMPARE(Soporte::avisos(),
                 QStringList{QStringLiteral(
                     "ERROR: no se ha hecho la copia de seguridad: un archivo de inventario no puede guardar estos "
                     "valores del servidor, que se perderían: componente 1, fecha 15/03/0044 a. C.; componente 2, "
                     "fecha 05/03/20240; componente 3, garantía «NaN»; componente 4, fecha «infinity». Corríjalos y "
                     "repita la copia.")});
        QVERIFY(!QFileInfo::exists(destino));
        // The card changes the serial number of the component dated before Christ, and leaves its date alone.
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, QStringLiteral("Todos"));
        Soporte::seleccionar(*p, 0);
        Soporte::cuando_abra_modal([&](QWidget* ficha) {
            QCOMPARE(Soporte::control<QLineEdit>(ficha, "Text6")->text(), QStringLiteral("15/03/0044 a. C."));
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text5"), QStringLiteral("NS1"));
            QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
        });
        const qsizetype avisos = Soporte::avisos().size();
        QVERIFY(Soporte::pulsar_barra(p.get(), QStringLiteral("BotonModificar")));
        QCOMPARE(Soporte::avisos().mid(avisos), QStringList());
        QCOMPARE(sql(base, {QStringLiteral("SELECT numserie || ' ' || fecha::text FROM elemento WHERE codigo = 1")}),
                 QStringList{"NS1 0044-03-15 BC"});
    }

    // A move that fails on the way leaves the database as it was: not even the empty tables it made.
    void traslado_fallido() {
        QTemporaryDir dir;
        const QString archivo = inventario(QStringLiteral("sqlite"), dir, QStringLiteral("fallido"));
        // A text with a zero byte, which the server's texts cannot hold: the last table's copy is refused.
        Soporte::ejecutar(archivo, {"INSERT INTO Elemento VALUES (7, 1, 1, CAST(X'610062' AS TEXT), '', NULL, 0, '', 0)"});
        const QString base = base_vacia(QStringLiteral("fallido"));
        QCOMPARE(fallo([&] { Traslado::trasladar(archivo, base); }),
                 QStringLiteral("no se ha podido trasladar el inventario a %1: la base de datos no admite ese valor.")
                     .arg(base));
        QCOMPARE(sql(base, {QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = "
                                           "'public'::regnamespace AND relkind = 'r'")}),
                 QStringList{"0"});
        Soporte::ejecutar(archivo, {"DELETE FROM Elemento WHERE Codigo = 7"});
        QCOMPARE(Traslado::trasladar(archivo, base).componentes, 2);
    }

    // The three tables come from one state of the file: a type and a component of it written to the file while the
    // move runs either both arrive or neither does.
    void traslado_de_un_estado() {
        QTemporaryDir dir;
        const QString archivo = inventario(QStringLiteral("sqlite"), dir, QStringLiteral("estado"));
        const QString base = base_vacia(QStringLiteral("estado"));
        // The copy of the brands waits for a lock the test holds, after the types were read and sent.
        Esquema::crear_inventario(base);
        sql(base, {QStringLiteral("CREATE FUNCTION retener() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN PERFORM "
                                  "pg_advisory_xact_lock_shared(4243); RETURN NEW; END $$"),
                   QStringLiteral("CREATE TRIGGER retener BEFORE INSERT ON marca FOR EACH ROW EXECUTE FUNCTION "
                                  "retener()")});
        PGconn* guardian = PQconnectdb(base.toUtf8().constData());
        PQclear(PQexec(guardian, "SELECT pg_advisory_lock(4243)"));
        bool escrito = false;
        std::thread otro([&] {
            if (!alguien_espera(base))
                return;
            try {
                Soporte::ejecutar(archivo, {"BEGIN", "INSERT INTO Tipo VALUES (3, 'Nuevo')",
                                            "INSERT INTO Elemento VALUES (8, 3, 1, 'N8', '', NULL, 0, '', 0)", "COMMIT"});
                escrito = true;
            } catch (const std::exception&) {
                // The file is being read: the writer must wait its turn.
            }
            PQclear(PQexec(guardian, "SELECT pg_advisory_unlock(4243)"));
        });
        const QString error = fallo([&] { Traslado::trasladar(archivo, base); });
        otro.join();
        PQfinish(guardian);
        QCOMPARE(error, QStringLiteral("(sin fallo)"));
        QCOMPARE(sql(base, {QStringLiteral("SELECT count(*) FROM elemento e WHERE NOT EXISTS (SELECT 1 FROM tipo t "
                                           "WHERE t.codigo = e.tipo)")}),
                 QStringList{"0"});
        QCOMPARE(leer_tabla(base, "Elemento").size(), escrito ? 3 : 2);
    }

    // The command moves a file and says how much it moved; its failures are "ERROR: " lines and a failing status.
    void orden_trasladar() {
        QTemporaryDir dir;
        const QString archivo = inventario(QStringLiteral("sqlite"), dir, QStringLiteral("orden"));
        const QString base = base_vacia(QStringLiteral("orden"));
        const auto ejecutar = [](const QStringList& argumentos) {
            QProcess p;
            p.start(QStringLiteral(TRASLADAR), argumentos);
            p.waitForFinished(60000);
            return std::tuple{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                              QString::fromUtf8(p.readAllStandardError())};
        };
        QCOMPARE(
            ejecutar({archivo, base}),
            std::tuple(0, QStringLiteral("Trasladados al servidor: 2 componentes, 2 tipos y 1 marcas.\n"), QString()));
        QCOMPARE(ejecutar({archivo, archivo}),
                 std::tuple(1, QString(),
                            QStringLiteral("ERROR: no se ha podido trasladar el inventario a %1: el destino debe ser "
                                           "una dirección postgresql://.\n")
                                .arg(archivo)));
        QCOMPARE(std::get<0>(ejecutar({archivo})), 2);
        QCOMPARE(leer_tabla(base, "Elemento"), leer_tabla(archivo, "Elemento"));
        // The import command moves an inventory file to a server the same way.
        const QString otra = base_vacia(QStringLiteral("orden_importar"));
        QProcess importar;
        importar.start(QStringLiteral(IMPORTAR), {archivo, otra});
        QVERIFY(importar.waitForFinished(60000));
        QCOMPARE(importar.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(importar.readAllStandardOutput()),
                 QStringLiteral("Trasladados al servidor: 2 componentes, 2 tipos y 1 marcas.\n"));
        for (const char* tabla : {"Elemento", "Tipo", "Marca"})
            QCOMPARE(leer_tabla(otra, tabla), leer_tabla(archivo, tabla));
    }
};

QTEST_MAIN(TestServidor)
#include "test_servidor.moc"
