// The other windows the main window opens: types and brands, database settings, About box.
#include "principal/principal.h"

#include "anadirtm/anadirtm.h"
#include "data/ubicacion.h"
#include "dialogos/acerca_de.h"
#include "dialogos/configurar.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"

#include <QLabel>

// The window reads the tables afresh at each opening; the main window sees its changes at its next search.
void Principal::mantener_tipos_marcas() {
    AnadirTM ventana(this);
    ventana.exec();
}

// However the dialog closed, the path in use is shown, remembered and bound again; the list keeps what it showed
// until the next search.
void Principal::abrir() {
    {
        Configurar configurar(this);
        configurar.exec();
    }
    Aspecto::mostrar_dato(Label2, Ubicacion::sin_contrasena(Module1::base_datos));
    guarda_base_datos();
    ofrecer_inventario_nuevo();
    configurar_datas_dbcombo();
}

void Principal::acerca_de() {
    AcercaDe acerca(this);
    acerca.exec();
}
