// The record card, opened from the main window in its three modes.
#include "principal/principal.h"

#include "modulo/module1.h"

void Principal::consultar() {
    abrir_ficha(QStringLiteral("Consultar"));
}
void Principal::modificar() {
    abrir_ficha(QStringLiteral("Modificar"));
}
void Principal::Anadir() {
    abrir_ficha(QStringLiteral("Anadir"));
}

void Principal::abrir_ficha(const QString&) {}
