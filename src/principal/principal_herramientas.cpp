// The "&Herramientas" menu: the commands the program adds beyond the design, each opening a window of its own.
#include "principal/principal.h"

#include "importacion/importar_access.h"
#include "modulo/module1.h"

#include <QLabel>
#include <QMenu>

void Principal::crear_menu_herramientas(QMenu* menu) {
    accion_menu(menu, "menuImportarAccess", QStringLiteral("&Importar de Access..."), &Principal::importar_access);
}

// Using the imported inventory is what accepting the settings dialog does: the path is shown, remembered and bound.
void Principal::importar_access() {
    std::optional<QString> nuevo;
    {
        ImportarAccess ventana(this);
        nuevo = ventana.ejecutar();
    }
    if (!nuevo)
        return;
    Module1::base_datos = *nuevo;
    Label2->setText(Module1::base_datos);
    guarda_base_datos();
    configurar_datas_dbcombo();
}
