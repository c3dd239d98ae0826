// The other windows the main window opens: types and brands, database settings, About box.
#include "principal/principal.h"

#include "anadirtm/anadirtm.h"
#include "data/ubicacion.h"
#include "dialogos/acerca_de.h"
#include "dialogos/configurar.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "principal/modelo_lista.h"

#include <QLabel>

// The window reads the tables afresh at each opening; the main window sees its changes at its next search.
void Principal::mantener_tipos_marcas() {
    AnadirTM ventana(this);
    ventana.exec();
}

// However the dialog closed, the path in use is shown, remembered and bound again; the list keeps what it showed
// until the next search, unless it showed another database's components.
void Principal::abrir() {
    const QString anterior = Module1::base_datos;
    {
        Configurar configurar(this);
        configurar.exec();
    }
    Aspecto::mostrar_dato(Label2, Ubicacion::sin_contrasena(Module1::base_datos));
    guarda_base_datos();
    ofrecer_inventario_nuevo();
    configurar_datas_dbcombo();
    olvidar_lista_de(anterior);
}

// A list made from another database goes: its lines' codes would name that database's components, and a card,
// a deletion or a refresh would act on the components of the database now in use that happen to have those codes.
void Principal::olvidar_lista_de(const QString& base) {
    if (base == Module1::base_datos)
        return;
    modelo_->vaciar();
    lista_hecha_.reset();
    busqueda_hecha_.reset();
}

void Principal::acerca_de() {
    AcercaDe acerca(this);
    acerca.exec();
}
