// The component list and its type filter.
#include "principal/principal.h"

#include "data/recorridos.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dbcombo.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QHeaderView>
#include <QTreeView>

namespace {

struct ColumnaLista {
    const char* cabecera;
    int ancho_twips;
};

const ColumnaLista columnas_lista[ModeloLista::columnas] = {
    {"Codigo", 700}, {"Tipo", 700},     {"Marca", 1000},       {"Modelo", 1000}, {"Nº Serie", 1000},
    {"Fecha", 1000}, {"Garantia", 800}, {"Descripcion", 2500}, {"Renting", 800},
};

const QString todos = QStringLiteral("Todos");

} // namespace

void Principal::Command1_Click() {
    // The old lines go before the tables are read again: a large list is never held twice.
    modelo_->vaciar();
    const bool refrescadas = Mensajes::proteger(this, [this] {
        Data1.refrescar();
        Data2.refrescar();
        Data3.refrescar();
    });
    if (refrescadas)
        buscar();
}

void Principal::buscar() {
    modelo_->vaciar();
    if (DBCombo1->currentText().isEmpty()) {
        Mensajes::aviso(this, QStringLiteral("ERROR: primero debe seleccionar un componente."));
        return;
    }
    Mensajes::proteger(this, [this] { buscar_tipo(DBCombo1->currentText()); });
}

void Principal::actualizar_lista() {
    modelo_->vaciar();
    Mensajes::proteger(this, [this] {
        Data1.refrescar();
        buscar_tipo(DBCombo1->currentText());
    });
}

void Principal::crear_columnas_lista() {
    if (Module1::columnas_creadas)
        return;
    QStringList cabeceras;
    for (const ColumnaLista& c : columnas_lista)
        cabeceras << QString::fromUtf8(c.cabecera);
    modelo_->crear_columnas(cabeceras);
    for (int i = 0; i < ModeloLista::columnas; ++i)
        ListView1->header()->resizeSection(i, Aspecto::px(columnas_lista[i].ancho_twips));
    Module1::columnas_creadas = true;
}

qint64 Principal::comprobar_codigo_componente(const QString& componente) {
    return Recorridos::codigo_de_nombre(Data2, componente);
}

void Principal::buscar_tipo(const QString& componente) {
    const qint64 tipo = comprobar_codigo_componente(componente);
    crear_columnas_lista();
    const bool todos_los_tipos = componente == todos;
    // A code that this window's Tipo or Marca rows do not hold leaves its cell empty.
    const auto nombre = [](OrigenDatos& origen, std::optional<qint64> codigo) {
        return codigo ? Recorridos::nombre_de_codigo(origen, *codigo).value_or(QString()) : QString();
    };
    ModeloLista::Lote lote;
    Recorridos::completo(Data1, [&] {
        const std::optional<qint64> tipo_fila = Data1.leer_entero(1);
        if (!todos_los_tipos && tipo_fila != tipo)
            return;
        lote.anadir({Data1.leer_texto(0), nombre(Data2, tipo_fila), nombre(Data3, Data1.leer_entero(2)),
                     Data1.leer_texto(3), Data1.leer_texto(4), Data1.leer_texto(5), Data1.leer_texto(6),
                     Data1.leer_texto(7), Valores::si_no(Data1.leer(8))});
    });
    modelo_->anadir(std::move(lote));
}
