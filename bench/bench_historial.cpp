// The history and the archive of retired components: components added through the card with their history against
// the same without it, one component's history of 10,000 entries opened, and retiring a listed component until the
// list no longer shows it.
#include "bench/comun.h"
#include "data/custodia_interno.h"
#include "historial/bajas_ventana.h"
#include "historial/historial_ventana.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"
#include "principal/principal.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <sqlite3.h>

namespace Bench {

namespace {

// Nothing is printed here; the history window only needs a printer to offer.
class SinImpresora : public ImpresoraLineas {
public:
    void empezar() override {}
    void linea(const QString&) override {}
    void terminar() override {}
    void cancelar() override {}
    int pagina() const override { return 1; }
};

// Runs `en_modal` on the first window that opens modally while `abrir` runs; gives the ms from its start to the end
// of `abrir`, the list repainted.
double desde_modal(QTreeView* lista, const std::function<void()>& abrir, const std::function<void(QWidget*)>& en_modal) {
    QElapsedTimer reloj;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            std::fprintf(stderr, "history: no window opened\n");
            std::exit(1);
        }
        reloj.start();
        en_modal(w);
    });
    abrir();
    lista->viewport()->repaint();
    return reloj.nsecsElapsed() / 1e6;
}

void elegir_primero(QWidget* ficha, const char* nombre) {
    auto* picker = ficha->findChild<QComboBox*>(QString::fromLatin1(nombre));
    picker->setCurrentIndex(0);
    Q_EMIT picker->activated(0);
}

// One component added through the card; the ms from Aceptar until the main window is ready again.
double anadir(Principal& principal, QTreeView* lista, int i) {
    return desde_modal(
        lista, [&] { principal.Anadir(); },
        [i](QWidget* ficha) {
            elegir_primero(ficha, "DBCombo1");
            elegir_primero(ficha, "DBCombo2");
            ficha->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("Modelo"));
            ficha->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(QStringLiteral("HIST-%1").arg(i));
            ficha->findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(QStringLiteral("01/02/2020"));
            ficha->findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(QStringLiteral("12"));
            ficha->findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("No"));
            ficha->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        });
}

// 10,000 entries of one component, each a change of two columns, written straight into the history.
void historia_larga(const QString& ruta, qint64 codigo, int entradas) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* h = nullptr;
    sqlite3_stmt* c = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Historial (Momento, Usuario, Tabla, Registro, Cambio) VALUES "
                       "('2026-01-01T10:00:00.000Z', 'banco', 'Elemento', ?, 'modificacion')",
                       -1, &h, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO HistorialColumna VALUES (?, ?, ?, ?)", -1, &c, nullptr);
    for (int i = 0; i < entradas; ++i) {
        sqlite3_bind_int64(h, 1, codigo);
        sqlite3_step(h);
        sqlite3_reset(h);
        const qint64 entrada = sqlite3_last_insert_rowid(db);
        for (int columna : {3, 6}) {
            const QByteArray antes = QByteArray::number(i), despues = QByteArray::number(i + 1);
            sqlite3_bind_int64(c, 1, entrada);
            sqlite3_bind_int(c, 2, columna);
            sqlite3_bind_text(c, 3, antes.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(c, 4, despues.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(c);
            sqlite3_reset(c);
        }
    }
    sqlite3_finalize(h);
    sqlite3_finalize(c);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

} // namespace

void medir_historial(const QTemporaryDir&, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        if (n < 100000)
            continue;
        QTemporaryDir dir;
        const QString ruta = crear_inventario(dir, n);
        const int veces = n >= 1000000 ? 3 : 5;
        const double suelo = mediana(veces, [&] { suelo_recorrido(ruta); });
        auto principal = abrir_principal(dir, ruta);
        principal->findChild<QComboBox*>(QStringLiteral("DBCombo1"))->setEditText(QStringLiteral("Todos"));
        principal->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));

        if (n == 100000) {
            // 1,000 components with their history and 1,000 without, in alternating blocks of 100.
            double con = 0, sin = 0;
            int i = 0;
            for (int bloque = 0; bloque < 20; ++bloque) {
                const bool historial = bloque % 2 == 0;
                Custodia::Archivo::con_historial(historial);
                for (int k = 0; k < 100; ++k)
                    (historial ? con : sin) += anadir(*principal, lista, i++);
            }
            Custodia::Archivo::con_historial(true);
            std::printf("history_write_overhead n=%d ms=%.1f floor_ms=%.1f ratio=%.2f\n", n, con, sin, con / sin);
            // What the history of those additions takes in the file (each entry with its nine columns).
            {
                sqlite3* db = nullptr;
                sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
                sqlite3_stmt* st = nullptr;
                sqlite3_prepare_v2(db,
                                   "SELECT (SELECT count(*) FROM Historial), (SELECT sum(pgsize) FROM dbstat WHERE name "
                                   "IN ('Historial', 'Historial_registro', 'HistorialColumna', "
                                   "'sqlite_autoindex_HistorialColumna_1'))",
                                   -1, &st, nullptr);
                if (st && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int64(st, 0) > 0)
                    std::printf("history_size entries=%lld kb_per_1000_added=%.0f\n",
                                static_cast<long long>(sqlite3_column_int64(st, 0)),
                                sqlite3_column_double(st, 1) / 1024.0 / (sqlite3_column_double(st, 0) / 1000.0));
                sqlite3_finalize(st);
                sqlite3_close(db);
            }

            const qint64 codigo = 1 + n / 2;
            constexpr int entradas = 10000;
            historia_larga(ruta, codigo, entradas);
            SinImpresora impresora;
            std::size_t filas = 0;
            const double abrir_ms = mediana(veces, [&] {
                VentanaHistorial ventana(impresora, codigo, principal.get());
                ventana.show();
                ventana.ListView1->viewport()->repaint();
                filas += std::size_t(ventana.filas_exportar());
            });
            if (filas < std::size_t(veces) * entradas)
                std::fprintf(stderr, "history: %zu entries shown\n", filas);
            std::printf("history_component n=%d entries=%d ms=%.1f\n", n, entradas, abrir_ms);
        }

        // A listed component retired, from Aceptar until the list no longer shows it.
        std::vector<double> tiempos;
        for (int vez = 0; vez < veces; ++vez) {
            const int antes = lista->model()->rowCount();
            lista->selectionModel()->setCurrentIndex(lista->model()->index(antes / 3 + vez, 0),
                                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            tiempos.push_back(desde_modal(
                lista, [&] { principal->dar_de_baja(); },
                [](QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("Command1"))->click(); }));
            if (lista->model()->rowCount() != antes - 1)
                std::fprintf(stderr, "retire: %d lines, then %d\n", antes, lista->model()->rowCount());
        }
        std::sort(tiempos.begin(), tiempos.end());
        for (const Mensajes::Mostrado& m : Mensajes::mostrados())
            std::fprintf(stderr, "history: message %s\n", qPrintable(m.texto));
        linea("retire", n, tiempos[tiempos.size() / 2], "floor_ms", suelo);
        principal.reset();
        QFile::remove(ruta);
    }
}

} // namespace Bench
