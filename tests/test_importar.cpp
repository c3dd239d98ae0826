// The import from Access files: files made by the tests' own Jet 4 writer, imported through libmdb by the import's
// rules, by the command talvirenca-importar, and from the main window's menu as the user does it.
#include "data/error_datos.h"
#include "importacion/importar_access.h"
#include "importar/importacion.h"
#include "jet/escritor_jet.h"
#include "modulo/module1.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>
#include <sys/stat.h>

using Jet::Tipo;
using Jet::Valor;
using Tablas = std::vector<Jet::Tabla>;
Q_DECLARE_METATYPE(Tablas)

namespace {

Valor t(const char* s) {
    return QString::fromUtf8(s);
}
Valor n(qint64 v) {
    return v;
}
Valor r(double v) {
    return v;
}
Valor f(int a, int m, int d, int h = 0, int min = 0) {
    return Jet::fecha_ole(QDate(a, m, d), QTime(h, min));
}
const Valor nulo{};

Jet::Tabla con(Jet::Tabla tabla, std::vector<Jet::Fila> filas) {
    tabla.filas = std::move(filas);
    return tabla;
}

Tablas basicas(Jet::Tabla elemento) {
    return {std::move(elemento), con(Jet::tabla_tipo_marca(QStringLiteral("Tipo")), {{n(1), t("PC")}}),
            con(Jet::tabla_tipo_marca(QStringLiteral("Marca")), {{n(1), t("HP")}})};
}

QString guardar(const QTemporaryDir& dir, const QString& nombre, const QByteArray& bytes) {
    QFile archivo(dir.filePath(nombre));
    if (!archivo.open(QIODevice::WriteOnly) || archivo.write(bytes) != bytes.size())
        qFatal("no se puede escribir %s", qPrintable(archivo.fileName()));
    return archivo.fileName();
}

// Every file of the folder, hidden ones included.
QStringList archivos(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Several hundred components across many data pages, and what the new inventory must hold for them.
Tablas cientos(int cuantos, QStringList* esperado) {
    Jet::Tabla e = Jet::tabla_elemento();
    for (int i = 1; i <= cuantos; ++i) {
        const QString modelo = QStringLiteral("Modelo %1 — año %2").arg(i).arg(1990 + i % 30);
        e.filas.push_back({n(i), n(1), n(1), modelo, QStringLiteral("SN%1").arg(i * 7919), f(2000, 1, 1 + i % 28),
                           r(i % 4 * 12), QStringLiteral("Puesto %1").arg(i % 50), i % 2 == 0});
        if (esperado)
            *esperado << QStringLiteral("%1|1|1|%2|SN%3|2000-01-%4|%5.0|Puesto %6|%7")
                             .arg(i)
                             .arg(modelo)
                             .arg(i * 7919)
                             .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                             .arg(i % 4 * 12)
                             .arg(i % 50)
                             .arg(i % 2 == 0 ? 1 : 0);
    }
    return basicas(std::move(e));
}

} // namespace

class TestImportar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        Soporte::preparar_aplicacion();
        ImportarAccess::fijar_orden(QStringLiteral(TALVIRENCA_IMPORTAR));
    }
    void init() {
        Mensajes::reiniciar();
        DialogosSistema::reiniciar();
    }
    void cleanup() { QVERIFY(Soporte::sin_sobresaltos()); }

    void importa_data() {
        QTest::addColumn<Tablas>("tablas");
        QTest::addColumn<QStringList>("elementos");
        QTest::addColumn<QStringList>("tipos");
        QTest::addColumn<QStringList>("marcas");
        QTest::addColumn<QStringList>("detalles");

        const QString memo_largo = QString(300, u'x') + QStringLiteral("ü");
        QTest::newRow("códigos Long, memos, acentos, fuera de Latin-1, nulos, fechas")
            << Tablas{con(Jet::tabla_elemento(Tipo::largo, Tipo::memo),
                          {{n(1), n(1), n(1), t("Modelo ñ"), t("SN-1"), f(2024, 3, 5, 14, 30), r(12),
                            t("Línea 1\nλ € ñ"), true},
                           {n(2), n(2), n(2), t("ÀÉÎ"), nulo, nulo, nulo, nulo, false},
                           {n(3), n(1), n(2), t("Antiguo"), t("X"), r(-1.25), r(6), memo_largo, false},
                           {n(4), n(2), n(1), t("日本語 model"), t("S"), f(1850, 7, 14, 23, 59), r(24.5), t(""),
                            true}}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Tipo")),
                          {{n(1), t("Portátil")}, {n(2), t("Impresora €")}}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Marca")), {{n(1), t("Ωmega")}, {n(2), t("Ñandú")}})}
            << QStringList{QStringLiteral("1|1|1|Modelo ñ|SN-1|2024-03-05|12.0|Línea 1\nλ € ñ|1"),
                           QStringLiteral("2|2|2|ÀÉÎ||NULL|0.0||0"),
                           QStringLiteral("3|1|2|Antiguo|X|1899-12-29|6.0|%1|0").arg(memo_largo),
                           QStringLiteral("4|2|1|日本語 model|S|1850-07-14|24.5||1")}
            << QStringList{QStringLiteral("1|Portátil"), QStringLiteral("2|Impresora €")}
            << QStringList{QStringLiteral("1|Ωmega"), QStringLiteral("2|Ñandú")} << QStringList{};

        QTest::newRow("códigos Single, descripciones Text")
            << Tablas{con(Jet::tabla_elemento(Tipo::simple, Tipo::texto),
                          {{r(10), r(2), r(7), t("M"), t("S"), f(2000, 1, 1), r(36), t("texto corto"), false},
                           {r(16777216), r(1), r(7), t("Grande"), t("G"), f(9999, 12, 31, 23, 0), r(0), nulo, true}}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Tipo"), Tipo::simple),
                          {{r(1), t("PC")}, {r(2), t("Monitor")}}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Marca")), {{n(7), t("HP")}})}
            << QStringList{QStringLiteral("10|2|7|M|S|2000-01-01|36.0|texto corto|0"),
                           QStringLiteral("16777216|1|7|Grande|G|9999-12-31|0.0||1")}
            << QStringList{QStringLiteral("1|PC"), QStringLiteral("2|Monitor")} << QStringList{QStringLiteral("7|HP")}
            << QStringList{};

        QTest::newRow("tipos y marcas que no existen")
            << basicas(con(Jet::tabla_elemento(Tipo::doble),
                           {{r(1), r(9), r(8), t("A"), t("1"), nulo, r(0), nulo, false},
                            {r(2), nulo, r(1), t("B"), t("2"), nulo, r(0), nulo, false},
                            {r(3), r(1), r(0.5), t("C"), t("3"), nulo, r(0), nulo, false}}))
            << QStringList{QStringLiteral("1|9|8|A|1|NULL|0.0||0"), QStringLiteral("2|0|1|B|2|NULL|0.0||0"),
                           QStringLiteral("3|1|0|C|3|NULL|0.0||0")}
            << QStringList{QStringLiteral("1|PC")} << QStringList{QStringLiteral("1|HP")}
            << QStringList{
                   QStringLiteral("Elemento, fila 1: no hay ningún tipo con el código 9."),
                   QStringLiteral("Elemento, fila 1: no hay ninguna marca con el código 8."),
                   QStringLiteral("Elemento, fila 2: no tiene tipo."),
                   QStringLiteral("Elemento, fila 3: no hay ninguna marca con el código 0.5; queda sin marca.")};

        QTest::newRow("códigos repetidos, no enteros y vacíos")
            << Tablas{con(Jet::tabla_elemento(Tipo::simple),
                          {{r(5), r(1), r(1), t("primero"), t(""), nulo, r(0), nulo, false},
                           {r(5), r(2.5), r(1), t("repetido"), t(""), nulo, r(0), nulo, false},
                           {r(2.5), r(1), r(1), t("no entero"), t(""), nulo, r(0), nulo, false},
                           {nulo, r(1), r(1), t("sin código"), t(""), nulo, r(0), nulo, false},
                           {r(3), r(1), r(1), t("tres"), t(""), nulo, r(0), nulo, false}}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Tipo"), Tipo::simple),
                          {{r(1), t("A")}, {r(1), t("B")}, {r(2.5), t("C")}}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Marca")), {{n(1), t("M")}})}
            << QStringList{QStringLiteral("3|1|1|tres||NULL|0.0||0"), QStringLiteral("5|1|1|primero||NULL|0.0||0"),
                           QStringLiteral("6|3|1|repetido||NULL|0.0||0"),
                           QStringLiteral("7|1|1|no entero||NULL|0.0||0"),
                           QStringLiteral("8|1|1|sin código||NULL|0.0||0")}
            << QStringList{QStringLiteral("1|A"), QStringLiteral("2|B"), QStringLiteral("3|C")}
            << QStringList{QStringLiteral("1|M")}
            << QStringList{
                   QStringLiteral("Tipo, fila 2: el código 1 se repite; recibe el código 2."),
                   QStringLiteral("Tipo, fila 3: el código 2.5 no es un número entero; recibe el código 3."),
                   QStringLiteral("Elemento, fila 2: el código 5 se repite; recibe el código 6."),
                   QStringLiteral("Elemento, fila 3: el código 2.5 no es un número entero; recibe el código 7."),
                   QStringLiteral("Elemento, fila 4: no tiene código; recibe el código 8.")};

        // Dates no calendar holds, as a damaged cell gives them: told as the numbers they are.
        QTest::newRow("fechas imposibles")
            << basicas(con(Jet::tabla_elemento(), {{n(1), n(1), n(1), t("A"), t("S1"), r(1e20), r(0), nulo, false},
                                                   {n(2), n(1), n(1), t("B"), t("S2"), r(5e6), r(0), nulo, false}}))
            << QStringList{QStringLiteral("1|1|1|A|S1|NULL|0.0||0"), QStringLiteral("2|1|1|B|S2|NULL|0.0||0")}
            << QStringList{QStringLiteral("1|PC")} << QStringList{QStringLiteral("1|HP")}
            << QStringList{
                   QStringLiteral("Elemento, fila 1: la fecha «100000000000000000000» no es válida; queda vacía."),
                   QStringLiteral("Elemento, fila 2: la fecha «5000000» no es válida; queda vacía.")};

        Jet::Tabla numeros = Jet::tabla_elemento();
        numeros.columnas[3].tipo = Tipo::largo;
        numeros.columnas[7].tipo = Tipo::doble;
        QTest::newRow("números en columnas de texto")
            << basicas(con(numeros, {{n(1), n(1), n(1), n(123), t("S1"), nulo, r(0), r(2.5), false},
                                     {n(1), n(1), n(1), n(77), t("S2"), nulo, r(0), r(0.25), true}}))
            << QStringList{QStringLiteral("1|1|1|123|S1|NULL|0.0|2.5|0"), QStringLiteral("2|1|1|77|S2|NULL|0.0|0.25|1")}
            << QStringList{QStringLiteral("1|PC")} << QStringList{QStringLiteral("1|HP")}
            << QStringList{QStringLiteral("Elemento, fila 2: el código 1 se repite; recibe el código 2.")};

        // Codes kept as text by the Access file: a text holding a whole number is that number, under the same rules
        // as a numeric code; the types' codes and the components' types as text too.
        Jet::Tabla textos = Jet::tabla_elemento(Tipo::texto);
        textos.columnas[2].tipo = Tipo::largo;
        const auto fila_texto = [](const char* codigo, const char* tipo, const char* modelo) {
            return Jet::Fila{t(codigo), t(tipo), n(1), t(modelo), t(""), nulo, r(0), nulo, false};
        };
        QTest::newRow("códigos de texto")
            << Tablas{con(textos, {fila_texto("10", "1", "diez"), fila_texto("12", "2", "doce"),
                                   fila_texto("11", " 2 ", "once"), fila_texto("abc", "1", "letras"),
                                   fila_texto("", "1", "vacío"), fila_texto("7.5", "1", "no entero"),
                                   fila_texto("12", "1", "repetido"), fila_texto(" 3 ", "x", "con blancos"),
                                   fila_texto("9007199254740993", "1", "enorme")}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Tipo"), Tipo::texto),
                          {{t("1"), t("PC")}, {t("2"), t("Monitor")}}),
                      con(Jet::tabla_tipo_marca(QStringLiteral("Marca")), {{n(1), t("HP")}})}
            << QStringList{QStringLiteral("3|0|1|con blancos||NULL|0.0||0"),
                           QStringLiteral("10|1|1|diez||NULL|0.0||0"),
                           QStringLiteral("11|2|1|once||NULL|0.0||0"),
                           QStringLiteral("12|2|1|doce||NULL|0.0||0"),
                           QStringLiteral("13|1|1|letras||NULL|0.0||0"),
                           QStringLiteral("14|1|1|vacío||NULL|0.0||0"),
                           QStringLiteral("15|1|1|no entero||NULL|0.0||0"),
                           QStringLiteral("16|1|1|repetido||NULL|0.0||0"),
                           QStringLiteral("17|1|1|enorme||NULL|0.0||0")}
            << QStringList{QStringLiteral("1|PC"), QStringLiteral("2|Monitor")} << QStringList{QStringLiteral("1|HP")}
            << QStringList{
                   QStringLiteral("Elemento, fila 4: el código «abc» no es un número; recibe el código 13."),
                   QStringLiteral("Elemento, fila 5: no tiene código; recibe el código 14."),
                   QStringLiteral("Elemento, fila 6: el código 7.5 no es un número entero; recibe el código 15."),
                   QStringLiteral("Elemento, fila 7: el código 12 se repite; recibe el código 16."),
                   QStringLiteral("Elemento, fila 8: no tiene tipo."),
                   QStringLiteral("Elemento, fila 9: el código 9007199254740993 es demasiado grande; recibe el "
                                  "código 17.")};

        // Single-precision warranties as they were typed, not as their nearest double.
        Jet::Tabla simples = Jet::tabla_elemento();
        simples.columnas[6].tipo = Tipo::simple;
        QTest::newRow("garantías Single")
            << basicas(con(simples, {{n(1), n(1), n(1), t("A"), t("S1"), nulo, r(1.1), nulo, false},
                                     {n(2), n(1), n(1), t("B"), t("S2"), nulo, r(0.1), nulo, false},
                                     {n(3), n(1), n(1), t("C"), t("S3"), nulo, r(2.7), nulo, false},
                                     {n(4), n(1), n(1), t("D"), t("S4"), nulo, r(36), nulo, false}}))
            << QStringList{QStringLiteral("1|1|1|A|S1|NULL|1.1||0"), QStringLiteral("2|1|1|B|S2|NULL|0.1||0"),
                           QStringLiteral("3|1|1|C|S3|NULL|2.7||0"), QStringLiteral("4|1|1|D|S4|NULL|36.0||0")}
            << QStringList{QStringLiteral("1|PC")} << QStringList{QStringLiteral("1|HP")} << QStringList{};

        // More rows than go together from the reading thread to the writing one, so batches are reused.
        QStringList muchos;
        const Tablas tablas = cientos(2500, &muchos);
        QTest::newRow("miles de filas") << tablas << muchos << QStringList{QStringLiteral("1|PC")}
                                        << QStringList{QStringLiteral("1|HP")} << QStringList{};
    }

    void importa() {
        QFETCH(Tablas, tablas);
        QFETCH(QStringList, elementos);
        QFETCH(QStringList, tipos);
        QFETCH(QStringList, marcas);
        QFETCH(QStringList, detalles);
        QTemporaryDir dir;
        const QString origen = guardar(dir, QStringLiteral("inventario.mdb"), Jet::escribir(tablas));
        const QString destino = dir.filePath(QStringLiteral("nuevo.db"));

        QList<qint64> progreso;
        Importacion::Avisos avisos;
        avisos.progreso = [&](qint64 hechas, qint64 total) { progreso << hechas << total; };
        const Importacion::Resumen resumen = Importacion::importar(origen, destino, avisos);

        QCOMPARE(Soporte::filas(destino, QStringLiteral("Elemento")), elementos);
        QCOMPARE(Soporte::filas(destino, QStringLiteral("Tipo")), tipos);
        QCOMPARE(Soporte::filas(destino, QStringLiteral("Marca")), marcas);
        QCOMPARE(resumen.detalles, detalles);
        QCOMPARE(resumen.componentes, elementos.size());
        QCOMPARE(resumen.tipos, tipos.size());
        QCOMPARE(resumen.marcas, marcas.size());
        const qint64 total = elementos.size() + tipos.size() + marcas.size();
        QCOMPARE(progreso.mid(progreso.size() - 2), (QList<qint64>{total, total}));
        QCOMPARE(archivos(dir), (QStringList{QStringLiteral("inventario.mdb"), QStringLiteral("nuevo.db")}));
    }

    void rechaza_data() {
        QTest::addColumn<QByteArray>("archivo");
        QTest::addColumn<QString>("mensaje");

        const QByteArray bueno = Jet::escribir(cientos(700, nullptr));
        QByteArray azar(40000, '\0');
        QRandomGenerator generador(42);
        for (char& c : azar)
            c = char(generador.generate());
        const QString danado = QStringLiteral("no se puede leer el archivo de Access %1: no es un archivo de Access o "
                                              "está dañado.");
        QTest::newRow("bytes al azar") << azar << danado;
        QTest::newRow("cortado por la mitad") << bueno.left(bueno.size() / 2) << danado;
        QTest::newRow("vacío") << QByteArray() << danado;

        Tablas sin_marca = basicas(Jet::tabla_elemento());
        sin_marca.pop_back();
        QTest::newRow("sin Marca") << Jet::escribir(sin_marca)
                                   << QStringLiteral("el archivo de Access %1 no tiene la tabla Marca.");
        Tablas solo_elemento = basicas(Jet::tabla_elemento());
        solo_elemento.resize(1);
        QTest::newRow("sin Tipo ni Marca")
            << Jet::escribir(solo_elemento)
            << QStringLiteral("el archivo de Access %1 no tiene las tablas Tipo y Marca.");
        Tablas corta = basicas(Jet::tabla_elemento());
        corta[1].columnas.pop_back();
        corta[1].filas = {{n(1)}};
        QTest::newRow("Tipo sin nombres")
            << Jet::escribir(corta)
            << QStringLiteral("la tabla Tipo del archivo de Access %1 tiene solo 1 de las 2 columnas que necesita.");

        // A data page of Elemento wiped out: libmdb skips it without an error and gives fewer rows.
        QByteArray sin_pagina = bueno;
        const int pagina = 9;
        const auto* p = reinterpret_cast<const uchar*>(sin_pagina.constData()) + pagina * 4096;
        QCOMPARE(int(p[0]), 1);
        QCOMPARE(qFromLittleEndian<qint32>(p + 4), 3);
        const int perdidas = qFromLittleEndian<quint16>(p + 12);
        sin_pagina.replace(pagina * 4096, 4096, QByteArray(4096, '\0'));
        QTest::newRow("página de datos borrada")
            << sin_pagina
            << QStringLiteral("la tabla Elemento del archivo de Access %1 está dañada: declara 700 filas y solo se han "
                              "podido leer %2.")
                   .arg(QStringLiteral("%1"), QString::number(700 - perdidas));
    }

    void rechaza() {
        QFETCH(QByteArray, archivo);
        QFETCH(QString, mensaje);
        QTemporaryDir dir;
        const QString origen = guardar(dir, QStringLiteral("viejo.mdb"), archivo);
        QString error;
        try {
            Importacion::importar(origen, dir.filePath(QStringLiteral("nuevo.db")));
        } catch (const ErrorDatos& e) {
            error = e.texto();
        }
        QCOMPARE(error, mensaje.arg(origen));
        QCOMPARE(archivos(dir), QStringList{QStringLiteral("viejo.mdb")});
        QCOMPARE(Soporte::contenido(origen), archivo);
    }

    // The command as an administrator runs it, in a Spanish locale, where libmdb's texts of numbers use commas.
    void orden_en_espanol() {
        QVERIFY2(Soporte::locale_espanola(), Soporte::falta_locale_espanola);
        QTemporaryDir dir;
        const QString origen = guardar(
            dir, QStringLiteral("oficina.mdb"),
            Jet::escribir(basicas(con(Jet::tabla_elemento(Tipo::simple),
                                      {{r(1), r(1), r(1), t("M"), t("S"), f(2001, 2, 3, 4, 5), r(1.5), t("ñ"), true},
                                       {r(1), r(1), r(1), t("N"), t("T"), nulo, r(0.15), nulo, false}}))));
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("LANG"), QStringLiteral("es_ES.UTF-8"));
        entorno.insert(QStringLiteral("LC_ALL"), QStringLiteral("es_ES.UTF-8"));
        const auto ejecutar = [&](const QString& destino, QByteArray& salida, QByteArray& errores) {
            QProcess proceso;
            proceso.setProcessEnvironment(entorno);
            proceso.start(QStringLiteral(TALVIRENCA_IMPORTAR), {origen, destino});
            proceso.waitForFinished();
            salida = proceso.readAllStandardOutput();
            errores = proceso.readAllStandardError();
            return proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -1;
        };
        QByteArray salida, errores;
        const QString destino = dir.filePath(QStringLiteral("oficina.db"));
        QCOMPARE(ejecutar(destino, salida, errores), 0);
        QCOMPARE(QString::fromUtf8(salida),
                 QStringLiteral("Se han importado 2 componentes, 1 tipo y 1 marca.\nCambios y avisos (1):\n"
                                "Elemento, fila 2: el código 1 se repite; recibe el código 2.\n"));
        QCOMPARE(errores, QByteArray());
        QCOMPARE(
            Soporte::filas(destino, QStringLiteral("Elemento")),
            (QStringList{QStringLiteral("1|1|1|M|S|2001-02-03|1.5|ñ|1"), QStringLiteral("2|1|1|N|T|NULL|0.15||0")}));

        // A second import to the same name is refused: the file made before stays as it was.
        const QByteArray antes = Soporte::contenido(destino);
        QCOMPARE(ejecutar(destino, salida, errores), 1);
        QCOMPARE(salida, QByteArray());
        QCOMPARE(QString::fromUtf8(errores),
                 QStringLiteral("ERROR: no se puede crear la base de datos %1: el archivo ya existe.\n").arg(destino));
        QCOMPARE(Soporte::contenido(destino), antes);
        QCOMPARE(archivos(dir), (QStringList{QStringLiteral("oficina.db"), QStringLiteral("oficina.mdb")}));

        // Without the name of the new file: how to use it, and nothing done.
        QProcess uso;
        uso.start(QStringLiteral(TALVIRENCA_IMPORTAR), {origen});
        uso.waitForFinished();
        QCOMPARE(uso.exitCode(), 2);
        QCOMPARE(uso.readAllStandardError(), QStringLiteral("Uso: talvirenca-importar ORIGEN.mdb DESTINO.db\nPruebe "
                                                            "«talvirenca-importar --help» para más información.\n")
                                                 .toUtf8());
        // -h is --help.
        uso.start(QStringLiteral(TALVIRENCA_IMPORTAR), {QStringLiteral("-h")});
        uso.waitForFinished();
        QCOMPARE(uso.exitCode(), 0);
        QVERIFY(uso.readAllStandardOutput().startsWith("Uso: talvirenca-importar ORIGEN.mdb DESTINO.db\n"));
        QCOMPARE(archivos(dir), (QStringList{QStringLiteral("oficina.db"), QStringLiteral("oficina.mdb")}));
    }

    // From the menu: the Access file, the new file's name, the progress, the summary and the question.
    void ventana_importa_data() {
        QTest::addColumn<bool>("usar");
        QTest::newRow("la usa") << true;
        QTest::newRow("no la usa") << false;
    }
    void ventana_importa() {
        QFETCH(bool, usar);
        QTemporaryDir dir;
        const QString base =
            Soporte::crear_base(dir, QStringLiteral("inventario.db"),
                                {"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')",
                                 "INSERT INTO Elemento VALUES (9, 1, 1, 'E24', 'S9', NULL, 0, '', 0)"});
        const QString origen = guardar(
            dir, QStringLiteral("viejo.mdb"),
            Jet::escribir(basicas(con(Jet::tabla_elemento(),
                                      {{n(4), n(1), n(1), t("Latitude"), t("S4"), f(2020, 5, 6), r(24), nulo, true},
                                       {n(5), n(3), n(1), t("Vostro"), t("S5"), nulo, r(12), t("sala"), false}}))));
        const QString destino = dir.filePath(QStringLiteral("viejo.db"));
        auto principal = Soporte::abrir_principal(dir, base);
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        QAction* entrada = Soporte::accion(principal.get(), QStringLiteral("menuImportarAccess"));
        QCOMPARE(entrada->text(), QStringLiteral("&Importar de Access..."));

        DialogosSistema::proximo_archivo(origen);
        DialogosSistema::proximo_guardado(destino);
        Mensajes::responder(usar);
        entrada->trigger();

        QCOMPARE(Soporte::avisos(),
                 (QStringList{
                     QStringLiteral("Se han importado 2 componentes, 1 tipo y 1 marca en %1.\n\nCambios y avisos: 1; "
                                    "la lista está en los detalles.\n"
                                    "Elemento, fila 2: no hay ningún tipo con el código 3.")
                         .arg(destino),
                     QStringLiteral("Importar de Access|¿Desea usar ahora el inventario importado %1?").arg(destino)}));
        QCOMPARE(Soporte::filas(destino, QStringLiteral("Elemento")),
                 (QStringList{QStringLiteral("4|1|1|Latitude|S4|2020-05-06|24.0||1"),
                              QStringLiteral("5|3|1|Vostro|S5|NULL|12.0|sala|0")}));
        const QString en_uso = usar ? destino : base;
        QCOMPARE(Soporte::control<QLabel>(principal.get(), "Label2")->text(), en_uso);
        QCOMPARE(Soporte::contenido(dir.filePath(QStringLiteral("talvirenca.cfg"))), en_uso.toUtf8() + "\r\n");
        // The old inventory's list goes when the imported one is used, and stays otherwise.
        QCOMPARE(Soporte::lineas(*principal).size(), usar ? 0 : 1);
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        // The component whose type is in no row shows an empty cell.
        const QStringList esperadas = usar ? QStringList{QStringLiteral("4|PC|HP|Latitude|S4|06/05/2020|24||Si"),
                                                         QStringLiteral("5||HP|Vostro|S5||12|sala|No")}
                                           : QStringList{QStringLiteral("9|Monitor|HP|E24|S9||0||No")};
        QCOMPARE(Soporte::lineas(*principal), esperadas);
    }

    // "Cancelar" while the command waits: on a file that never gives its bytes, as it checks it; or halfway through
    // the import, its temporary file begun. Nothing is created.
    void ventana_cancela_data() {
        QTest::addColumn<bool>("al_importar");
        QTest::newRow("al comprobar") << false;
        QTest::newRow("al importar") << true;
    }
    void ventana_cancela() {
        QFETCH(bool, al_importar);
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir);
        const QString origen = dir.filePath(QStringLiteral("lento.mdb"));
        if (al_importar) {
            guardar(dir, QStringLiteral("lento.mdb"), Jet::escribir(basicas(Jet::tabla_elemento())));
            // A command that finds the file good, then begins its temporary file and waits without end.
            const QString orden = guardar(dir, QStringLiteral("espera.sh"),
                                          "#!/bin/sh\nif [ \"$2\" = --comprobar ]; then exit 0; fi\n"
                                          ": > \"$(dirname \"$3\")/.$(basename \"$3\").1234abcd.importando\"\n"
                                          "exec sleep 600\n");
            QFile::setPermissions(orden, QFile::ReadOwner | QFile::ExeOwner);
            ImportarAccess::fijar_orden(orden);
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(origen).constData(), 0600), 0);
        }
        auto principal = Soporte::abrir_principal(dir, base);
        const QStringList antes = archivos(dir);

        DialogosSistema::proximo_archivo(origen);
        if (al_importar)
            DialogosSistema::proximo_guardado(dir.filePath(QStringLiteral("lento.db")));
        bool visto = false;
        Soporte::cuando_abra_modal([&](QWidget* ventana) {
            visto = ventana->objectName() == QStringLiteral("ImportarAccess");
            if (!al_importar)
                QCOMPARE(Soporte::control<QLabel>(ventana, "Label1")->text(),
                         QStringLiteral("Comprobando el archivo de Access lento.mdb..."));
            QTest::mouseClick(Soporte::control<QPushButton>(ventana, "Command1"), Qt::LeftButton);
        });
        Soporte::accion(principal.get(), QStringLiteral("menuImportarAccess"))->trigger();
        ImportarAccess::fijar_orden(QStringLiteral(TALVIRENCA_IMPORTAR));

        QVERIFY(visto);
        QCOMPARE(Soporte::avisos(), QStringList{});
        QCOMPARE(archivos(dir), antes);
        QCOMPARE(Soporte::control<QLabel>(principal.get(), "Label2")->text(), base);
    }

    // A name that exists is told at once, and the dialog asks for another, opened on it; only the new name is
    // imported, and the file that existed is left as it was.
    void ventana_pide_otro_nombre() {
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir);
        const QString origen =
            guardar(dir, QStringLiteral("viejo.mdb"),
                    Jet::escribir(basicas(con(Jet::tabla_elemento(),
                                              {{n(4), n(1), n(1), t("Latitude"), t("S4"), nulo, r(24), nulo, true}}))));
        const QString existe = guardar(dir, QStringLiteral("viejo.db"), "otro programa");
        const QString nuevo = dir.filePath(QStringLiteral("viejo-2.db"));
        // The command as built, behind a script that writes down every run of it.
        const QString registro = dir.filePath(QStringLiteral("ordenes.txt"));
        const QString orden = guardar(dir, QStringLiteral("registro.sh"),
                                      "#!/bin/sh\necho \"$@\" >> '" + registro.toUtf8() + "'\nexec '" +
                                          QByteArray(TALVIRENCA_IMPORTAR) + "' \"$@\"\n");
        QFile::setPermissions(orden, QFile::ReadOwner | QFile::ExeOwner);
        ImportarAccess::fijar_orden(orden);
        auto principal = Soporte::abrir_principal(dir, base);

        DialogosSistema::proximo_archivo(origen);
        DialogosSistema::proximo_guardado(existe);
        DialogosSistema::proximo_guardado(nuevo);
        Mensajes::responder(false);
        Soporte::accion(principal.get(), QStringLiteral("menuImportarAccess"))->trigger();
        ImportarAccess::fijar_orden(QStringLiteral(TALVIRENCA_IMPORTAR));

        QCOMPARE(Soporte::avisos(),
                 (QStringList{
                     QStringLiteral("ERROR: no se puede crear la base de datos %1: el archivo ya existe. "
                                    "Elija otro nombre para el inventario nuevo.")
                         .arg(existe),
                     QStringLiteral("Se han importado 1 componente, 1 tipo y 1 marca en %1.").arg(nuevo),
                     QStringLiteral("Importar de Access|¿Desea usar ahora el inventario importado %1?").arg(nuevo)}));
        QCOMPARE(DialogosSistema::ultima_propuesta(), existe);
        QCOMPARE(QString::fromUtf8(Soporte::contenido(registro)),
                 QStringLiteral("--progreso --comprobar %1\n--progreso %1 %2\n").arg(origen, nuevo));
        QCOMPARE(Soporte::contenido(existe), QByteArray("otro programa"));
        QCOMPARE(Soporte::filas(nuevo, QStringLiteral("Elemento")),
                 QStringList{QStringLiteral("4|1|1|Latitude|S4|NULL|24.0||1")});
    }

    // Values an Access file holds in forms of its own, as the user meets them: codes kept as text, and warranties
    // as single-precision numbers. The same from the window and from the command.
    void valores_de_access_data() {
        QTest::addColumn<Tablas>("tablas");
        QTest::addColumn<QStringList>("lineas");
        QTest::addColumn<QStringList>("detalles");
        const auto fila = [](Valor codigo, Valor garantia, const char* modelo) {
            return Jet::Fila{std::move(codigo), n(1), n(1), t(modelo), t("S"), nulo, std::move(garantia), nulo, false};
        };
        Jet::Tabla codigos_texto = Jet::tabla_elemento(Tipo::texto);
        codigos_texto.columnas[1].tipo = Tipo::largo;
        codigos_texto.columnas[2].tipo = Tipo::largo;
        QTest::newRow("códigos de texto")
            << basicas(
                   con(codigos_texto, {fila(t("10"), r(0), "A"), fila(t("12"), r(0), "B"), fila(t("11"), r(0), "C"),
                                       fila(t("abc"), r(0), "D"), fila(t(""), r(0), "E"), fila(t("7.5"), r(0), "F")}))
            << QStringList{QStringLiteral("10|PC|HP|A|S||0||No"), QStringLiteral("11|PC|HP|C|S||0||No"),
                           QStringLiteral("12|PC|HP|B|S||0||No"), QStringLiteral("13|PC|HP|D|S||0||No"),
                           QStringLiteral("14|PC|HP|E|S||0||No"), QStringLiteral("15|PC|HP|F|S||0||No")}
            << QStringList{
                   QStringLiteral("Elemento, fila 4: el código «abc» no es un número; recibe el código 13."),
                   QStringLiteral("Elemento, fila 5: no tiene código; recibe el código 14."),
                   QStringLiteral("Elemento, fila 6: el código 7.5 no es un número entero; recibe el código 15.")};
        Jet::Tabla simples = Jet::tabla_elemento();
        simples.columnas[6].tipo = Tipo::simple;
        QTest::newRow("garantías Single")
            << basicas(con(simples, {fila(n(1), r(1.1), "A"), fila(n(2), r(0.1), "B"), fila(n(3), r(2.7), "C")}))
            << QStringList{QStringLiteral("1|PC|HP|A|S||1.1||No"), QStringLiteral("2|PC|HP|B|S||0.1||No"),
                           QStringLiteral("3|PC|HP|C|S||2.7||No")}
            << QStringList{};
    }
    void valores_de_access() {
        QFETCH(Tablas, tablas);
        QFETCH(QStringList, lineas);
        QFETCH(QStringList, detalles);
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir);
        const QString origen = guardar(dir, QStringLiteral("oficina.mdb"), Jet::escribir(tablas));
        const qsizetype n = lineas.size();

        // The command, as an administrator runs it.
        const QString por_orden = dir.filePath(QStringLiteral("por_orden.db"));
        QProcess proceso;
        proceso.start(QStringLiteral(TALVIRENCA_IMPORTAR), {origen, por_orden});
        QVERIFY(proceso.waitForFinished());
        QCOMPARE(proceso.exitCode(), 0);
        const QString cuentas = QStringLiteral("Se han importado %1 componentes, 1 tipo y 1 marca").arg(n);
        QCOMPARE(QString::fromUtf8(proceso.readAllStandardOutput()),
                 cuentas + (detalles.isEmpty() ? QStringLiteral(".\nNada ha necesitado cambios.\n")
                                               : QStringLiteral(".\nCambios y avisos (%1):\n").arg(detalles.size()) +
                                                     detalles.join(u'\n') + u'\n'));

        // The window, whose list then shows the imported inventory.
        const QString por_ventana = dir.filePath(QStringLiteral("por_ventana.db"));
        auto principal = Soporte::abrir_principal(dir, base);
        DialogosSistema::proximo_archivo(origen);
        DialogosSistema::proximo_guardado(por_ventana);
        Mensajes::responder(true);
        Soporte::accion(principal.get(), QStringLiteral("menuImportarAccess"))->trigger();
        const QString resumen = cuentas + QStringLiteral(" en %1.").arg(por_ventana);
        QCOMPARE(Soporte::avisos().value(0),
                 detalles.isEmpty() ? resumen
                                    : resumen +
                                          QStringLiteral("\n\nCambios y avisos: %1; la lista está en los detalles.\n")
                                              .arg(detalles.size()) +
                                          detalles.join(u'\n'));
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        QCOMPARE(Soporte::lineas(*principal), lineas);
        QCOMPARE(Soporte::filas(por_orden, QStringLiteral("Elemento")),
                 Soporte::filas(por_ventana, QStringLiteral("Elemento")));
    }

    // The command's reader dies by a signal: libmdb itself on a damaged file, or a stand-in for it run as the
    // command's child, before reading, after making its hidden temporary file, or after telling its name. The command
    // says so, ends with 1 and leaves nothing it made; another import's file is not touched.
    void orden_lector_cae_data() {
        QTest::addColumn<QByteArray>("archivo");
        QTest::addColumn<QByteArray>("lector");
        QTest::addColumn<bool>("progreso");
        const QByteArray bueno = Jet::escribir(basicas(Jet::tabla_elemento()));
        const QByteArray temporal = "t=\"$(dirname \"$3\")/.$(basename \"$3\").1234abcd.importando\"\n: > \"$t\"\n";
        const QByteArray cae = "kill -SEGV $$\n";
        QTest::newRow("antes de leer") << bueno << cae << false;
        QTest::newRow("con su archivo") << bueno << temporal + cae << false;
        QTest::newRow("con su archivo, para la ventana") << bueno << temporal + cae << true;
        QTest::newRow("con su archivo nombrado y su diario")
            << bueno << temporal + ": > \"$t-journal\"\necho \"@temporal $t\"\n" + cae << true;
        // A byte of the definition of Elemento changed, found by mutating this file: libmdb 1.0 reads Tipo and
        // Marca, and crashes on Elemento once the new file has been begun.
        const Jet::Valor nada;
        const double dia = Jet::fecha_ole(QDate(2003, 2, 1));
        QByteArray danado = Jet::escribir(
            {con(Jet::tabla_elemento(Tipo::doble, Tipo::texto),
                 {{1.5, n(7), n(2), t("Ñandú"), nada, nada, 36.0, nada, false},
                  {n(4), 2.0, nada, t("K120"), t("S;7"), dia, 12.0, t("línea\r\notra"), nada},
                  {n(4), n(1), n(1), nada, nada, nada, nada, nada, true}}),
             con(Jet::tabla_tipo_marca(QStringLiteral("Tipo"), Tipo::doble),
                 {{2.0, t("Escáner")}, {2.0, t("Impresora")}, {nada, nada}}),
             con(Jet::tabla_tipo_marca(QStringLiteral("Marca")), {{n(1), t("HP")}, {n(2), t("Logitech")}})});
        QCOMPARE(int(danado[12343]), 2);
        danado[12343] = 66;
        QTest::newRow("libmdb cae en Elemento") << danado << QByteArray() << false;
        QTest::newRow("libmdb cae en Elemento, para la ventana") << danado << QByteArray() << true;
    }
    void orden_lector_cae() {
        QFETCH(QByteArray, archivo);
        QFETCH(QByteArray, lector);
        QFETCH(bool, progreso);
        QTemporaryDir dir;
        const QString origen = guardar(dir, QStringLiteral("viejo.mdb"), archivo);
        const QString destino = dir.filePath(QStringLiteral("nuevo.db"));
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        if (!lector.isEmpty()) {
            const QString sustituto = guardar(dir, QStringLiteral("cae.sh"), "#!/bin/sh\n" + lector);
            QFile::setPermissions(sustituto, QFile::ReadOwner | QFile::ExeOwner);
            entorno.insert(QStringLiteral("TALVIRENCA_IMPORTAR_HIJO"), sustituto);
        }
        const QString ajeno = guardar(dir, QStringLiteral(".nuevo.db.99999999.importando"), "otra importación");
        const QStringList antes = archivos(dir);

        QProcess proceso;
        proceso.setProcessEnvironment(entorno);
        QStringList argumentos{origen, destino};
        if (progreso)
            argumentos.prepend(QStringLiteral("--progreso"));
        proceso.start(QStringLiteral(TALVIRENCA_IMPORTAR), argumentos);
        QVERIFY(proceso.waitForFinished());
        QCOMPARE(proceso.exitStatus(), QProcess::NormalExit);
        QCOMPARE(proceso.exitCode(), 1);
        const QString mensaje = Importacion::lectura_interrumpida(origen);
        QCOMPARE(QString::fromUtf8(proceso.readAllStandardError()), mensaje + u'\n');
        const QStringList salida = QString::fromUtf8(proceso.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        if (progreso)
            QCOMPARE(salida.value(salida.size() - 1), Importacion::Protocolo::linea_error(mensaje));
        else
            QCOMPARE(salida, QStringList{});
        QCOMPARE(archivos(dir), antes);
        QCOMPARE(Soporte::contenido(ajeno), QByteArray("otra importación"));
    }

    // Stopped from outside (the window's "Cancelar", Ctrl+C) while its reader works: the command passes the stop on,
    // removes the reader's file and ends by the same signal.
    void orden_parada_no_deja_nada() {
        QTemporaryDir dir;
        const QString origen = guardar(dir, QStringLiteral("viejo.mdb"), Jet::escribir(basicas(Jet::tabla_elemento())));
        const QString destino = dir.filePath(QStringLiteral("nuevo.db"));
        const QString sustituto =
            guardar(dir, QStringLiteral("espera.sh"),
                    "#!/bin/sh\nt=\"$(dirname \"$3\")/.$(basename \"$3\").1234abcd.importando\"\n: > \"$t\"\n"
                    "echo \"@temporal $t\"\nexec sleep 600\n");
        QFile::setPermissions(sustituto, QFile::ReadOwner | QFile::ExeOwner);
        const QStringList antes = archivos(dir);
        QProcess proceso;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("TALVIRENCA_IMPORTAR_HIJO"), sustituto);
        proceso.setProcessEnvironment(entorno);
        proceso.start(QStringLiteral(TALVIRENCA_IMPORTAR), {QStringLiteral("--progreso"), origen, destino});
        // The reader has made its file once its name comes through.
        QByteArray salida;
        while (!salida.contains('\n') && proceso.waitForReadyRead(30000))
            salida += proceso.readAllStandardOutput();
        QVERIFY(salida.startsWith("@temporal "));
        QCOMPARE(archivos(dir).size(), antes.size() + 1);
        proceso.terminate();
        QVERIFY(proceso.waitForFinished(30000));
        QCOMPARE(proceso.exitStatus(), QProcess::CrashExit);
        QCOMPARE(archivos(dir), antes);
    }

    // Failures shown by the window: the file (told before the new file is named), the name chosen, and a reader that
    // crashes while it checks the file or while it imports it.
    void ventana_rechaza_data() {
        QTest::addColumn<QByteArray>("archivo");
        QTest::addColumn<bool>("destino_existe");
        QTest::addColumn<QString>("cae");
        QTest::addColumn<bool>("pide_destino");
        QTest::addColumn<QString>("mensaje");
        const QString interrumpida =
            QStringLiteral("ERROR: la lectura del archivo de Access %1 se ha interrumpido; el archivo puede estar "
                           "dañado. No se ha creado ningún archivo.");
        const QByteArray bueno = Jet::escribir(basicas(Jet::tabla_elemento()));
        QTest::newRow("no es de Access")
            << QByteArray(9000, 'x') << false << QString() << false
            << QStringLiteral("ERROR: no se puede leer el archivo de Access %1: no es un archivo de Access o está "
                              "dañado.");
        Tablas sin_marca = basicas(Jet::tabla_elemento());
        sin_marca.pop_back();
        QTest::newRow("le falta una tabla")
            << Jet::escribir(sin_marca) << false << QString() << false
            << QStringLiteral("ERROR: el archivo de Access %1 no tiene la tabla Marca.");
        QTest::newRow("el nuevo ya existe")
            << bueno << true << QString() << true
            << QStringLiteral("ERROR: no se puede crear la base de datos %2: el archivo ya existe. Elija otro nombre "
                              "para el inventario nuevo.");
        QTest::newRow("el lector cae al comprobar") << bueno << false << "comprobar" << false << interrumpida;
        QTest::newRow("el lector cae al importar") << bueno << false << "importar" << true << interrumpida;
    }
    void ventana_rechaza() {
        QFETCH(QByteArray, archivo);
        QFETCH(bool, destino_existe);
        QFETCH(QString, cae);
        QFETCH(bool, pide_destino);
        QFETCH(QString, mensaje);
        QTemporaryDir dir;
        const QString base = Soporte::crear_base(dir);
        const QString origen = guardar(dir, QStringLiteral("viejo.mdb"), archivo);
        const QString destino = dir.filePath(QStringLiteral("nuevo.db"));
        if (destino_existe)
            guardar(dir, QStringLiteral("nuevo.db"), "otro programa");
        if (!cae.isEmpty()) {
            // A reader that dies by a signal, as a crash inside libmdb would: while it checks the file, or after it
            // has begun its temporary file.
            const QByteArray comprobar = cae == QLatin1String("comprobar") ? "kill -SEGV $$\n" : "exit 0\n";
            const QString orden = guardar(dir, QStringLiteral("cae.sh"),
                                          "#!/bin/sh\nif [ \"$2\" = --comprobar ]; then " + comprobar +
                                              "fi\n: > \"$(dirname \"$3\")/.$(basename \"$3\").1234abcd.importando\"\n"
                                              "kill -SEGV $$\n");
            QFile::setPermissions(orden, QFile::ReadOwner | QFile::ExeOwner);
            ImportarAccess::fijar_orden(orden);
        }
        auto principal = Soporte::abrir_principal(dir, base);
        const QStringList antes = archivos(dir);

        DialogosSistema::proximo_archivo(origen);
        if (pide_destino)
            DialogosSistema::proximo_guardado(destino);
        // Told that the name exists, the user cancels the dialog that asks for another.
        if (destino_existe)
            DialogosSistema::proximo_guardado(std::nullopt);
        Soporte::accion(principal.get(), QStringLiteral("menuImportarAccess"))->trigger();
        ImportarAccess::fijar_orden(QStringLiteral(TALVIRENCA_IMPORTAR));

        QCOMPARE(Soporte::avisos(),
                 QStringList{mensaje.replace(QStringLiteral("%1"), origen).replace(QStringLiteral("%2"), destino)});
        QCOMPARE(archivos(dir), antes);
        QCOMPARE(Soporte::control<QLabel>(principal.get(), "Label2")->text(), base);
    }
};

QTEST_MAIN(TestImportar)
#include "test_importar.moc"
