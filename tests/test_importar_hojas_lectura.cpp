// Reading spreadsheets: files written by independent writers (openpyxl, odfpy, xlwt, libxlsxwriter, CSV by hand)
// read back through the reading child, cell by cell; the files it must refuse with a clear reason; and what the
// runner does with the child's lines that only the end of a file tells.
#include "data/error_datos.h"
#include "hojas/lectura_hijo.h"
#include "hojas/protocolo_hoja.h"
#include "soporte/soporte.h"

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <xlsxwriter.h>

namespace {

const QString orden = QStringLiteral(TALVIRENCA_IMPORTAR);

// The system's Python, the one with the Debian modules openpyxl, odfpy and xlwt.
QString python() {
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

void con_python(const QString& guion, const QString& ruta) {
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), guion, ruta});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

void guardar(const QString& ruta, const QByteArray& bytes) {
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The cells of a row as the preview shows them, joined by "|".
QString fila(const DatosHoja& d, int i) {
    QStringList t;
    for (const CeldaHoja& c : d.filas.at(std::size_t(i)).celdas)
        t << c.como_texto();
    return t.join(u'|');
}

DatosHoja leer(const QString& ruta, const LecturaHijo::Opciones& o = {}) {
    return *LecturaHijo::leer(orden, ruta, o);
}

const char* const openpyxl = R"(
import sys, datetime, openpyxl
wb = openpyxl.Workbook(); ws = wb.active; ws.title = "Equipos"
ws.append(["Código", "Nº serie", "Fecha", "Garantía", "Renting"])
ws.append([1, "SN1", datetime.date(2020, 3, 5), "24 meses", True])
ws.append([2.5, "línea\nsegunda", "05/03/2021", 36, "Sí"])
ws["A4"] = "=1+1"
ws["B4"] = "combinada"
ws.merge_cells("B4:B5")
ws["A5"] = 7
ws2 = wb.create_sheet("Otra"); ws2.append(["solo", "aquí"])
wb.save(sys.argv[1])
)";

const char* const odfpy = R"(
import sys
from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableRow, TableCell
from odf.text import P
doc = OpenDocumentSpreadsheet()
for nombre in ["Primera", "Segunda"]:
    t = Table(name=nombre)
    for fila in ([("string", {}, "Model"), ("date", {"datevalue": "2019-07-01"}, "01/07/2019"),
                  ("float", {"value": "12"}, "12")],
                 [("string", {}, nombre)]):
        tr = TableRow()
        for tipo, extra, texto in fila:
            c = TableCell(valuetype=tipo, **extra); c.addElement(P(text=texto)); tr.addElement(c)
        t.addElement(tr)
    doc.spreadsheet.addElement(t)
doc.save(sys.argv[1])
)";

const char* const xlwt = R"(
import sys, datetime, xlwt
w = xlwt.Workbook(); s = w.add_sheet("Inventario")
s.write(0, 0, "S/N"); s.write(0, 1, "Fecha"); s.write(0, 2, 24); s.write(0, 3, 2.5)
s.write(1, 1, datetime.date(2018, 1, 2), xlwt.easyxf(num_format_str="DD/MM/YYYY"))
w.add_sheet("Vacía")
w.save(sys.argv[1])
)";

} // namespace

class PruebaLecturaHojas : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void xlsx_de_openpyxl() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("a.xlsx"));
        con_python(QString::fromUtf8(openpyxl), ruta);
        const DatosHoja d = leer(ruta);
        QCOMPARE(d.hojas, (QStringList{QStringLiteral("Equipos"), QStringLiteral("Otra")}));
        QCOMPARE(d.elegida, 0);
        QCOMPARE(d.filas.size(), std::size_t(5));
        QCOMPARE(fila(d, 0), QStringLiteral("Código|Nº serie|Fecha|Garantía|Renting"));
        // A date cell, a real, a text with a line break, a text date, a flag.
        QCOMPARE(fila(d, 1), QStringLiteral("1|SN1|05/03/2020|24 meses|VERDADERO"));
        QCOMPARE(fila(d, 2), QStringLiteral("2.5|línea\nsegunda|05/03/2021|36|Sí"));
        QCOMPARE(d.filas[1].celdas[2].clase, CeldaHoja::Clase::fecha);
        // openpyxl keeps no result for its formulas; the merged range's value covers both cells.
        QCOMPARE(d.filas[3].celdas[0].clase, CeldaHoja::Clase::sin_valor);
        QCOMPARE(fila(d, 3), QStringLiteral("=1+1|combinada"));
        QCOMPARE(fila(d, 4), QStringLiteral("7|combinada"));
        QCOMPARE(d.filas[4].numero, 5);
        QCOMPARE(d.combinadas, 1);
        const DatosHoja otra = leer(ruta, {QStringLiteral("Otra"), {}, {}});
        QCOMPARE(otra.elegida, 1);
        QCOMPARE(fila(otra, 0), QStringLiteral("solo|aquí"));
    }

    void xlsx_de_libxlsxwriter() {
        QTemporaryDir dir;
        const QByteArray ruta = QFile::encodeName(dir.filePath(QStringLiteral("b.xlsx")));
        lxw_workbook* libro = workbook_new(ruta.constData());
        lxw_worksheet* hoja = workbook_add_worksheet(libro, "Datos");
        lxw_format* fecha = workbook_add_format(libro);
        format_set_num_format(fecha, "dd/mm/yyyy");
        worksheet_write_string(hoja, 0, 0, "Serial", nullptr);
        lxw_datetime dia = {2021, 12, 31, 0, 0, 0};
        worksheet_write_datetime(hoja, 1, 0, &dia, fecha);
        // A formula with its result kept, as spreadsheet programs save them.
        worksheet_write_formula_num(hoja, 1, 1, "=6*2", nullptr, 12);
        worksheet_write_formula_str(hoja, 1, 2, "=\"a\"&\"b\"", nullptr, "ab");
        worksheet_write_number(hoja, 2, 0, 44197, nullptr);
        QCOMPARE(workbook_close(libro), LXW_NO_ERROR);
        const DatosHoja d = leer(QFile::decodeName(ruta));
        QCOMPARE(fila(d, 1), QStringLiteral("31/12/2021|12|ab"));
        QCOMPARE(d.filas[1].celdas[1].clase, CeldaHoja::Clase::numero);
        // A bare number stays a number: only a date format makes it a date.
        QCOMPARE(d.filas[2].celdas[0].clase, CeldaHoja::Clase::numero);
    }

    void ods_de_odfpy() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("c.ods"));
        con_python(QString::fromUtf8(odfpy), ruta);
        const DatosHoja d = leer(ruta);
        QCOMPARE(d.hojas, (QStringList{QStringLiteral("Primera"), QStringLiteral("Segunda")}));
        QCOMPARE(fila(d, 0), QStringLiteral("Model|01/07/2019|12"));
        QCOMPARE(fila(leer(ruta, {QStringLiteral("Segunda"), {}, {}}), 1), QStringLiteral("Segunda"));
    }

    void xls_de_xlwt() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("d.xls"));
        con_python(QString::fromUtf8(xlwt), ruta);
        const DatosHoja d = leer(ruta);
        QCOMPARE(d.hojas, (QStringList{QStringLiteral("Inventario"), QStringLiteral("Vacía")}));
        QCOMPARE(fila(d, 0), QStringLiteral("S/N|Fecha|24|2.5"));
        QCOMPARE(fila(d, 1), QStringLiteral("|02/01/2018"));
        QVERIFY(leer(ruta, {QStringLiteral("Vacía"), {}, {}}).filas.empty());
    }

    void csv_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("separador"); // forced; empty to detect
        QTest::addColumn<QString>("detectado");
        QTest::addColumn<QString>("codificacion");
        QTest::addColumn<QStringList>("filas");
        QTest::newRow("punto y coma") << QByteArray("a;b;c\n1;2;3\n") << QString() << QStringLiteral(";")
                                      << QStringLiteral("UTF-8") << QStringList{"a|b|c", "1|2|3"};
        QTest::newRow("comas, comillas y saltos")
            << QByteArray("x,\"y, z\"\r\n\"dos\nlíneas\",\"con \"\"comillas\"\"\"\r\n") << QString()
            << QStringLiteral(",") << QStringLiteral("UTF-8") << QStringList{"x|y, z", "dos\nlíneas|con \"comillas\""};
        QTest::newRow("tabuladores") << QByteArray("a\tb,c\n1\t2,5\n") << QString() << QStringLiteral("\t")
                                     << QStringLiteral("UTF-8") << QStringList{"a|b,c", "1|2,5"};
        QTest::newRow("Windows-1252") << QByteArray("N\xBA serie;Descripci\xF3n\nA1;Rat\xF3n \x80\n") << QString()
                                      << QStringLiteral(";") << QStringLiteral("Windows-1252")
                                      << QStringList{"Nº serie|Descripción", "A1|Ratón €"};
        QTest::newRow("marca de orden UTF-8")
            << QByteArray("\xEF\xBB\xBF"
                          "C\xC3\xB3"
                          "digo;Tipo\n")
            << QString() << QStringLiteral(";") << QStringLiteral("UTF-8") << QStringList{"Código|Tipo"};
        QTest::newRow("separador elegido") << QByteArray("a;b,c\n") << QStringLiteral(",") << QStringLiteral(",")
                                           << QStringLiteral("UTF-8") << QStringList{"a;b|c"};
    }
    void csv() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, separador);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("e.csv"));
        guardar(ruta, bytes);
        const DatosHoja d = leer(ruta, {{}, separador, {}});
        QTEST(d.separador, "detectado");
        QTEST(d.codificacion, "codificacion");
        QStringList filas;
        for (int i = 0; i < int(d.filas.size()); ++i)
            filas << fila(d, i);
        QTEST(filas, "filas");
    }

    void archivos_que_no_se_leen_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("hoja");
        QTest::addColumn<QString>("mensaje"); // %1: the path
        const QString danado =
            QStringLiteral("el archivo %1 no es una hoja de cálculo que se pueda leer, o está dañado.");
        QTest::newRow("zip dañado") << QByteArray("PK\x03\x04 roto", 9) << QStringLiteral("a.xlsx") << QString()
                                    << danado;
        QTest::newRow("xlsx que no es zip") << QByteArray("hola") << QStringLiteral("a.xlsx") << QString() << danado;
        QTest::newRow("xls dañado") << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 basura", 15)
                                    << QStringLiteral("a.xls") << QString() << danado;
        QByteArray cifrado("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
        cifrado += QByteArray(504, '\0');
        for (char c : QByteArrayLiteral("EncryptedPackage"))
            cifrado += QByteArray(1, c) + QByteArray(1, '\0');
        QTest::newRow("con contraseña")
            << cifrado << QStringLiteral("a.xlsx") << QString()
            << QStringLiteral("el archivo %1 está protegido con contraseña; guárdelo sin contraseña e inténtelo de "
                              "nuevo.");
        QTest::newRow("binario como CSV") << QByteArray("a\0b", 3) << QStringLiteral("a.csv") << QString()
                                          << QStringLiteral("el archivo no es una hoja de cálculo ni un texto separado "
                                                            "por comas.");
    }
    void archivos_que_no_se_leen() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, nombre);
        QFETCH(QString, mensaje);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(nombre);
        guardar(ruta, bytes);
        QCOMPARE(Soporte::mensaje_de([&] { leer(ruta); }), mensaje.contains(u'%') ? mensaje.arg(ruta) : mensaje);
    }

    void hoja_que_no_esta_y_archivo_que_falta() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("a.xlsx"));
        con_python(QString::fromUtf8(openpyxl), ruta);
        QCOMPARE(Soporte::mensaje_de([&] {
                     leer(ruta, {QStringLiteral("Nada"), {}, {}});
                 }),
                 QStringLiteral("el archivo %1 no tiene la hoja «Nada».").arg(ruta));
        const QString falta = dir.filePath(QStringLiteral("no.xlsx"));
        QCOMPARE(Soporte::mensaje_de([&] { leer(falta); }),
                 QStringLiteral("no se puede abrir el archivo %1: no existe o no se puede leer.").arg(falta));
    }

    // A reader that crashes ends only the child: the caller gets the reason and goes on.
    // The rows come as the child reads them; what the end of the file tells is laid over them by the runner: a
    // late cell, a merged range (making the rows it covers), the number formats that show dates.
    void lineas_del_final_data() {
        QTest::addColumn<QByteArray>("lineas");
        QTest::addColumn<QStringList>("filas"); // "number: cells"
        QTest::addColumn<QString>("error");
        QTest::newRow("celda tardía") << QByteArray("@fila 1\ttA\ttB\n@fila 2\ttC\n@fila 1\t\t\ttZ\n@fin 2\n")
                                      << QStringList{"1: A|B|Z", "2: C"} << QString();
        QTest::newRow("fila tardía") << QByteArray("@fila 3\ttC\n@fila 1\ttA\n@fin 2\n") << QStringList{"1: A", "3: C"}
                                     << QString();
        QTest::newRow("combinada") << QByteArray("@fila 1\ttX\n@fila 3\ttY\n@rango 0 0 2 1\n@rango 5 0 6 0\n@fin 2\n")
                                   << QStringList{"1: X|X", "2: X|X", "3: Y|X"} << QString();
        QTest::newRow("fechas") << QByteArray("@fila 1\te1:44197\te2:5\tn7\n@fechas 2415019 1\n@fin 1\n")
                                << QStringList{"1: 01/01/2021|5|7"} << QString();
        QTest::newRow("demasiado grande") << QByteArray("@fila 1\ttX\n@rango 0 0 1048575 255\n@fin 1\n")
                                          << QStringList{} << "ERROR: la hoja es demasiado grande";
    }
    void lineas_del_final() {
        QFETCH(QByteArray, lineas);
        QFETCH(QString, error);
        ProtocoloHoja::Lectura l;
        // In pieces cut anywhere, as a pipe gives them.
        for (qsizetype i = 0; i < lineas.size(); i += 5)
            l.anadir(lineas.mid(i, 5));
        QVERIFY(l.terminado);
        QCOMPARE(l.error.section(u':', 0, 1), error);
        if (!error.isEmpty())
            return;
        QStringList filas;
        for (const FilaHoja& f : l.datos.filas) {
            QStringList t;
            for (const CeldaHoja& c : f.celdas)
                t << c.como_texto();
            filas << QStringLiteral("%1: %2").arg(f.numero).arg(t.join(u'|'));
        }
        QTEST(filas, "filas");
        QCOMPARE(l.datos.filas.front().celdas.front().clase == CeldaHoja::Clase::fecha,
                 QTest::currentDataTag() == QLatin1String("fechas"));
    }

    // A runner that takes each row as it comes is only told what the end changes.
    void lineas_del_final_al_recibir_data() {
        QTest::addColumn<QByteArray>("lineas");
        QTest::addColumn<bool>("cambiadas");
        QTest::addColumn<int>("columna_fecha"); // -1: none
        QTest::newRow("nada") << QByteArray("@fila 1\ttA\n@fila 2\ttB\n@fin 2\n") << false << -1;
        QTest::newRow("celda tardía") << QByteArray("@fila 1\ttA\n@fila 2\ttB\n@fila 1\t\ttZ\n@fin 2\n") << true << -1;
        QTest::newRow("combinada") << QByteArray("@fila 1\ttA\n@rango 0 0 1 0\n@fin 1\n") << true << -1;
        QTest::newRow("fecha de su serie")
            << QByteArray("@fila 1\ttA\te1:44197\n@fechas 2415019 1\n@fin 1\n") << false << 1;
        QTest::newRow("formato que no es fecha")
            << QByteArray("@fila 1\ttA\te1:44197\n@fechas 2415019 2\n@fin 1\n") << false << -1;
        QTest::newRow("libro de 1904") << QByteArray("@fila 1\ttA\te1:44197\n@fechas 2416481 1\n@fin 1\n") << true
                                       << -1;
        QTest::newRow("fuera de la serie")
            << QByteArray("@fila 1\ttA\te1:0.5\n@fechas 2415019 1\n@fin 1\n") << true << -1;
    }
    void lineas_del_final_al_recibir() {
        QFETCH(QByteArray, lineas);
        QFETCH(int, columna_fecha);
        ProtocoloHoja::Lectura l;
        QStringList recibidas;
        l.al_recibir = [&](FilaHoja&& f) { recibidas << QString::number(f.numero); };
        l.anadir(lineas);
        QVERIFY(l.terminado);
        QVERIFY(l.datos.filas.empty());
        QCOMPARE(recibidas.first(), QStringLiteral("1"));
        QTEST(l.filas_cambiadas, "cambiadas");
        for (int c = 0; c < 3; ++c)
            QCOMPARE(c < int(l.columnas_fecha.size()) && l.columnas_fecha[std::size_t(c)], c == columna_fecha);
    }

    // A column's texts, shared while they repeat, read the same after the column stops repeating them.
    void textos_repetidos() {
        QByteArray lineas;
        for (int i = 1; i <= 3000; ++i)
            lineas += "@fila " + QByteArray::number(i) + "\ttS" + QByteArray::number(i) + "\ttPC\ttM" +
                      QByteArray::number(i % 7) + "\n";
        lineas += "@fin 3000\n";
        ProtocoloHoja::Lectura l;
        l.anadir(lineas);
        QCOMPARE(l.datos.filas.size(), std::size_t(3000));
        for (int i : {1, 1024, 1025, 2999})
            QCOMPARE(l.datos.filas[std::size_t(i - 1)].celdas[0].texto, QStringLiteral("S%1").arg(i));
        QCOMPARE(l.datos.filas[2998].celdas[1].texto, QStringLiteral("PC"));
        QCOMPARE(l.datos.filas[2998].celdas[2].texto, QStringLiteral("M%1").arg(2999 % 7));
    }

    void lector_que_se_estrella() {
        QTemporaryDir dir;
        const QString sustituto = dir.filePath(QStringLiteral("lector.sh"));
        guardar(sustituto, "#!/bin/sh\nprintf '@hoja H\\n@fila 1\\ttA\\n'\nkill -SEGV $$\n");
        QFile::setPermissions(sustituto, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString ruta = dir.filePath(QStringLiteral("x.csv"));
        guardar(ruta, "a\n");
        QCOMPARE(Soporte::mensaje_de([&] { LecturaHijo::leer(sustituto, ruta, {}); }),
                 QStringLiteral("la lectura de la hoja de cálculo %1 se ha interrumpido; el archivo puede estar "
                                "dañado. No se ha importado nada.")
                     .arg(ruta));
    }
};

QTEST_GUILESS_MAIN(PruebaLecturaHojas)
#include "test_importar_hojas_lectura.moc"
