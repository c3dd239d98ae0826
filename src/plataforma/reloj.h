#pragma once

#include <QDate>

// Today's date from the system clock; tests may fix it.
namespace Reloj {
QDate hoy();
// An invalid date gives the system clock back.
void fijar_hoy(const QDate& fecha);
} // namespace Reloj
