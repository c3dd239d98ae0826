// The sheet import's rules without windows: cells read as people write them, the columns proposed from the
// headers and remembered, the plan with its decisions, and the writing into a new file or the inventory in use;
// then the command with a mapping file, over files written by hand.
#include "data/error_datos.h"
#include "hojas/mapeo_hoja.h"
#include "hojas/plan_hoja.h"
#include "hojas/valores_hoja.h"
#include "soporte/soporte.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>
#include <xlsxwriter.h>

using MapeoHoja::Mapeo;
Q_DECLARE_METATYPE(CeldaHoja)

namespace {

CeldaHoja t(const QString& s) {
    return {CeldaHoja::Clase::texto, 0, s};
}
CeldaHoja n(double v) {
    return {CeldaHoja::Clase::numero, v, {}};
}
CeldaHoja d(int a, int m, int dia) {
    return {CeldaHoja::Clase::fecha, double(QDate(a, m, dia).toJulianDay()), {}};
}
CeldaHoja b(bool v) {
    return {CeldaHoja::Clase::logico, 0, {}, v};
}
CeldaHoja formula() {
    return {CeldaHoja::Clase::sin_valor, 0, QStringLiteral("A1*2")};
}
const CeldaHoja vacia{};

// A sheet with the header row of the program's nine fields and these rows, numbered from 2.
DatosHoja hoja(const std::vector<std::vector<CeldaHoja>>& filas) {
    DatosHoja h;
    h.hojas << QStringLiteral("Hoja1");
    h.filas.push_back({1,
                       {t("Código"), t("Tipo"), t("Marca"), t("Modelo"), t("Nº serie"), t("Fecha"), t("Garantía"),
                        t("Descripción"), t("Renting")}});
    qint64 numero = 2;
    for (const auto& f : filas)
        h.filas.push_back({numero++, f});
    h.columnas = 9;
    return h;
}
const Mapeo en_orden = {0, 1, 2, 3, 4, 5, 6, 7, 8};

QString mapeo_texto(const Mapeo& m) {
    QStringList l;
    for (int c : m)
        l << (c < 0 ? QStringLiteral("-") : MapeoHoja::letra(c));
    return l.join(u' ');
}

QString guardar(const QTemporaryDir& dir, const QString& nombre, const QByteArray& bytes) {
    QFile f(dir.filePath(nombre));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("no se puede escribir %s", qPrintable(f.fileName()));
    return f.fileName();
}

struct Salida {
    int codigo;
    QString salida;
    QString error;
};
Salida ejecutar_orden(const QStringList& argumentos) {
    QProcess p;
    p.start(QStringLiteral(TALVIRENCA_IMPORTAR), argumentos);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

} // namespace

class PruebaImportarHojas : public QObject {
    Q_OBJECT
    QTemporaryDir ajustes_;
private Q_SLOTS:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ajustes_.path());
        Soporte::preparar_aplicacion();
    }

    void fechas_data() {
        QTest::addColumn<CeldaHoja>("celda");
        QTest::addColumn<QString>("fecha"); // dd/mm/yyyy, or "-" for none
        QTest::newRow("celda de fecha") << d(2020, 3, 5) << "05/03/2020";
        QTest::newRow("número de serie") << n(43895) << "05/03/2020";
        QTest::newRow("serie con hora") << n(43895.75) << "05/03/2020";
        QTest::newRow("dd/mm/aaaa") << t("5/3/2020") << "05/03/2020";
        QTest::newRow("dd-mm-aaaa") << t("05-03-2020") << "05/03/2020";
        QTest::newRow("dd.mm.aaaa") << t("05.03.2020") << "05/03/2020";
        QTest::newRow("aaaa-mm-dd") << t(" 2020-03-05 ") << "05/03/2020";
        QTest::newRow("aaaa-mm-dd con hora") << t("2020-03-05 10:30:00") << "05/03/2020";
        QTest::newRow("serie en texto") << t("43895") << "05/03/2020";
        QTest::newRow("31 de febrero") << t("31/02/2020") << "-";
        QTest::newRow("palabra") << t("ayer") << "-";
        QTest::newRow("año de dos cifras") << t("05/03/20") << "-";
        QTest::newRow("serie negativa") << n(-5) << "-";
        QTest::newRow("vacía") << vacia << "-";
    }
    void fechas() {
        QFETCH(CeldaHoja, celda);
        const std::optional<QDate> f = ValoresHoja::fecha(celda);
        QTEST(f ? f->toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("-"), "fecha");
    }

    void garantias_data() {
        QTest::addColumn<CeldaHoja>("celda");
        QTest::addColumn<double>("meses"); // -1: not understood
        QTest::newRow("número") << n(24) << 24.0;
        QTest::newRow("texto") << t("24") << 24.0;
        QTest::newRow("meses") << t("24 meses") << 24.0;
        QTest::newRow("Meses con mayúscula") << t("6 Meses") << 6.0;
        QTest::newRow("un año") << t("1 año") << 12.0;
        QTest::newRow("años sin tilde") << t("2 anos") << 24.0;
        QTest::newRow("years") << t("3 years") << 36.0;
        QTest::newRow("months") << t("18 months") << 18.0;
        QTest::newRow("decimal con coma") << t("1,5 años") << 18.0;
        QTest::newRow("vacía") << vacia << 0.0;
        QTest::newRow("palabra") << t("mucha") << -1.0;
        QTest::newRow("semanas") << t("3 semanas") << -1.0;
        QTest::newRow("negativa") << n(-2) << -1.0;
    }
    void garantias() {
        QFETCH(CeldaHoja, celda);
        QTEST(ValoresHoja::garantia(celda).value_or(-1), "meses");
    }

    void renting_data() {
        QTest::addColumn<CeldaHoja>("celda");
        QTest::addColumn<int>("valor"); // 1 true, 0 false, -1 not understood
        const std::pair<const char*, int> textos[] = {
            {"Sí", 1}, {"si", 1}, {"SI", 1}, {"X", 1},     {"x", 1}, {"1", 1},      {"true", 1}, {"Verdadero", 1},
            {"No", 0}, {"NO", 0}, {"0", 0},  {"false", 0}, {" ", 0}, {"quizá", -1}, {"2", -1}};
        for (const auto& [texto, valor] : textos)
            QTest::newRow(texto) << t(QString::fromUtf8(texto)) << valor;
        QTest::newRow("verdadero lógico") << b(true) << 1;
        QTest::newRow("falso lógico") << b(false) << 0;
        QTest::newRow("uno") << n(1) << 1;
        QTest::newRow("cero") << n(0) << 0;
        QTest::newRow("vacía") << vacia << 0;
    }
    void renting() {
        QFETCH(CeldaHoja, celda);
        const std::optional<bool> v = ValoresHoja::renting(celda);
        QTEST(v ? int(*v) : -1, "valor");
    }

    void propuestas_data() {
        QTest::addColumn<QStringList>("cabeceras");
        QTest::addColumn<QString>("mapeo"); // the column of each field in order, "-" for none
        QTest::newRow("castellano") << QStringList{"Código", "Tipo",     "Marca",       "Modelo", "Nº de serie",
                                                   "Fecha",  "Garantía", "Descripción", "Renting"}
                                    << "A B C D E F G H I";
        QTest::newRow("inglés y desorden")
            << QStringList{"Serial", "Brand", "Model", "Type", "Date", "Notes", "Warranty", "ID", "Leasing"}
            << "H D B C A E G F I";
        QTest::newRow("mayúsculas, tildes y signos")
            << QStringList{"CODIGO",   " tipo ",        "MARCA",   "modelo", "S/N", "FECHA DE COMPRA (dd/mm/aaaa)",
                           "garantia", "Observaciones", "Alquiler"}
            << "A B C D E F G H I";
        QTest::newRow("Nº serie y Num. serie") << QStringList{"Nº serie", "Num. serie"} << "- - - - A - - - -";
        QTest::newRow("sin nombres conocidos") << QStringList{"Columna 1", "Precio"} << "- - - - - - - - -";
    }
    void propuestas() {
        QFETCH(QStringList, cabeceras);
        QTEST(mapeo_texto(MapeoHoja::proponer(cabeceras)), "mapeo");
    }

    void mapeo_recordado() {
        const QStringList cabeceras{"Equipo", "Fabricante", "Ref"};
        QVERIFY(!MapeoHoja::recordado(cabeceras));
        const Mapeo m = {-1, 0, 1, 2, 2, -1, -1, -1, -1};
        MapeoHoja::recordar(cabeceras, m);
        // The same headers written otherwise are the same sheet; other headers are not.
        QCOMPARE(mapeo_texto(MapeoHoja::recordado({"EQUIPO", "fabricante ", "Ref"}).value()), mapeo_texto(m));
        QVERIFY(!MapeoHoja::recordado({"Equipo", "Fabricante"}));
    }

    void archivo_de_columnas() {
        const MapeoHoja::Archivo a = MapeoHoja::leer_archivo(QStringLiteral(
            "# columnas\nhoja = Equipos\ncabecera = no\nseparador = tab\ntipo = B\nmarca = Fabricante\n"));
        QCOMPARE(a.hoja, QStringLiteral("Equipos"));
        QVERIFY(!a.cabecera);
        QCOMPARE(a.separador, QStringLiteral("\t"));
        QCOMPARE(mapeo_texto(MapeoHoja::aplicar(a, {"X", "Y", "fabricante"}, 3)), QStringLiteral("- B C - - - - - -"));
        QCOMPARE(Soporte::mensaje_de([] { MapeoHoja::leer_archivo(QStringLiteral("tipo = A\ncolor = B")); }),
                 QStringLiteral("la línea 2 del archivo de columnas no se entiende: «color = B»."));
        QCOMPARE(Soporte::mensaje_de([&] { MapeoHoja::aplicar(a, {"X"}, 1); }),
                 QStringLiteral("la hoja no tiene la columna «B» que el archivo de columnas da a Tipo."));
    }

    void columnas_obligatorias() {
        QCOMPARE(Soporte::mensaje_de([] {
                     PlanHoja::exigir_columnas({0, 1, -1, 3, 4, 5, 6, 7, 8});
                 }),
                 QStringLiteral("falta la columna del campo Marca."));
        QCOMPARE(Soporte::mensaje_de([] { PlanHoja::exigir_columnas(MapeoHoja::ninguno); }),
                 QStringLiteral("faltan las columnas de los campos Tipo, Marca, Modelo, Nº de serie y Fecha."));
    }

    // One sheet covering each decision, against an inventory with codes 1 and 10, the type "Portátil" and the
    // brand "HP".
    void plan_con_decisiones() {
        const LoteInventario::Existente existente{
            {{1, QStringLiteral("Portátil")}}, {{4, QStringLiteral("HP")}}, {1, 10}};
        const DatosHoja h = hoja({
            {n(5), t("portatil "), t("hp"), t("M1"), t("S1"), d(2020, 1, 1), t("24 meses"), t("uno"), t("Sí")},
            {n(10), t("PORTÁTIL"), t("Dell"), t("M2"), t("S2"), t("02/01/2020"), n(12), vacia, t("No")},
            {vacia, t("Monitor"), t("dell"), t("M3"), t("S3"), n(43831), t("mucha"), vacia, t("quizá")},
            {t("7b"), t("Monitor"), t("HP"), t("M4"), t("S4"), d(2020, 1, 4), vacia, vacia, vacia},
            {n(5), t("Monitor"), t("HP"), t("M5"), t("S5"), d(2020, 1, 5), vacia, vacia, vacia},
            {n(20), t("Monitor"), t("HP"), vacia, t("S6"), d(2020, 1, 6), vacia, vacia, vacia},
            {n(21), t("Monitor"), t("HP"), t("M7"), t("S7"), t("32/01/2020"), vacia, vacia, vacia},
            {n(22), t("Monitor"), t("HP"), t("M8"), formula(), d(2020, 1, 8), vacia, formula(), vacia},
            {n(23), t("Monitor"), t("HP"), t("M9"), t("S9"), d(2020, 1, 9), vacia, formula(), vacia},
        });
        const PlanHoja::Plan p = PlanHoja::planear(h, true, en_orden, existente);
        QStringList filas;
        for (const auto& k : p.componentes)
            filas << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                         .arg(k.codigo)
                         .arg(k.tipo)
                         .arg(k.marca)
                         .arg(k.modelo, k.fecha.toString(Qt::ISODate))
                         .arg(k.garantia)
                         .arg(k.descripcion)
                         .arg(k.renting);
        QCOMPARE(filas,
                 (QStringList{"5 1 4 M1 2020-01-01 24 uno 1", "24 1 5 M2 2020-01-02 12  0", "25 2 5 M3 2020-01-01 0  0",
                              "26 2 4 M4 2020-01-04 0  0", "27 2 4 M5 2020-01-05 0  0", "23 2 4 M9 2020-01-09 0  0"}));
        QCOMPARE(p.decisiones, (QStringList{
                                   "Fila 3: el código 10 ya existe; recibe el código 24.",
                                   "Fila 4: la garantía «mucha» no se entiende; queda 0; el renting «quizá» no se "
                                   "entiende; queda No.",
                                   "Fila 4: no tiene código; recibe el código 25.",
                                   "Fila 5: el código «7b» no es un número entero; recibe el código 26.",
                                   "Fila 6: el código 5 ya existe; recibe el código 27.",
                                   "Fila 10: la fórmula de Descripción no tiene un valor guardado.",
                               }));
        QCOMPARE(p.filas_con_decision, 6);
        QCOMPARE(p.omitidas,
                 (QStringList{"Fila 7: Modelo vacío; no se importa.",
                              "Fila 8: la fecha «32/01/2020» no es válida; no se importa.",
                              "Fila 9: la fórmula de Nº de serie no tiene un valor guardado; no se importa."}));
        QCOMPARE(p.tipos_nuevos, (std::vector<LoteInventario::Nombre>{{2, QStringLiteral("Monitor")}}));
        QCOMPARE(p.marcas_nuevas, (std::vector<LoteInventario::Nombre>{{5, QStringLiteral("Dell")}}));
        QCOMPARE(
            PlanHoja::texto_comprobacion(p),
            QStringLiteral("Se añadirán 6 componentes.\n6 filas se añaden con alguna decisión.\n3 filas quedan sin "
                           "importar.\nTipos nuevos que se crearán: Monitor.\nMarcas nuevas que se crearán: Dell."));
    }

    void sin_cabecera() {
        DatosHoja h = hoja({{n(3), t("PC"), t("HP"), t("M"), t("S"), d(2021, 2, 3), n(6), t("d"), n(1)}});
        const PlanHoja::Plan con = PlanHoja::planear(h, true, en_orden, {});
        QCOMPARE(con.componentes.size(), std::size_t(1));
        // Read as data, the header row has no date: it is left out, with its number.
        const PlanHoja::Plan sin = PlanHoja::planear(h, false, en_orden, {});
        QCOMPARE(sin.componentes.size(), std::size_t(1));
        QCOMPARE(sin.omitidas, QStringList{"Fila 1: la fecha «Fecha» no es válida; no se importa."});
        QVERIFY(PlanHoja::cabeceras(h, false).isEmpty());
    }

    void a_inventario_nuevo_y_en_uso() {
        QTemporaryDir dir;
        const DatosHoja h =
            hoja({{n(1), t("PC"), t("hp"), t("M1"), t("S1"), d(2020, 1, 1), n(24), t("uno"), t("Sí")},
                  {n(2), t("Monitor"), t("HP"), t("M2"), t("S2"), d(2020, 1, 2), n(12), vacia, t("No")}});
        const QString nuevo = dir.filePath(QStringLiteral("nuevo.db"));
        PlanHoja::a_inventario_nuevo(PlanHoja::planear(h, true, en_orden, {}), nuevo);
        QCOMPARE(Soporte::filas(nuevo, QStringLiteral("Elemento")),
                 (QStringList{"1|1|1|M1|S1|2020-01-01|24.0|uno|1", "2|2|1|M2|S2|2020-01-02|12.0||0"}));
        QCOMPARE(Soporte::filas(nuevo, QStringLiteral("Tipo")), (QStringList{"1|PC", "2|Monitor"}));
        QCOMPARE(Soporte::filas(nuevo, QStringLiteral("Marca")), QStringList{"1|hp"});
        // Into the inventory in use: its own names are used, the codes that exist are moved on.
        const QString actual =
            Soporte::crear_base(dir, QStringLiteral("actual.db"),
                                {"INSERT INTO Tipo VALUES (7, 'Monitor')", "INSERT INTO Marca VALUES (3, 'HP')",
                                 "INSERT INTO Elemento VALUES (2, 7, 3, 'X', 'Y', '2019-01-01', 0, '', 0)"});
        const PlanHoja::Plan p = PlanHoja::planear(h, true, en_orden, LoteInventario::leer(actual));
        PlanHoja::a_inventario(p, actual);
        QCOMPARE(Soporte::filas(actual, QStringLiteral("Elemento")),
                 (QStringList{"1|8|3|M1|S1|2020-01-01|24.0|uno|1", "2|7|3|X|Y|2019-01-01|0.0||0",
                              "3|7|3|M2|S2|2020-01-02|12.0||0"}));
        QCOMPARE(Soporte::filas(actual, QStringLiteral("Tipo")), (QStringList{"7|Monitor", "8|PC"}));
        // A new file never replaces one.
        QCOMPARE(Soporte::mensaje_de([&] { PlanHoja::a_inventario_nuevo(p, actual); }),
                 QStringLiteral("no se puede crear la base de datos %1: el archivo ya existe.").arg(actual));
    }

    // The inventory changed between the plan and the writing: nothing is added.
    void inventario_cambiado() {
        QTemporaryDir dir;
        const QString actual =
            Soporte::crear_base(dir, QStringLiteral("actual.db"), {"INSERT INTO Tipo VALUES (1, 'PC')"});
        const DatosHoja h = hoja({{n(1), t("PC"), t("HP"), t("M1"), t("S1"), d(2020, 1, 1), n(24), vacia, vacia}});
        const PlanHoja::Plan p = PlanHoja::planear(h, true, en_orden, LoteInventario::leer(actual));
        Soporte::ejecutar(actual, {"INSERT INTO Elemento VALUES (1, 1, 1, 'otro', 'S', '2019-01-01', 0, '', 0)"});
        const QByteArray antes = Soporte::contenido(actual);
        QCOMPARE(Soporte::mensaje_de([&] { PlanHoja::a_inventario(p, actual); }),
                 QStringLiteral("el inventario %1 ha cambiado mientras se preparaba la importación; no se ha añadido "
                                "nada. Vuelva a importar la hoja.")
                     .arg(actual));
        QCOMPARE(Soporte::contenido(actual), antes);
    }

    void orden_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QByteArray>("mapa");
        QTest::addColumn<QStringList>("opciones");
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QString>("mensaje"); // first line of the output or of the error
        QTest::addColumn<QStringList>("elementos");
        const QByteArray csv = "Cod;Equipo;Fabricante;Ref;S/N;Alta;Meses;Notas;Alquiler\n"
                               "4;PC;HP;M1;S1;05/03/2020;2 años;\"dos\nlíneas\";X\n"
                               ";PC;Dell;M2;S2;2020-03-06;;;\n";
        const QByteArray mapa = "codigo = Cod\ntipo = Equipo\nmarca = C\nmodelo = Ref\nnumero_serie = S/N\n"
                                "fecha = Alta\ngarantia = Meses\ndescripcion = Notas\nrenting = Alquiler\n";
        QTest::newRow("nuevo") << csv << mapa << QStringList{"--crear-nombres"} << 0
                               << "Se han importado 2 componentes en %1."
                               << QStringList{"4|1|1|M1|S1|2020-03-05|24.0|dos\nlíneas|1",
                                              "5|1|2|M2|S2|2020-03-06|0.0||0"};
        QTest::newRow("nombres que faltan")
            << csv << mapa << QStringList{} << 1
            << "ERROR: el inventario no tiene tipo PC, marca HP, marca Dell. Añádalos o use --crear-nombres. No se ha "
               "importado nada."
            << QStringList{};
        QTest::newRow("columna que falta") << csv << QByteArray("tipo = Z\n") << QStringList{} << 1
                                           << "ERROR: la hoja no tiene la columna «Z» que el archivo de columnas da a "
                                              "Tipo."
                                           << QStringList{};
        QTest::newRow("campo sin columna") << csv << QByteArray("tipo = B\n") << QStringList{} << 1
                                           << "ERROR: faltan las columnas de los campos Marca, Modelo, Nº de serie y "
                                              "Fecha."
                                           << QStringList{};
        QTest::newRow("argumentos") << csv << mapa << QStringList{"--otra"} << 2
                                    << "Uso: talvirenca-importar --hoja ORIGEN --columnas MAPA DESTINO.db [--anadir] "
                                       "[--crear-nombres]"
                                    << QStringList{};
    }
    void orden() {
        QFETCH(QByteArray, csv);
        QFETCH(QByteArray, mapa);
        QFETCH(QStringList, opciones);
        QFETCH(QString, mensaje);
        QTemporaryDir dir;
        const QString destino = dir.filePath(QStringLiteral("nuevo.db"));
        const Salida s = ejecutar_orden(
            QStringList{"--hoja", guardar(dir, "a.csv", csv), "--columnas", guardar(dir, "mapa.txt", mapa), destino} +
            opciones);
        QTEST(s.codigo, "codigo");
        QCOMPARE((s.codigo == 0 ? s.salida : s.error).section(u'\n', 0, 0),
                 mensaje.contains(u'%') ? mensaje.arg(destino) : mensaje);
        QFETCH(QStringList, elementos);
        if (elementos.isEmpty())
            QVERIFY(!QFile::exists(destino));
        else
            QCOMPARE(Soporte::filas(destino, QStringLiteral("Elemento")), elementos);
        // Nothing else is left in the folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), elementos.isEmpty() ? 2 : 3);
    }

    // The command plans the rows while they are read; what only the end of the file tells (a merged range, a
    // number formatted as a date outside the date's column, in a workbook whose formats come after its sheet) gives
    // the same result as reading the whole sheet first.
    void orden_con_lo_que_dice_el_final_data() {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QStringList>("elementos");
        QTest::newRow("fechas en su columna")
            << "nada" << QStringList{"1|1|1|M1|S1|2020-01-02|24.0|uno|0", "2|1|1|M2|S2|2020-01-03|24.0|dos|1"};
        QTest::newRow("fecha en la descripción")
            << "fecha" << QStringList{"1|1|1|M1|S1|2020-01-02|24.0|01/01/2021|0", "2|1|1|M2|S2|2020-01-03|24.0|dos|1"};
        QTest::newRow("tipo combinado") << "combinada"
                                        << QStringList{"1|1|1|M1|S1|2020-01-02|24.0|uno|0",
                                                       "2|1|1|M2|S2|2020-01-03|24.0|dos|1"};
    }
    void orden_con_lo_que_dice_el_final() {
        QFETCH(QString, caso);
        QTemporaryDir dir;
        const QByteArray ruta = QFile::encodeName(dir.filePath(QStringLiteral("a.xlsx")));
        lxw_workbook* libro = workbook_new(ruta.constData());
        lxw_worksheet* hoja = workbook_add_worksheet(libro, "Datos");
        lxw_format* fecha = workbook_add_format(libro);
        format_set_num_format(fecha, "dd/mm/yyyy");
        const char* cabeceras[] = {"Código", "Tipo",     "Marca",       "Modelo", "Nº de serie",
                                   "Fecha",  "Garantía", "Descripción", "Renting"};
        for (int c = 0; c < 9; ++c)
            worksheet_write_string(hoja, 0, lxw_col_t(c), cabeceras[c], nullptr);
        for (int f = 1; f <= 2; ++f) {
            lxw_datetime dia = {2020, 1, 1 + f, 0, 0, 0};
            worksheet_write_number(hoja, lxw_row_t(f), 0, f, nullptr);
            if (caso != QLatin1String("combinada") || f == 1)
                worksheet_write_string(hoja, lxw_row_t(f), 1, "PC", nullptr);
            worksheet_write_string(hoja, lxw_row_t(f), 2, "HP", nullptr);
            worksheet_write_string(hoja, lxw_row_t(f), 3, f == 1 ? "M1" : "M2", nullptr);
            worksheet_write_string(hoja, lxw_row_t(f), 4, f == 1 ? "S1" : "S2", nullptr);
            worksheet_write_datetime(hoja, lxw_row_t(f), 5, &dia, fecha);
            worksheet_write_number(hoja, lxw_row_t(f), 6, 24, nullptr);
            if (caso == QLatin1String("fecha") && f == 1)
                worksheet_write_number(hoja, lxw_row_t(f), 7, 44197, fecha);
            else
                worksheet_write_string(hoja, lxw_row_t(f), 7, f == 1 ? "uno" : "dos", nullptr);
            worksheet_write_string(hoja, lxw_row_t(f), 8, f == 1 ? "No" : "Sí", nullptr);
        }
        if (caso == QLatin1String("combinada"))
            worksheet_merge_range(hoja, 1, 1, 2, 1, "PC", nullptr);
        QCOMPARE(workbook_close(libro), LXW_NO_ERROR);
        const QString destino = dir.filePath(QStringLiteral("nuevo.db"));
        const QString mapa = guardar(dir, "mapa.txt",
                                     "codigo = A\ntipo = B\nmarca = C\nmodelo = D\nnumero_serie = E\n"
                                     "fecha = F\ngarantia = G\ndescripcion = H\nrenting = I\n");
        const Salida s =
            ejecutar_orden({"--hoja", QFile::decodeName(ruta), "--columnas", mapa, destino, "--crear-nombres"});
        QCOMPARE(s.error, QString());
        QCOMPARE(s.codigo, 0);
        QTEST(Soporte::filas(destino, QStringLiteral("Elemento")), "elementos");
        QCOMPARE(Soporte::filas(destino, QStringLiteral("Tipo")), QStringList{"1|PC"});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    void orden_anadir() {
        QTemporaryDir dir;
        const QString actual =
            Soporte::crear_base(dir, QStringLiteral("actual.db"),
                                {"INSERT INTO Tipo VALUES (1, 'pc')", "INSERT INTO Marca VALUES (1, 'Hp')",
                                 "INSERT INTO Elemento VALUES (4, 1, 1, 'X', 'Y', '2019-01-01', 0, '', 0)"});
        const QString csv = guardar(dir, "a.csv", "PC,HP,M1,S1,05/03/2020\n");
        const QString mapa = guardar(dir, "mapa.txt",
                                     "cabecera = no\ntipo = A\nmarca = B\nmodelo = C\n"
                                     "numero_serie = D\nfecha = E\n");
        const Salida s = ejecutar_orden({"--hoja", csv, "--columnas", mapa, "--anadir", actual});
        QCOMPARE(s.codigo, 0);
        QCOMPARE(s.salida, QStringLiteral("Se han importado 1 componente en %1.\nDecisiones:\nFila 1: no tiene código; "
                                          "recibe el código 5.")
                               .arg(actual));
        QCOMPARE(Soporte::filas(actual, QStringLiteral("Elemento")),
                 (QStringList{"4|1|1|X|Y|2019-01-01|0.0||0", "5|1|1|M1|S1|2020-03-05|0.0||0"}));
    }
};

QTEST_MAIN(PruebaImportarHojas)
#include "test_importar_hojas.moc"
