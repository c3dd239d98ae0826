// The "&Herramientas" menu: the commands the program adds beyond the design, each opening a window of its own.
#include "principal/principal.h"

#include <QMenu>

void Principal::crear_menu_herramientas(QMenu* menu) {
    accion_menu(menu, "menuEtiquetas", QStringLiteral("Etiq&uetas..."), &Principal::etiquetas);
    accion_menu(menu, "menuIrCodigo", QStringLiteral("Ir al &código..."), &Principal::ir_al_codigo);
    vigilar_lector();
}
