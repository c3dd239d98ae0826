// A "Buscar" while another program holds the file: the longest time the window's event loop did not run during the
// wait, with the wait in painting steps and, for comparison, as one sleep.
#include "bench/comun.h"
#include "data/conexion.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace Bench {

namespace {

// The longest gap, in ms, between two turns of the event loop (a timer due every millisecond) while "Buscar" waits.
qint64 hueco_mayor(Principal& principal, int& vueltas) {
    QElapsedTimer reloj;
    qint64 ultima = 0, mayor = 0;
    vueltas = 0;
    QTimer latido;
    latido.setTimerType(Qt::PreciseTimer);
    QObject::connect(&latido, &QTimer::timeout, [&] {
        const qint64 ahora = reloj.elapsed();
        mayor = std::max(mayor, ahora - ultima);
        ultima = ahora;
        ++vueltas;
    });
    latido.start(1);
    reloj.start();
    principal.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    mayor = std::max(mayor, reloj.elapsed() - ultima);
    Mensajes::mostrados();
    return mayor;
}

} // namespace

void medir_espera(const QTemporaryDir& dir, const std::vector<int>&) {
    constexpr int n = 1000;
    constexpr int espera_ms = 2000;
    const QString ruta = crear_inventario(dir, n);
    auto principal = abrir_principal(dir, ruta);
    Conexion::fijar_espera_bloqueo(espera_ms);
    sqlite3* otro = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &otro, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(otro, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    int vueltas = 0;
    const qint64 pintando = hueco_mayor(*principal, vueltas);
    std::printf("lock_wait n=%d wait_ms=%d longest_gap_ms=%lld loop_turns=%d\n", n, espera_ms,
                static_cast<long long>(pintando), vueltas);
    // The same wait as one sleep, as it was before the steps painted: the floor it is compared with.
    Conexion::al_esperar_paso({});
    const qint64 dormido = hueco_mayor(*principal, vueltas);
    std::printf("lock_wait_sleeping n=%d wait_ms=%d longest_gap_ms=%lld loop_turns=%d\n", n, espera_ms,
                static_cast<long long>(dormido), vueltas);
    std::fflush(stdout);
    Conexion::al_esperar_paso(Aspecto::esperar_pintando);
    Conexion::fijar_espera_bloqueo(4000);
    sqlite3_exec(otro, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(otro);
    // The next measures make inventories of their own under the same names.
    principal.reset();
    QFile::remove(ruta);
}

} // namespace Bench
