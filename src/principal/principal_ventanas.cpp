// The windows the main window opens: record card, types and brands, database settings, About box.
#include "principal/principal.h"

#include "modulo/module1.h"

void Principal::consultar() { abrir_ficha(QStringLiteral("Consultar")); }
void Principal::modificar() { abrir_ficha(QStringLiteral("Modificar")); }
void Principal::Anadir() { abrir_ficha(QStringLiteral("Anadir")); }

void Principal::abrir_ficha(const QString&) {}

void Principal::mantener_tipos_marcas() {}

void Principal::abrir() {}

void Principal::acerca_de() {}
