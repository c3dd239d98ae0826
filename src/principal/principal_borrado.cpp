// Deleting the selected component.
#include "principal/principal.h"

#include "data/custodia.h"
#include "data/recorridos.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QItemSelectionModel>
#include <QTreeView>

void Principal::borrar() {
    if (cuadro_sino(QStringLiteral("          ¿Seguro que desea eliminar el registro? ")) != QMessageBox::Yes)
        return;
    // A component handed out takes its hand-outs with it: the user is told whose it is and asked again, on what
    // the database holds now.
    const std::optional<qint64> codigo = Valores::entero_de_texto(modelo_->texto(fila_seleccionada(), 0));
    if (codigo) {
        if (!Mensajes::proteger(this, [this] { custodia_ = Custodia::leer(Module1::base_datos); }))
            return;
        const QString linea = custodia_->linea(*codigo);
        if (!linea.isEmpty() &&
            cuadro_sino(QStringLiteral("          El componente está entregado (%1); se borrarán también sus "
                                       "entregas. ")
                            .arg(linea)) != QMessageBox::Yes)
            return;
    }
    eliminar_registro();
    refrescar_custodia();
}

void Principal::eliminar_registro() {
    eliminar_registro_con([this](qint64 elemento) { eliminar_registro_de_basedatos(elemento); });
}

void Principal::eliminar_registro_con(const std::function<void(qint64)>& quitar) {
    const QString texto = modelo_->texto(fila_seleccionada(), 0);
    const std::optional<qint64> codigo = Valores::entero_de_texto(texto);
    if (!codigo) {
        Mensajes::aviso(this, QStringLiteral("ERROR: el código «%1» no es un número entero.").arg(texto));
        return;
    }
    const qint64 elemento = *codigo;
    // A list filled from Data1's snapshot stays that fill once the one row of the selected line has gone from both.
    std::optional<ListaHecha> hecha;
    if (lista_al_dia())
        hecha = lista_hecha_;
    const int linea = fila_seleccionada();
    const int filas_antes = Data1.numero_filas();
    std::optional<int> fila_unica;
    if (hecha) {
        for (int fila = 0; fila < Data1.numero_filas(); ++fila) {
            if (Data1.entero(fila, 0) != elemento)
                continue;
            fila_unica = fila_unica ? std::optional<int>() : std::optional<int>(fila);
            if (!fila_unica)
                break;
        }
        const bool todos_los_tipos = hecha->componente == QStringLiteral("Todos");
        if (fila_unica && linea_de_fila(*fila_unica, todos_los_tipos, hecha->tipo,
                                        [this](int otra) { return Data1.entero(otra, 1); }) != linea)
            fila_unica.reset();
    }
    // The list changes only once the file has.
    if (Mensajes::proteger(this, [&] { quitar(elemento); })) {
        eliminar_registro_de_listview(elemento);
        if (hecha && fila_unica && Data1.numero_filas() == filas_antes - 1)
            lista_hecha_ = ListaHecha{hecha->componente, hecha->tipo,       Data1.identidad(),
                                      Data2.identidad(), Data3.identidad(), modelo_->version()};
    }
}

void Principal::eliminar_registro_de_basedatos(const qint64& elemento) {
    // Every row with the code goes, all in one transaction.
    std::vector<int> filas;
    // The rows a walk would find, read from the snapshot without visiting each row.
    Data1.mover_primero();
    for (int fila = 0; fila < Data1.numero_filas(); ++fila)
        if (Data1.entero(fila, 0) == elemento)
            filas.push_back(fila);
    Data1.borrar_filas(std::move(filas));
}

void Principal::eliminar_registro_de_listview(const qint64&) {
    const int fila = fila_seleccionada();
    // A search's list stays that search's without the deleted line.
    const bool busqueda = busqueda_hecha_ && busqueda_hecha_->version == modelo_->version();
    modelo_->quitar_fila(fila);
    if (busqueda) {
        busqueda_hecha_->version = modelo_->version();
        senalar_busqueda();
    }
    // The line that followed takes the selection (the new last line when the last one went).
    const int siguiente = std::min(fila, modelo_->filas() - 1);
    if (siguiente >= 0) {
        const QModelIndex indice = modelo_->index(siguiente, 0);
        ListView1->selectionModel()->setCurrentIndex(indice,
                                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}
