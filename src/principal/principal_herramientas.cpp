// The "&Herramientas" menu: the commands the program adds beyond the design, each opening a window of its own.
#include "principal/principal.h"

#include "exportar/exportar.h"
#include "garantias/garantias.h"
#include "resumen/resumen.h"

#include <QMenu>

void Principal::crear_menu_herramientas(QMenu* menu) {
    connect(accion_menu(menu, "menuGarantias", QStringLiteral("&Garantías"), nullptr), &QAction::triggered, this,
            [this] {
                Garantias ventana(*impresora_lineas_, this);
                ventana.exec();
            });
    connect(accion_menu(menu, "menuResumen", QStringLiteral("&Resumen"), nullptr), &QAction::triggered, this, [this] {
        Resumen ventana(impresora_, this);
        ventana.exec();
    });
    connect(accion_menu(menu, "menuExportarLista", QStringLiteral("&Exportar lista..."), nullptr), &QAction::triggered,
            this, [this] {
                const Exportar::TablaLista tabla(*modelo_);
                Exportar::exportar(this, tabla);
            });
}
