// Deleting the selected component.
#include "principal/principal.h"

#include "data/recorridos.h"
#include "data/valores.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QItemSelectionModel>
#include <QTreeView>

void Principal::borrar() {
    if (cuadro_sino(QStringLiteral("          ¿Seguro que desea eliminar el registro? ")) == QMessageBox::Yes)
        eliminar_registro();
}

void Principal::eliminar_registro() {
    const QString texto = modelo_->texto(fila_seleccionada(), 0);
    const std::optional<qint64> codigo = Valores::entero_de_texto(texto);
    if (!codigo) {
        Mensajes::aviso(this, QStringLiteral("ERROR: el código «%1» no es un número entero.").arg(texto));
        return;
    }
    const qint64 elemento = *codigo;
    // The list changes only once the file has.
    if (Mensajes::proteger(this, [&] { eliminar_registro_de_basedatos(elemento); }))
        eliminar_registro_de_listview(elemento);
}

void Principal::eliminar_registro_de_basedatos(const qint64& elemento) {
    // Every row with the code goes, all in one transaction.
    std::vector<int> filas;
    Recorridos::completo(Data1, [&] {
        if (Data1.leer_entero(0) == elemento)
            filas.push_back(Data1.fila_actual());
    });
    Data1.borrar_filas(std::move(filas));
}

void Principal::eliminar_registro_de_listview(const qint64&) {
    const int fila = fila_seleccionada();
    modelo_->quitar_fila(fila);
    // The line that followed takes the selection (the new last line when the last one went).
    const int siguiente = std::min(fila, modelo_->filas() - 1);
    if (siguiente >= 0) {
        const QModelIndex indice = modelo_->index(siguiente, 0);
        ListView1->selectionModel()->setCurrentIndex(indice,
                                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}
