// The other windows the main window opens: types and brands, database settings, About box.
#include "principal/principal.h"

#include "modulo/module1.h"

void Principal::mantener_tipos_marcas() {}

void Principal::abrir() {}

void Principal::acerca_de() {}
