#include "plataforma/aspecto.h"
#include "principal/principal.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Aspecto::iniciar_aplicacion(app);
    Principal principal;
    principal.show();
    return QApplication::exec();
}
