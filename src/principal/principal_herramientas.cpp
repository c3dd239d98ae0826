// The "&Herramientas" menu: the commands the program adds beyond the design, each opening a window of its own.
#include "principal/principal.h"

#include <QMenu>

void Principal::crear_menu_herramientas(QMenu* menu) {
    Q_UNUSED(menu);
}
