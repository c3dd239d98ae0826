// A whole session on a large inventory, as a user makes it with real windows: the card opened to add and
// cancelled, a component added and deleted, the list printed, each next to the floor of a full walk of Elemento
// measured in the same run. Each size runs in a process of its own, so its peak memory is the session's alone.
#include "bench/comun.h"
#include "data/valores.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace Bench {

namespace {

double mediana_de(std::vector<double> tiempos) {
    std::sort(tiempos.begin(), tiempos.end());
    return tiempos.empty() ? 0 : tiempos[tiempos.size() / 2];
}

// Opens the card in add mode; `en_ficha` runs once it shows and returns after pressing one of its buttons.
// Returns the ms until the card showed and the ms from the press until the main window was ready again.
std::pair<double, double> con_ficha(Principal& principal, const std::function<void(QWidget*)>& en_ficha) {
    auto* lista = principal.findChild<QTreeView*>(QStringLiteral("ListView1"));
    QElapsedTimer reloj;
    QElapsedTimer tras_pulsar;
    double abierta = 0;
    reloj.start();
    QTimer::singleShot(0, [&] {
        abierta = reloj.nsecsElapsed() / 1e6;
        QWidget* ficha = QApplication::activeModalWidget();
        if (!ficha) {
            std::fprintf(stderr, "the card did not open\n");
            std::exit(1);
        }
        tras_pulsar.start();
        en_ficha(ficha);
    });
    principal.Anadir();
    lista->viewport()->repaint();
    return {abierta, tras_pulsar.nsecsElapsed() / 1e6};
}

void pulsar(QWidget* ventana, const char* boton) {
    ventana->findChild<QPushButton*>(QString::fromLatin1(boton))->click();
}

void elegir_primero(QWidget* ficha, const char* nombre) {
    auto* picker = ficha->findChild<QComboBox*>(QString::fromLatin1(nombre));
    picker->setCurrentIndex(0);
    Q_EMIT picker->activated(0);
}

// Another program's write: one brand renamed.
void escribir_fuera(const QString& ruta, int vuelta) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const QByteArray sql =
        QStringLiteral("UPDATE Marca SET Nombre = 'Marca 2 r%1' WHERE Codigo = 2").arg(vuelta).toUtf8();
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The floor of printing: the same lines, already cut to the page's width, painted straight on a QPdfWriter laid
// out as the printer is. Returns the ms per page.
double suelo_impresion(const QStringList& lineas, QPrinter& impresora, const QString& archivo, int& paginas) {
    QElapsedTimer reloj;
    reloj.start();
    QPdfWriter pdf(archivo);
    pdf.setResolution(impresora.resolution());
    pdf.setPageLayout(impresora.pageLayout());
    QPainter pintor(&pdf);
    QFont letra(QStringLiteral("DejaVu Sans Mono"));
    letra.setStyleHint(QFont::Monospace);
    letra.setPointSize(9);
    pintor.setFont(letra);
    const QFontMetrics medidas(letra, &pdf);
    const int alto = pdf.pageLayout().paintRectPixels(pdf.resolution()).height();
    const int ancho = pdf.pageLayout().paintRectPixels(pdf.resolution()).width();
    const int por_linea = std::max(1, ancho / std::max(1, medidas.horizontalAdvance(QLatin1Char('M'))));
    int y = 0;
    paginas = 1;
    for (const QString& linea : lineas) {
        for (qsizetype inicio = 0; inicio < std::max<qsizetype>(1, linea.size()); inicio += por_linea) {
            if (y + medidas.lineSpacing() > alto) {
                pdf.newPage();
                ++paginas;
                y = 0;
            }
            pintor.drawText(0, y + medidas.ascent(), linea.mid(inicio, por_linea));
            y += medidas.lineSpacing();
        }
    }
    pintor.end();
    return reloj.nsecsElapsed() / 1e6 / paginas;
}

} // namespace

void sesion_ficha(Principal& principal_ref, int n, int veces, double suelo, const char* sufijo) {
    Principal* principal = &principal_ref;
    auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));
    std::vector<double> abrir, cancelar, anadir, borrar;
    for (int i = 0; i < veces; ++i) {
        const auto [abierta, cancelada] = con_ficha(*principal, [](QWidget* ficha) { pulsar(ficha, "Command2"); });
        abrir.push_back(abierta);
        cancelar.push_back(cancelada);

        const int filas = lista->model()->rowCount();
        const auto [otra, anadida] = con_ficha(*principal, [i](QWidget* ficha) {
            elegir_primero(ficha, "DBCombo1");
            elegir_primero(ficha, "DBCombo2");
            ficha->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("Modelo de prueba"));
            ficha->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(QStringLiteral("BANCO-%1").arg(i));
            ficha->findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(Valores::texto_fecha(QDate(2020, 2, 1)));
            ficha->findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(QStringLiteral("12"));
            ficha->findChild<QLineEdit*>(QStringLiteral("Text8"))->setText(QStringLiteral("Añadido por el banco"));
            ficha->findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("No"));
            pulsar(ficha, "Command1");
        });
        (void)otra;
        anadir.push_back(anadida);
        if (lista->model()->rowCount() != filas + 1)
            std::fprintf(stderr, "add_listed: %d lines, then %d\n", filas, lista->model()->rowCount());

        // The new component is the last line; it is deleted again.
        const QModelIndex ultima = lista->model()->index(lista->model()->rowCount() - 1, 0);
        lista->selectionModel()->setCurrentIndex(ultima,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Mensajes::responder(true);
        QElapsedTimer reloj;
        reloj.start();
        principal->borrar();
        lista->viewport()->repaint();
        borrar.push_back(reloj.nsecsElapsed() / 1e6);
        if (lista->model()->rowCount() != filas)
            std::fprintf(stderr, "delete_listed: %d lines, then %d\n", filas + 1, lista->model()->rowCount());
    }
    for (const Mensajes::Mostrado& m : Mensajes::mostrados())
        if (!m.sino)
            std::fprintf(stderr, "unexpected message during the session: %s\n", qPrintable(m.texto));
    if (Mensajes::respuestas_sin_usar() != 0)
        std::fprintf(stderr, "answers left unused during the session\n");
    const std::string fin(sufijo);
    linea(("card_open_add" + fin).c_str(), n, mediana_de(abrir), "floor_ms", suelo);
    linea(("card_cancel" + fin).c_str(), n, mediana_de(cancelar), "floor_ms", suelo);
    linea(("add_listed" + fin).c_str(), n, mediana_de(anadir), "floor_ms", suelo);
    linea(("delete_listed" + fin).c_str(), n, mediana_de(borrar), "floor_ms", suelo);
}

int sesion_rendimiento(int n) {
    QTemporaryDir dir;
    const QString ruta = crear_inventario(dir, n);
    const int veces = n >= 1000000 ? 3 : 5;
    const double suelo = mediana(veces, [&] { suelo_recorrido(ruta); });

    auto principal = abrir_principal(dir, ruta);
    auto* selector = principal->findChild<QComboBox*>(QStringLiteral("DBCombo1"));
    auto* buscar = principal->findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));
    selector->setEditText(QStringLiteral("Todos"));
    int vuelta = 0;
    const double primera = mediana(
        veces,
        [&] {
            buscar->click();
            lista->viewport()->repaint();
        },
        [&] { escribir_fuera(ruta, ++vuelta); });
    linea("first_todos_changed_file", n, primera, "floor_ms", suelo);

    sesion_ficha(*principal, n, veces, suelo, "");

    // Printing one type's list: a fiftieth of the inventory.
    selector->setEditText(QStringLiteral("Tipo de componente 7"));
    buscar->click();
    QStringList lineas;
    for (int fila = 0; fila < lista->model()->rowCount(); ++fila) {
        QString texto = lista->model()->index(fila, 0).data().toString();
        for (int c = 1; c < 9; ++c)
            texto += QStringLiteral("      ") + lista->model()->index(fila, c).data().toString();
        lineas << texto;
    }
    QPrinter impresora;
    impresora.setOutputFormat(QPrinter::PdfFormat);
    impresora.setOutputFileName(dir.filePath(QStringLiteral("lista.pdf")));
    auto* papel = new ImpresoraPapel(impresora);
    principal->fijar_impresora_lineas(std::unique_ptr<ImpresoraLineas>(papel));
    int paginas = 0;
    const double suelo_pagina =
        mediana(veces, [&] { suelo_impresion(lineas, impresora, dir.filePath(QStringLiteral("suelo.pdf")), paginas); });
    const double impresion = mediana(veces, [&] { principal->imprimir(); });
    linea("print_page", n, impresion / std::max(1, paginas), "floor_ms", suelo_pagina / std::max(1, paginas));
    if (!Mensajes::mostrados().isEmpty())
        std::fprintf(stderr, "unexpected messages while printing\n");
    principal.reset();
    std::printf("session_peak_rss_mb n=%d mb=%.0f goal_mb=400\n", n, pico_mb());
    std::fflush(stdout);
    return 0;
}

void medir_rendimiento(const QTemporaryDir&, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        QProcess sesion;
        sesion.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("TALVIRENCA_BENCH_SESION"), QString::number(n));
        sesion.setProcessEnvironment(entorno);
        sesion.start(QCoreApplication::applicationFilePath(), {});
        sesion.waitForFinished(-1);
    }
}

} // namespace Bench
