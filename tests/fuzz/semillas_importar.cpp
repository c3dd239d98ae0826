// Writes the seed corpus of fuzz_importar with the test writer of Access files: a few small inventories that the
// import reads whole or refuses for a reason of its own. Run by hand: semillas_importar <folder>.
#include "jet/escritor_jet.h"

#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

using Jet::Tipo;

Jet::Tabla con(Jet::Tabla tabla, std::vector<Jet::Fila> filas) {
    tabla.filas = std::move(filas);
    return tabla;
}

Jet::Valor t(const char* texto) {
    return QString::fromUtf8(texto);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "uso: semillas_importar <carpeta>\n");
        return 2;
    }
    const QDir carpeta(QString::fromLocal8Bit(argv[1]));
    const Jet::Valor nada;
    const double dia = Jet::fecha_ole(QDate(2003, 2, 1));
    const std::vector<std::pair<const char*, std::vector<Jet::Tabla>>> semillas = {
        {"basico",
         {con(Jet::tabla_elemento(),
              {{qint64(1), qint64(1), qint64(1), t("P2422H"), t("S1"), dia, qint64(24), t("Contabilidad"), true}}),
          con(Jet::tabla_tipo_marca("Tipo"), {{qint64(1), t("Monitor")}}),
          con(Jet::tabla_tipo_marca("Marca"), {{qint64(1), t("Dell")}})}},
        {"codigos_a_decidir",
         {con(Jet::tabla_elemento(Tipo::doble, Tipo::texto),
              {{1.5, qint64(7), qint64(2), t("Ñandú"), nada, nada, 36.0, nada, false},
               {qint64(4), 2.0, nada, t("K120"), t("S;7"), dia, 12.0, t("línea\r\notra"), nada},
               {qint64(4), qint64(1), qint64(1), nada, nada, nada, nada, nada, true}}),
          con(Jet::tabla_tipo_marca("Tipo", Tipo::doble), {{2.0, t("Escáner")}, {2.0, t("Impresora")}, {nada, nada}}),
          con(Jet::tabla_tipo_marca("Marca"), {{qint64(1), t("HP")}, {qint64(2), t("Logitech")}})}},
        {"sin_marca", {con(Jet::tabla_elemento(), {}), con(Jet::tabla_tipo_marca("Tipo"), {{qint64(1), t("PC")}})}},
        {"vacio",
         {con(Jet::tabla_elemento(), {}), con(Jet::tabla_tipo_marca("Tipo"), {}),
          con(Jet::tabla_tipo_marca("Marca"), {})}},
    };
    for (const auto& [nombre, tablas] : semillas) {
        QFile archivo(carpeta.filePath(QString::fromUtf8(nombre)));
        if (!archivo.open(QIODevice::WriteOnly | QIODevice::Truncate) || archivo.write(Jet::escribir(tablas)) < 0)
            return 1;
    }
    return 0;
}
