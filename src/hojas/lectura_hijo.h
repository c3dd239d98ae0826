#pragma once

#include "hojas/celda_hoja.h"
#include "hojas/protocolo_hoja.h"

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

// The same, for a caller that works on each row while the rest is read and keeps what it needs: `al_recibir`
// gets the rows in sheet order, and none is kept. The Lectura given tells the rest and what the end would have
// changed in the rows given (see ProtocoloHoja::Lectura::al_recibir).
ProtocoloHoja::Lectura leer_por_filas(const QString& programa, const QString& ruta, const Opciones& o,
                                      std::function<void(FilaHoja&&)> al_recibir);

} // namespace LecturaHijo
