#pragma once

#include "garantias/calculo_garantia.h"

#include <QDate>
#include <QString>
#include <array>
#include <vector>

class OrigenDatos;

// The numbers of the summary's three charts, computed without any window.
namespace DatosResumen {

// The bar of components whose type code is in no row of Tipo (or that have no type).
inline const QString sin_tipo = QStringLiteral("(sin tipo)");

struct Barra {
    QString nombre;
    int valor;
    bool operator==(const Barra&) const = default;
};

struct Datos {
    // Components per type: the types in Tipo's order (those with components), then "(sin tipo)" when any.
    std::vector<Barra> por_tipo;
    // Components bought per year, every year from the oldest purchase to the newest (0 in a year without any);
    // components without a purchase date are not counted.
    std::vector<Barra> por_anio;
    // Components with a purchase date in each warranty state on the given day, in CalculoGarantia::Estado's order.
    std::array<int, CalculoGarantia::numero_estados> estados{};
};

// `elemento` and `tipo` are sources on the component and type tables, already read.
Datos calcular(const OrigenDatos& elemento, const OrigenDatos& tipo, const QDate& hoy);

// The names of the warranty states as the pie shows them, in CalculoGarantia::Estado's order.
inline const std::array<QString, CalculoGarantia::numero_estados> nombres_estados = {
    QStringLiteral("Vigente"), QStringLiteral("Caduca en 90 días o menos"), QStringLiteral("Caducada")};

} // namespace DatosResumen
