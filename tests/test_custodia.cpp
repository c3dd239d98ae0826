// Who has each component and where: people and places, hand-outs, transfers and returns through the windows, on an
// inventory file and on a server alike; the upgrade of an older file, and what another user or program changed
// meanwhile.
#include "custodia/entrega.h"
#include "custodia/personas_lugares.h"
#include "custodia/tenencias.h"
#include "data/conexion.h"
#include "data/custodia.h"
#include "data/esquema.h"
#include "data/motor.h"
#include "etiquetas/etiquetas.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/reloj.h"
#include "principal/principal.h"
#include "soporte/pg_pruebas.h"
#include "soporte/soporte.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <thread>

namespace {

const QStringList filas_archivo = {
    "INSERT INTO Tipo VALUES (1, 'Portátil')",
    "INSERT INTO Tipo VALUES (2, 'Monitor')",
    "INSERT INTO Marca VALUES (1, 'Lenovo')",
    "INSERT INTO Elemento VALUES (10, 1, 1, 'T14', 'S10', '2024-01-15', 3, 'Con funda', 0)",
    "INSERT INTO Elemento VALUES (11, 1, 1, 'X1', 'S11', '2023-05-02', 2, '', 1)",
    "INSERT INTO Elemento VALUES (12, 2, 1, 'P24', 'S12', NULL, 0, '', 0)",
};

const QString linea_ana = QStringLiteral("Lo tiene Ana García (Sistemas) desde el 02/03/2026");
const QString sala = QStringLiteral("Edificio A > Planta 2 > Sala 204");

// One inventory, on a file or on the test server, with the main window open on it and every component listed.
struct Inventario {
    explicit Inventario(bool servidor_) : servidor(servidor_) {
        if (servidor) {
            base = PgPruebas::base_vacia(QStringLiteral("custodia"));
            Servidor::crear_inventario(base);
            QStringList filas = filas_archivo;
            filas.replaceInStrings(QStringLiteral(", 0)"), QStringLiteral(", false)"));
            filas.replaceInStrings(QStringLiteral(", 1)"), QStringLiteral(", true)"));
            PgPruebas::sql(base, filas);
        } else {
            base = Soporte::crear_base(dir, QStringLiteral("i.db"), filas_archivo);
        }
        Custodia::olvidar();
        principal = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*principal, QStringLiteral("Todos"));
    }

    // The rows of a query, columns joined by "|" (null as empty), as a program outside this one reads them.
    QStringList sql(const QString& consulta) const {
        if (servidor)
            return PgPruebas::sql(base, {consulta});
        SQLite::Database db(base.toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement st(db, consulta.toStdString());
        QStringList filas;
        while (st.executeStep()) {
            QStringList campos;
            for (int i = 0; i < st.getColumnCount(); ++i)
                campos << QString::fromUtf8(st.getColumn(i).getText());
            filas << campos.join(u'|');
        }
        return filas;
    }
    QStringList entregas() const {
        return sql(QStringLiteral("SELECT elemento, persona, lugar, desde, hasta, nota, estadodevolucion, "
                                  "notadevolucion FROM entrega ORDER BY codigo"));
    }
    QString titular() const { return principal->findChild<QLabel*>(QStringLiteral("lblTitular"))->text(); }

    // Selects the line of `codigo` and runs `accion` in the window `entrada` opens.
    void seleccionar(const QString& codigo) {
        const QStringList lineas = Soporte::lineas(*principal);
        for (int i = 0; i < lineas.size(); ++i)
            if (lineas[i].section(u'|', 0, 0) == codigo)
                Soporte::seleccionar(*principal, i);
    }
    template <class T> void en(const char* entrada, const QString& codigo, const std::function<void(T*)>& accion) {
        seleccionar(codigo);
        Soporte::en_ventana<T>(principal.get(), entrada, accion);
    }
    void entregar(const QString& codigo, const QString& persona, const QString& lugar, const QString& fecha = {},
                  std::optional<bool> traspaso = std::nullopt) {
        en<Entregar>("menuEntregar", codigo, [&](Entregar* w) {
            if (!persona.isEmpty())
                Soporte::elegir(w->ComboPersona, persona);
            if (!lugar.isEmpty())
                Soporte::elegir(w->ComboLugar, lugar);
            if (!fecha.isEmpty())
                Soporte::reemplazar(w->TextFecha, fecha);
            if (traspaso && w->CheckTraspaso->isChecked() != *traspaso)
                QTest::mouseClick(w->CheckTraspaso, Qt::LeftButton, {}, QPoint(4, w->CheckTraspaso->height() / 2));
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        });
    }
    void devolver(const QString& codigo, const QString& fecha, const QString& estado) {
        en<Devolver>("menuDevolver", codigo, [&](Devolver* w) {
            Soporte::reemplazar(w->TextFecha, fecha);
            Soporte::reemplazar(w->ComboEstado, estado);
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        });
    }

    const bool servidor;
    QTemporaryDir dir;
    QString base;
    std::unique_ptr<Principal> principal;
};

// The people and places every hand-out case uses, added through their window: Ana García of Sistemas, Luis, and
// Sala 204 inside Planta 2 inside Edificio A.
void anadir_personas_y_lugares(Inventario& inv) {
    Soporte::en_ventana<PersonasLugares>(inv.principal.get(), "menuPersonasLugares", [&](PersonasLugares* w) {
        for (const auto& [nombre, departamento] :
             {std::pair{QStringLiteral("Ana García"), QStringLiteral("Sistemas")}, {QStringLiteral("Luis"), {}}}) {
            Soporte::reemplazar(w->TextNombre, nombre);
            Soporte::reemplazar(w->TextDepartamento, departamento);
            QTest::mouseClick(w->CmdAnadirPersona, Qt::LeftButton);
        }
        for (const auto& [lugar, dentro] : {std::pair{QStringLiteral("Edificio A"), QString()},
                                            {QStringLiteral("Planta 2"), QStringLiteral("Edificio A")},
                                            {QStringLiteral("Sala 204"), QStringLiteral("Edificio A > Planta 2")}}) {
            Soporte::reemplazar(w->TextLugar, lugar);
            w->ComboDentro->setCurrentIndex(dentro.isEmpty() ? 0 : w->ComboDentro->findText(dentro));
            QTest::mouseClick(w->CmdAnadirLugar, Qt::LeftButton);
        }
        QTest::mouseClick(w->CmdCerrar, Qt::LeftButton);
    });
    QCOMPARE(Soporte::avisos(), QStringList());
}

void filas_de_motor() {
    QTest::addColumn<bool>("servidor");
    QTest::newRow("archivo") << false;
    QTest::newRow("servidor") << true;
}

} // namespace

class TestCustodia : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        Soporte::preparar_aplicacion();
        Reloj::fijar_hoy(QDate(2026, 3, 2));
    }
    void init() {
        Soporte::avisos();
        Custodia::olvidar();
    }

    void personas_y_lugares_data() { filas_de_motor(); }
    void personas_y_lugares() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        anadir_personas_y_lugares(inv);
        QCOMPARE(inv.sql("SELECT codigo, nombre, departamento FROM persona ORDER BY codigo"),
                 QStringList({"1|Ana García|Sistemas", "2|Luis|"}));
        QCOMPARE(inv.sql("SELECT codigo, nombre, padre FROM lugar ORDER BY codigo"),
                 QStringList({"1|Edificio A|", "2|Planta 2|1", "3|Sala 204|2"}));

        Soporte::en_ventana<PersonasLugares>(inv.principal.get(), "menuPersonasLugares", [&](PersonasLugares* w) {
            // The places stand as a tree; the picker names each by its whole path.
            QCOMPARE(w->ListaLugares->topLevelItemCount(), 1);
            QCOMPARE(w->ListaLugares->topLevelItem(0)->child(0)->child(0)->text(0), "Sala 204");
            QVERIFY(w->ComboDentro->findText(sala) > 0);
            const auto pulsar = [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
            // Every refusal is one message and leaves both lists as they were.
            Soporte::reemplazar(w->TextNombre, "   ");
            pulsar(w->CmdAnadirPersona);
            Soporte::reemplazar(w->TextNombre, "Ana García");
            Soporte::reemplazar(w->TextDepartamento, "Sistemas");
            pulsar(w->CmdAnadirPersona);
            pulsar(w->CmdCambiarPersona);
            // Edificio A cannot go inside Sala 204, which is inside it.
            w->ListaLugares->setCurrentItem(w->ListaLugares->topLevelItem(0));
            w->ComboDentro->setCurrentIndex(w->ComboDentro->findText(sala));
            pulsar(w->CmdCambiarLugar);
            w->ComboDentro->setCurrentIndex(0);
            QCOMPARE(Soporte::avisos(),
                     QStringList({"ERROR: el nombre no puede estar vacío.",
                                  "ERROR: ya existe una persona llamada «Ana García» en Sistemas.",
                                  "ERROR: primero debe elegir en la lista la persona que desea cambiar.",
                                  "ERROR: un lugar no puede estar dentro de sí mismo ni de un lugar que está dentro de "
                                  "él."}));
            // Deleting asks first; a place with places inside it is refused.
            Mensajes::responder(true);
            pulsar(w->CmdBorrarLugar);
            QCOMPARE(Soporte::avisos(),
                     QStringList({"          Va a borrar el lugar Edificio A. |                        ¿Esta seguro?",
                                  "ERROR: no se puede borrar el lugar: hay otros lugares dentro de él."}));
            // Renaming Luis and moving Sala 204 up to Edificio A.
            w->ListaPersonas->setCurrentItem(w->ListaPersonas->topLevelItem(1));
            QCOMPARE(w->TextNombre->text(), "Luis");
            Soporte::reemplazar(w->TextNombre, "Luis Pérez");
            Soporte::reemplazar(w->TextContacto, "luis@empresa.es");
            pulsar(w->CmdCambiarPersona);
            w->ListaLugares->setCurrentItem(w->ListaLugares->topLevelItem(0)->child(0)->child(0));
            w->ComboDentro->setCurrentIndex(w->ComboDentro->findText("Edificio A"));
            pulsar(w->CmdCambiarLugar);
            QCOMPARE(Soporte::avisos(), QStringList());
            QCOMPARE(w->ListaLugares->topLevelItem(0)->childCount(), 2);
        });
        QCOMPARE(inv.sql("SELECT nombre, contacto FROM persona WHERE codigo = 2"),
                 QStringList({"Luis Pérez|luis@empresa.es"}));
        QCOMPARE(inv.sql("SELECT padre FROM lugar WHERE codigo = 3"), QStringList({"1"}));
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void entregar_traspasar_devolver_data() { filas_de_motor(); }
    void entregar_traspasar_devolver() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        anadir_personas_y_lugares(inv);
        inv.entregar("10", "Ana García (Sistemas)", {});
        QCOMPARE(Soporte::avisos(), QStringList());
        // The status line tells who has the selected component at once.
        QCOMPARE(inv.titular(), linea_ana);
        Soporte::seleccionar(*inv.principal, 1);
        QCOMPARE(inv.titular(), QString());
        // Out already: refused without the transfer, and a return dated before the hand-out too.
        inv.entregar("10", "Luis", {}, {}, false);
        inv.devolver("10", "01/03/2026", "Bien");
        // An unknown name typed in a picker.
        inv.en<Entregar>("menuEntregar", "11", [](Entregar* w) {
            Soporte::reemplazar(w->ComboPersona, "Nadie");
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        });
        QCOMPARE(Soporte::avisos(),
                 QStringList({"ERROR: el componente 10 ya está entregado; devuélvalo antes o haga un traspaso.",
                              "ERROR: la fecha de devolución no puede ser anterior a la de la entrega (02/03/2026).",
                              "ERROR: no hay ninguna persona llamada «Nadie»; añádala antes en «Personas y "
                              "lugares»."}));
        QCOMPARE(inv.entregas(), QStringList({"10|1||2026-03-02||||"}));

        // The transfer closes Ana's hand-out and opens one to Luis in Sala 204 in one write.
        inv.entregar("10", "Luis", sala, "05/03/2026", true);
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(inv.titular(), "Lo tiene Luis en " + sala + " desde el 05/03/2026");
        inv.devolver("10", "09/03/2026", "Con desperfectos");
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(inv.titular(), QString());
        QCOMPARE(inv.entregas(), QStringList({"10|1||2026-03-02|2026-03-05|||Traspaso",
                                              "10|2|3|2026-03-05|2026-03-09||Con desperfectos|"}));
        // Nothing handed out: "Devolver" says so and opens nothing.
        Soporte::accion(inv.principal.get(), "menuDevolver")->trigger();
        QCOMPARE(Soporte::avisos(), QStringList({"ERROR: el componente 10 no está entregado."}));

        // A person or place named by a hand-out, even a returned one, stays.
        Soporte::en_ventana<PersonasLugares>(inv.principal.get(), "menuPersonasLugares", [&](PersonasLugares* w) {
            w->ListaPersonas->setCurrentItem(w->ListaPersonas->topLevelItem(1));
            Mensajes::responder(true);
            QTest::mouseClick(w->CmdBorrarPersona, Qt::LeftButton);
        });
        QCOMPARE(Soporte::avisos().value(1), "ERROR: no se puede borrar la persona: tiene componentes entregados o "
                                             "entregas anteriores que la nombran.");
        QCOMPARE(inv.sql("SELECT count(*) FROM persona"), QStringList({"2"}));
        QCOMPARE(Mensajes::respuestas_sin_usar(), 0);
        QCOMPARE(Mensajes::preguntas_inesperadas(), 0);
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // What a person or a place holds, the text search by holder, the export's columns and the labels' line.
    void tenencias_busqueda_y_exportacion_data() { filas_de_motor(); }
    void tenencias_busqueda_y_exportacion() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        anadir_personas_y_lugares(inv);
        inv.entregar("10", "Ana García (Sistemas)", {});
        inv.entregar("11", {}, sala);
        inv.entregar("12", "Ana García (Sistemas)", "Edificio A");
        QCOMPARE(Soporte::avisos(), QStringList());

        Soporte::en_ventana<Tenencias>(inv.principal.get(), "menuTenencias", [&](Tenencias* w) {
            Soporte::elegir(w->Combo1, "Ana García (Sistemas)");
            QCOMPARE(w->ListView1->topLevelItemCount(), 2);
            QCOMPARE(w->texto_exportar(0, 0), "10");
            QCOMPARE(w->texto_exportar(0, 1), "Portátil");
            QCOMPARE(w->texto_exportar(0, 5), "15/01/2024");
            QCOMPARE(w->texto_exportar(0, 6), "3");
            QCOMPARE(w->texto_exportar(0, 9), "02/03/2026");
            QCOMPARE(w->texto_exportar(1, 0), "12");
            // A place lists what is in it and in every place inside it.
            QTest::mouseClick(w->OptLugar, Qt::LeftButton);
            Soporte::elegir(w->Combo1, "Edificio A");
            QCOMPARE(w->filas_exportar(), 2);
            QCOMPARE(w->texto_exportar(0, 0), "11");
            QCOMPARE(w->texto_exportar(0, 8), "Si");
            Soporte::elegir(w->Combo1, sala);
            QCOMPARE(w->filas_exportar(), 1);
        });

        // The text search finds by the holder's name and by any place of the path, case and accents aside.
        for (const auto& [texto, codigos] : {std::pair{QStringLiteral("ana garcia"), QStringList{"10", "12"}},
                                             {QStringLiteral("EDIFICIO"), QStringList{"11", "12"}},
                                             {QStringLiteral("sala 204"), QStringList{"11"}}}) {
            inv.principal->mostrar_con_texto(texto);
            QStringList hallados;
            for (const QString& l : Soporte::lineas(*inv.principal))
                hallados << l.section(u'|', 0, 0);
            QCOMPARE(hallados, codigos);
        }

        // The labels carry who has each component, or where it is, when the user asks for that line.
        Soporte::buscar(*inv.principal, "Todos");
        Soporte::en_ventana<Etiquetas>(inv.principal.get(), "menuEtiquetas", [&](Etiquetas* w) {
            QCOMPARE(w->elegidas().etiqueta(0).titular, QString());
            QTest::mouseClick(Soporte::control<QCheckBox>(w, "chkTitular"), Qt::LeftButton, {}, QPoint(4, 4));
            QCOMPARE(w->elegidas().etiqueta(0).titular, "Ana García (Sistemas)");
            QCOMPARE(w->elegidas().etiqueta(1).titular, sala);
            QTest::mouseClick(Soporte::control<QPushButton>(w, "cmdCancelar"), Qt::LeftButton);
        });

        // The export adds who has it, where and since when after the nine columns.
        Soporte::buscar(*inv.principal, "Todos");
        const QString csv = inv.dir.filePath("lista.csv");
        DialogosSistema::proximo_guardado(csv);
        Soporte::accion(inv.principal.get(), "menuExportarLista")->trigger();
        Soporte::avisos();
        const QString texto = QString::fromUtf8(Soporte::contenido(csv));
        QVERIFY(texto.contains("Renting;Lo tiene;Lugar;Desde"));
        QVERIFY2(texto.contains("Con funda;No;Ana García (Sistemas);;02/03/2026"), qPrintable(texto));
        QVERIFY(texto.contains(";Si;;" + sala + ";02/03/2026"));
    }

    // Each bad input or stale read is one "ERROR: " message and leaves every table as it was.
    void negativas_data() { filas_de_motor(); }
    void negativas() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        anadir_personas_y_lugares(inv);
        inv.entregar("10", "Ana García (Sistemas)", {}, "05/03/2026");
        QCOMPARE(Soporte::avisos(), QStringList());
        const QString fuera = inv.base;
        struct Caso {
            const char* nombre;
            std::function<void()> accion;
            QString mensaje;
        };
        const std::vector<Caso> casos = {
            {"ni persona ni lugar",
             [&] {
                 Custodia::entregar(fuera, {11, {}, {}, QDate(2026, 3, 2), {}});
             },
             "indique a quién se entrega el componente, dónde queda, o las dos cosas."},
            {"componente que no existe",
             [&] {
                 Custodia::entregar(fuera, {99, 1, {}, QDate(2026, 3, 2), {}});
             },
             "el componente 99 ya no está en la base de datos."},
            {"persona borrada",
             [&] {
                 Custodia::entregar(fuera, {11, 7, {}, QDate(2026, 3, 2), {}});
             },
             "la persona ya no está en la base de datos: otro usuario la ha borrado."},
            {"lugar borrado",
             [&] {
                 Custodia::entregar(fuera, {11, {}, 9, QDate(2026, 3, 2), {}});
             },
             "el lugar ya no está en la base de datos: otro usuario lo ha borrado."},
            {"traspaso de una entrega que ya no es la abierta",
             [&] {
                 Custodia::entregar(fuera, {10, 2, {}, QDate(2026, 3, 6), {}}, 999);
             },
             "la entrega del componente 10 ha cambiado desde que se leyó: otro usuario lo ha devuelto o traspasado."},
            {"traspaso con fecha anterior",
             [&] {
                 Custodia::entregar(fuera, {10, 2, {}, QDate(2026, 3, 4), {}},
                                    Custodia::leer(fuera)->abierta(10)->entrega);
             },
             "la fecha del traspaso no puede ser anterior a la de la entrega que cierra (05/03/2026)."},
            {"devolución de lo que no está fuera",
             [&] {
                 Custodia::devolver(fuera, {11, 1, QDate(2026, 3, 6), {}, {}});
             },
             "el componente 11 ya no está entregado como se leyó: otro usuario lo ha devuelto o traspasado."},
            {"lugar propio padre",
             [&] {
                 Custodia::modificar_lugar(fuera, {2, "Planta 2", 2});
             },
             "un lugar no puede estar dentro de sí mismo ni de un lugar que está dentro de él."},
            {"persona que no existe",
             [&] {
                 Custodia::modificar_persona(fuera, {8, "Otro", {}, {}});
             },
             "la persona ya no está en la base de datos: otro usuario la ha borrado."},
            {"lugar repetido",
             [&] {
                 Custodia::anadir_lugar(fuera, {0, "Planta 2", 1});
             },
             "ya existe un lugar llamado «Planta 2» en ese sitio."},
        };
        const QStringList antes = inv.entregas();
        const QStringList lugares = inv.sql("SELECT codigo, nombre, padre FROM lugar ORDER BY codigo");
        for (const Caso& c : casos)
            QVERIFY2(Soporte::mensaje_de(c.accion) == c.mensaje, c.nombre);
        QCOMPARE(inv.entregas(), antes);
        QCOMPARE(inv.sql("SELECT codigo, nombre, padre FROM lugar ORDER BY codigo"), lugares);

        // Through the windows: a date that is not one, in the hand-out and in the return.
        inv.en<Entregar>("menuEntregar", "11", [](Entregar* w) {
            Soporte::elegir(w->ComboPersona, "Luis");
            Soporte::reemplazar(w->TextFecha, "31/02/2026");
            QTest::mouseClick(w->Command1, Qt::LeftButton);
            QVERIFY(w->isVisible());
        });
        inv.devolver("10", "mañana", "Bien");
        QCOMPARE(Soporte::avisos(),
                 QStringList({"ERROR: la fecha «31/02/2026» no es válida; escríbala como dd/mm/aaaa.",
                              "ERROR: la fecha «mañana» no es válida; escríbala como dd/mm/aaaa."}));
        QCOMPARE(inv.entregas(), antes);
    }

    // What a place holds, printed and exported from its window.
    void tenencias_impresas_y_exportadas() {
        Inventario inv(false);
        anadir_personas_y_lugares(inv);
        inv.entregar("11", {}, sala, "03/03/2026");
        auto impresora = std::make_unique<ImpresoraMemoria>();
        ImpresoraMemoria* memoria = impresora.get();
        inv.principal->fijar_impresora_lineas(std::move(impresora));
        const QString csv = inv.dir.filePath("sala.csv");
        Soporte::en_ventana<Tenencias>(inv.principal.get(), "menuTenencias", [&](Tenencias* w) {
            QTest::mouseClick(w->OptLugar, Qt::LeftButton);
            Soporte::elegir(w->Combo1, "Edificio A > Planta 2");
            QCOMPARE(w->Label1->text(), "Edificio A > Planta 2: 1 componente");
            QTest::mouseClick(w->Command1, Qt::LeftButton);
            DialogosSistema::proximo_guardado(csv);
            QTest::mouseClick(w->Command2, Qt::LeftButton);
        });
        const QString s = "      ";
        QCOMPARE(memoria->documentos.size(), 1);
        QCOMPARE(memoria->documentos[0].value(0), "Edificio A > Planta 2: 1 componente");
        QCOMPARE(memoria->documentos[0].value(5), "11" + s + "Portátil" + s + "Lenovo" + s + "X1" + s + "S11" + s +
                                                      "02/05/2023" + s + "2" + s + s + "Si" + s + "03/03/2026");
        QCOMPARE(Soporte::avisos().size(), 1);
        QVERIFY(QString::fromUtf8(Soporte::contenido(csv))
                    .contains("11;Portátil;Lenovo;X1;S11;02/05/2023;2;;Si;03/03/2026"));
    }

    // A file whose people and hand-outs a newer version made is read, not written; a role that may only read a
    // server sees who has each component and is told why it cannot hand one out.
    void version_mas_reciente_y_solo_lectura() {
        QTemporaryDir dir;
        const QString ruta = Soporte::crear_base(dir, "i.db", filas_archivo);
        const qint64 ana = Custodia::anadir_persona(ruta, {0, "Ana", {}, {}});
        Custodia::entregar(ruta, {10, ana, {}, QDate(2026, 3, 2), {}});
        Soporte::ejecutar(ruta, {"UPDATE Ampliacion SET Version = 3"});
        Custodia::olvidar();
        QCOMPARE(Custodia::leer(ruta)->titular(10), "Ana");
        const QByteArray antes = Soporte::contenido(ruta);
        QVERIFY(Soporte::mensaje_de([&] {
                    Custodia::anadir_persona(ruta, {0, "Luis", {}, {}});
                })
                    .endsWith("las personas, los lugares y las entregas los ha creado una versión más reciente del "
                              "programa."));
        QCOMPARE(Soporte::contenido(ruta), antes);

        Inventario inv(true);
        anadir_personas_y_lugares(inv);
        inv.entregar("10", "Luis", {});
        PgPruebas::sql(inv.base, {"DO $$ BEGIN CREATE ROLE lector_custodia LOGIN; EXCEPTION WHEN duplicate_object "
                                  "THEN NULL; END $$",
                                  "GRANT SELECT ON ALL TABLES IN SCHEMA public TO lector_custodia"});
        QString lector = inv.base;
        lector.replace("postgres@", "lector_custodia@");
        Custodia::olvidar();
        QCOMPARE(Custodia::leer(lector)->titular(10), "Luis");
        const QString error = Soporte::mensaje_de([&] {
            Custodia::devolver(lector, {10, 1, QDate(2026, 3, 3), {}, {}});
        });
        QVERIFY2(error.startsWith("no se han podido guardar los cambios en "), qPrintable(error));
        QCOMPARE(inv.entregas(), QStringList({"10|2||2026-03-02||||"}));
        Servidor::cerrar_conexiones();
    }

    // A code changed in the card takes its hand-outs along; a deletion asks, and takes them too.
    void codigo_y_borrado_data() { filas_de_motor(); }
    void codigo_y_borrado() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        anadir_personas_y_lugares(inv);
        inv.entregar("10", "Ana García (Sistemas)", {});
        inv.devolver("10", "03/03/2026", "Bien");
        inv.entregar("10", "Luis", {}, "04/03/2026");
        QCOMPARE(Soporte::avisos(), QStringList());
        Soporte::seleccionar(*inv.principal, 0);
        Soporte::cuando_abra_modal([](QWidget* ficha) {
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text1"), "20");
            QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
        });
        QVERIFY(Soporte::pulsar_barra(inv.principal.get(), "BotonModificar"));
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(inv.sql("SELECT elemento FROM entrega ORDER BY codigo"), QStringList({"20", "20"}));
        inv.seleccionar("20");
        QCOMPARE(inv.titular(), "Lo tiene Luis desde el 04/03/2026");

        // "No" to the second question keeps everything; "Yes" deletes the component and its hand-outs.
        Mensajes::responder(true);
        Mensajes::responder(false);
        QVERIFY(Soporte::pulsar_barra(inv.principal.get(), "BotonBorrar"));
        QStringList avisos = Soporte::avisos();
        QCOMPARE(avisos.size(), 2);
        QVERIFY2(avisos[1].startsWith("          El componente está entregado (Lo tiene Luis desde el 04/03/2026); "
                                      "se borrarán también sus entregas. |"),
                 qPrintable(avisos[1]));
        QCOMPARE(inv.sql("SELECT count(*) FROM entrega"), QStringList({"2"}));
        Mensajes::responder(true);
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(inv.principal.get(), "BotonBorrar"));
        QCOMPARE(Soporte::avisos().size(), 2);
        QCOMPARE(inv.sql("SELECT count(*) FROM elemento WHERE codigo = 20"), QStringList({"0"}));
        QCOMPARE(inv.sql("SELECT count(*) FROM entrega"), QStringList({"0"}));
        // A component that is not out is deleted with the design's one question.
        Mensajes::responder(true);
        QVERIFY(Soporte::pulsar_barra(inv.principal.get(), "BotonBorrar"));
        QCOMPARE(Soporte::avisos().size(), 1);
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // A file made by the schema of the release before gains the new tables on its first hand-out, all in one
    // write; its own marks stay, so that release still opens it; a read alone leaves it untouched.
    void archivo_antiguo() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("antiguo.db");
        Esquema::crear_inventario(ruta);
        Soporte::ejecutar(ruta, filas_archivo);
        const QByteArray antes = Soporte::contenido(ruta);
        QVERIFY(Custodia::leer(ruta)->abiertas.empty());
        QCOMPARE(Soporte::contenido(ruta), antes);
        // A write that is refused leaves no table behind.
        QVERIFY(Soporte::mensaje_de([&] { Custodia::anadir_persona(ruta, {0, " ", {}, {}}); }) != "(sin error)");
        QCOMPARE(Soporte::contenido(ruta), antes);

        const qint64 ana = Custodia::anadir_persona(ruta, {0, "Ana", {}, {}});
        Custodia::entregar(ruta, {10, ana, std::nullopt, QDate(2026, 3, 2), "nota"});
        SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READONLY);
        QCOMPARE(db.execAndGet("PRAGMA user_version").getInt(), Esquema::user_version);
        QCOMPARE(db.execAndGet("SELECT Version FROM Ampliacion").getInt(), Custodia::version_ampliacion);
        QCOMPARE(db.execAndGet("SELECT count(*) FROM sqlite_schema WHERE name IN ('Persona', 'Lugar', 'Entrega', "
                               "'Baja', 'Historial', 'HistorialColumna')")
                     .getInt(),
                 6);
        // The opening check of the release before (the three tables and the marks) passes.
        Conexion::abrir(ruta, Conexion::Modo::escritura);
        QCOMPARE(Custodia::leer(ruta)->linea(10), "Lo tiene Ana desde el 02/03/2026");
    }

    // Another program changed the file between the window's read and its write: the write sees it and refuses.
    void cambiado_por_otro_programa() {
        Inventario inv(false);
        anadir_personas_y_lugares(inv);
        inv.en<Entregar>("menuEntregar", "11", [&](Entregar* w) {
            QCOMPARE(w->LabelActual->text(), "No está entregado.");
            Soporte::ejecutar(inv.base, {"INSERT INTO Entrega (Elemento, Persona, Desde) VALUES (11, 2, "
                                         "'2026-03-01')"});
            Soporte::elegir(w->ComboPersona, "Ana García (Sistemas)");
            QTest::mouseClick(w->Command1, Qt::LeftButton);
            QCOMPARE(Soporte::avisos(),
                     QStringList({"ERROR: el componente 11 ya está entregado; devuélvalo antes o haga un traspaso."}));
            QVERIFY(w->isVisible());
        });
        inv.en<Devolver>("menuDevolver", "11", [&](Devolver* w) {
            Soporte::ejecutar(inv.base, {"UPDATE Entrega SET Hasta = '2026-03-02' WHERE Elemento = 11"});
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        });
        QCOMPARE(Soporte::avisos(), QStringList({"ERROR: el componente 11 ya no está entregado como se leyó: otro "
                                                 "usuario lo ha devuelto o traspasado."}));
        QCOMPARE(inv.entregas(), QStringList({"11|2||2026-03-01|2026-03-02|||"}));

        // An older program deleted a component that was out, leaving its hand-out behind: a new component that
        // takes the code does not inherit it.
        Soporte::ejecutar(inv.base, {"INSERT INTO Entrega (Elemento, Persona, Desde) VALUES (12, 1, '2026-03-01')",
                                     "DELETE FROM Elemento WHERE Codigo = 12"});
        Soporte::buscar(*inv.principal, "Todos");
        Soporte::cuando_abra_modal([](QWidget* ficha) {
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text1"), "12");
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text4"), "Nuevo");
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text5"), "N12");
            Soporte::reemplazar(Soporte::control<QLineEdit>(ficha, "Text6"), "01/03/2026");
            Soporte::reemplazar(Soporte::control<QComboBox>(ficha, "Combo2"), "1");
            Soporte::reemplazar(Soporte::control<QComboBox>(ficha, "Combo1"), "No");
            Soporte::elegir(Soporte::control<QComboBox>(ficha, "DBCombo1"), "Monitor");
            Soporte::elegir(Soporte::control<QComboBox>(ficha, "DBCombo2"), "Lenovo");
            QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
        });
        QVERIFY(Soporte::pulsar_barra(inv.principal.get(), "BotonAnadir"));
        QCOMPARE(Soporte::avisos(), QStringList());
        QCOMPARE(inv.sql("SELECT count(*) FROM Entrega WHERE Elemento = 12"), QStringList({"0"}));
    }

    // Two users hand out the same laptop at once on a server: one gets it, the other a clear message.
    void dos_entregas_a_la_vez() {
        Inventario inv(true);
        anadir_personas_y_lugares(inv);
        PGconn* otro = PgPruebas::conectar(inv.base);
        PgPruebas::sql_en(otro, {"BEGIN", "INSERT INTO entrega (elemento, persona, desde) VALUES (12, 1, "
                                          "'2026-03-02')"});
        QString error;
        std::thread usuario([&] {
            error = Soporte::mensaje_de([&] {
                Custodia::entregar(inv.base, {12, 2, std::nullopt, QDate(2026, 3, 2), {}});
            });
            Servidor::cerrar_conexiones();
        });
        // The second one waits for the first, which then stores its hand-out.
        while (PgPruebas::sql(inv.base, {"SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"})
                   .value(0) == "0")
            QThread::yieldCurrentThread();
        PgPruebas::sql_en(otro, {"COMMIT"});
        usuario.join();
        PQfinish(otro);
        QVERIFY2(error.contains("el componente 12 ya está entregado"), qPrintable(error));
        QCOMPARE(inv.entregas(), QStringList({"12|1||2026-03-02||||"}));
        // The rule is the server's own: a second open hand-out is refused whoever writes it.
        const QStringList r = PgPruebas::sql(
            inv.base, {"SELECT count(*) FROM pg_indexes WHERE indexname = 'entrega_abierta' AND indexdef LIKE "
                       "'%UNIQUE%WHERE (hasta IS NULL)%'"});
        QCOMPARE(r, QStringList({"1"}));
        // What the program keeps of the hand-outs is read again after a change made with psql, and only then.
        const std::shared_ptr<const Custodia::Estado> antes = Custodia::leer(inv.base);
        QCOMPARE(Custodia::leer(inv.base), antes);
        PgPruebas::sql(inv.base, {"UPDATE entrega SET persona = 2 WHERE elemento = 12"});
        QCOMPARE(Custodia::leer(inv.base)->abierta(12)->persona, 2);
    }
};

QTEST_MAIN(TestCustodia)
#include "test_custodia.moc"
