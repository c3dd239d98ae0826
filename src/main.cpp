#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "principal/principal.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

const char* const uso = "Uso: talvirenca [--version | --help]\n"
                        "Inventario del hardware de la empresa.\n"
                        "\n"
                        "La base de datos en uso se indica en talvirenca.cfg, en la carpeta desde la que se arranca\n"
                        "el programa; si falta, el programa pide elegir una. Cualquier otro argumento se ignora.\n"
                        "\n"
                        "  --version  escribe la versión y termina\n"
                        "  -h, --help escribe esta ayuda y termina\n";

} // namespace

int main(int argc, char* argv[]) {
    // Answered before any window exists, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("talvirenca %s\n", qPrintable(Programa::version));
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(uso, stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    Aspecto::iniciar_aplicacion(app);
    Principal principal;
    principal.show();
    return QApplication::exec();
}
