// The "&Herramientas" menu: the commands the program adds beyond the design, each opening a window of its own.
#include "principal/principal.h"

#include "copia/copia.h"
#include "data/ubicacion.h"
#include "exportar/exportar.h"
#include "garantias/garantias.h"
#include "importacion/importar_access.h"
#include "importacion/importar_hoja.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"
#include "resumen/resumen.h"

#include <QLabel>
#include <QMenu>

void Principal::crear_menu_herramientas(QMenu* menu) {
    accion_menu(menu, "menuImportarAccess", QStringLiteral("&Importar de Access..."), &Principal::importar_access);
    accion_menu(menu, "menuImportarHoja", QStringLiteral("Importar &hoja de cálculo..."), &Principal::importar_hoja);
    menu->addSeparator();
    accion_menu(menu, "menuBuscarTexto", QStringLiteral("Buscar &texto..."), &Principal::buscar_texto);
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
                refrescar_custodia();
                const Exportar::TablaLista tabla(*modelo_, &custodia());
                Exportar::exportar(
                    this, tabla,
                    Ubicacion::nombre_junto_al_inventario(Module1::base_datos, QStringLiteral("-lista.xlsx")));
            });
    accion_menu(menu, "menuEtiquetas", QStringLiteral("Etiq&uetas..."), &Principal::etiquetas);
    accion_menu(menu, "menuIrCodigo", QStringLiteral("Ir al &código..."), &Principal::ir_al_codigo);
    menu->addSeparator();
    accion_menu(menu, "menuPersonasLugares", QStringLiteral("&Personas y lugares..."), &Principal::personas_lugares);
    accion_menu(menu, "menuEntregar", QStringLiteral("E&ntregar..."), &Principal::entregar);
    accion_menu(menu, "menuDevolver", QStringLiteral("&Devolver..."), &Principal::devolver);
    accion_menu(menu, "menuTenencias", QStringLiteral("&Qué tiene cada persona y lugar..."), &Principal::tenencias);
    menu->addSeparator();
    accion_menu(menu, "menuHistorial", QStringLiteral("Hist&orial..."), &Principal::historial);
    accion_menu(menu, "menuDarDeBaja", QStringLiteral("Dar de &baja..."), &Principal::dar_de_baja);
    accion_menu(menu, "menuBajas", QStringLiteral("&Bajas"), &Principal::bajas);
    menu->addSeparator();
    accion_menu(menu, "menuCopiaSeguridad", QStringLiteral("Copia de &seguridad..."), &Principal::copia_seguridad);
    vigilar_lector();
}

void Principal::copia_seguridad() {
    Copia copia(this);
    copia.hacer(Module1::base_datos);
}

// Rows added to the inventory in use show at once, their new types in the picker; a new inventory is used as the
// Access import's is.
void Principal::importar_hoja() {
    std::optional<QString> nuevo;
    bool anadido = false;
    {
        ImportarHoja ventana(this);
        nuevo = ventana.ejecutar();
        anadido = ventana.anadido_en_uso();
    }
    if (anadido) {
        Mensajes::proteger(this, [this] {
            Data2.refrescar();
            Data3.refrescar();
            actualizar_lista();
        });
        return;
    }
    if (!nuevo)
        return;
    usar_inventario(*nuevo);
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
    usar_inventario(*nuevo);
}

void Principal::usar_inventario(const QString& nuevo) {
    const QString anterior = Module1::base_datos;
    Module1::base_datos = nuevo;
    Aspecto::mostrar_dato(Label2, Module1::base_datos);
    guarda_base_datos();
    configurar_datas_dbcombo();
    olvidar_lista_de(anterior);
}
