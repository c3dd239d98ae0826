// talvirenca-trasladar INVENTARIO.db postgresql://...: moves an inventory file to an empty database on a server.
#include "data/error_datos.h"
#include "data/traslado.h"
#include "modulo/module1.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream salida(stdout), errores(stderr);
    const QStringList argumentos = QCoreApplication::arguments();
    if (argumentos.contains(QStringLiteral("--version"))) {
        salida << "talvirenca-trasladar " << Programa::version << "\n";
        return 0;
    }
    if (argumentos.contains(QStringLiteral("--help")) || argumentos.contains(QStringLiteral("-h"))) {
        salida << "Uso: talvirenca-trasladar INVENTARIO.db postgresql://usuario@servidor/base\n"
                  "Copia las tablas Elemento, Tipo y Marca del inventario INVENTARIO.db a una base de datos vacía de\n"
                  "un servidor PostgreSQL, en una sola transacción. Rechaza una base de datos que ya tenga datos.\n"
                  "\n"
                  "  --version  escribe la versión y termina\n"
                  "  -h, --help escribe esta ayuda y termina\n";
        return 0;
    }
    if (argumentos.size() != 3) {
        errores << "Uso: talvirenca-trasladar INVENTARIO.db postgresql://usuario@servidor/base\n"
                   "Pruebe «talvirenca-trasladar --help» para más información.\n";
        return 2;
    }
    try {
        const Traslado::Cuentas cuentas = Traslado::trasladar(argumentos[1], argumentos[2]);
        salida << QStringLiteral("Trasladados al servidor: %1 componentes, %2 tipos y %3 marcas.\n")
                      .arg(cuentas.componentes)
                      .arg(cuentas.tipos)
                      .arg(cuentas.marcas);
        return 0;
    } catch (const ErrorDatos& e) {
        errores << QStringLiteral("ERROR: ") << e.texto() << '\n';
        return 1;
    }
}
