// The list filled by the text search: every component of the snapshot that contains the text.
#include "principal/principal.h"

#include "buscartexto/buscartexto.h"
#include "buscartexto/indice_texto.h"
#include "data/recorridos.h"
#include "data/valores.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

namespace {
const QString sin_resultados = QStringLiteral("No hay ningún componente que contenga «%1».");
const QString estado_busqueda = QStringLiteral("Búsqueda: «%1» — %2 componentes");
const QString estado_busqueda_uno = QStringLiteral("Búsqueda: «%1» — 1 componente");
} // namespace

void Principal::buscar_texto() {
    BuscarTexto dialogo(this);
    if (dialogo.exec() != QDialog::Accepted)
        return;
    // The holders searched are those of the file as it is now (read again only when it changed).
    refrescar_custodia();
    mostrar_con_texto(dialogo.texto());
}

void Principal::mostrar_con_texto(const QString& texto, bool avisar) {
    busqueda_hecha_.reset();
    modelo_->vaciar();
    if (!indice_texto_)
        indice_texto_ = new IndiceTexto(Data1, this);
    bool vacia = false;
    const bool hecha = Mensajes::proteger(this, [&] {
        // The snapshot the window already holds is searched; a source not read yet is read once, here.
        for (OrigenDatos* origen : {&Data1, &Data2, &Data3})
            if (!origen->abierto())
                origen->mover_primero();
        crear_columnas_lista();
        std::vector<int> filas = indice_texto_->buscar(texto, Data2, Data3);
        anadir_por_titular(texto, filas);
        // A code that this window's Tipo or Marca rows do not hold leaves its cell empty, as in the type filter.
        const auto nombre = [](OrigenDatos& origen, std::optional<qint64> codigo) {
            if (!codigo)
                return QString();
            const std::optional<int> fila = origen.primera_fila_con_codigo(*codigo);
            return fila ? origen.texto(*fila, 1) : QString();
        };
        ModeloLista::Lote lote;
        for (int fila : filas)
            lote.anadir({Data1.texto(fila, 0), nombre(Data2, Data1.entero(fila, 1)),
                         nombre(Data3, Data1.entero(fila, 2)), Data1.texto(fila, 3), Data1.texto(fila, 4),
                         Data1.texto(fila, 5), Data1.texto(fila, 6), Data1.texto(fila, 7),
                         Valores::si_no(Data1.valor(fila, 8))});
        vacia = filas.empty();
        modelo_->anadir(std::move(lote));
    });
    if (!hecha)
        return;
    busqueda_hecha_ = BusquedaHecha{texto, modelo_->version()};
    senalar_busqueda();
    if (vacia && avisar)
        Mensajes::aviso(this, sin_resultados.arg(texto));
}

bool Principal::repetir_busqueda_texto(const QString& codigo_seleccionado) {
    if (!busqueda_hecha_ || busqueda_hecha_->version != modelo_->version())
        return false;
    const QString texto = busqueda_hecha_->texto;
    busqueda_hecha_.reset();
    modelo_->vaciar();
    if (!Mensajes::proteger(this, [this] { Data1.refrescar(); }))
        return true;
    // Not told when nothing is found now: the user did not ask for a search, and sees the list empty.
    mostrar_con_texto(texto, false);
    // The component the card showed keeps the selection, if it is still found.
    seleccionar_codigo(codigo_seleccionado);
    return true;
}

void Principal::senalar_busqueda() {
    // Any other change of the lines (a type listed, the list emptied) ends the search's result.
    QString estado;
    if (busqueda_hecha_ && busqueda_hecha_->version == modelo_->version())
        estado = modelo_->filas() == 1 ? estado_busqueda_uno.arg(busqueda_hecha_->texto)
                                       : estado_busqueda.arg(busqueda_hecha_->texto, QString::number(modelo_->filas()));
    Aspecto::mostrar_dato(lblBusqueda, estado);
}
