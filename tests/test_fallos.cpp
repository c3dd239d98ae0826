// Every write of the program with a failing disk: each operation is run once per read, write, sync, truncation and
// lock it makes, with that call failing, once as a passing failure and once with the disk staying broken. Each time
// the user is told one "ERROR: " with the failure's reason, the file holds the state before or the state after
// (never a mix), and the same operation works once the disk does.
#include "anadirtm/anadirtm.h"
#include "modulo/module1.h"
#include "plataforma/dbcombo.h"
#include "plataforma/reloj.h"
#include "principal/principal.h"
#include "soporte/soporte.h"
#include "soporte/vfs_fallos.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora'), (3, 'Teclado'), (4, 'Escáner')",
    "INSERT INTO Marca VALUES (1, 'HP'), (5, 'Dell'), (6, 'Logitech'), (7, 'Epson')",
    "INSERT INTO Elemento VALUES (3, 1, 5, 'P2422H', 'S3', '2000-03-05', 24, 'Contabilidad', 1)",
    "INSERT INTO Elemento VALUES (7, 3, 6, 'K120', 'S7', '1999-11-12', 36, 'Recepción', 0)",
    "INSERT INTO Elemento VALUES (10, 2, 1, 'LJ4', 'S10', '1999-02-01', 12, '', 0)",
};

const QString pregunta_borrar =
    QStringLiteral("          ¿Seguro que desea eliminar el registro? |                        ¿Esta seguro?");

// What a fresh connection finds in the file: whether it is sound, and every row. A fresh connection that may write
// first undoes a write left half-done, as the program's next opening would.
QString estado(const QString& ruta) {
    if (!QFileInfo::exists(ruta))
        return QFileInfo::exists(ruta + "-journal") ? "sin archivo, con diario" : "sin archivo";
    try {
        SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READWRITE);
        const std::string integridad = db.execAndGet("PRAGMA integrity_check").getString();
        if (integridad != "ok")
            return "dañado: " + QString::fromStdString(integridad);
        QStringList partes = {QString::number(db.execAndGet("PRAGMA application_id").getInt()),
                              QString::number(db.execAndGet("PRAGMA user_version").getInt())};
        // The tables beside the inventory's three, when a write has made them; the history without its clock.
        std::vector<std::string> consultas;
        for (const char* tabla : {"Tipo", "Marca", "Elemento"})
            consultas.push_back(std::string("SELECT * FROM ") + tabla + " ORDER BY rowid");
        if (db.tableExists("Baja"))
            for (const char* consulta : {"SELECT * FROM Baja ORDER BY rowid",
                                         "SELECT Codigo, Usuario, Tabla, Registro, Cambio FROM Historial ORDER BY rowid",
                                         "SELECT * FROM HistorialColumna ORDER BY rowid"})
                consultas.push_back(consulta);
        for (const std::string& consulta : consultas) {
            const QString tabla = QString::fromStdString(consulta).section(u' ', -4, -4);
            SQLite::Statement st(db, consulta);
            while (st.executeStep()) {
                QStringList columnas;
                for (int i = 0; i < st.getColumnCount(); ++i)
                    columnas << QString::fromUtf8(st.getColumn(i).getText());
                partes << tabla + u':' + columnas.join(u'|');
            }
        }
        return partes.join(u'\n');
    } catch (const std::exception& e) {
        return QStringLiteral("ilegible: ") + QString::fromUtf8(e.what());
    }
}

// The files of a folder, so a run that leaves a temporary file or a journal behind is seen.
QStringList archivos(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The reason the user must read for the failure that was made.
QString motivo_esperado() {
    if (VfsFallos::codigo_fallado() == SQLITE_FULL)
        return QStringLiteral("el disco está lleno.");
    if (VfsFallos::clase_fallada() == VfsFallos::Clase::bloqueo)
        return QStringLiteral("no se puede bloquear el archivo; puede estar en una carpeta de red que no lo permite.");
    return QStringLiteral("ha fallado la lectura o la escritura del disco.");
}

// One run of an operation: what the user was told and what the file held afterwards.
struct Vuelta {
    QStringList avisos;
    QString estado;
};

struct Cifras {
    int puntos = 0;
    int resistieron = 0;
    int absorbidos = 0;    // the failure did not stop the operation: it was done, and nobody was told of a failure
    int hecho_y_aviso = 0; // the change was stored and a later read failed, which the user was told
    QMap<QString, int> por_clase;
};

class Recorrido {
public:
    Recorrido(const char* nombre, QStringList previos, QStringList exito)
        : nombre_(nombre), previos_(std::move(previos)), exito_(std::move(exito)) {}

    // `una(n)` runs the operation with the failure at call n (none for 0) and returns what it left; `antes_de()`
    // gives the state before it. `repetir()` runs the operation again after a failure that changed nothing, and
    // `usable()` checks the window after a failure that came once the change was stored; each returns an empty
    // text when all is well, otherwise what went wrong.
    void recorrer(const std::function<Vuelta(int)>& una, const std::function<QString()>& antes_de,
                  const std::function<QString()>& repetir, const std::function<QString()>& usable) {
        antes_ = antes_de();
        const Vuelta limpia = una(0);
        const int total = VfsFallos::llamadas();
        despues_ = limpia.estado;
        if (limpia.avisos != previos_ + exito_ || despues_ == antes_ || total == 0) {
            problemas_ << QStringLiteral("%1 sin fallos: %2").arg(nombre_, limpia.avisos.join(" / "));
            return;
        }
        // Each call fails once, as a passing failure, and then again with the disk staying broken: SQLite's own
        // undoing of the change fails too, and the next opening has to do it.
        for (const bool siempre : {false, true}) {
            VfsFallos::fallar_siempre(siempre);
            Cifras& c = siempre ? persistentes_ : cifras_;
            for (int n = 1; n <= total; ++n) {
                ++c.puntos;
                const Vuelta v = una(n);
                const VfsFallos::Clase clase = VfsFallos::clase_fallada();
                ++c.por_clase[VfsFallos::nombre_clase(clase)];
                QString problema = juzgar(v, c, siempre);
                if (problema.isEmpty())
                    problema = v.estado == antes_ ? repetir() : usable();
                if (problema.isEmpty())
                    ++c.resistieron;
                else
                    problemas_ << QStringLiteral("%1, fallo %2 de %3 en la llamada %4 de %5: %6")
                                      .arg(nombre_,
                                           siempre ? QStringLiteral("persistente") : QStringLiteral("pasajero"),
                                           VfsFallos::nombre_clase(clase))
                                      .arg(n)
                                      .arg(total)
                                      .arg(problema);
            }
            VfsFallos::fallar_siempre(false);
            QStringList clases;
            for (auto it = c.por_clase.cbegin(); it != c.por_clase.cend(); ++it)
                clases << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
            qInfo().noquote() << QStringLiteral("%1, fallo %2: %3 de %4 [%5]; %6 sin efecto en la operación, %7 "
                                                "guardadas con aviso de una lectura posterior")
                                     .arg(nombre_, siempre ? QStringLiteral("persistente") : QStringLiteral("pasajero"))
                                     .arg(c.resistieron)
                                     .arg(c.puntos)
                                     .arg(clases.join(QStringLiteral(", ")))
                                     .arg(c.absorbidos)
                                     .arg(c.hecho_y_aviso);
        }
    }

    int puntos() const { return cifras_.puntos + persistentes_.puntos; }
    int resistieron() const { return cifras_.resistieron + persistentes_.resistieron; }
    const QStringList& problemas() const { return problemas_; }
    const QString& despues() const { return despues_; }

private:
    QString juzgar(const Vuelta& v, Cifras& c, bool siempre) {
        if (!VfsFallos::fallo_hecho())
            return QStringLiteral("la llamada no llegó a hacerse");
        if (v.estado != antes_ && v.estado != despues_)
            return QStringLiteral("el archivo no queda ni como antes ni como después: ") + v.estado;
        if (v.avisos.mid(0, previos_.size()) != previos_)
            return QStringLiteral("avisos: ") + v.avisos.join(" / ");
        const QStringList propios = v.avisos.mid(previos_.size());
        if (v.estado == despues_ && propios == exito_) {
            ++c.absorbidos;
            return {};
        }
        // With the disk staying broken, the first call of a later read may be another kind than the one that
        // failed first (a silent read after the write meets the failing lock, the next one a failing read): any
        // reason of a failing disk is then true.
        const QStringList motivos = siempre ? QStringList{QStringLiteral("el disco está lleno."),
                                                          QStringLiteral("no se puede bloquear el archivo; puede estar "
                                                                         "en una carpeta de red que no lo permite."),
                                                          QStringLiteral("ha fallado la lectura o la escritura del "
                                                                         "disco.")}
                                            : QStringList{motivo_esperado()};
        const auto motivo_cierto = [&](const QString& aviso) {
            return std::any_of(motivos.begin(), motivos.end(), [&](const QString& m) { return aviso.endsWith(m); });
        };
        if (propios.size() != 1 || !propios[0].startsWith(QLatin1String("ERROR: ")) || !motivo_cierto(propios[0]))
            return QStringLiteral("avisos: ") + v.avisos.join(" / ");
        if (v.estado == despues_)
            ++c.hecho_y_aviso;
        return {};
    }

    QString nombre_;
    QStringList previos_;
    QStringList exito_;
    QString antes_;
    QString despues_;
    Cifras cifras_;
    Cifras persistentes_;
    QStringList problemas_;
};

void pulsar(QWidget* ventana, const char* boton) {
    QTest::mouseClick(Soporte::control<QPushButton>(ventana, boton), Qt::LeftButton);
}

// A main window started in its own folder on a new inventory with the rows above.
struct Escena {
    Escena() : ruta(Soporte::crear_base(dir, QStringLiteral("inventario.db"), inventario)) {
        principal = Soporte::abrir_principal(dir, ruta);
        Soporte::buscar(*principal, QStringLiteral("Todos"));
    }
    QStringList codigos() {
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        QStringList primeras;
        for (const QString& linea : Soporte::lineas(*principal))
            primeras << linea.section(u'|', 0, 0);
        return primeras;
    }
    QTemporaryDir dir;
    const QString ruta;
    std::unique_ptr<Principal> principal;
};

// Cards and the list must show the rows the file holds once the disk works again.
QString lista_como(Escena& e, const QStringList& codigos) {
    const QStringList vistos = e.codigos();
    const QStringList avisos = Soporte::avisos();
    if (vistos != codigos || !avisos.isEmpty())
        return QStringLiteral("la lista muestra %1, avisos %2").arg(vistos.join(u','), avisos.join(" / "));
    return {};
}

// A record card opened with `orden` on `codigo`: `rellenar` types the entry, then "Aceptar" is clicked with the
// failure at call n. A card left open by a failure keeps the entry, so "Aceptar" is clicked again once the disk
// works; `repetida` tells how that went.
Vuelta por_ficha(Escena& e, int n, const char* orden, const QString& codigo,
                 const std::function<void(QWidget*)>& rellenar, QString& repetida) {
    Vuelta v;
    repetida = QStringLiteral("la ficha no quedó abierta");
    if (!codigo.isEmpty())
        Soporte::seleccionar(*e.principal, e.codigos().indexOf(codigo));
    Soporte::cuando_abra_modal([&](QWidget* ficha) {
        rellenar(ficha);
        VfsFallos::fallar_en(n);
        pulsar(ficha, "Command1");
        if (!ficha->isVisible())
            return;
        VfsFallos::parar();
        v.avisos = Soporte::avisos();
        v.estado = estado(e.ruta);
        pulsar(ficha, "Command1");
        repetida = ficha->isVisible() ? QStringLiteral("la ficha sigue abierta al repetir") : QString();
    });
    if (!Soporte::pulsar_barra(e.principal.get(), QLatin1String(orden)))
        qFatal("no hay botón %s", orden);
    VfsFallos::parar();
    const QStringList resto = Soporte::avisos();
    if (v.estado.isEmpty()) {
        v.avisos = resto;
        v.estado = estado(e.ruta);
    } else if (!resto.isEmpty()) {
        repetida = QStringLiteral("al repetir: ") + resto.join(" / ");
    }
    return v;
}

std::unique_ptr<AnadirTM> ventana_tm(const QString& ruta) {
    Module1::base_datos = ruta;
    auto v = std::make_unique<AnadirTM>();
    v->show();
    return v;
}

void escribir_caja(QComboBox* caja, const QString& texto) {
    caja->lineEdit()->selectAll();
    QTest::keyClick(caja->lineEdit(), Qt::Key_Delete);
    Soporte::teclear(caja->lineEdit(), texto);
}

QStringList nombres(QComboBox* c) {
    QStringList lista;
    for (int i = 0; i < c->count(); ++i)
        lista << c->itemText(i);
    return lista;
}

} // namespace

class PruebaFallos : public QObject {
    Q_OBJECT
    int puntos_ = 0;
    int resistieron_ = 0;
    int operaciones_ = 0;

    void contar(const Recorrido& r) {
        ++operaciones_;
        puntos_ += r.puntos();
        resistieron_ += r.resistieron();
        for (const QString& p : r.problemas().mid(0, 5))
            qWarning().noquote() << p;
        QVERIFY2(r.problemas().isEmpty(), qPrintable(r.problemas().value(0)));
    }

    // The add, change and delete of a component, on the card and the list.
    void componente(const char* nombre, const char* orden, const QString& codigo,
                    const std::function<void(QWidget*)>& rellenar, const QStringList& codigos_despues) {
        std::unique_ptr<Escena> e;
        QString repetida;
        Recorrido r(nombre, {}, {});
        r.recorrer(
            [&](int n) {
                e = std::make_unique<Escena>();
                return por_ficha(*e, n, orden, codigo, rellenar, repetida);
            },
            [] { return estado(Escena().ruta); },
            [&]() -> QString {
                if (!repetida.isEmpty())
                    return repetida;
                if (estado(e->ruta) != r.despues())
                    return QStringLiteral("al repetir el archivo no queda como después");
                return lista_como(*e, codigos_despues);
            },
            [&] { return lista_como(*e, codigos_despues); });
        contar(r);
    }

    // Adding or deleting a name in the types and brands window.
    void tipo_marca(const char* nombre, const char* caja, const char* boton, const QString& texto,
                    const QStringList& exito, const QStringList& lista_despues) {
        QTemporaryDir dir;
        int cuenta = 0;
        QString ruta;
        std::unique_ptr<AnadirTM> v;
        const auto nueva = [&] {
            v.reset();
            ruta = Soporte::crear_base(dir, QStringLiteral("tm%1.db").arg(++cuenta), inventario);
            v = ventana_tm(ruta);
        };
        const auto lista_nueva = [&]() -> QString {
            // A name once stored leaves the box, so that a failure told afterwards does not invite adding it twice.
            const bool anade = QByteArray(boton) == "Command1" || QByteArray(boton) == "Command2";
            if (anade && !Soporte::control<QComboBox>(v.get(), caja)->currentText().isEmpty())
                return QStringLiteral("el nombre guardado sigue en la caja");
            v = ventana_tm(ruta);
            const QStringList vistos = nombres(Soporte::control<QComboBox>(v.get(), caja));
            return vistos == lista_despues ? QString() : QStringLiteral("la lista muestra ") + vistos.join(u',');
        };
        Recorrido r(nombre, {}, exito);
        r.recorrer(
            [&](int n) {
                nueva();
                escribir_caja(Soporte::control<QComboBox>(v.get(), caja), texto);
                VfsFallos::fallar_en(n);
                pulsar(v.get(), boton);
                VfsFallos::parar();
                return Vuelta{Soporte::avisos(), estado(ruta)};
            },
            [&] {
                nueva();
                return estado(ruta);
            },
            [&]() -> QString {
                // The name typed is still in the box: the user clicks again.
                pulsar(v.get(), boton);
                const QStringList avisos = Soporte::avisos();
                if (avisos != exito || estado(ruta) != r.despues())
                    return QStringLiteral("al repetir: ") + avisos.join(" / ");
                return lista_nueva();
            },
            lista_nueva);
        contar(r);
    }

private Q_SLOTS:
    void initTestCase() {
        // Hundreds of runs, each syncing its files several times: in memory when the system offers a folder there.
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            qputenv("TMPDIR", "/dev/shm");
        Soporte::preparar_aplicacion();
        Reloj::fijar_hoy(QDate(2026, 12, 7));
        VfsFallos::instalar();
    }
    void cleanup() {
        VfsFallos::parar();
        QVERIFY(Soporte::sin_sobresaltos());
    }
    void cleanupTestCase() {
        qInfo().noquote() << QStringLiteral("Fallos de disco: %1 operaciones, %2 puntos de fallo, %3 resistieron.")
                                 .arg(operaciones_)
                                 .arg(puntos_)
                                 .arg(resistieron_);
    }

    void anadir_componente() {
        componente("añadir", "BotonAnadir", {},
                   [](QWidget* ficha) {
                       Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo1"), "Teclado");
                       Soporte::elegir(Soporte::control<DBCombo>(ficha, "DBCombo2"), "Dell");
                       Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text4"), "E24");
                       Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text5"), "S99");
                       Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text6"), "01/02/2003");
                       Soporte::elegir(Soporte::control<QComboBox>(ficha, "Combo2"), "12");
                       Soporte::elegir(Soporte::control<QComboBox>(ficha, "Combo1"), "No");
                   },
                   {"3", "7", "10", "11"});
    }

    void modificar_componente() {
        componente("modificar", "BotonModificar", "10",
                   [](QWidget* ficha) { Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text4"), "LJ5"); },
                   {"3", "7", "10"});
    }

    void borrar_componente() {
        std::unique_ptr<Escena> e;
        const auto borrar = [&](int n) {
            Soporte::seleccionar(*e->principal, 1);
            Mensajes::responder(true);
            VfsFallos::fallar_en(n);
            if (!Soporte::pulsar_barra(e->principal.get(), QStringLiteral("BotonBorrar")))
                qFatal("no hay botón BotonBorrar");
            VfsFallos::parar();
        };
        const auto lista = [&]() -> QString {
            const QStringList vistos = Soporte::lineas(*e->principal);
            QStringList codigos;
            for (const QString& l : vistos)
                codigos << l.section(u'|', 0, 0);
            return codigos == QStringList({"3", "10"}) ? lista_como(*e, {"3", "10"})
                                                       : QStringLiteral("la lista muestra ") + codigos.join(u',');
        };
        Recorrido r("borrar", {pregunta_borrar}, {});
        r.recorrer(
            [&](int n) {
                e = std::make_unique<Escena>();
                borrar(n);
                return Vuelta{Soporte::avisos(), estado(e->ruta)};
            },
            [] { return estado(Escena().ruta); },
            [&]() -> QString {
                borrar(-1);
                const QStringList avisos = Soporte::avisos();
                if (avisos != QStringList({pregunta_borrar}) || estado(e->ruta) != r.despues())
                    return QStringLiteral("al repetir: ") + avisos.join(" / ");
                return lista();
            },
            [&] {
                return lista_como(*e, {"3", "10"});
            });
        contar(r);
    }

    // Retiring the selected component from the list, and putting it back from the archive's window.
    void dar_de_baja_y_recuperar_data() {
        QTest::addColumn<bool>("recuperar");
        QTest::newRow("dar de baja") << false;
        QTest::newRow("recuperar") << true;
    }
    void dar_de_baja_y_recuperar() {
        QFETCH(bool, recuperar);
        std::unique_ptr<Escena> e;
        const auto dar_de_baja = [&](int n) {
            Soporte::seleccionar(*e->principal, 1);
            Soporte::cuando_abra_modal([](QWidget* w) { pulsar(w, "Command1"); });
            VfsFallos::fallar_en(n);
            Soporte::accion(e->principal.get(), QStringLiteral("menuDarDeBaja"))->trigger();
            VfsFallos::parar();
            // A failure before the window opened leaves its action waiting.
            Soporte::olvidar_modales();
        };
        const auto recuperar_7 = [&](int n) {
            Soporte::cuando_abra_modal([&](QWidget* w) {
                auto* lista = Soporte::control<QTreeWidget>(w, "ListView1");
                lista->setCurrentItem(lista->topLevelItem(0));
                VfsFallos::fallar_en(n);
                pulsar(w, "Command1");
                VfsFallos::parar();
                pulsar(w, "Command4");
            });
            Soporte::accion(e->principal.get(), QStringLiteral("menuBajas"))->trigger();
            Soporte::olvidar_modales();
        };
        const auto escena = [&] {
            auto nueva = std::make_unique<Escena>();
            if (recuperar) {
                std::swap(e, nueva);
                dar_de_baja(-1);
                std::swap(e, nueva);
                Soporte::avisos();
            }
            return nueva;
        };
        const auto operacion = [&](int n) { recuperar ? recuperar_7(n) : dar_de_baja(n); };
        const QStringList despues = recuperar ? QStringList{"3", "7", "10"} : QStringList{"3", "10"};
        Recorrido r(recuperar ? "recuperar" : "dar de baja", {}, {});
        r.recorrer(
            [&](int n) {
                e = escena();
                operacion(n);
                return Vuelta{Soporte::avisos(), estado(e->ruta)};
            },
            [&] { return estado(escena()->ruta); },
            [&]() -> QString {
                operacion(-1);
                const QStringList avisos = Soporte::avisos();
                if (!avisos.isEmpty() || estado(e->ruta) != r.despues())
                    return QStringLiteral("al repetir: ") + avisos.join(" / ");
                return lista_como(*e, despues);
            },
            [&] { return lista_como(*e, despues); });
        contar(r);
    }

    void anadir_y_borrar_tipos_y_marcas_data() {
        QTest::addColumn<QByteArray>("nombre");
        QTest::addColumn<QByteArray>("caja");
        QTest::addColumn<QByteArray>("boton");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QStringList>("exito");
        QTest::addColumn<QStringList>("lista");
        QTest::newRow("añadir tipo") << QByteArray("añadir tipo") << QByteArray("Combo1") << QByteArray("Command1")
                                     << "Ratón" << QStringList()
                                     << QStringList({"Monitor", "Impresora", "Teclado", "Escáner", "Ratón"});
        QTest::newRow("borrar tipo") << QByteArray("borrar tipo") << QByteArray("Combo1") << QByteArray("Command4")
                                     << "Escáner" << QStringList({"Registro eliminado."})
                                     << QStringList({"Monitor", "Impresora", "Teclado"});
        QTest::newRow("añadir marca") << QByteArray("añadir marca") << QByteArray("Combo2") << QByteArray("Command2")
                                      << "Acer" << QStringList()
                                      << QStringList({"HP", "Dell", "Logitech", "Epson", "Acer"});
        QTest::newRow("borrar marca") << QByteArray("borrar marca") << QByteArray("Combo2") << QByteArray("Command5")
                                      << "Epson" << QStringList() << QStringList({"HP", "Dell", "Logitech"});
    }
    void anadir_y_borrar_tipos_y_marcas() {
        QFETCH(QByteArray, nombre);
        QFETCH(QByteArray, caja);
        QFETCH(QByteArray, boton);
        QFETCH(QString, texto);
        QFETCH(QStringList, exito);
        QFETCH(QStringList, lista);
        tipo_marca(nombre.constData(), caja.constData(), boton.constData(), texto, exito, lista);
    }

    // Archivo, Configurar with the name of a file that does not exist, and Yes to the offer of a new inventory.
    void crear_inventario() {
        std::unique_ptr<Escena> e;
        QString nueva;
        const auto configurar = [&](int n) {
            Soporte::cuando_abra_modal([&](QWidget* w) {
                Soporte::reemplazar(Soporte::control<QLineEdit>(w, "Text1"), nueva);
                Mensajes::responder(true);
                VfsFallos::fallar_en(n);
                pulsar(w, "Command1");
            });
            Soporte::accion(e->principal.get(), QStringLiteral("menuConfigurar"))->trigger();
            VfsFallos::parar();
        };
        // The question names the new file, whose folder changes from run to run.
        const QString pregunta = QStringLiteral("          Base de datos nueva. |No existe la base de datos NUEVA.\n\n"
                                                "¿Desea crear en ese archivo un inventario nuevo y vacío?");
        const auto avisos = [&] { return Soporte::avisos().replaceInStrings(nueva, QStringLiteral("NUEVA")); };
        const auto lo_que_hay = [&]() -> QString { return estado(nueva) + u'\n' + archivos(e->dir.path()).join(u','); };
        const auto vacia = [&]() -> QString {
            Soporte::buscar(*e->principal, QStringLiteral("Todos"));
            const QStringList vistos = avisos();
            return Soporte::lineas(*e->principal).isEmpty() && vistos.isEmpty()
                       ? QString()
                       : QStringLiteral("la lista del inventario nuevo: ") + vistos.join(" / ");
        };
        Recorrido r("crear inventario", {pregunta}, {});
        r.recorrer(
            [&](int n) {
                e = std::make_unique<Escena>();
                nueva = e->dir.filePath("nuevo.db");
                configurar(n);
                return Vuelta{avisos(), lo_que_hay()};
            },
            [&]() -> QString {
                e = std::make_unique<Escena>();
                nueva = e->dir.filePath("nuevo.db");
                return lo_que_hay();
            },
            [&]() -> QString {
                configurar(-1);
                const QStringList vistos = avisos();
                if (vistos != QStringList({pregunta}) || lo_que_hay() != r.despues())
                    return QStringLiteral("al repetir: ") + vistos.join(" / ");
                return vacia();
            },
            vacia);
        contar(r);
    }

    // Herramientas, Copia de seguridad, to a new file beside the inventory.
    void copia_de_seguridad() {
        std::unique_ptr<Escena> e;
        const auto destino = [&] { return e->dir.filePath("copia.db"); };
        const auto copiar = [&](int n) {
            DialogosSistema::proximo_guardado(destino());
            VfsFallos::fallar_en(n);
            Soporte::accion(e->principal.get(), QStringLiteral("menuCopiaSeguridad"))->trigger();
            VfsFallos::parar();
        };
        const auto lo_que_hay = [&]() -> QString {
            return estado(destino()) + u'\n' + estado(e->ruta) + u'\n' + archivos(e->dir.path()).join(u',');
        };
        const QString hecha = QStringLiteral("Copia de seguridad guardada en DESTINO con 3 componentes.");
        Recorrido r("copia de seguridad", {}, {hecha});
        r.recorrer(
            [&](int n) {
                e = std::make_unique<Escena>();
                copiar(n);
                return Vuelta{Soporte::avisos().replaceInStrings(destino(), "DESTINO"), lo_que_hay()};
            },
            [&] {
                e = std::make_unique<Escena>();
                return lo_que_hay();
            },
            [&]() -> QString {
                copiar(-1);
                const QStringList avisos = Soporte::avisos().replaceInStrings(destino(), "DESTINO");
                if (avisos != QStringList({hecha}) || lo_que_hay() != r.despues())
                    return QStringLiteral("al repetir: ") + avisos.join(" / ");
                return lista_como(*e, {"3", "7", "10"});
            },
            [&] {
                return lista_como(*e, {"3", "7", "10"});
            });
        contar(r);
    }
};

QTEST_MAIN(PruebaFallos)
#include "test_fallos.moc"
