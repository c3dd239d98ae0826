// Who has each component: the status line of a selected component, what one person holds next to SQLite reading
// the same rows, and the main window's list with the holders read along, on inventories where every component is
// handed out to one of 10,000 people and 2,000 places.
#include "bench/comun.h"
#include "data/custodia.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <cstdio>
#include <sqlite3.h>

namespace Bench {

namespace {

constexpr int personas = 10000;
constexpr int lugares = 2000;

volatile qint64 sumidero_custodia = 0;

void ejecutar_sql(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "custody: %s\n", sqlite3_errmsg(db));
}

// The tables made by the program's own first write; then the people, the places (20 buildings, each with floors,
// each floor with rooms) and one open hand-out per component, written straight in one transaction.
void anadir_custodia(const QString& ruta, int n) {
    Custodia::anadir_persona(ruta, {0, QStringLiteral("Persona 1"), QStringLiteral("Departamento 1"), {}});
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    ejecutar_sql(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Persona VALUES (?, ?, ?, '')", -1, &st, nullptr);
    for (int i = 2; i <= personas; ++i) {
        const QByteArray nombre = QStringLiteral("Persona %1").arg(i).toUtf8();
        const QByteArray departamento = QStringLiteral("Departamento %1").arg(i % 40).toUtf8();
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, nombre.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, departamento.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO Lugar VALUES (?, ?, ?)", -1, &st, nullptr);
    for (int i = 1; i <= lugares; ++i) {
        const QByteArray nombre = (i <= 20 ? QStringLiteral("Edificio %1") : QStringLiteral("Sala %1")).arg(i).toUtf8();
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, nombre.constData(), -1, SQLITE_TRANSIENT);
        if (i <= 20)
            sqlite3_bind_null(st, 3);
        else
            sqlite3_bind_int(st, 3, i <= 200 ? 1 + i % 20 : 21 + i % 180);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO Entrega (Elemento, Persona, Lugar, Desde, Nota) VALUES (?, ?, ?, ?, '')", -1,
                       &st, nullptr);
    for (int i = 1; i <= n; ++i) {
        const QByteArray desde = QDate(2020, 1, 1).addDays(i % 2000).toString(Qt::ISODate).toUtf8();
        sqlite3_bind_int(st, 1, i);
        if (i % 3)
            sqlite3_bind_int(st, 2, 1 + i % personas);
        else
            sqlite3_bind_null(st, 2);
        if (i % 2)
            sqlite3_bind_int(st, 3, 1 + i % lugares);
        else
            sqlite3_bind_null(st, 3);
        if (!(i % 3) && !(i % 2))
            sqlite3_bind_int(st, 3, 1 + i % lugares);
        sqlite3_bind_text(st, 4, desde.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    ejecutar_sql(db, "COMMIT");
    sqlite3_close(db);
}

// The floor of "what does this person have": SQLite joining the person's open hand-outs with their components,
// type and brand names included, every value read into the text the list shows.
void suelo_persona(const QString& ruta, int persona) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT e.Codigo, t.Nombre, m.Nombre, e.Modelo, e.NumSerie, e.Fecha, e.Garantia, "
                       "e.Descripcion, e.Renting, en.Desde FROM Entrega en JOIN Elemento e ON e.Codigo = en.Elemento "
                       "LEFT JOIN Tipo t ON t.Codigo = e.Tipo LEFT JOIN Marca m ON m.Codigo = e.Marca "
                       "WHERE en.Hasta IS NULL AND en.Persona = ?",
                       -1, &st, nullptr);
    sqlite3_bind_int(st, 1, persona);
    qint64 suma = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < 10; ++c)
            suma += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                      sqlite3_column_bytes(st, c))
                        .size();
    sqlite3_finalize(st);
    sqlite3_close(db);
    sumidero_custodia = sumidero_custodia + suma;
}

// A small write by another program, so the next refresh reads every table again.
void tocar(const QString& ruta, int vuelta) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    ejecutar_sql(
        db,
        QStringLiteral("UPDATE Marca SET Nombre = 'Marca 1 c%1' WHERE Codigo = 1").arg(vuelta).toUtf8().constData());
    sqlite3_close(db);
}

// The first "Buscar" of "Todos" after another program changed the file, in the main window.
double lista_cambiada(const QTemporaryDir& dir, const QString& ruta, int veces) {
    auto principal = abrir_principal(dir, ruta);
    principal->findChild<QComboBox*>(QStringLiteral("DBCombo1"))->setEditText(QStringLiteral("Todos"));
    auto* buscar = principal->findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));
    int vuelta = 0;
    // What the window's start left queued, and what the previous window left to delete, is done before the clock
    // starts, so no window measured pays for another's.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return mediana(
        veces,
        [&] {
            buscar->click();
            lista->viewport()->repaint();
        },
        [&] { tocar(ruta, ++vuelta); });
}

} // namespace

void medir_custodia(const QTemporaryDir&, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        if (n < 100000)
            continue;
        QTemporaryDir dir;
        const QString ruta = crear_inventario(dir, n);
        const int veces = n >= 1000000 ? 3 : 5;
        const double suelo = mediana(veces, [&] { suelo_recorrido(ruta); });
        const double sin_custodia = lista_cambiada(dir, ruta, veces);
        anadir_custodia(ruta, n);

        // The holders' own read after a change, for reference: the refresh reads them beside the components.
        int vuelta_lectura = 1000;
        const double lectura_ms = mediana(
            veces, [&] { sumidero_custodia = sumidero_custodia + qint64(Custodia::leer(ruta)->abiertas.size()); },
            [&] { tocar(ruta, ++vuelta_lectura); });
        std::printf("custody_read n=%d ms=%.1f\n", n, lectura_ms);
        const double con_custodia = lista_cambiada(dir, ruta, veces);
        linea("custody_refresh", n, con_custodia, "floor_ms", suelo);
        std::printf("custody_refresh_vs_list n=%d ms=%.1f list_todos_changed_file_ms=%.1f ratio=%.2f\n", n,
                    con_custodia, sin_custodia, con_custodia / sin_custodia);

        // The status line follows the selection: one lookup in what the refresh kept, per selected line.
        auto principal = abrir_principal(dir, ruta);
        principal->findChild<QComboBox*>(QStringLiteral("DBCombo1"))->setEditText(QStringLiteral("Todos"));
        principal->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));
        auto* titular = principal->findChild<QLabel*>(QStringLiteral("lblTitular"));
        constexpr int selecciones = 2000;
        int vacias = 0;
        const double seleccion_ms = mediana(veces, [&] {
            for (int i = 0; i < selecciones; ++i) {
                lista->selectionModel()->setCurrentIndex(lista->model()->index(int(qint64(i) * 7919 % n), 0),
                                                         QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
                vacias += titular->text().isEmpty();
            }
        });
        if (vacias)
            std::fprintf(stderr, "custody: %d selected lines without a holder\n", vacias);
        std::printf("custody_holder_lookup n=%d ms=%.4f\n", n, seleccion_ms / selecciones);
        principal.reset();

        // What one person holds, through the data the holdings window reads, after the file was read once.
        Custodia::leer(ruta);
        int persona = 0;
        std::size_t filas = 0;
        const double suelo_persona_ms =
            mediana(veces * 4, [&] { suelo_persona(ruta, 1 + (++persona * 37) % personas); });
        persona = 0;
        const double persona_ms =
            mediana(veces * 4, [&] { filas += Custodia::de_persona(ruta, 1 + (++persona * 37) % personas).size(); });
        linea("custody_person_list", n, persona_ms, "floor_ms", suelo_persona_ms);
        if (!filas)
            std::fprintf(stderr, "custody: nobody holds anything\n");
        QFile::remove(ruta);
    }
}

} // namespace Bench
