// The record card, opened from the main window in its three modes.
#include "principal/principal.h"

#include "ficha/ficha.h"
#include "modulo/module1.h"
#include "principal/modelo_lista.h"

void Principal::consultar() {
    abrir_ficha(ModoFicha::consultar);
}
void Principal::modificar() {
    abrir_ficha(ModoFicha::modificar);
}
void Principal::Anadir() {
    abrir_ficha(ModoFicha::anadir);
}

void Principal::abrir_ficha(const QString& accion) {
    Module1::accion_ficha = accion;
    // The card looks for the component whose code is the selected line's first text.
    const int fila = fila_seleccionada();
    const QString codigo = fila >= 0 ? modelo_->texto(fila, 0) : QString();
    {
        Ficha ficha(this, codigo);
        ficha.exec();
        // A card that could not read the file has said why; reading it again here would only wait and say it twice.
        if (ficha.fallo_al_cargar())
            return;
    }
    // However the card closed, the list shows the file as it now is: the same search, or the same type.
    if (!repetir_busqueda_texto(codigo))
        actualizar_lista();
}
