// Creating and opening inventory files when the disk or another program does not play along: a name taken
// meanwhile, a folder whose change is not kept, a damaged or disguised file, a file replaced while it is read, and
// a location file that names something it should not.
#include "data/archivo_nuevo.h"
#include "data/conexion.h"
#include "data/copia_seguridad.h"
#include "data/esquema.h"
#include "data/inventario_nuevo.h"
#include "data/motor.h"
#include "data/ubicacion.h"
#include "modulo/module1.h"
#include "plataforma/contrasena.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QCryptographicHash>
#include <QDir>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <cstdio>
#include <libpq-fe.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The files of a folder, hidden ones too.
QStringList archivos(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray sha256(const QString& ruta) {
    return QCryptographicHash::hash(Soporte::contenido(ruta), QCryptographicHash::Sha256);
}

// Enough components for Elemento to take several pages below its root.
const QStringList muchos_componentes = {
    "INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')",
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) INSERT INTO Elemento SELECT i, "
    "1, 1, 'E24', 'S' || i, '2020-01-01', 12, printf('%.100c', 'x'), 0 FROM n"};

quint32 entero_32(const QByteArray& b, qsizetype en) {
    return quint32(quint8(b[en])) << 24 | quint32(quint8(b[en + 1])) << 16 | quint32(quint8(b[en + 2])) << 8 |
           quint8(b[en + 3]);
}

// The page size, and the pages right below the root of Elemento, from left (lowest codes) to right.
std::pair<int, QList<quint32>> hojas_de_elemento(const QString& ruta) {
    SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READONLY);
    const int tamano = db.execAndGet("PRAGMA page_size").getInt();
    const int raiz = db.execAndGet("SELECT rootpage FROM sqlite_schema WHERE name = 'Elemento'").getInt();
    const QByteArray pagina = Soporte::contenido(ruta).mid(qsizetype(raiz - 1) * tamano, tamano);
    if (pagina[0] != 5)
        qFatal("Elemento cabe en una sola página");
    QList<quint32> hojas;
    const int celdas = quint8(pagina[3]) << 8 | quint8(pagina[4]);
    for (int i = 0; i < celdas; ++i)
        hojas << entero_32(pagina, quint8(pagina[12 + 2 * i]) << 8 | quint8(pagina[13 + 2 * i]));
    hojas << entero_32(pagina, 8);
    return {tamano, hojas};
}

void sobrescribir(const QString& ruta, qint64 desde, const QByteArray& bytes) {
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadWrite) || !archivo.seek(desde) || archivo.write(bytes) != bytes.size())
        qFatal("no se puede escribir en %s", qPrintable(ruta));
}

// A page of Elemento overwritten, as a failing disk or a crash of the system leave it.
void danar(const QString& ruta, const QString& como) {
    const auto [tamano, hojas] = hojas_de_elemento(ruta);
    const qint64 primera = qint64(hojas.first() - 1) * tamano;
    if (como == QLatin1String("basura"))
        sobrescribir(ruta, primera, QByteArray(tamano, char(0xa5)));
    else if (como == QLatin1String("ceros"))
        sobrescribir(ruta, primera, QByteArray(tamano, '\0'));
    else // the last page's rows in the place of the first: the codes are out of order
        sobrescribir(ruta, primera, Soporte::contenido(ruta).mid(qint64(hojas.last() - 1) * tamano, tamano));
}

class Receptor : public ReceptorFilas {
public:
    void reservar(qint64, qint64) override {}
    void fila(qint64) override { ++filas; }
    void entero(qint64) override {}
    void real(double) override {}
    void texto(const char*, std::size_t) override {}
    void nulo() override {}
    int filas = 0;
};

const ValoresFila tipo_nuevo = {QVariant::fromValue<qlonglong>(2), QStringLiteral("Teclado")};

const QString danado = QStringLiteral("el archivo está dañado y el programa no escribirá nada en él; use en su lugar "
                                      "la última copia de seguridad (Herramientas, Copia de seguridad).");

// The options libpq reads from a URI, "name=value" in its order; empty when it cannot read it.
QStringList opciones_libpq(const QString& uri, bool con_contrasena) {
    QStringList lista;
    PQconninfoOption* opciones = PQconninfoParse(uri.toUtf8().constData(), nullptr);
    for (const PQconninfoOption* o = opciones; o && o->keyword; ++o)
        if (o->val && (con_contrasena || qstrcmp(o->keyword, "password") != 0))
            lista << QString::fromUtf8(o->keyword) + u'=' + QString::fromUtf8(o->val);
    PQconninfoFree(opciones);
    return lista;
}

} // namespace

class PruebaApertura : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() {
        ArchivoNuevo::al_dar_nombre({});
        ArchivoNuevo::al_sincronizar({});
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // Another program makes a file of the new inventory's name after the program looked: its file stays as it
    // made it, and the new inventory is refused.
    void crear_no_toca_el_archivo_de_otro_data() {
        QTest::addColumn<QStringList>("sentencias");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("inventario de otro")
            << QStringList{"CREATE TABLE Tipo (Codigo, Nombre)", "INSERT INTO Tipo VALUES (1, 'Suyo')"} << QByteArray();
        QTest::newRow("archivo vacío") << QStringList() << QByteArray("");
        QTest::newRow("otro archivo") << QStringList() << QByteArray("notas de otro programa\n");
    }
    void crear_no_toca_el_archivo_de_otro() {
        QFETCH(QStringList, sentencias);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("nuevo.db"));
        QByteArray suyo;
        ArchivoNuevo::al_dar_nombre([&](const QString& destino) {
            if (!sentencias.isEmpty()) {
                SQLite::Database otro(destino.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
                for (const QString& s : sentencias)
                    otro.exec(s.toStdString());
            } else {
                QFile f(destino);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(bytes);
            }
            suyo = Soporte::contenido(destino);
        });
        QCOMPARE(Soporte::mensaje_de([&] { Esquema::crear_inventario(ruta); }),
                 QStringLiteral("no se puede crear la base de datos %1: el archivo ya existe.").arg(ruta));
        QVERIFY(QFileInfo::exists(ruta));
        QCOMPARE(Soporte::contenido(ruta), suyo);
        QCOMPARE(archivos(dir.path()), QStringList{QStringLiteral("nuevo.db")});
    }

    // The disk does not confirm the new file or its name in the folder (a failing disk, a network folder that
    // loses writes): the user is told, and no file is left that a power cut could take away or leave half-made.
    void disco_que_no_confirma_data() {
        QTest::addColumn<QString>("operacion");
        QTest::addColumn<bool>("carpeta");
        QTest::newRow("inventario nuevo, su nombre") << "crear" << true;
        QTest::newRow("inventario nuevo, su contenido") << "crear" << false;
        QTest::newRow("importación, su nombre") << "importar" << true;
        QTest::newRow("importación, su contenido") << "importar" << false;
    }
    void disco_que_no_confirma() {
        QFETCH(QString, operacion);
        QFETCH(bool, carpeta);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("nuevo.db"));
        QStringList pedidas;
        ArchivoNuevo::al_sincronizar([&](const QString& r) {
            pedidas << r;
            return (r == dir.path()) != carpeta;
        });
        const QString mensaje = Soporte::mensaje_de([&] {
            if (operacion == QLatin1String("crear")) {
                Esquema::crear_inventario(ruta);
                return;
            }
            InventarioNuevo nuevo(ruta);
            nuevo.anadir_tipo(1, QStringLiteral("Monitor"));
            nuevo.terminar();
        });
        QCOMPARE(mensaje, QStringLiteral("no se puede crear la base de datos %1: el disco no ha confirmado que el "
                                         "archivo quede guardado.")
                              .arg(ruta));
        QCOMPARE(archivos(dir.path()), QStringList());
        QVERIFY(pedidas.contains(dir.path()) || !carpeta);
    }

    // The backup whose name the disk does not confirm says so, and never that it is done.
    void copia_que_el_disco_no_confirma() {
        QTemporaryDir dir;
        const QString ruta =
            Soporte::crear_base(dir, QStringLiteral("inventario.db"), {"INSERT INTO Tipo VALUES (1, 'Monitor')"});
        const QByteArray antes = Soporte::contenido(ruta);
        auto p = Soporte::abrir_principal(dir, ruta);
        const QString destino = dir.filePath(QStringLiteral("copia.db"));
        ArchivoNuevo::al_sincronizar([&](const QString& r) { return r != dir.path(); });
        DialogosSistema::proximo_guardado(destino);
        Soporte::accion(p.get(), QStringLiteral("menuCopiaSeguridad"))->trigger();
        QCOMPARE(Soporte::avisos(),
                 QStringList{QStringLiteral("ERROR: no se puede hacer la copia en %1: el disco no ha confirmado que "
                                            "el archivo quede guardado.")
                                 .arg(destino)});
        QVERIFY(!QFileInfo::exists(destino));
        QCOMPARE(Soporte::contenido(ruta), antes);
    }

    // A damaged file is told so at its opening, by the window too, and nothing is written into it.
    void dano_al_abrir_data() {
        QTest::addColumn<QString>("como");
        QTest::newRow("página con basura") << "basura";
        QTest::newRow("página a ceros") << "ceros";
        QTest::newRow("códigos desordenados") << "desorden";
    }
    void dano_al_abrir() {
        QFETCH(QString, como);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), muchos_componentes);
        danar(ruta, como);
        const QByteArray antes = sha256(ruta);
        const QString al_abrir = QStringLiteral("no se puede abrir la base de datos %1: ").arg(ruta) + danado;
        QCOMPARE(Soporte::mensaje_de([&] { Conexion::abrir(ruta, Conexion::Modo::lectura); }), al_abrir);
        QCOMPARE(Soporte::mensaje_de([&] { Motor::para(ruta)->insertar(Esquema::tipo, tipo_nuevo); }), al_abrir);
        auto p = Soporte::abrir_principal(dir, ruta);
        const QStringList vistos = Soporte::avisos();
        QVERIFY2(!vistos.isEmpty() && vistos.first() == QStringLiteral("ERROR: ") + al_abrir,
                 qPrintable(vistos.join(u'\n')));
        p.reset();
        QCOMPARE(sha256(ruta), antes);
    }

    // A file damaged after it was opened whole: the read that meets the damage says so, and the writes that follow
    // are refused before they touch it.
    void dano_al_leer() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), muchos_componentes);
        Receptor leidos;
        Motor::para(ruta)->empezar_lectura()->leer_tabla(Esquema::elemento, leidos);
        QCOMPARE(leidos.filas, 400);
        danar(ruta, QStringLiteral("basura"));
        const QByteArray antes = sha256(ruta);
        QCOMPARE(
            Soporte::mensaje_de([&] { Motor::para(ruta)->empezar_lectura()->leer_tabla(Esquema::elemento, leidos); }),
            QStringLiteral("no se puede leer la base de datos %1: ").arg(ruta) + danado);
        QCOMPARE(Soporte::mensaje_de([&] { Motor::para(ruta)->insertar(Esquema::tipo, tipo_nuevo); }),
                 QStringLiteral("no se puede abrir la base de datos %1: ").arg(ruta) + danado);
        QCOMPARE(sha256(ruta), antes);
    }

    // A write-protected inventory is backed up: the copy is written as its own owner's file and takes the
    // inventory's permissions only once it is whole, just before it gets its name.
    void copia_de_un_inventario_protegido_data() {
        QTest::addColumn<int>("permisos");
        QTest::newRow("solo lectura para todos")
            << int(QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther);
        QTest::newRow("solo lectura para su dueño") << int(QFile::ReadOwner | QFile::ReadUser);
        QTest::newRow("escritura para su dueño")
            << int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    }
    void copia_de_un_inventario_protegido() {
        QFETCH(int, permisos);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), muchos_componentes);
        QVERIFY(QFile::setPermissions(ruta, QFile::Permissions(permisos)));
        const QString destino = dir.filePath(QStringLiteral("copia.db"));
        QStringList mientras;
        const auto progreso = [&](int, int) {
            for (const QString& f : archivos(dir.path()))
                if (f.startsWith(QLatin1String(".copia.db.")))
                    mientras << QString::number(int(QFileInfo(dir.filePath(f)).permissions() & QFile::WriteOwner));
            return true;
        };
        QCOMPARE(CopiaSeguridad::copiar(ruta, destino, false, progreso), std::optional<qint64>(400));
        QVERIFY(!mientras.isEmpty());
        QCOMPARE(mientras, QStringList(mientras.size(), QString::number(int(QFile::WriteOwner))));
        // The flags of the current user (0x0700) say what the test's user may do, not the file's mode.
        QCOMPARE(int(QFileInfo(destino).permissions()) & ~0x0700, permisos & ~0x0700);
        QCOMPARE(Soporte::filas(destino, QStringLiteral("Elemento")), Soporte::filas(ruta, QStringLiteral("Elemento")));
    }

    // Another file takes the inventory's name while a read holds the old one: the read gives no fingerprint, so
    // the data sources read the file again at their next refresh instead of keeping the old rows.
    void archivo_reemplazado_durante_una_lectura_data() {
        QTest::addColumn<bool>("por_nombre");
        QTest::newRow("otro archivo renombrado encima") << true;
        QTest::newRow("apartado y copiado de nuevo") << false;
    }
    void archivo_reemplazado_durante_una_lectura() {
        QFETCH(bool, por_nombre);
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, QStringLiteral("inventario.db"), muchos_componentes);
        const QString otro = Soporte::crear_base(dir, QStringLiteral("otro.db"), muchos_componentes);
        Soporte::ejecutar(otro, {"DELETE FROM Elemento WHERE Codigo > 10"});
        const auto motor = Motor::para(ruta);
        {
            const auto lectura = motor->empezar_lectura();
            QVERIFY(lectura->huella());
        }
        const auto lectura = motor->empezar_lectura();
        if (por_nombre) {
            QCOMPARE(std::rename(QFile::encodeName(otro).constData(), QFile::encodeName(ruta).constData()), 0);
        } else {
            QVERIFY(QFile::rename(ruta, dir.filePath(QStringLiteral("apartado.db"))));
            QVERIFY(QFile::copy(otro, ruta));
        }
        QVERIFY(!lectura->huella());
    }

    // A name that is not a regular file is refused before it is opened: opening a named pipe would wait for a
    // writer and hang the window.
    void solo_archivos_normales_data() {
        QTest::addColumn<QString>("clase");
        QTest::newRow("tubería") << "tubería";
        QTest::newRow("dispositivo") << "dispositivo";
        QTest::newRow("conector") << "conector";
    }
    void solo_archivos_normales() {
        QFETCH(QString, clase);
        QTemporaryDir dir;
        QString ruta = dir.filePath(QStringLiteral("inventario.db"));
        const QByteArray nombre = QFile::encodeName(ruta);
        int conector = -1;
        if (clase == QStringLiteral("tubería")) {
            QCOMPARE(::mkfifo(nombre.constData(), 0600), 0);
        } else if (clase == QLatin1String("dispositivo")) {
            ruta = QStringLiteral("/dev/null");
        } else {
            conector = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un direccion{};
            direccion.sun_family = AF_UNIX;
            qstrncpy(direccion.sun_path, nombre.constData(), sizeof direccion.sun_path);
            QCOMPARE(::bind(conector, reinterpret_cast<sockaddr*>(&direccion), sizeof direccion), 0);
        }
        const QString esperado = QStringLiteral("no se puede abrir la base de datos %1: no es un archivo normal, sino "
                                                "una tubería, un dispositivo o un conector.")
                                     .arg(ruta);
        for (const Conexion::Modo modo : {Conexion::Modo::lectura, Conexion::Modo::escritura})
            QCOMPARE(Soporte::mensaje_de([&] { Conexion::abrir(ruta, modo); }), esperado);
        if (conector >= 0)
            ::close(conector);
    }

    // The location file is used only when it is a regular file of the user's that nobody else may change.
    void archivo_de_ubicacion_ajeno_data() {
        QTest::addColumn<QString>("clase");
        QTest::addColumn<int>("modo");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("suyo") << "suyo" << 0644 << QString();
        QTest::newRow("suyo y privado") << "suyo" << 0600 << QString();
        QTest::newRow("de otro usuario") << "ajeno" << 0644 << "no es suyo, sino de otro usuario.";
        QTest::newRow("que otros pueden cambiar") << "suyo" << 0666 << "otros usuarios pueden cambiarlo.";
        QTest::newRow("que su grupo puede cambiar") << "suyo" << 0664 << "otros usuarios pueden cambiarlo.";
        QTest::newRow("tubería") << "tubería" << 0600 << "no es un archivo normal.";
    }
    void archivo_de_ubicacion_ajeno() {
        QFETCH(QString, clase);
        QFETCH(int, modo);
        QFETCH(QString, motivo);
        QTemporaryDir dir;
        const QByteArray nombre = QFile::encodeName(Ubicacion::ruta(dir.path()));
        const QString linea = QStringLiteral("postgresql://intruso@servidor.ajeno/inventario");
        if (clase == QStringLiteral("tubería")) {
            QCOMPARE(::mkfifo(nombre.constData(), mode_t(modo)), 0);
        } else {
            Soporte::escribir_ubicacion(dir.path(), linea.toUtf8() + "\r\n");
            QCOMPARE(::chmod(nombre.constData(), mode_t(modo)), 0);
            if (clase == QLatin1String("ajeno") && ::chown(nombre.constData(), 65534, 65534) != 0)
                QSKIP("sólo root puede dar el archivo a otro usuario");
        }
        if (motivo.isEmpty()) {
            QCOMPARE(Ubicacion::problema(dir.path()), std::nullopt);
            QCOMPARE(Ubicacion::leer(dir.path()), std::optional<QString>(linea));
        } else {
            QCOMPARE(Ubicacion::problema(dir.path()),
                     std::optional<QString>(QStringLiteral("el archivo de configuración %1 no se usa: %2")
                                                .arg(Ubicacion::ruta(dir.path()), motivo)));
            QCOMPARE(Ubicacion::leer(dir.path()), std::nullopt);
        }
    }

    // The program's own location file is trusted at the next start, whatever the user's umask.
    void ubicacion_guardada_es_confiable() {
        QTemporaryDir dir;
        const mode_t antes = ::umask(0);
        Ubicacion::guardar(dir.path(), QStringLiteral("/datos/inventario.db"));
        ::umask(antes);
        QCOMPARE(Ubicacion::problema(dir.path()), std::nullopt);
        QCOMPARE(Ubicacion::leer(dir.path()), std::optional<QString>(QStringLiteral("/datos/inventario.db")));
    }

    // The password dialog says which server asks and for which user, as libpq reads the URI.
    void pregunta_de_contrasena_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("pregunta");
        QTest::newRow("todo dado") << "postgresql://ana@servidor:5433/inv"
                                   << "El servidor servidor:5433 pide la contraseña del usuario ana para la base de "
                                      "datos inv (postgresql://ana@servidor:5433/inv):";
        QTest::newRow("usuario del entorno") << "postgresql://servidor/inv"
                                             << "El servidor servidor:5432 pide la contraseña del usuario luis para la "
                                                "base de datos inv (postgresql://servidor/inv):";
        QTest::newRow("en parámetros") << "postgresql:///inv?host=otro&user=eva&port=6000"
                                       << "El servidor otro:6000 pide la contraseña del usuario eva para la base de "
                                          "datos inv (postgresql:///inv?host=otro&user=eva&port=6000):";
        QTest::newRow("dos servidores") << "postgresql://ana@uno:1,dos:2/inv"
                                        << "El servidor uno:1, dos:2 pide la contraseña del usuario ana para la base "
                                           "de datos inv (postgresql://ana@uno:1,dos:2/inv):";
    }
    void pregunta_de_contrasena() {
        QFETCH(QString, base);
        QFETCH(QString, pregunta);
        qputenv("PGUSER", "luis");
        const QString hecha = Contrasena::pregunta(base);
        qunsetenv("PGUSER");
        QCOMPARE(hecha, pregunta);
    }

    // The password is found wherever libpq finds it, however its name is written, and what is shown and kept is
    // the URI written again from what libpq read: the same connection, without the password.
    void contrasena_como_la_lee_libpq_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("visible");
        QTest::newRow("nombre con una letra codificada") << "postgresql://ana@s/inv?passw%6Frd=secreta"
                                                         << "postgresql://ana@s/inv";
        QTest::newRow("nombre codificado entero, entre otros")
            << "postgresql://s/inv?sslmode=disable&%70%61%73%73%77%6f%72%64=secreta&connect_timeout=5"
            << "postgresql://s/inv?connect_timeout=5&sslmode=disable";
        QTest::newRow("en el usuario, codificada") << "postgresql://ana:%73ecreta@s:5433/inv"
                                                   << "postgresql://ana@s:5433/inv";
        QTest::newRow("usuario codificado") << "postgresql://%61na:x@s/inv"
                                            << "postgresql://ana@s/inv";
        QTest::newRow("carpeta del conector") << "postgresql://ana:x@%2Fvar%2Frun%2Fpg/inv"
                                              << "postgresql://ana@%2Fvar%2Frun%2Fpg/inv";
        QTest::newRow("dos servidores") << "postgresql://ana:x@uno,dos:5433/inv"
                                        << "postgresql://ana@uno,dos:5433/inv";
        QTest::newRow("IPv6") << "postgres://ana:x@[::1]:5432/inv"
                              << "postgres://ana@[::1]:5432/inv";
        QTest::newRow("que libpq no lee") << "postgresql://s/inv?a=1&passw%6Frd=x&b=2"
                                          << "postgresql://s/inv?a=1&b=2";
    }
    void contrasena_como_la_lee_libpq() {
        QFETCH(QString, base);
        QFETCH(QString, visible);
        const QString hecha = Ubicacion::sin_contrasena(base);
        QCOMPARE(hecha, visible);
        QCOMPARE(opciones_libpq(hecha, true), opciones_libpq(base, false));
        QTemporaryDir dir;
        Ubicacion::guardar(dir.path(), base);
        QCOMPARE(Soporte::contenido(Ubicacion::ruta(dir.path())), visible.toUtf8() + "\r\n");
    }
};

QTEST_MAIN(PruebaApertura)
#include "test_apertura.moc"
