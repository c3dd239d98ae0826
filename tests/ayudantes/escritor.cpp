// A writer the recovery tests kill at chosen moments, as a crash or a power cut would stop the program.
//   escritor componentes RUTA   adds components through a data source, printing each stored code at once
//   escritor colgado RUTA       starts a large write by another program and waits, mid-transaction, to be killed
#include "data/origen_datos.h"
#include "data/recorridos.h"

#include <QDate>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace {

int componentes(const char* ruta) {
    OrigenDatos origen;
    origen.enlazar_base_datos(QString::fromUtf8(ruta));
    origen.enlazar_tabla(QStringLiteral("Elemento"));
    origen.refrescar();
    qint64 codigo = Recorridos::codigo_mayor(origen);
    for (int i = 0; i < 100000; ++i) {
        ++codigo;
        origen.anadir_nuevo();
        origen.escribir(0, QString::number(codigo));
        origen.escribir(1, 1);
        origen.escribir(2, 1);
        origen.escribir(3, QStringLiteral("Modelo %1").arg(codigo));
        origen.escribir(4, QStringLiteral("SN%1").arg(codigo));
        origen.escribir(5, QDate(2024, 1, 1));
        origen.escribir(6, 12.0);
        origen.escribir(7, QString(200, QLatin1Char('x')));
        origen.escribir(8, 0);
        origen.actualizar();
        std::printf("%lld\n", static_cast<long long>(codigo));
        std::fflush(stdout);
    }
    return 0;
}

int colgado(const char* ruta) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(ruta, &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 2;
    // A small cache makes SQLite write changed pages into the file before the commit, as a large write does; the
    // journal then holds what the file must go back to.
    sqlite3_exec(db, "PRAGMA cache_size = 5; BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Elemento VALUES (?, 1, 1, 'Interrumpido', '', NULL, 0, ?, 0)", -1, &st,
                       nullptr);
    const std::string relleno(500, 'z');
    for (int i = 0; i < 2000; ++i) {
        sqlite3_bind_int(st, 1, 100000 + i);
        sqlite3_bind_text(st, 2, relleno.c_str(), -1, SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_DONE)
            return 3;
        sqlite3_reset(st);
    }
    std::printf("listo\n");
    std::fflush(stdout);
    // Waits for the kill with the transaction open.
    char linea[16];
    while (std::fgets(linea, sizeof linea, stdin)) {
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "componentes") == 0)
        return componentes(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "colgado") == 0)
        return colgado(argv[2]);
    std::fprintf(stderr, "uso: escritor componentes|colgado RUTA\n");
    return 1;
}
