// Makes the example inventory from its seed file: crear_ejemplo <semilla.txt> <base de datos nueva>
#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/origen_datos.h"
#include "data/recorridos.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "uso: crear_ejemplo <semilla.txt> <base de datos nueva>\n");
        return 2;
    }
    QFile semilla(args[1]);
    if (!semilla.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "no se puede leer %s\n", qPrintable(args[1]));
        return 1;
    }
    try {
        Esquema::crear_inventario(args[2]);
        OrigenDatos origen;
        origen.enlazar_base_datos(args[2]);
        QTextStream entrada(&semilla);
        while (!entrada.atEnd()) {
            const QString linea = entrada.readLine();
            if (linea.isEmpty() || linea.startsWith(u'#'))
                continue;
            if (linea.startsWith(u'[')) {
                origen.enlazar_tabla(linea.mid(1, linea.size() - 2));
                origen.refrescar();
                continue;
            }
            const QStringList campos = linea.split(u'\t');
            origen.anadir_nuevo();
            for (int i = 0; i < campos.size(); ++i) {
                const bool renting = origen.tabla().columnas[i].clase == Clase::logico;
                origen.escribir(i, renting ? QVariant(campos[i] == QLatin1String("Si")) : QVariant(campos[i]));
            }
            origen.actualizar();
        }
    } catch (const ErrorDatos& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
