// What happened to each component: the history each kind of change leaves, shown in its window, on a file and on a
// server alike; a change made with psql and a role that may only read; retiring, listing and restoring; the next
// code after a retirement; and a write whose history cannot be written storing nothing.
#include "anadirtm/anadirtm.h"
#include "custodia/entrega.h"
#include "data/custodia.h"
#include "data/historial.h"
#include "data/lote_inventario.h"
#include "data/motor.h"
#include "historial/bajas_ventana.h"
#include "historial/historial_ventana.h"
#include "plataforma/mensajes.h"
#include "plataforma/reloj.h"
#include "principal/principal.h"
#include "soporte/pg_pruebas.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

const QStringList filas_archivo = {
    "INSERT INTO Tipo VALUES (1, 'Portátil')",
    "INSERT INTO Marca VALUES (1, 'Lenovo')",
    "INSERT INTO Elemento VALUES (10, 1, 1, 'T14', 'S10', '2024-01-15', 3, 'Con funda', 0)",
    "INSERT INTO Elemento VALUES (12, 1, 1, 'X1', 'S12', NULL, 0, '', 1)",
};

struct Inventario {
    explicit Inventario(bool servidor_) : servidor(servidor_) {
        if (servidor) {
            base = PgPruebas::base_vacia(QStringLiteral("historial"));
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

    QStringList sql(const QString& consulta) const {
        if (servidor)
            return PgPruebas::sql(base, {consulta});
        SQLite::Database db(base.toStdString(), SQLite::OPEN_READWRITE);
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
    QStringList codigos() {
        QStringList c;
        for (const QString& l : Soporte::lineas(*principal))
            c << l.section(u'|', 0, 0);
        return c;
    }
    void seleccionar(const QString& codigo) {
        const QStringList c = codigos();
        Soporte::seleccionar(*principal, int(c.indexOf(codigo)));
    }
    // The card of the selected line (or a new one) with `campos` typed, stored with Aceptar.
    void ficha(const char* boton, const std::vector<std::pair<const char*, QString>>& campos) {
        Soporte::cuando_abra_modal([&](QWidget* ficha) {
            for (const auto& [nombre, texto] : campos)
                Soporte::reemplazar(Soporte::control<QWidget>(ficha, nombre), texto);
            QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
        });
        QVERIFY(Soporte::pulsar_barra(principal.get(), QLatin1String(boton)));
    }
    void dar_de_baja(const QString& codigo, const QString& motivo, const QString& fecha = QStringLiteral("05/03/2026")) {
        seleccionar(codigo);
        Soporte::cuando_abra_modal([&](QWidget* w) {
            auto* ventana = qobject_cast<DarDeBaja*>(w);
            QVERIFY(ventana);
            Soporte::reemplazar(ventana->TextFecha, fecha);
            Soporte::elegir(ventana->ComboMotivo, motivo);
            Soporte::reemplazar(ventana->TextNota, QStringLiteral("Denuncia 77"));
            QTest::mouseClick(ventana->Command1, Qt::LeftButton);
        });
        Soporte::accion(principal.get(), QStringLiteral("menuDarDeBaja"))->trigger();
    }
    // The component's history window as the line's context menu opens it: its lines, each "Cambio|Qué|Detalle".
    QStringList historia(const QString& codigo) {
        seleccionar(codigo);
        QStringList resultado;
        Soporte::cuando_abra_modal([&](QWidget* w) {
            auto* v = qobject_cast<VentanaHistorial*>(w);
            QVERIFY(v);
            for (int f = 0; f < v->filas_exportar(); ++f)
                resultado << QStringList{v->texto_exportar(f, 2), v->texto_exportar(f, 3), v->texto_exportar(f, 5)}.join(u'|');
            usuarios.clear();
            for (int f = 0; f < v->filas_exportar(); ++f)
                usuarios << v->texto_exportar(f, 1);
            v->reject();
        });
        principal->historial_componente();
        return resultado;
    }

    const bool servidor;
    QTemporaryDir dir;
    QString base;
    QStringList usuarios;
    std::unique_ptr<Principal> principal;
};

void filas_de_motor() {
    QTest::addColumn<bool>("servidor");
    QTest::newRow("archivo") << false;
    QTest::newRow("servidor") << true;
}

} // namespace

class TestHistorial : public QObject {
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

    // Each kind of change through the windows, and the component's history newest first, following its new code.
    void cada_cambio_y_su_entrada_data() { filas_de_motor(); }
    void cada_cambio_y_su_entrada() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        inv.ficha("BotonAnadir", {{"Text1", "13"}, {"DBCombo1", "Portátil"}, {"DBCombo2", "Lenovo"}, {"Text4", "E14"},
                                  {"Text5", "N13"}, {"Text6", "01/03/2026"}, {"Combo2", "12"}, {"Combo1", "No"}});
        inv.seleccionar("13");
        inv.ficha("BotonModificar", {{"Text1", "14"}, {"Text4", "E15"}, {"Combo2", "24"}});
        const qint64 ana = Custodia::anadir_persona(inv.base, {0, QStringLiteral("Ana"), {}, {}});
        inv.seleccionar("14");
        Soporte::en_ventana<Entregar>(inv.principal.get(), "menuEntregar", [&](Entregar* w) {
            Soporte::elegir(w->ComboPersona, "Ana");
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        });
        inv.seleccionar("14");
        Soporte::en_ventana<Devolver>(inv.principal.get(), "menuDevolver", [&](Devolver* w) {
            Soporte::reemplazar(w->TextFecha, "04/03/2026");
            Soporte::reemplazar(w->ComboEstado, "Bien");
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        });
        inv.dar_de_baja("14", "vendido");
        QVERIFY(!inv.codigos().contains("14"));
        Soporte::en_ventana<VentanaBajas>(inv.principal.get(), "menuBajas", [&](VentanaBajas* w) {
            QCOMPARE(w->ListView1->topLevelItemCount(), 1);
            w->ListView1->setCurrentItem(w->ListView1->topLevelItem(0));
            QTest::mouseClick(w->Command1, Qt::LeftButton);
            QCOMPARE(w->ListView1->topLevelItemCount(), 0);
            QTest::mouseClick(w->Command4, Qt::LeftButton);
        });
        QVERIFY(inv.codigos().contains("14"));
        Mensajes::responder(true);
        inv.seleccionar("14");
        QVERIFY(Soporte::pulsar_barra(inv.principal.get(), "BotonBorrar"));
        QCOMPARE(Soporte::avisos().size(), 1); // the design's one question
        QVERIFY(!inv.codigos().contains("14"));

        // The deleted component is still found by its code in the whole inventory's history; its history as the
        // line showed it is read here straight from the data, since its line is gone.
        std::vector<Historial::Entrada> entradas = Historial::de_componente(inv.base, 14);
        QStringList vistas;
        for (const Historial::Entrada& e : entradas)
            vistas << QStringList{Historial::texto_cambio(e.cambio), Historial::texto_tabla(e.tabla), e.detalle()}.join(u'|');
        QCOMPARE(vistas.mid(0, 3),
                 QStringList({"Borrado|Componente|Codigo: 14; Tipo: 1; Marca: 1; Modelo: E15; Nº Serie: N13; Fecha: "
                              "01/03/2026; Garantia: 24; Descripcion: ; Renting: No",
                              "Recuperación|Componente|Codigo: 14; Tipo: 1; Marca: 1; Modelo: E15; Nº Serie: N13; "
                              "Fecha: 01/03/2026; Garantia: 24; Descripcion: ; Renting: No",
                              "Baja|Componente|Codigo: 14; Tipo: 1; Marca: 1; Modelo: E15; Nº Serie: N13; Fecha: "
                              "01/03/2026; Garantia: 24; Descripcion: ; Renting: No"}));
        QCOMPARE(vistas.size(), 8);
        QVERIFY2(vistas[3].startsWith("Borrado|Entrega|"), qPrintable(vistas[3]));
        QCOMPARE(vistas[4].section(u'|', 0, 1), "Devolución|Entrega");
        QCOMPARE(vistas[4].section(u'|', 2), "Hasta: (vacío) → 04/03/2026; Estado al devolver:  → Bien");
        QVERIFY2(vistas[5].startsWith("Entrega|Entrega|Codigo: "), qPrintable(vistas[5]));
        QVERIFY2(vistas[5].contains(QStringLiteral("Componente: 14; Persona: %1; Desde: 02/03/2026").arg(ana)),
                 qPrintable(vistas[5]));
        QCOMPARE(vistas[6], "Cambio de código|Componente|Codigo: 13 → 14; Modelo: E14 → E15; Garantia: 12 → 24");
        QCOMPARE(vistas[7], "Alta|Componente|Codigo: 13; Tipo: 1; Marca: 1; Modelo: E14; Nº Serie: N13; Fecha: "
                            "01/03/2026; Garantia: 12; Descripcion: ; Renting: No");
        // Who: the system's user on a file, the role that logged in on a server.
        const QString quien = servidor ? QStringLiteral("postgres") : Historial::usuario_del_sistema();
        for (const Historial::Entrada& e : entradas)
            QCOMPARE(e.usuario, quien);
        QVERIFY(entradas.front().momento.secsTo(QDateTime::currentDateTime()) < 600);

        // The window of the line shows the same, newest first, for a component still listed.
        inv.ficha("BotonAnadir", {{"Text1", "14"}, {"DBCombo1", "Portátil"}, {"DBCombo2", "Lenovo"}, {"Text4", "Otro"},
                                  {"Text5", "N14"}, {"Text6", "02/03/2026"}, {"Combo2", "6"}, {"Combo1", "Si"}});
        const QStringList nueva = inv.historia("14");
        QCOMPARE(nueva.size(), 1); // a code used again starts a history of its own
        QVERIFY(nueva[0].startsWith("Alta|Componente|Codigo: 14;"));
        QCOMPARE(inv.usuarios, QStringList{quien});
        QCOMPARE(Soporte::avisos(), QStringList());

        // The whole inventory's history, kept to a kind and a text.
        Soporte::en_ventana<VentanaHistorial>(inv.principal.get(), "menuHistorial", [&](VentanaHistorial* w) {
            QCOMPARE(w->filas_exportar(), 10);
            w->ComboCambio->setCurrentIndex(w->ComboCambio->findText("Cambio de código"));
            QTest::mouseClick(w->Command4, Qt::LeftButton);
            QCOMPARE(w->filas_exportar(), 1);
            w->ComboCambio->setCurrentIndex(0);
            Soporte::reemplazar(w->TextBuscar, "e15");
            QTest::mouseClick(w->Command4, Qt::LeftButton);
            QCOMPARE(w->filas_exportar(), 4);
            Soporte::reemplazar(w->TextBuscar, "");
            // Everything happened today by the system's clock, whatever day the program's own clock says.
            Soporte::reemplazar(w->TextHasta, QDate::currentDate().addDays(-1).toString("dd/MM/yyyy"));
            QTest::mouseClick(w->Command4, Qt::LeftButton);
            QCOMPARE(w->filas_exportar(), 0);
            Soporte::reemplazar(w->TextHasta, "");
            Soporte::reemplazar(w->TextDesde, QDate::currentDate().toString("dd/MM/yyyy"));
            QTest::mouseClick(w->Command4, Qt::LeftButton);
            QCOMPARE(w->filas_exportar(), 10);
            // A date that does not exist is told, and the list stays as it was.
            Soporte::reemplazar(w->TextDesde, "31/02/2026");
            QTest::mouseClick(w->Command4, Qt::LeftButton);
            QCOMPARE(w->filas_exportar(), 10);
            w->accept();
        });
        QCOMPARE(Soporte::avisos(),
                 QStringList({"ERROR: la fecha inicial «31/02/2026» no es válida; escríbala como dd/mm/aaaa."}));
    }

    // The reference lists' changes: a type and a brand added and deleted in their window, a person and a place
    // added, renamed and deleted; each entry with its table, kind and columns, kept to a kind in the window.
    void tipos_marcas_personas_y_lugares_data() { filas_de_motor(); }
    void tipos_marcas_personas_y_lugares() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        Soporte::en_ventana<AnadirTM>(inv.principal.get(), "menuAnadirTM", [&](AnadirTM* w) {
            for (const auto& [caja, boton, texto] : {std::tuple{"Combo1", "Command1", "Ratón"},
                                                     {"Combo2", "Command2", "Acer"},
                                                     {"Combo1", "Command4", "Ratón"}}) {
                Soporte::reemplazar(Soporte::control<QComboBox>(w, caja), QString::fromUtf8(texto));
                QTest::mouseClick(Soporte::control<QPushButton>(w, boton), Qt::LeftButton);
            }
            w->close();
        });
        const qint64 ana = Custodia::anadir_persona(inv.base, {0, QStringLiteral("Ana"), QStringLiteral("Sistemas"), {}});
        Custodia::modificar_persona(inv.base, {ana, QStringLiteral("Ana Gil"), QStringLiteral("Sistemas"), {}});
        const qint64 sala = Custodia::anadir_lugar(inv.base, {0, QStringLiteral("Sala 1"), std::nullopt});
        Custodia::borrar_lugar(inv.base, sala);
        Custodia::borrar_persona(inv.base, ana);
        Soporte::avisos();
        QStringList vistas;
        for (const Historial::Entrada& e : Historial::del_inventario(inv.base, {}))
            vistas << QStringList{Historial::texto_cambio(e.cambio), Historial::texto_tabla(e.tabla),
                                  QString::number(e.registro), e.detalle()}
                          .join(u'|');
        QCOMPARE(vistas, QStringList({"Borrado|Persona|1|Codigo: 1; Nombre: Ana Gil; Departamento: Sistemas; "
                                      "Contacto: ",
                                      "Borrado|Lugar|1|Codigo: 1; Nombre: Sala 1",
                                      "Alta|Lugar|1|Codigo: 1; Nombre: Sala 1",
                                      "Cambio|Persona|1|Nombre: Ana → Ana Gil",
                                      "Alta|Persona|1|Codigo: 1; Nombre: Ana; Departamento: Sistemas; Contacto: ",
                                      "Borrado|Tipo|2|Codigo: 2; Nombre: Ratón",
                                      "Alta|Marca|2|Codigo: 2; Nombre: Acer",
                                      "Alta|Tipo|2|Codigo: 2; Nombre: Ratón"}));
        Soporte::en_ventana<VentanaHistorial>(inv.principal.get(), "menuHistorial", [&](VentanaHistorial* w) {
            w->ComboCambio->setCurrentIndex(w->ComboCambio->findText("Borrado"));
            QTest::mouseClick(w->Command4, Qt::LeftButton);
            QCOMPARE(w->Label1->text(), "3 cambios");
            QCOMPARE(w->texto_exportar(2, 3), "Tipo");
            w->accept();
        });
    }

    // Retiring and restoring: what the user is refused, the code a retired component keeps, and a code another
    // program gave meanwhile.
    void bajas_y_sus_rechazos_data() { filas_de_motor(); }
    void bajas_y_sus_rechazos() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        const qint64 luis = Custodia::anadir_persona(inv.base, {0, QStringLiteral("Luis"), {}, {}});
        Custodia::entregar(inv.base, {10, luis, std::nullopt, QDate(2026, 3, 1), {}});
        inv.seleccionar("10");
        Soporte::accion(inv.principal.get(), QStringLiteral("menuDarDeBaja"))->trigger();
        inv.dar_de_baja("12", "robado");
        QCOMPARE(inv.codigos(), QStringList({"10"}));
        QCOMPARE(inv.sql("SELECT codigo, modelo, fechabaja, motivo, nota FROM baja"),
                 QStringList({"12|X1|2026-03-05|robado|Denuncia 77"}));
        // The next code passes the retired one, and the card refuses to give it again.
        Soporte::cuando_abra_modal([&](QWidget* ficha) {
            QCOMPARE(Soporte::control<QLineEdit>(ficha, "Text1")->text(), "13");
            for (const auto& [nombre, texto] :
                 {std::pair{"Text1", "12"}, {"Text4", "M"}, {"Text5", "N"}, {"Text6", "01/03/2026"}, {"Combo2", "6"},
                  {"Combo1", "No"}, {"DBCombo1", "Portátil"}, {"DBCombo2", "Lenovo"}})
                Soporte::reemplazar(Soporte::control<QWidget>(ficha, nombre), QString::fromUtf8(texto));
            QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
            QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command2"), Qt::LeftButton);
        });
        QVERIFY(Soporte::pulsar_barra(inv.principal.get(), "BotonAnadir"));
        QStringList avisos = Soporte::avisos();
        QVERIFY2(avisos.contains("ERROR: el componente 10 está entregado; devuélvalo antes de darlo de baja.") &&
                     avisos.contains("ERROR: ese código es de un componente dado de baja; elija otro o recupere el "
                                     "componente en Herramientas, Bajas."),
                 qPrintable(avisos.join('\n')));
        // Another program gives the code to a new component: restoring is refused and changes nothing.
        inv.sql(servidor ? "INSERT INTO elemento VALUES (12, 1, 1, 'Otro', '', NULL, 0, '', false)"
                         : "INSERT INTO Elemento VALUES (12, 1, 1, 'Otro', '', NULL, 0, '', 0)");
        Soporte::en_ventana<VentanaBajas>(inv.principal.get(), "menuBajas", [&](VentanaBajas* w) {
            QCOMPARE(w->Label1->text(), "1 componente dado de baja");
            QCOMPARE(w->texto_exportar(0, 9), "05/03/2026");
            QCOMPARE(w->texto_exportar(0, 10), "robado");
            w->ListView1->setCurrentItem(w->ListView1->topLevelItem(0));
            QTest::mouseClick(w->Command1, Qt::LeftButton);
            QCOMPARE(w->ListView1->topLevelItemCount(), 1);
            QVERIFY(!w->recuperado());
            QTest::mouseClick(w->Command4, Qt::LeftButton);
        });
        QCOMPARE(Soporte::avisos(), QStringList({"ERROR: no se puede recuperar el componente 12: otro componente "
                                                 "tiene ahora ese código."}));
        QCOMPARE(inv.sql("SELECT modelo FROM elemento WHERE codigo = 12"), QStringList({"Otro"}));
        QCOMPARE(inv.sql("SELECT count(*) FROM baja"), QStringList({"1"}));
    }

    // Rows added at once by an import of a sheet into the inventory in use: each recorded as added, and the code of a
    // retired component counted as taken.
    void importacion_en_uso_data() { filas_de_motor(); }
    void importacion_en_uso() {
        QFETCH(bool, servidor);
        Inventario inv(servidor);
        inv.dar_de_baja("12", "donado");
        const LoteInventario::Existente antes = LoteInventario::leer(inv.base);
        QCOMPARE(antes.codigos, std::vector<qint64>({10, 12}));
        LoteInventario::Componente k;
        k.codigo = 13;
        k.tipo = 3;
        k.marca = 1;
        k.modelo = QStringLiteral("Importado");
        k.garantia = 6;
        LoteInventario::anadir(inv.base, antes, {{3, QStringLiteral("Teclado")}}, {}, {k});
        QStringList vistas;
        for (const Historial::Entrada& e : Historial::del_inventario(inv.base, {}))
            vistas << QStringList{Historial::texto_cambio(e.cambio), Historial::texto_tabla(e.tabla), e.detalle()}
                          .join(u'|');
        QCOMPARE(vistas.mid(0, 2),
                 QStringList({"Alta|Componente|Codigo: 13; Tipo: 3; Marca: 1; Modelo: Importado; Nº Serie: ; Garantia: "
                              "6; Descripcion: ; Renting: No",
                              "Alta|Tipo|Codigo: 3; Nombre: Teclado"}));
    }

    // A change made with psql by a role of its own is recorded with that role; a role that may only read sees the
    // history and cannot write it.
    void servidor_psql_y_solo_lectura() {
        Inventario inv(true);
        inv.ficha("BotonAnadir", {{"Text1", "13"}, {"DBCombo1", "Portátil"}, {"DBCombo2", "Lenovo"}, {"Text4", "E14"},
                                  {"Text5", "N13"}, {"Text6", "01/03/2026"}, {"Combo2", "12"}, {"Combo1", "No"}});
        PgPruebas::sql(inv.base,
                       {"DO $$ BEGIN CREATE ROLE tecnico_historial LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; "
                        "END $$",
                        "DO $$ BEGIN CREATE ROLE lector_historial LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; "
                        "END $$",
                        "GRANT SELECT, UPDATE ON elemento TO tecnico_historial",
                        "GRANT SELECT ON ALL TABLES IN SCHEMA public TO lector_historial"});
        PgPruebas::sql(PgPruebas::uri("historial", "tecnico_historial"),
                       {"UPDATE elemento SET modelo = 'E14b' WHERE codigo = 13"});
        const QString lector = PgPruebas::uri("historial", "lector_historial");
        const std::vector<Historial::Entrada> entradas = Historial::de_componente(lector, 13);
        QCOMPARE(entradas.size(), size_t(2));
        QCOMPARE(entradas[0].usuario, "tecnico_historial");
        QCOMPARE(entradas[0].detalle(), "Modelo: E14 → E14b");
        QCOMPARE(entradas[1].usuario, "postgres");
        PGconn* c = PgPruebas::conectar(lector);
        PGresult* r = PQexec(c, "INSERT INTO historial (tabla, registro, cambio) VALUES ('Elemento', 13, 'alta')");
        QCOMPARE(PQresultStatus(r), PGRES_FATAL_ERROR);
        QCOMPARE(QByteArray(PQresultErrorField(r, PG_DIAG_SQLSTATE)), QByteArray("42501"));
        PQclear(r);
        PQfinish(c);
        QCOMPARE(inv.sql("SELECT count(*) FROM historial"), QStringList({"2"}));
    }

    // A write whose history cannot be written stores nothing: here another program removed the table of the
    // changed columns.
    void sin_historial_no_se_guarda() {
        Inventario inv(false);
        Custodia::anadir_persona(inv.base, {0, QStringLiteral("Ana"), {}, {}});
        inv.sql("DROP TABLE HistorialColumna");
        inv.seleccionar("10");
        inv.ficha("BotonModificar", {{"Text4", "Cambiado"}});
        const QStringList avisos = Soporte::avisos();
        QCOMPARE(avisos.size(), 1);
        QVERIFY2(avisos[0].startsWith("ERROR: no se han podido guardar los cambios en "), qPrintable(avisos[0]));
        QCOMPARE(inv.sql("SELECT Modelo FROM Elemento WHERE Codigo = 10"), QStringList({"T14"}));
        QCOMPARE(inv.sql("SELECT count(*) FROM Historial WHERE Tabla = 'Elemento'"), QStringList({"0"}));
    }
};

QTEST_MAIN(TestHistorial)
#include "test_historial.moc"
