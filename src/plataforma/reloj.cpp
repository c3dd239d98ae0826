#include "plataforma/reloj.h"

namespace {
QDate fijada;
}

namespace Reloj {
QDate hoy() {
    return fijada.isValid() ? fijada : QDate::currentDate();
}
void fijar_hoy(const QDate& fecha) {
    fijada = fecha;
}
} // namespace Reloj
