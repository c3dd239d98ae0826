// Export of the main list to CSV and XLSX: the files read back with a real CSV parser and unzipped, the progress
// dialog's cancel, and the messages for a destination that cannot be written.
#include "exportar/escritura.h"
#include "exportar/exportar.h"
#include "principal/modelo_lista.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QXmlStreamReader>
#include <QtTest>
#include <clocale>
#include <string>

using Soporte::avisos;

namespace {

const QStringList inventario = {
    "INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Cámara; web')",
    "INSERT INTO Marca VALUES (1, 'HP'), (2, 'Dell \"Ultra\"')",
    "INSERT INTO Elemento VALUES (3, 1, 2, 'P2422H', 'CN3', '2000-03-05', 36, 'Recepción, planta 1', 1)",
    "INSERT INTO Elemento VALUES (7, 2, 1, 'Línea \"A\"', 'S;1', '1999-02-01', 1.5, 'dos\nlíneas', 0)",
    "INSERT INTO Elemento VALUES (9, 1, 1, 'E24', 'S9', NULL, 0, '', 0)",
};

// The list's nine columns, then who has each component, where it is and since when.
const QStringList cabeceras = {"Codigo",   "Tipo",        "Marca",   "Modelo",   "Nº Serie", "Fecha",
                               "Garantia", "Descripcion", "Renting", "Lo tiene", "Lugar",    "Desde"};

// The rows of a CSV file as Python's csv module reads them (";" separator, the byte-order mark skipped).
QList<QStringList> leer_csv(const QString& ruta) {
    QProcess python;
    python.start(QStringLiteral("python3"), {"-c",
                                             "import csv, json, sys\n"
                                             "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                             "    print(json.dumps(list(csv.reader(f, delimiter=';', strict=True))))\n",
                                             ruta});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        qFatal("python3 no pudo leer el CSV: %s", python.readAllStandardError().constData());
    QList<QStringList> filas;
    for (const QJsonValue& fila : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList campos;
        for (const QJsonValue& campo : fila.toArray())
            campos << campo.toString();
        filas << campos;
    }
    return filas;
}

// The cells of the first sheet as openpyxl reads them, row by row: "type|value" ("int|3", "str|abc", "NoneType|None").
// Debian's own Python, where python3-openpyxl is installed, whatever other Python comes first in PATH.
QList<QStringList> leer_xlsx(const QString& ruta) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {"-c",
                  "import json, sys, openpyxl\n"
                  "hoja = openpyxl.load_workbook(sys.argv[1], read_only=True).active\n"
                  "print(json.dumps([[type(c.value).__name__ + '|' + str(c.value) for c in fila]\n"
                  "                  for fila in hoja.iter_rows()]))\n",
                  ruta});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        qFatal("python3-openpyxl no pudo leer el libro: %s", python.readAllStandardError().constData());
    QList<QStringList> filas;
    for (const QJsonValue& fila : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList celdas;
        for (const QJsonValue& celda : fila.toArray())
            celdas << celda.toString();
        filas << celdas;
    }
    return filas;
}

// A text of `n` characters that take two bytes each in UTF-8, so a limit counted in bytes would show.
QString texto_largo(int n) {
    return QString(n, u'ñ');
}

// An inventory with one component of code `codigo`, model `modelo`, warranty `garantia` and description
// `descripcion`.
QStringList un_componente(const QString& codigo, const QString& modelo, const QString& garantia,
                          const QString& descripcion) {
    const auto literal = [](QString t) -> QString { return u'\'' + t.replace(u'\'', QStringLiteral("''")) + u'\''; };
    return {"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')",
            QStringLiteral("INSERT INTO Elemento VALUES (%1, 1, 1, %2, 'S1', '2020-01-02', %3, %4, 0)")
                .arg(codigo, literal(modelo), garantia, literal(descripcion))};
}

QByteArray unzip(const QString& ruta, const QString& parte) {
    QProcess proceso;
    proceso.start(QStringLiteral("unzip"), {"-p", ruta, parte});
    proceso.waitForFinished(30000);
    return proceso.readAllStandardOutput();
}

// The cells of the first sheet: reference -> "type|style|value".
QMap<QString, QString> celdas(const QString& ruta) {
    QMap<QString, QString> resultado;
    QXmlStreamReader xml(unzip(ruta, "xl/worksheets/sheet1.xml"));
    QString ref, tipo, estilo, valor;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("c")) {
            ref = xml.attributes().value("r").toString();
            tipo = xml.attributes().value("t").toString();
            estilo = xml.attributes().value("s").toString();
            valor.clear();
        } else if (xml.isStartElement() && (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t"))) {
            valor = xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
            resultado.insert(ref, tipo + "|" + estilo + "|" + valor);
        }
    }
    return resultado;
}

// Exports the main list through the menu into `ruta` (the save dialog's answer).
void exportar(Principal& p, const QString& ruta) {
    DialogosSistema::proximo_guardado(ruta);
    Soporte::accion(&p, "menuExportarLista")->trigger();
}

// Files of a folder other than those named.
QStringList archivos(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A list of any length whose rows are never read.
class TablaLarga : public TablaExportar {
public:
    explicit TablaLarga(int filas) : filas_(filas) {}
    QStringList cabeceras_exportar() const override { return {"Codigo"}; }
    ClaseExportar clase_exportar(int) const override { return ClaseExportar::numero; }
    int filas_exportar() const override { return filas_; }
    QString texto_exportar(int fila, int) const override { return QString::number(fila); }

private:
    int filas_;
};

} // namespace

class PruebaExportar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void campo_csv_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QByteArray>("campo");
        QTest::newRow("llano") << "Monitor" << QByteArray("Monitor");
        QTest::newRow("vacio") << "" << QByteArray("");
        QTest::newRow("acentos") << "Recepción ñ" << QByteArray("Recepci\xC3\xB3n \xC3\xB1");
        QTest::newRow("coma sin comillas") << "a, b" << QByteArray("a, b");
        QTest::newRow("separador") << "a;b" << QByteArray("\"a;b\"");
        QTest::newRow("comillas") << "di \"hola\"" << QByteArray("\"di \"\"hola\"\"\"");
        QTest::newRow("salto") << "a\nb" << QByteArray("\"a\nb\"");
        QTest::newRow("retorno") << "a\r\nb" << QByteArray("\"a\r\nb\"");
        QTest::newRow("solo comillas") << "\"" << QByteArray("\"\"\"\"");
    }
    void campo_csv() {
        QFETCH(QString, texto);
        QFETCH(QByteArray, campo);
        QByteArray salida("x;");
        Escritura::anadir_campo_csv(salida, texto);
        QCOMPARE(salida, "x;" + campo);
    }

    void formato_por_nombre_data() {
        QTest::addColumn<QString>("ruta");
        QTest::addColumn<int>("defecto");
        QTest::addColumn<int>("formato");
        const int csv = int(Escritura::Formato::csv), xlsx = int(Escritura::Formato::xlsx);
        QTest::newRow("csv") << "/a/b.csv" << xlsx << csv;
        QTest::newRow("CSV") << "/a/b.CSV" << xlsx << csv;
        QTest::newRow("xlsx") << "/a/b.xlsx" << csv << xlsx;
        QTest::newRow("otro") << "/a/b.txt" << csv << csv;
        QTest::newRow("sin") << "/a/b" << xlsx << xlsx;
    }
    void formato_por_nombre() {
        QFETCH(QString, ruta);
        QFETCH(int, defecto);
        QFETCH(int, formato);
        QCOMPARE(int(Escritura::formato_de_nombre(ruta, Escritura::Formato(defecto))), formato);
    }

    void csv_leido_por_python() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        const QString ruta = dir.filePath("lista.csv");
        exportar(*p, ruta);
        QCOMPARE(avisos(), QStringList{Exportar::exportadas.arg(ruta).arg(3)});
        // The dialog proposed a name beside the inventory.
        QCOMPARE(DialogosSistema::ultima_propuesta(), dir.filePath("i-lista.xlsx"));
        const QByteArray bytes = Soporte::contenido(ruta);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                                 "Codigo;Tipo;Marca;"));
        QVERIFY(bytes.endsWith("\r\n"));
        const QList<QStringList> filas = leer_csv(ruta);
        QCOMPARE(filas.size(), 4);
        QCOMPARE(filas[0], cabeceras);
        QCOMPARE(filas[1], QStringList({"3", "Monitor", "Dell \"Ultra\"", "P2422H", "CN3", "05/03/2000", "36",
                                        "Recepción, planta 1", "Si", "", "", ""}));
        QCOMPARE(filas[2], QStringList({"7", "Cámara; web", "HP", "Línea \"A\"", "S;1", "01/02/1999", "1.5",
                                        "dos\nlíneas", "No", "", "", ""}));
        QCOMPARE(filas[3], QStringList({"9", "Monitor", "HP", "E24", "S9", "", "0", "", "No", "", "", ""}));
        // Exactly what the list shows: only one type after a search for it.
        Soporte::buscar(*p, "Monitor");
        const QString solo = dir.filePath("monitores.csv");
        exportar(*p, solo);
        QCOMPARE(leer_csv(solo).size(), 3);
        QCOMPARE(archivos(dir.path()), QStringList({"i.db", "lista.csv", "monitores.csv", "talvirenca.cfg"}));
    }

    // Also on a Spanish desktop, whose C library writes "1,5": the file format wants "1.5".
    void xlsx_desempaquetado_data() {
        QTest::addColumn<QByteArray>("locale");
        QTest::newRow("C") << QByteArray("C");
        QTest::newRow("es_ES") << QByteArray("es_ES.UTF-8");
    }
    void xlsx_desempaquetado() {
        QFETCH(QByteArray, locale);
        QVERIFY2(locale == "C" || Soporte::locale_espanola(), Soporte::falta_locale_espanola);
        const std::string anterior = std::setlocale(LC_ALL, nullptr);
        QVERIFY(std::setlocale(LC_ALL, locale.constData()));
        const auto volver = qScopeGuard([&] { std::setlocale(LC_ALL, anterior.c_str()); });
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        const QString ruta = dir.filePath("lista.xlsx");
        exportar(*p, ruta);
        QCOMPARE(avisos(), QStringList{Exportar::exportadas.arg(ruta).arg(3)});
        const QMap<QString, QString> c = celdas(ruta);
        QVERIFY(c.value("A1").endsWith("|Codigo"));
        QVERIFY(c.value("E1").endsWith("|Nº Serie"));
        const QString estilo_cabecera = c.value("A1").section('|', 1, 1);
        QVERIFY(!estilo_cabecera.isEmpty());
        // Codes and warranties are numbers; dates are day numbers counted from 30/12/1899 with a date style.
        QCOMPARE(c.value("A2"), "||3");
        QCOMPARE(c.value("G2"), "||36");
        QCOMPARE(c.value("G3"), "||1.5");
        const QString fecha = c.value("F2");
        QCOMPARE(fecha.section('|', 0, 0), QString());
        QCOMPARE(fecha.section('|', 2, 2).toDouble(), double(QDate(1899, 12, 30).daysTo(QDate(2000, 3, 5))));
        QCOMPARE(c.value("F3").section('|', 2, 2).toDouble(), double(QDate(1899, 12, 30).daysTo(QDate(1999, 2, 1))));
        const QString estilo_fecha = fecha.section('|', 1, 1);
        QVERIFY(!estilo_fecha.isEmpty() && estilo_fecha != estilo_cabecera);
        // Texts stay texts, accents, quotes and line breaks included; an empty date is an empty cell.
        QVERIFY(c.value("B3").endsWith("|Cámara; web"));
        QVERIFY(c.value("B3").section('|', 0, 0) != QString());
        QVERIFY(c.value("H3").endsWith("|dos\nlíneas"));
        QVERIFY(c.value("D3").endsWith("|Línea \"A\""));
        QVERIFY(!c.contains("F4"));
        QVERIFY(c.value("I4").endsWith("|No"));
        QVERIFY(!c.contains("A5"));

        // Readable like any other file the user saves, not private like a temporary file.
        QVERIFY(QFileInfo(ruta).permissions().testFlag(QFileDevice::ReadOther) ||
                QFileInfo(dir.filePath("i.db")).permissions() == QFileInfo(ruta).permissions());
        const QString hoja = QString::fromUtf8(unzip(ruta, "xl/worksheets/sheet1.xml"));
        QVERIFY(hoja.contains("state=\"frozen\""));
        QVERIFY(hoja.contains("<autoFilter ref=\"A1:L4\"/>"));
        // A width for each of the twelve columns, the description's from its longest text.
        QCOMPARE(hoja.count("<col "), 12);
        QVERIFY2(!hoja.contains(QRegularExpression(QStringLiteral("=\"-?[0-9]+,[0-9]+\""))), qPrintable(hoja));
        const QString estilos = QString::fromUtf8(unzip(ruta, "xl/styles.xml"));
        QVERIFY(estilos.contains("formatCode=\"dd/mm/yyyy\""));
        QVERIFY(estilos.contains("<b/>"));
    }

    void xlsx_demasiado_largo_se_rechaza() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("largo.xlsx");
        try {
            Escritura::escribir(TablaLarga(1048576), Escritura::Formato::xlsx, ruta);
            QFAIL("no hubo error");
        } catch (const ErrorDatos& e) {
            QCOMPARE(e.texto(), "la lista tiene 1048576 componentes y un libro de Excel admite 1048575 como mucho; "
                                "expórtela como texto CSV.");
        }
        QCOMPARE(archivos(dir.path()), QStringList());
        // The longest list a sheet holds is written whole, its last row included.
        const QString justa = dir.filePath("justa.xlsx");
        QVERIFY(Escritura::escribir(TablaLarga(1048575), Escritura::Formato::xlsx, justa));
        QCOMPARE(celdas(justa).value("A1048576"), "||1048574");
    }

    // Codes a spreadsheet's numbers hold exactly are numbers; the others are texts with their exact digits, so
    // every code comes back as it was. A text up to a cell's 32,767 characters is written whole; a longer one is
    // refused before anything is written, naming the component, and the CSV keeps it whole.
    void xlsx_sin_cambios_callados_data() {
        QTest::addColumn<QString>("codigo");
        QTest::addColumn<int>("largo");
        QTest::addColumn<QString>("celda_codigo");
        QTest::addColumn<QString>("mensaje");
        const QString rechazo = QStringLiteral(
            "ERROR: el componente %1 tiene en la columna Descripcion un texto de %2 caracteres y una celda de un "
            "libro de Excel admite 32767 como mucho; exporte la lista como texto CSV.");
        QTest::newRow("el mayor código que un double guarda")
            << "9007199254740992" << 10 << "int|9007199254740992" << QString();
        QTest::newRow("uno más") << "9007199254740993" << 10 << "str|9007199254740993" << QString();
        QTest::newRow("el mayor código") << "9223372036854775807" << 10 << "str|9223372036854775807" << QString();
        QTest::newRow("negativo") << "-9007199254740993" << 10 << "str|-9007199254740993" << QString();
        QTest::newRow("texto que llena la celda") << "7" << 32767 << "int|7" << QString();
        QTest::newRow("un carácter de más") << "7" << 32768 << QString() << rechazo.arg("7").arg(32768);
        QTest::newRow("40.000 caracteres")
            << "9007199254740993" << 40000 << QString() << rechazo.arg("9007199254740993").arg(40000);
    }
    void xlsx_sin_cambios_callados() {
        QFETCH(QString, codigo);
        QFETCH(int, largo);
        QFETCH(QString, celda_codigo);
        QFETCH(QString, mensaje);
        QTemporaryDir dir;
        const QString descripcion = texto_largo(largo);
        auto p = Soporte::abrir_principal(
            dir, Soporte::crear_base(dir, "i.db", un_componente(codigo, "E24", "36", descripcion)));
        Soporte::buscar(*p, "Todos");
        const QString ruta = dir.filePath("lista.xlsx");
        exportar(*p, ruta);
        if (!mensaje.isEmpty()) {
            QCOMPARE(avisos(), QStringList{mensaje});
            QCOMPARE(archivos(dir.path()), QStringList({"i.db", "talvirenca.cfg"}));
            const QString csv = dir.filePath("lista.csv");
            exportar(*p, csv);
            QCOMPARE(avisos(), QStringList{Exportar::exportada_una.arg(csv).arg(1)});
            const QList<QStringList> filas = leer_csv(csv);
            QCOMPARE(filas.value(1).value(0), codigo);
            QCOMPARE(filas.value(1).value(7), descripcion);
            return;
        }
        QCOMPARE(avisos(), QStringList{Exportar::exportada_una.arg(ruta).arg(1)});
        const QList<QStringList> filas = leer_xlsx(ruta);
        QCOMPARE(filas.size(), 2);
        QCOMPARE(filas[1].value(0), celda_codigo);
        QCOMPARE(filas[1].value(6), "int|36");
        QCOMPARE(filas[1].value(7), "str|" + descripcion);
    }

    // A text that a spreadsheet would run as a formula is marked as text with an apostrophe in the CSV; numbers in
    // the columns of numbers stay numbers, and the XLSX keeps every text as it is.
    void csv_sin_formulas_data() {
        QTest::addColumn<QString>("modelo");
        QTest::addColumn<QString>("campo");
        QTest::newRow("igual") << "=HYPERLINK(\"http://x.example/\";\"ver\")"
                               << "'=HYPERLINK(\"http://x.example/\";\"ver\")";
        QTest::newRow("más") << "+1+1"
                             << "'+1+1";
        QTest::newRow("menos") << "-2+3"
                               << "'-2+3";
        QTest::newRow("arroba") << "@SUM(1;2)"
                                << "'@SUM(1;2)";
        QTest::newRow("tabulador") << "\t=1+1"
                                   << "'\t=1+1";
        QTest::newRow("retorno") << "\r=1+1"
                                 << "'\r=1+1";
        QTest::newRow("igual dentro") << "a=b"
                                      << "a=b";
        QTest::newRow("apóstrofo") << "'ya marcado"
                                   << "'ya marcado";
    }
    void csv_sin_formulas() {
        QFETCH(QString, modelo);
        QFETCH(QString, campo);
        QTemporaryDir dir;
        auto p =
            Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", un_componente("-3", modelo, "-5", modelo)));
        Soporte::buscar(*p, "Todos");
        const QString csv = dir.filePath("lista.csv");
        exportar(*p, csv);
        QCOMPARE(avisos(), QStringList{Exportar::exportada_una.arg(csv).arg(1)});
        QCOMPARE(leer_csv(csv).value(1),
                 QStringList({"-3", "Monitor", "HP", campo, "S1", "02/01/2020", "-5", campo, "No", "", "", ""}));
        const QString xlsx = dir.filePath("lista.xlsx");
        exportar(*p, xlsx);
        QCOMPARE(avisos(), QStringList{Exportar::exportada_una.arg(xlsx).arg(1)});
        const QStringList celdas = leer_xlsx(xlsx).value(1);
        QCOMPARE(celdas.value(0), "int|-3");
        QCOMPARE(celdas.value(6), "int|-5");
        // The sheet writes a carriage return as the file format's escape for it, which openpyxl leaves as it is.
        QCOMPARE(celdas.value(3), "str|" + QString(modelo).replace(u'\r', QStringLiteral("_x000D_")));
    }

    void lista_vacia_avisa() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::accion(p.get(), "menuExportarLista")->trigger();
        QCOMPARE(avisos(), QStringList({Exportar::lista_vacia}));
        QCOMPARE(Exportar::lista_vacia, "ERROR: la lista no muestra ningún componente que exportar.");
    }

    void cancelar_dialogo_no_escribe() {
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        DialogosSistema::proximo_guardado(std::nullopt);
        Soporte::accion(p.get(), "menuExportarLista")->trigger();
        QCOMPARE(avisos(), QStringList());
        QCOMPARE(archivos(dir.path()), QStringList({"i.db", "talvirenca.cfg"}));
    }

    void destino_imposible_data() {
        QTest::addColumn<QString>("relativa");
        QTest::addColumn<QString>("formato");
        QTest::newRow("carpeta inexistente csv") << "no/existe/lista.csv"
                                                 << "csv";
        QTest::newRow("carpeta inexistente xlsx") << "no/existe/lista.xlsx"
                                                  << "xlsx";
        QTest::newRow("archivo por carpeta csv") << "i.db/lista.csv"
                                                 << "csv";
        QTest::newRow("archivo por carpeta xlsx") << "i.db/lista.xlsx"
                                                  << "xlsx";
    }
    void destino_imposible() {
        QFETCH(QString, relativa);
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        const QString ruta = dir.filePath(relativa);
        exportar(*p, ruta);
        QCOMPARE(avisos(), QStringList({"ERROR: no se puede crear el archivo " + ruta +
                                        ": la carpeta no existe o no se puede escribir en ella."}));
        QCOMPARE(archivos(dir.path()), QStringList({"i.db", "talvirenca.cfg"}));
    }

    void carpeta_del_sistema_solo_lectura() {
        // Even root cannot create files under /proc.
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        exportar(*p, "/proc/lista.csv");
        QCOMPARE(avisos(), QStringList({"ERROR: no se puede crear el archivo /proc/lista.csv: la carpeta no existe o "
                                        "no se puede escribir en ella."}));
        QVERIFY(!QFile::exists("/proc/lista.csv"));
    }

    void reemplaza_un_archivo_existente() {
        // The save dialog asked before replacing: the old file is replaced whole.
        QTemporaryDir dir;
        auto p = Soporte::abrir_principal(dir, Soporte::crear_base(dir, "i.db", inventario));
        Soporte::buscar(*p, "Todos");
        const QString ruta = dir.filePath("lista.csv");
        QFile viejo(ruta);
        QVERIFY(viejo.open(QIODevice::WriteOnly));
        viejo.write(QByteArray(100000, 'x'));
        viejo.close();
        exportar(*p, ruta);
        QCOMPARE(leer_csv(ruta).size(), 4);
    }

    void cancelar_progreso_no_deja_archivo_data() {
        QTest::addColumn<QString>("nombre");
        QTest::newRow("csv") << "grande.csv";
        QTest::newRow("xlsx") << "grande.xlsx";
    }
    void cancelar_progreso_no_deja_archivo() {
        QFETCH(QString, nombre);
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(
            dir, "i.db",
            {"INSERT INTO Tipo VALUES (1, 'Monitor')",
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
             "INSERT INTO Elemento SELECT i, 1, 0, 'M' || i, 'S' || i, '2020-01-01', 12, 'texto', 0 FROM n"});
        auto p = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*p, "Todos");
        QCOMPARE(p->lista().filas(), 20000);
        bool visto = false;
        Soporte::cuando_abra_modal([&](QWidget* modal) {
            auto* progreso = qobject_cast<QProgressDialog*>(modal);
            QVERIFY(progreso);
            visto = true;
            QCOMPARE(progreso->labelText(), Exportar::texto_progreso);
            QTest::mouseClick(progreso->findChild<QPushButton*>(), Qt::LeftButton);
        });
        exportar(*p, dir.filePath(nombre));
        QVERIFY(visto);
        QCOMPARE(avisos(), QStringList());
        QCOMPARE(archivos(dir.path()), QStringList({"i.db", "talvirenca.cfg"}));
    }
};

QTEST_MAIN(PruebaExportar)
#include "test_exportar.moc"
