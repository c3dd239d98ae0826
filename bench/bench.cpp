// Measures the data source and the main window on inventories of growing size, each next to its floor: the same
// rows read straight with SQLite's C API in the same run. Prints medians; ratios are what we compare.
#include "bench/comun.h"
#include "data/esquema.h"
#include "data/origen_datos.h"
#include "data/recorridos.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"
#include "principal/principal.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sqlite3.h>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace Bench {


void ejecutar(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", error);
        std::exit(1);
    }
}

// An inventory of `n` components with realistic texts, written in one transaction.
QString crear_inventario(const QTemporaryDir& dir, int n) {
    const QString ruta = dir.filePath(QStringLiteral("inventario_%1.db").arg(n));
    Esquema::crear_inventario(ruta);
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    ejecutar(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Tipo VALUES (?, ?)", -1, &st, nullptr);
    for (int i = 1; i <= tipos; ++i) {
        const QByteArray nombre = QStringLiteral("Tipo de componente %1").arg(i).toUtf8();
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, nombre.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO Marca VALUES (?, ?)", -1, &st, nullptr);
    for (int i = 1; i <= marcas; ++i) {
        const QByteArray nombre = QStringLiteral("Marca %1").arg(i).toUtf8();
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, nombre.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO Elemento VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", -1, &st, nullptr);
    for (int i = 1; i <= n; ++i) {
        const QByteArray modelo = QStringLiteral("Modelo %1-X").arg(i % 977).toUtf8();
        const QByteArray serie =
            QStringLiteral("SN%1").arg(quint64(i) * 2654435761u % 100000000, 8, 10, QLatin1Char('0')).toUtf8();
        const QByteArray fecha = QDate(2000, 1, 1).addDays(i % 9000).toString(Qt::ISODate).toUtf8();
        const QByteArray descripcion = i % 3 ? QStringLiteral("Puesto %1 de la oficina").arg(i % 211).toUtf8() : "";
        sqlite3_bind_int64(st, 1, i);
        sqlite3_bind_int(st, 2, 1 + i % tipos);
        sqlite3_bind_int(st, 3, 1 + i % marcas);
        sqlite3_bind_text(st, 4, modelo.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, serie.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 6, fecha.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 7, 12.0 * (1 + i % 3));
        sqlite3_bind_text(st, 8, descripcion.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 9, i % 5 == 0);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    ejecutar(db, "COMMIT");
    sqlite3_close(db);
    return ruta;
}

double mediana(int veces, const std::function<void()>& medida, const std::function<void()>& antes) {
    std::vector<double> tiempos;
    for (int i = 0; i < veces; ++i) {
        if (antes)
            antes();
        QElapsedTimer reloj;
        reloj.start();
        medida();
        tiempos.push_back(reloj.nsecsElapsed() / 1e6);
    }
    std::sort(tiempos.begin(), tiempos.end());
    return tiempos[tiempos.size() / 2];
}

volatile qint64 sumidero = 0;

namespace {


QDate dia_iso(const unsigned char* s) {
    return QDate((s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0'),
                 (s[5] - '0') * 10 + (s[6] - '0'), (s[8] - '0') * 10 + (s[9] - '0'));
}

} // namespace

// The floor of a full walk: every row read with the C API and turned into the values a reader gets.
void suelo_recorrido(const QString& ruta) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, Descripcion, Renting "
                       "FROM Elemento ORDER BY Codigo",
                       -1, &st, nullptr);
    qint64 suma = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QVariant v[9];
        v[0] = QVariant::fromValue<qlonglong>(sqlite3_column_int64(st, 0));
        v[1] = QVariant::fromValue<qlonglong>(sqlite3_column_int64(st, 1));
        v[2] = QVariant::fromValue<qlonglong>(sqlite3_column_int64(st, 2));
        for (int c : {3, 4, 7})
            v[c] = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                     sqlite3_column_bytes(st, c));
        v[5] = dia_iso(sqlite3_column_text(st, 5));
        v[6] = sqlite3_column_double(st, 6);
        v[8] = sqlite3_column_int(st, 8) != 0;
        for (const QVariant& x : v)
            suma += x.typeId();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    sumidero = sumidero + suma;
}

void refresco_y_recorrido(const QString& ruta) {
    OrigenDatos origen;
    origen.enlazar_base_datos(ruta);
    origen.enlazar_tabla(QStringLiteral("Elemento"));
    origen.refrescar();
    qint64 suma = 0;
    Recorridos::completo(origen, [&] {
        for (int c = 0; c < 9; ++c)
            suma += origen.leer(c).typeId();
    });
    sumidero = sumidero + suma;
}

// The floor of a list fill: the joined rows read with the C API and turned into the nine texts of a line.
void suelo_lista(const QString& ruta, int tipo) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT e.Codigo, t.Nombre, m.Nombre, e.Modelo, e.NumSerie, e.Fecha, e.Garantia, "
                       "e.Descripcion, e.Renting FROM Elemento e LEFT JOIN Tipo t ON t.Codigo = e.Tipo "
                       "LEFT JOIN Marca m ON m.Codigo = e.Marca WHERE ?1 = 0 OR e.Tipo = ?1 ORDER BY e.Codigo",
                       -1, &st, nullptr);
    sqlite3_bind_int(st, 1, tipo);
    qint64 suma = 0;
    const auto texto = [&](int c) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                 sqlite3_column_bytes(st, c));
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString linea[9] = {QString::number(sqlite3_column_int64(st, 0)),
                                  texto(1),
                                  texto(2),
                                  texto(3),
                                  texto(4),
                                  Valores::texto_fecha(dia_iso(sqlite3_column_text(st, 5))),
                                  Valores::texto_real(sqlite3_column_double(st, 6)),
                                  texto(7),
                                  sqlite3_column_int(st, 8) ? QStringLiteral("Si") : QStringLiteral("No")};
        for (const QString& t : linea)
            suma += t.size();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    sumidero = sumidero + suma;
}

// A small write by another program: one brand renamed.
void tocar_archivo(const QString& ruta, int vuelta) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    ejecutar(
        db,
        QStringLiteral("UPDATE Marca SET Nombre = 'Marca 1 v%1' WHERE Codigo = 1").arg(vuelta).toUtf8().constData());
    sqlite3_close(db);
}

std::unique_ptr<Principal> abrir_principal(const QTemporaryDir& dir, const QString& ruta) {
    QFile ubicacion(dir.filePath(QStringLiteral("talvirenca.cfg")));
    ubicacion.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ubicacion.write(ruta.toUtf8() + "\r\n");
    ubicacion.close();
    const QString antes = QDir::currentPath();
    QDir::setCurrent(dir.path());
    auto principal = std::make_unique<Principal>();
    principal->show();
    QDir::setCurrent(antes);
    return principal;
}

double pico_mb() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss / 1024.0;
}

void linea(const char* medida, int n, double ms, const char* nombre_suelo, double suelo) {
    if (std::getenv("TALVIRENCA_BENCH_PICOS"))
        std::fprintf(stderr, "  (peak so far %.0f MB)\n", pico_mb());
    std::printf("%s n=%d ms=%.1f %s=%.1f ratio=%.2f\n", medida, n, ms, nombre_suelo, suelo, ms / suelo);
    std::fflush(stdout);
}

} // namespace Bench

using namespace Bench;

namespace Bench {
void medir_importar_hoja(const QTemporaryDir& dir, const std::vector<int>& tamanos);
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Aspecto::iniciar_aplicacion(app);
    Mensajes::activar_modo_prueba();
    if (const char* sesion = std::getenv("TALVIRENCA_BENCH_SESION"))
        return sesion_rendimiento(std::atoi(sesion));
    QTemporaryDir dir;
    // TALVIRENCA_BENCH_N="100000" measures one size only.
    std::vector<int> tamanos = {1000, 10000, 100000, 1000000};
    if (const char* n = std::getenv("TALVIRENCA_BENCH_N"))
        tamanos = {std::atoi(n)};
    // TALVIRENCA_BENCH_SOLO=import_sheet runs the spreadsheet import's measure alone.
    if (const char* solo = std::getenv("TALVIRENCA_BENCH_SOLO"); solo && std::strcmp(solo, "import_sheet") == 0) {
        medir_importar_hoja(dir, tamanos);
        return 0;
    }
    for (int n : tamanos) {
        const QString ruta = crear_inventario(dir, n);
        const int veces = n >= 1000000 ? 3 : 5;

        const double suelo = mediana(veces, [&] { suelo_recorrido(ruta); });
        const double walk = mediana(veces, [&] { refresco_y_recorrido(ruta); });
        linea("refresh_walk", n, walk, "floor_ms", suelo);

        auto principal = abrir_principal(dir, ruta);
        auto* selector = principal->findChild<QComboBox*>(QStringLiteral("DBCombo1"));
        auto* buscar = principal->findChild<QPushButton*>(QStringLiteral("Command1"));
        auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));
        for (const auto& [medida, texto, tipo] :
             {std::tuple{"list_todos", QStringLiteral("Todos"), 0},
              std::tuple{"list_one_type", QStringLiteral("Tipo de componente 7"), 7}}) {
            selector->setEditText(texto);
            const double suelo_lista_ms = mediana(veces, [&] { suelo_lista(ruta, tipo); });
            const double lista_ms = mediana(veces, [&] {
                buscar->click();
                lista->viewport()->repaint();
            });
            linea(medida, n, lista_ms, "floor_ms", suelo_lista_ms);
            // The same after another program changed the file, so every table is read again.
            int vuelta = 0;
            const double fria_ms = mediana(
                veces,
                [&] {
                    buscar->click();
                    lista->viewport()->repaint();
                },
                [&] { tocar_archivo(ruta, ++vuelta); });
            linea((std::string(medida) + "_changed_file").c_str(), n, fria_ms, "floor_ms", suelo_lista_ms);
            if (Mensajes::mostrados().size() > 0)
                std::fprintf(stderr, "unexpected message during %s\n", medida);
        }
        std::printf("list_rows n=%d rows=%d\n", n, lista->model()->rowCount());
        principal.reset();

        if (n == 100000) {
            const double bare = mediana(veces, [&] {
                QMainWindow ventana;
                ventana.resize(454, 300);
                ventana.show();
                QApplication::processEvents();
            });
            const double arranque = mediana(veces, [&] {
                auto p = abrir_principal(dir, ruta);
                QApplication::processEvents();
                if (p->findChild<QComboBox*>(QStringLiteral("DBCombo1"))->count() != tipos)
                    std::fprintf(stderr, "type picker not filled\n");
            });
            std::printf("startup n=%d ms=%.1f bare_ms=%.1f diff_ms=%.1f\n", n, arranque, bare, arranque - bare);
        }
        QFile::remove(ruta);
    }
    // The measures of the tools beyond the main window, each on inventories of its own.
    for (const auto& medir : medidas_herramientas())
        medir(dir, tamanos);
    std::printf("peak_rss_mb=%.0f\n", pico_mb());
    return 0;
}
