#pragma once

// What every measure of the benchmark shares: inventories of a given size, medians, the floors read straight with
// SQLite's C API, and the line each measure prints.
#include "principal/principal.h"

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Bench {

constexpr int tipos = 50;
constexpr int marcas = 500;

// An inventory of `n` components with realistic texts, written in one transaction, in `dir`.
QString crear_inventario(const QTemporaryDir& dir, int n);
// The median time in ms of `veces` runs of `medida`, each after `antes` (not timed).
double mediana(int veces, const std::function<void()>& medida, const std::function<void()>& antes = {});
// The floor of a full walk of Elemento: every row read with the C API and turned into the values a reader gets.
void suelo_recorrido(const QString& ruta);
// A refresh of Elemento through a data source and a full walk reading every field.
void refresco_y_recorrido(const QString& ruta);
// The main window started in `dir` on `ruta`, shown.
std::unique_ptr<Principal> abrir_principal(const QTemporaryDir& dir, const QString& ruta);
// The peak resident memory of the process so far, in MB.
double pico_mb();
// Prints "medida n=N ms=... nombre_suelo=... ratio=...".
void linea(const char* medida, int n, double ms, const char* nombre_suelo, double suelo);

// Extra measures, run after the main window's at the sizes asked for, each under its name. Each tool adds its own
// in a file of its own.
using Medida = std::function<void(const QTemporaryDir& dir, const std::vector<int>& tamanos)>;
std::vector<std::pair<const char*, Medida>> medidas_herramientas();

// The card opened to add and cancelled, a component added through it and deleted from the list, `veces` times in
// `principal` (its list filled), each next to `suelo`: the lines card_open_add, card_cancel, add_listed and
// delete_listed, each name followed by `sufijo`.
void sesion_ficha(Principal& principal, int n, int veces, double suelo, const char* sufijo);
// A whole session at size `n`, run by the benchmark in a process of its own (TALVIRENCA_BENCH_SESION=n).
int sesion_rendimiento(int n);

} // namespace Bench
