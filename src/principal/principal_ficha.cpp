// The record card, opened from the main window in its three modes.
#include "principal/principal.h"

#include "ficha/ficha.h"
#include "modulo/module1.h"
#include "principal/modelo_lista.h"

#include <QItemSelectionModel>
#include <QTreeView>

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
        const bool guardada = ficha.exec() == QDialog::Accepted;
        // A card that could not read the file has said why; reading it again here would only wait and say it twice.
        if (ficha.fallo_al_cargar())
            return;
        // A card that stored nothing leaves the list, and its selection, as they were: the file is not read again
        // (which, while another program holds it, would only wait and fail). A card that found its component gone
        // had read a file that no longer matches the list.
        if (!guardada && !ficha.cerrada_al_cargar())
            return;
    }
    // The list shows the file as it now is: the same search, or the same type, with the component still selected.
    if (repetir_busqueda_texto(codigo))
        return;
    actualizar_lista();
    if (accion != ModoFicha::anadir)
        seleccionar_codigo(codigo);
}

void Principal::seleccionar_codigo(const QString& codigo) {
    for (int linea = 0; linea < modelo_->filas(); ++linea)
        if (modelo_->texto(linea, 0) == codigo) {
            ListView1->selectionModel()->setCurrentIndex(modelo_->index(linea, 0), QItemSelectionModel::ClearAndSelect |
                                                                                       QItemSelectionModel::Rows);
            return;
        }
}
