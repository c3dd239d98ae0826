// The "&Herramientas" menu: the commands the program adds beyond the design, each opening a window of its own.
#include "principal/principal.h"

#include "copia/copia.h"
#include "modulo/module1.h"

#include <QMenu>

void Principal::crear_menu_herramientas(QMenu* menu) {
    accion_menu(menu, "menuBuscarTexto", QStringLiteral("Buscar &texto..."), &Principal::buscar_texto);
    accion_menu(menu, "menuCopiaSeguridad", QStringLiteral("Copia de &seguridad..."), &Principal::copia_seguridad);
    accion_menu(menu, "menuEtiquetas", QStringLiteral("Etiq&uetas..."), &Principal::etiquetas);
    accion_menu(menu, "menuIrCodigo", QStringLiteral("Ir al &código..."), &Principal::ir_al_codigo);
    vigilar_lector();
}

void Principal::copia_seguridad() {
    Copia copia(this);
    copia.hacer(Module1::base_datos);
}
