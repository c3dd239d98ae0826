#include "resumen/datos_resumen.h"

#include "data/origen_datos.h"

#include <map>
#include <unordered_map>

namespace {

// Elemento's type, purchase date and warranty, by ordinal.
constexpr int columna_tipo = 1;
constexpr int columna_fecha = 5;
constexpr int columna_garantia = 6;

} // namespace

namespace DatosResumen {

Datos calcular(const OrigenDatos& elemento, const OrigenDatos& tipo, const QDate& hoy) {
    Datos datos;
    std::unordered_map<qint64, int> por_codigo;
    int sin_codigo = 0;
    std::map<int, int> por_anio;
    for (int fila = 0; fila < elemento.numero_filas(); ++fila) {
        if (const std::optional<qint64> codigo = elemento.entero(fila, columna_tipo))
            ++por_codigo[*codigo];
        else
            ++sin_codigo;
        const std::optional<qint64> dia = elemento.entero(fila, columna_fecha);
        if (!dia)
            continue;
        const QDate compra = QDate::fromJulianDay(*dia);
        ++por_anio[compra.year()];
        const double meses = elemento.valor(fila, columna_garantia).toDouble();
        if (const std::optional<QDate> fin = CalculoGarantia::fin(compra, meses))
            ++datos.estados[static_cast<int>(CalculoGarantia::estado(*fin, hoy))];
    }
    // A code held by several rows of Tipo takes the name of the first, as the main list does.
    for (int fila = 0; fila < tipo.numero_filas(); ++fila) {
        const std::optional<qint64> codigo = tipo.entero(fila, 0);
        if (!codigo)
            continue;
        const auto encontrado = por_codigo.find(*codigo);
        if (encontrado == por_codigo.end())
            continue;
        datos.por_tipo.push_back({tipo.texto(fila, 1), encontrado->second});
        por_codigo.erase(encontrado);
    }
    for (const auto& [codigo, cuantos] : por_codigo)
        sin_codigo += cuantos;
    if (sin_codigo > 0)
        datos.por_tipo.push_back({sin_tipo, sin_codigo});
    // Every year from the first purchase to the last, those without purchases at 0, so a gap shows as one.
    if (!por_anio.empty())
        for (int anio = por_anio.begin()->first; anio <= por_anio.rbegin()->first; ++anio) {
            const auto encontrado = por_anio.find(anio);
            datos.por_anio.push_back({QString::number(anio), encontrado == por_anio.end() ? 0 : encontrado->second});
        }
    return datos;
}

} // namespace DatosResumen
