#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <optional>
#include <vector>

class OrigenDatos;

// Warranty end dates, their states and the list of warranties, computed without any window so they are cheap to
// check.
namespace CalculoGarantia {

enum class Estado { vigente, caduca_pronto, caducada };
constexpr int numero_estados = 3;
// A warranty that ends within this many days "caduca pronto".
constexpr int dias_aviso = 90;
// A fraction of a month counts as this many days per month, rounded to the nearest whole day.
constexpr int dias_por_mes = 30;

// The end of a warranty of `meses` months bought on `compra`: the whole months through QDate::addMonths (31/01 plus
// one month is the last day of February), then the fraction as fraction × 30 days, rounded. No value without a
// valid purchase date.
std::optional<QDate> fin(const QDate& compra, double meses);

// The warranty has ended from its end date on; it ends soon when the end is 1 to 90 days away.
Estado estado(const QDate& fin, const QDate& hoy);
// "Vigente", "Caduca en N días" (one day: "Caduca en 1 día") or "Caducada".
QString texto_estado(const QDate& fin, const QDate& hoy);

// What the warranty window shows: all, in warranty (not ended), ending soon, or ended.
enum class Filtro { todas, en_garantia, caducan_pronto, caducadas };
bool pasa(Filtro filtro, Estado estado);

// One component of the warranty list: its row in the component table's snapshot and its end date (Julian day).
struct Entrada {
    int fila;
    qint64 fin;
};

// Every component of `elemento` (a source on the component table) that has a purchase date, soonest end first
// (components ending the same day keep the table's order), and how many are in each state on `hoy`.
struct Lista {
    std::vector<Entrada> entradas;
    std::array<int, numero_estados> cuenta{};
    int total() const { return static_cast<int>(entradas.size()); }
};
Lista calcular(const OrigenDatos& elemento, const QDate& hoy);

// The entries of `lista` the filter lets through, in the list's order.
std::vector<Entrada> filtrar(const Lista& lista, Filtro filtro, const QDate& hoy);

} // namespace CalculoGarantia
