#pragma once

#include "hojas/celda_hoja.h"

#include <QString>
#include <functional>
#include <optional>

// Reads a sheet by running the reader (talvirenca-importar --leer-hoja) as a child process and collecting its
// lines: a file that makes a reader crash ends only the child, and is told as a damaged file.
namespace LecturaHijo {

struct Opciones {
    QString hoja;
    QString separador;
    QString codificacion;
};

// `seguir` is called as rows come, with the rows read so far; returning false stops the child (a cancel), and
// then no value is given. Throws ErrorDatos with the reader's message or the crash.
std::optional<DatosHoja> leer(const QString& programa, const QString& ruta, const Opciones& o,
                              const std::function<bool(qint64)>& seguir = {});

} // namespace LecturaHijo
