// The other windows the main window opens: types and brands, database settings, About box.
#include "principal/principal.h"

#include "anadirtm/anadirtm.h"
#include "modulo/module1.h"

// The window reads the tables afresh at each opening; the main window sees its changes at its next search.
void Principal::mantener_tipos_marcas() {
    AnadirTM ventana(this);
    ventana.exec();
}

void Principal::abrir() {}

void Principal::acerca_de() {}
