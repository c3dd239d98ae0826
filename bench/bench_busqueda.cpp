// The text search over the main window's snapshot, next to SQLite scanning the same columns, and the backup.
#include "bench/comun.h"
#include "data/copia_seguridad.h"

#include <QApplication>
#include <QFile>
#include <QTreeView>
#include <cstdio>
#include <sqlite3.h>

namespace Bench {

namespace {

// What the user looks for: a word and a number of the descriptions, found in a few percent of the components.
const QString buscado = QStringLiteral("puesto 17");

volatile qint64 sumidero_busqueda = 0;

// The floor: SQLite scanning code, type name, brand name, model, serial number and description with
// instr(lower(...)), reading the nine columns of every row found.
void suelo_busqueda(const QString& ruta) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT e.Codigo, t.Nombre, m.Nombre, e.Modelo, e.NumSerie, e.Fecha, e.Garantia, "
                       "e.Descripcion, e.Renting FROM Elemento e LEFT JOIN Tipo t ON t.Codigo = e.Tipo "
                       "LEFT JOIN Marca m ON m.Codigo = e.Marca WHERE instr(lower(e.Codigo), ?1) > 0 "
                       "OR instr(lower(t.Nombre), ?1) > 0 OR instr(lower(m.Nombre), ?1) > 0 "
                       "OR instr(lower(e.Modelo), ?1) > 0 OR instr(lower(e.NumSerie), ?1) > 0 "
                       "OR instr(lower(e.Descripcion), ?1) > 0 ORDER BY e.Codigo",
                       -1, &st, nullptr);
    const QByteArray aguja = buscado.toLower().toUtf8();
    sqlite3_bind_text(st, 1, aguja.constData(), -1, SQLITE_TRANSIENT);
    qint64 suma = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 9; ++c)
            suma += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                      sqlite3_column_bytes(st, c))
                        .size();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    sumidero_busqueda = sumidero_busqueda + suma;
}

} // namespace

void medir_busqueda(const QTemporaryDir&, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        QTemporaryDir dir;
        const QString ruta = crear_inventario(dir, n);
        const int veces = n >= 1000000 ? 3 : 5;
        const double suelo = mediana(veces, [&] { suelo_busqueda(ruta); });

        auto principal = abrir_principal(dir, ruta);
        QApplication::processEvents();
        auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));
        // The first search after the tables were read folds their texts; later ones reuse them.
        principal->mostrar_con_texto(buscado);
        const int encontrados = lista->model()->rowCount();
        const double ms = mediana(veces, [&] {
            principal->mostrar_con_texto(buscado);
            QApplication::processEvents();
        });
        const double primera = mediana(
            veces,
            [&] {
                principal->mostrar_con_texto(buscado);
                QApplication::processEvents();
            },
            [&] { principal->Data1.refrescar(); });
        if (lista->model()->rowCount() != encontrados || encontrados == 0)
            std::fprintf(stderr, "buscar_texto: %d then %d components found\n", encontrados,
                         lista->model()->rowCount());
        linea("buscar_texto", n, ms, "floor_ms", suelo);
        linea("buscar_texto_tras_refresco", n, primera, "floor_ms", suelo);
        principal.reset();

        const QString destino = dir.filePath(QStringLiteral("copia.db"));
        const double copia = mediana(
            veces, [&] { CopiaSeguridad::copiar(ruta, destino, false); }, [&] { QFile::remove(destino); });
        std::printf("copia n=%d ms=%.1f\n", n, copia);
        std::fflush(stdout);
    }
}

} // namespace Bench
