// Waiting for another program that holds the inventory file: how long the wait lasts, how the program is told it
// began, and what each step of it does.
#include "data/conexion.h"

#include "data/conexion_interna.h"

#include <sqlite3.h>

namespace {

int espera_bloqueo_ms = 4000;
std::function<void()> al_esperar;
std::function<void(int)> esperar_paso;
thread_local int sin_espera = 0;

} // namespace

// Called by SQLite while another program holds the file: tells the program once that a wait began, then waits in
// short steps until the time allowed has passed. Each step is the program's own when it gives one (the windows
// keep painting meanwhile); otherwise the thread sleeps.
int ConexionInterna::esperar_bloqueo(void*, int intentos) {
    constexpr int paso_ms = 20;
    if (sin_espera)
        return 0;
    if (intentos == 0 && al_esperar)
        al_esperar();
    if (intentos * paso_ms >= espera_bloqueo_ms)
        return 0;
    if (esperar_paso)
        esperar_paso(paso_ms);
    else
        sqlite3_sleep(paso_ms);
    return 1;
}

Conexion::SinEspera::SinEspera() {
    ++sin_espera;
}

Conexion::SinEspera::~SinEspera() {
    --sin_espera;
}

void Conexion::al_esperar_bloqueo(std::function<void()> aviso) {
    al_esperar = std::move(aviso);
}

void Conexion::al_esperar_paso(std::function<void(int)> paso) {
    esperar_paso = std::move(paso);
}

void Conexion::fijar_espera_bloqueo(int ms) {
    espera_bloqueo_ms = ms;
}

int Conexion::espera_bloqueo() {
    return espera_bloqueo_ms;
}
