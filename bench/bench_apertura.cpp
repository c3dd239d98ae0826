// The check every inventory gets at its opening (the pages of the three tables are whole), next to the floor of a
// full walk of Elemento: the check must stay a small part of the first read.
#include "bench/comun.h"
#include "data/conexion.h"

#include <QFile>
#include <optional>

namespace Bench {

void medir_apertura(const QTemporaryDir& dir, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        const QString ruta = crear_inventario(dir, n);
        const int veces = n >= 1000000 ? 3 : 5;
        const double suelo = mediana(veces, [&] { suelo_recorrido(ruta); });
        // The opening itself checks a file once per run: each measure checks a connection of its own.
        std::optional<Conexion> conexion;
        const double ms = mediana(
            veces, [&] { conexion->comprobar_integridad_o_fallar(); },
            [&] {
                conexion.reset();
                conexion.emplace(Conexion::abrir(ruta, Conexion::Modo::lectura));
            });
        conexion.reset();
        linea("open_check", n, ms, "floor_ms", suelo);
        QFile::remove(ruta);
    }
}

} // namespace Bench
