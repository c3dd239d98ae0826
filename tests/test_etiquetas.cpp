// Labels: their symbols read back with a scanner's decoder, their places on the sheet, and the labels window.
#include "etiquetas/dibujo.h"
#include "etiquetas/formato.h"
#include "principal/principal.h"
#include "soporte/soporte.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

namespace {

QString ejecutar(const QString& programa, const QStringList& argumentos) {
    QProcess p;
    p.start(programa, argumentos);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The symbols `zbarimg` finds in a picture of one label drawn at 600 dpi, as "QR-Code:..." lines, sorted.
QStringList leer_simbolos(const QTemporaryDir& dir, const QSizeF& etiqueta, const DatosEtiqueta& d,
                          const QString& linea) {
    const double px_mm = 600 / 25.4;
    QImage imagen((etiqueta * px_mm).toSize(), QImage::Format_RGB32);
    imagen.setDotsPerMeterX(int(px_mm * 1000));
    imagen.setDotsPerMeterY(int(px_mm * 1000));
    imagen.fill(Qt::white);
    {
        QPainter pintor(&imagen);
        DibujoEtiquetas::pintar(pintor, QRectF(QPointF(0, 0), etiqueta * px_mm), px_mm, d, linea);
    }
    const QString png = dir.filePath(QStringLiteral("etiqueta.png"));
    imagen.save(png);
    QStringList leidos =
        ejecutar(QStringLiteral("zbarimg"), {QStringLiteral("-q"), png}).split(u'\n', Qt::SkipEmptyParts);
    leidos.sort();
    return leidos;
}

// Each word `pdftotext -bbox` finds, with the page it is on and its top left corner in millimetres.
struct Palabra {
    int pagina;
    QPointF sitio;
};
QMultiMap<QString, Palabra> palabras(const QString& pdf) {
    QMultiMap<QString, Palabra> resultado;
    const QString html = ejecutar(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression pagina(QStringLiteral("<page "));
    static const QRegularExpression palabra(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"[0-9.]+\">([^<]*)</word>"));
    int n = -1;
    for (const QString& trozo : html.split(pagina)) {
        for (const QRegularExpressionMatch& m : palabra.globalMatch(trozo))
            resultado.insert(m.captured(3),
                             {n, QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()) * 25.4 / 72});
        ++n;
    }
    return resultado;
}

QSizeF tamano_pagina_mm(const QString& pdf) {
    static const QRegularExpression tamano(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
    const QRegularExpressionMatch m = tamano.match(ejecutar(QStringLiteral("pdfinfo"), {pdf}));
    return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) * 25.4 / 72;
}

int paginas_pdf(const QString& pdf) {
    static const QRegularExpression paginas(QStringLiteral("Pages:\\s+([0-9]+)"));
    return paginas.match(ejecutar(QStringLiteral("pdfinfo"), {pdf})).captured(1).toInt();
}

DatosEtiqueta datos(const QString& codigo) {
    return {
        codigo,   QStringLiteral("Monitor"), QStringLiteral("Dell"), QStringLiteral("P2422H"), QStringLiteral("CN0X12"),
        QString()};
}

} // namespace

namespace {

// The main window on an inventory of one component.
std::unique_ptr<Principal> con_un_componente(const QTemporaryDir& dir) {
    return Soporte::abrir_principal(
        dir, Soporte::crear_base(dir, QStringLiteral("inventario.db"),
                                 {"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')",
                                  "INSERT INTO Elemento VALUES (3, 1, 1, 'P2422H', 'S3', '2000-03-05', 24, '', 1)"}));
}

} // namespace

class TestEtiquetas : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        Soporte::preparar_aplicacion();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ajustes_.path());
    }

    void simbolos_se_leen_data() {
        QTest::addColumn<QString>("formato");
        QTest::addColumn<QString>("codigo");
        QTest::addColumn<QString>("linea");
        QTest::addColumn<QStringList>("leidos");
        const auto ambos = [](const QString& c) {
            return QStringList{QStringLiteral("CODE-128:") + c, QStringLiteral("QR-Code:") + c};
        };
        QTest::newRow("3x8") << "a4_3x8"
                             << "12345"
                             << "" << ambos("12345");
        QTest::newRow("2x7 con línea") << "a4_2x7"
                                       << "7"
                                       << "Talleres Ruiz S.L." << ambos("7");
        QTest::newRow("4x10") << "a4_4x10"
                              << "123456"
                              << "ACME" << ambos("123456");
        QTest::newRow("rollo") << "rollo62"
                               << "100200300"
                               << "" << ambos("100200300");
        // Too long for bars that a scanner reads on a small label: the QR code alone, whole.
        QTest::newRow("4x10 código largo") << "a4_4x10"
                                           << "9223372036854775807"
                                           << "ACME" << QStringList{"QR-Code:9223372036854775807"};
    }
    void simbolos_se_leen() {
        QFETCH(QString, formato);
        QFETCH(QString, codigo);
        QFETCH(QString, linea);
        QFETCH(QStringList, leidos);
        QTemporaryDir dir;
        const QSizeF etiqueta = ::formato(formato).etiqueta;
        QCOMPARE(leer_simbolos(dir, etiqueta, datos(codigo), linea), leidos);
        QCOMPARE(DibujoEtiquetas::lleva_barras(etiqueta, codigo, !linea.isEmpty()), leidos.size() == 2);
    }

    // Every label of a sheet lies on the paper, at the layout's pitch, and its code is drawn inside it.
    void geometria_data() {
        QTest::addColumn<QString>("formato");
        QTest::addColumn<int>("inicio");
        QTest::addColumn<int>("cuantas");
        QTest::addColumn<int>("paginas");
        QTest::newRow("3x8 hoja entera") << "a4_3x8" << 0 << 24 << 1;
        QTest::newRow("3x8 desde la 20") << "a4_3x8" << 19 << 7 << 2;
        QTest::newRow("2x7 desde la 2") << "a4_2x7" << 1 << 14 << 2;
        QTest::newRow("4x10 hoja entera") << "a4_4x10" << 0 << 40 << 1;
        QTest::newRow("rollo") << "rollo62" << 0 << 3 << 3;
    }
    void geometria() {
        QFETCH(QString, formato);
        QFETCH(int, inicio);
        QFETCH(int, cuantas);
        QFETCH(int, paginas);
        const Formato& f = ::formato(formato);
        const QRectF papel(QPointF(0, 0), f.papel);
        for (int i = 0; i < f.por_pagina(); ++i) {
            const QRectF s = f.sitio(i);
            QVERIFY2(papel.contains(s), qPrintable(QString::number(i)));
            QCOMPARE(s.size(), f.etiqueta);
            if (i % f.columnas)
                QCOMPARE(s.left() - f.sitio(i - 1).left(), f.paso.width());
            if (i >= f.columnas)
                QCOMPARE(s.top() - f.sitio(i - f.columnas).top(), f.paso.height());
            for (int j = 0; j < i; ++j) {
                const QRectF comun = s.intersected(f.sitio(j));
                QVERIFY(comun.width() < 1e-6 || comun.height() < 1e-6);
            }
        }
        QCOMPARE(::paginas(f, inicio, cuantas), paginas);

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("etiquetas.pdf"));
        QPrinter impresora(QPrinter::HighResolution);
        impresora.setOutputFormat(QPrinter::PdfFormat);
        impresora.setOutputFileName(pdf);
        DibujoEtiquetas::preparar_impresora(impresora, f);
        std::vector<DatosEtiqueta> lista;
        for (int n = 0; n < cuantas; ++n)
            lista.push_back(datos(QString::number(5000 + n)));
        QVERIFY(DibujoEtiquetas::imprimir(impresora, f, inicio, QStringLiteral("ACME"), Tanda::de(lista)));
        QCOMPARE(paginas_pdf(pdf), paginas);
        const QSizeF tamano = tamano_pagina_mm(pdf);
        QVERIFY(std::abs(tamano.width() - f.papel.width()) < 0.5 && std::abs(tamano.height() - f.papel.height()) < 0.5);
        const QMultiMap<QString, Palabra> escritas = palabras(pdf);
        QCOMPARE(escritas.values(QStringLiteral("ACME")).size(), cuantas);
        for (int n = 0; n < cuantas; ++n) {
            const QList<Palabra> codigo = escritas.values(QString::number(5000 + n));
            QCOMPARE(codigo.size(), 1);
            const Colocacion c = colocar(f, inicio, n);
            QCOMPARE(codigo[0].pagina, c.pagina);
            QVERIFY2(f.sitio(c.posicion).contains(codigo[0].sitio), qPrintable(QString::number(n)));
        }
    }

    // A PDF already there is replaced only by a complete print.
    void pdf_completo_o_nada_data() {
        QTest::addColumn<int>("parar_en");
        QTest::addColumn<bool>("carpeta_existe");
        QTest::addColumn<bool>("completa");
        QTest::addColumn<int>("pintadas");
        QTest::newRow("completa") << 0 << true << true << 30;
        QTest::newRow("parada tras la segunda") << 2 << true << false << 2;
        QTest::newRow("carpeta inexistente") << 0 << false << false << 0;
    }
    void pdf_completo_o_nada() {
        QFETCH(int, parar_en);
        QFETCH(bool, carpeta_existe);
        QFETCH(bool, completa);
        QFETCH(int, pintadas);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(carpeta_existe ? QStringLiteral("e.pdf") : QStringLiteral("no/e.pdf"));
        if (carpeta_existe) {
            QFile anterior(pdf);
            QVERIFY(anterior.open(QIODevice::WriteOnly));
            anterior.write("anterior");
        }
        QPrinter impresora(QPrinter::HighResolution);
        impresora.setOutputFormat(QPrinter::PdfFormat);
        impresora.setOutputFileName(pdf);
        const Formato& f = ::formato(QStringLiteral("a4_3x8"));
        DibujoEtiquetas::preparar_impresora(impresora, f);
        const std::vector<DatosEtiqueta> lista(30, datos(QStringLiteral("12")));
        int pedidas = 0;
        const bool hecha = DibujoEtiquetas::imprimir(impresora, f, 0, QString(), Tanda::de(lista), [&](int hechas) {
            pedidas = hechas;
            return hechas != parar_en;
        });
        QCOMPARE(hecha, completa);
        QCOMPARE(pedidas, pintadas);
        QCOMPARE(impresora.outputFileName(), pdf);
        QVERIFY(!QFile::exists(pdf + QStringLiteral(".parcial.pdf")));
        if (completa)
            QCOMPARE(paginas_pdf(pdf), 2);
        else if (carpeta_existe)
            QCOMPARE(Soporte::contenido(pdf), QByteArray("anterior"));
        else
            QVERIFY(!QFile::exists(pdf));
    }

    // Labels stopped halfway in a preview: the preview keeps and shows the pages painted so far.
    void vista_previa_parada() {
        QTemporaryDir dir;
        QPrinter impresora(QPrinter::HighResolution);
        impresora.setOutputFormat(QPrinter::PdfFormat);
        impresora.setOutputFileName(dir.filePath(QStringLiteral("e.pdf")));
        const Formato& f = ::formato(QStringLiteral("a4_3x8"));
        DibujoEtiquetas::preparar_impresora(impresora, f);
        const std::vector<DatosEtiqueta> lista(60, datos(QStringLiteral("12")));
        QPrintPreviewWidget previa(&impresora);
        bool hecha = true;
        connect(&previa, &QPrintPreviewWidget::paintRequested, this, [&](QPrinter* destino) {
            hecha = DibujoEtiquetas::imprimir(*destino, f, 0, QString(), Tanda::de(lista),
                                              [](int hechas) { return hechas < 30; });
        });
        previa.resize(400, 600);
        previa.show();
        previa.updatePreview();
        QVERIFY(!previa.grab().isNull());
        QVERIFY(!hecha);
        QCOMPARE(previa.pageCount(), 2);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("e.pdf"))));
    }

    // The window prints what the user chose, through the list's printer, and remembers the layout and the line.
    void ventana_data() {
        QTest::addColumn<QString>("formato");
        QTest::addColumn<int>("inicio");
        QTest::addColumn<bool>("solo_seleccionado");
        QTest::addColumn<QString>("linea");
        QTest::addColumn<QStringList>("codigos");
        QTest::addColumn<int>("paginas");
        QTest::newRow("todos, 3x8") << "a4_3x8" << 1 << false << "" << QStringList{"3", "7", "10"} << 1;
        QTest::newRow("seleccionado, línea") << "a4_2x7" << 1 << true << "Talleres Ruiz" << QStringList{"7"} << 1;
        QTest::newRow("hoja empezada") << "a4_4x10" << 39 << false << "ACME" << QStringList{"3", "7", "10"} << 2;
        QTest::newRow("rollo") << "rollo62" << 1 << false << "" << QStringList{"3", "7", "10"} << 3;
    }
    void ventana() {
        QFETCH(QString, formato);
        QFETCH(int, inicio);
        QFETCH(bool, solo_seleccionado);
        QFETCH(QString, linea);
        QFETCH(QStringList, codigos);
        QFETCH(int, paginas);
        QTemporaryDir dir;
        const QString ruta =
            Soporte::crear_base(dir, QStringLiteral("inventario.db"),
                                {"INSERT INTO Tipo VALUES (1, 'Monitor'), (2, 'Impresora')",
                                 "INSERT INTO Marca VALUES (1, 'HP'), (5, 'Dell')",
                                 "INSERT INTO Elemento VALUES (3, 1, 5, 'P2422H', 'S3', '2000-03-05', 24, '', 1)",
                                 "INSERT INTO Elemento VALUES (7, 2, 1, 'LJ4', 'S7', '1999-02-01', 12, '', 0)",
                                 "INSERT INTO Elemento VALUES (10, 2, 1, 'LJ5', 'S10', '1999-02-01', 12, '', 0)"});
        auto principal = Soporte::abrir_principal(dir, ruta);
        const QString pdf = dir.filePath(QStringLiteral("etiquetas.pdf"));
        DialogosSistema::proxima_impresora([&](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
        });
        Soporte::accion(principal.get(), QStringLiteral("menuConfigPrint"))->trigger();
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        Soporte::seleccionar(*principal, 1);
        Soporte::accion(principal.get(), QStringLiteral("menuImprimir"))->trigger();
        const QSizeF papel_lista = tamano_pagina_mm(pdf);

        int paginas_vistas = -1;
        bool otro_dialogo = false;
        Soporte::cuando_abra_modal([&](QWidget* w) {
            QCOMPARE(w->objectName(), QStringLiteral("Etiquetas"));
            auto* cbo = Soporte::control<QComboBox>(w, "cboFormato");
            cbo->setCurrentIndex(cbo->findData(formato));
            auto* spn = Soporte::control<QSpinBox>(w, "spnInicio");
            QCOMPARE(spn->isEnabled(), formato != "rollo62");
            if (spn->isEnabled())
                Soporte::reemplazar(spn, QString::number(inicio));
            Soporte::reemplazar(Soporte::control(w, "txtLinea"), linea);
            if (solo_seleccionado)
                QTest::mouseClick(Soporte::control<QRadioButton>(w, "optSeleccionado"), Qt::LeftButton);
            Soporte::cuando_abra_modal([&](QWidget* vista) {
                auto* previa = vista->findChild<QPrintPreviewWidget*>();
                QVERIFY(previa);
                paginas_vistas = previa->pageCount();
                // The user prints from the preview, on the printer already chosen: no other dialog opens.
                QTimer::singleShot(0, [&otro_dialogo] {
                    if (QWidget* m = QApplication::activeModalWidget(); m && m->inherits("QAbstractPrintDialog")) {
                        otro_dialogo = true;
                        m->close();
                    }
                });
                QTest::mouseClick(Soporte::control<QPushButton>(vista, "cmdImprimirVista"), Qt::LeftButton);
                QVERIFY(!vista->isVisible());
            });
            QTest::mouseClick(Soporte::control<QPushButton>(w, "cmdImprimir"), Qt::LeftButton);
            QVERIFY(!w->isVisible());
        });
        Soporte::accion(principal.get(), QStringLiteral("menuEtiquetas"))->trigger();
        QCOMPARE(paginas_vistas, paginas);
        QCOMPARE(paginas_pdf(pdf), paginas);
        QVERIFY(!QFile::exists(pdf + QStringLiteral(".parcial.pdf")));
        const QMultiMap<QString, Palabra> escritas = palabras(pdf);
        for (const char* c : {"3", "7", "10"})
            QCOMPARE(escritas.contains(c), codigos.contains(c));
        if (!linea.isEmpty())
            QCOMPARE(escritas.values(linea.section(u' ', 0, 0)).size(), codigos.size());
        const Formato& f = ::formato(formato);
        const QSizeF tamano = tamano_pagina_mm(pdf);
        QVERIFY(std::abs(tamano.width() - f.papel.width()) < 0.5 && std::abs(tamano.height() - f.papel.height()) < 0.5);
        const Colocacion primera = colocar(f, f.rollo ? 0 : inicio - 1, 0);
        QVERIFY(f.sitio(primera.posicion).contains(escritas.values(codigos.first()).first().sitio));
        QVERIFY(!otro_dialogo);
        // Told where the labels went and how many, as an export is.
        QCOMPARE(Soporte::avisos(),
                 QStringList{codigos.size() == 1
                                 ? QStringLiteral("Se ha impreso 1 etiqueta en %1.").arg(pdf)
                                 : QStringLiteral("Se han impreso %1 etiquetas en %2.").arg(codigos.size()).arg(pdf)});

        // The next time the window offers the same layout and line, and starts on the first label.
        Soporte::cuando_abra_modal([&](QWidget* w) {
            QCOMPARE(Soporte::control<QComboBox>(w, "cboFormato")->currentData().toString(), formato);
            QCOMPARE(Soporte::control<QLineEdit>(w, "txtLinea")->text(), linea);
            QCOMPARE(Soporte::control<QSpinBox>(w, "spnInicio")->value(), 1);
            // Each field speaks the caption beside it.
            QCOMPARE(Soporte::control(w, "cboFormato")->accessibleName(), "Formato:");
            QCOMPARE(Soporte::control(w, "spnInicio")->accessibleName(), "Empezar en la etiqueta:");
            QCOMPARE(Soporte::control(w, "txtLinea")->accessibleName(), "Línea propia:");
            // Tab goes down the window as it is laid out.
            QStringList orden;
            for (QWidget* c = Soporte::control(w, "optTodos"); orden.size() < 8; c = c->nextInFocusChain())
                if (c->parentWidget() == w && c->focusPolicy() & Qt::TabFocus)
                    orden << c->objectName();
            QCOMPARE(orden, QStringList({"optTodos", "optSeleccionado", "cboFormato", "spnInicio", "txtLinea",
                                         "chkTitular", "cmdImprimir", "cmdCancelar"}));
            QTest::mouseClick(Soporte::control<QPushButton>(w, "cmdCancelar"), Qt::LeftButton);
        });
        Soporte::accion(principal.get(), QStringLiteral("menuEtiquetas"))->trigger();
        // The list still prints on the paper it had.
        Soporte::accion(principal.get(), QStringLiteral("menuImprimir"))->trigger();
        QCOMPARE(tamano_pagina_mm(pdf), papel_lista);
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // A PDF that cannot be written: one message, no file.
    void pdf_imposible() {
        QTemporaryDir dir;
        auto principal = con_un_componente(dir);
        const QString pdf = dir.filePath(QStringLiteral("no/existe/etiquetas.pdf"));
        DialogosSistema::proxima_impresora([&](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
        });
        Soporte::accion(principal.get(), QStringLiteral("menuConfigPrint"))->trigger();
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        Soporte::cuando_abra_modal([&](QWidget* w) {
            // The preview's "Imprimir" prints, then closes the preview as accepted.
            Soporte::cuando_abra_modal([&](QWidget* vista) {
                QTest::mouseClick(Soporte::control<QPushButton>(vista, "cmdImprimirVista"), Qt::LeftButton);
            });
            QTest::mouseClick(Soporte::control<QPushButton>(w, "cmdImprimir"), Qt::LeftButton);
            // The window stays open, so the user can choose another printer or layout.
            QVERIFY(w->isVisible());
        });
        Soporte::accion(principal.get(), QStringLiteral("menuEtiquetas"))->trigger();
        QCOMPARE(Soporte::avisos(), QStringList{"ERROR: no se pueden imprimir las etiquetas en " + pdf + "."});
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(!QFile::exists(pdf + ".parcial.pdf"));
        QVERIFY(Soporte::sin_sobresaltos());
    }

    // No printer chosen yet: the message says where to choose one, and no preview opens.
    void sin_impresora() {
        QTemporaryDir dir;
        auto principal = con_un_componente(dir);
        Soporte::buscar(*principal, QStringLiteral("Todos"));
        bool vista = false;
        Soporte::cuando_abra_modal([&](QWidget* w) {
            // With no line selected, that choice is off, and its text still readable on the window's colour (a
            // contrast of 4.5 to 1, as for any text).
            auto* solo = Soporte::control<QRadioButton>(w, "optSeleccionado");
            QVERIFY(!solo->isEnabled());
            const auto luz = [](const QColor& c) {
                const auto lineal = [](double v) {
                    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
                };
                return 0.2126 * lineal(c.redF()) + 0.7152 * lineal(c.greenF()) + 0.0722 * lineal(c.blueF());
            };
            const QPalette& paleta = solo->palette();
            QVERIFY((luz(paleta.color(QPalette::Window)) + 0.05) /
                        (luz(paleta.color(QPalette::Disabled, QPalette::WindowText)) + 0.05) >=
                    4.5);
            // A preview that opened would be the modal window then.
            QTimer::singleShot(0, [&vista, w] {
                if (QWidget* m = QApplication::activeModalWidget(); m && m != w) {
                    vista = true;
                    m->close();
                }
            });
            QTest::mouseClick(Soporte::control<QPushButton>(w, "cmdImprimir"), Qt::LeftButton);
            QVERIFY(w->isVisible());
        });
        Soporte::accion(principal.get(), QStringLiteral("menuEtiquetas"))->trigger();
        QVERIFY(!vista);
        QCOMPARE(Soporte::avisos(), QStringList{"ERROR: no hay ninguna impresora elegida. Elija una impresora o un "
                                                "archivo PDF en Archivo, Configurar impresion."});
    }

    void lista_vacia() {
        QTemporaryDir dir;
        auto principal = Soporte::abrir_principal(dir, Soporte::crear_base(dir));
        Soporte::accion(principal.get(), QStringLiteral("menuEtiquetas"))->trigger();
        QCOMPARE(
            Soporte::avisos(),
            QStringList{"ERROR: la lista no muestra ningún componente. Pulse \"Buscar\" antes de imprimir etiquetas."});
    }

private:
    QTemporaryDir ajustes_;
};

QTEST_MAIN(TestEtiquetas)
#include "test_etiquetas.moc"
