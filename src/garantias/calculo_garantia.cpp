#include "garantias/calculo_garantia.h"

#include "data/origen_datos.h"

#include <algorithm>
#include <cmath>

namespace {

// Elemento's purchase date and warranty, by ordinal.
constexpr int columna_fecha = 5;
constexpr int columna_garantia = 6;
// Ten thousand years: a larger warranty would take the date out of the calendar.
constexpr double meses_maximos = 120000;

} // namespace

namespace CalculoGarantia {

std::optional<QDate> fin(const QDate& compra, double meses) {
    if (!compra.isValid())
        return std::nullopt;
    if (!std::isfinite(meses))
        meses = 0;
    meses = std::clamp(meses, -meses_maximos, meses_maximos);
    const double enteros = std::floor(meses);
    const auto dias = static_cast<qint64>(std::lround((meses - enteros) * dias_por_mes));
    return compra.addMonths(static_cast<int>(enteros)).addDays(dias);
}

Estado estado(const QDate& fin, const QDate& hoy) {
    const qint64 dias = hoy.daysTo(fin);
    if (dias <= 0)
        return Estado::caducada;
    return dias <= dias_aviso ? Estado::caduca_pronto : Estado::vigente;
}

QString texto_estado(const QDate& fin, const QDate& hoy) {
    switch (estado(fin, hoy)) {
    case Estado::vigente:
        return QStringLiteral("Vigente");
    case Estado::caducada:
        return QStringLiteral("Caducada");
    case Estado::caduca_pronto:
        break;
    }
    const qint64 dias = hoy.daysTo(fin);
    return dias == 1 ? QStringLiteral("Caduca en 1 día") : QStringLiteral("Caduca en %1 días").arg(dias);
}

bool pasa(Filtro filtro, Estado estado) {
    switch (filtro) {
    case Filtro::todas:
        return true;
    case Filtro::en_garantia:
        return estado != Estado::caducada;
    case Filtro::caducan_pronto:
        return estado == Estado::caduca_pronto;
    case Filtro::caducadas:
        return estado == Estado::caducada;
    }
    return false;
}

Lista calcular(const OrigenDatos& elemento, const QDate& hoy) {
    Lista lista;
    const int filas = elemento.numero_filas();
    lista.entradas.reserve(static_cast<size_t>(filas));
    for (int fila = 0; fila < filas; ++fila) {
        // A date is held as its Julian day; no value means the component has no purchase date.
        const std::optional<qint64> dia = elemento.entero(fila, columna_fecha);
        if (!dia)
            continue;
        const double meses = elemento.valor(fila, columna_garantia).toDouble();
        if (const std::optional<QDate> f = fin(QDate::fromJulianDay(*dia), meses)) {
            lista.entradas.push_back({fila, f->toJulianDay()});
            ++lista.cuenta[static_cast<int>(estado(*f, hoy))];
        }
    }
    std::stable_sort(lista.entradas.begin(), lista.entradas.end(),
                     [](const Entrada& a, const Entrada& b) { return a.fin < b.fin; });
    return lista;
}

std::vector<Entrada> filtrar(const Lista& lista, Filtro filtro, const QDate& hoy) {
    if (filtro == Filtro::todas)
        return lista.entradas;
    std::vector<Entrada> elegidas;
    for (const Entrada& e : lista.entradas)
        if (pasa(filtro, estado(QDate::fromJulianDay(e.fin), hoy)))
            elegidas.push_back(e);
    return elegidas;
}

} // namespace CalculoGarantia
