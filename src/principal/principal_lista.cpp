// The component list and its type filter.
#include "principal/principal.h"

#include "data/custodia.h"
#include "data/error_datos.h"
#include "data/recorridos.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dbcombo.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QHeaderView>
#include <QTreeView>
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

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
    // Who has each component is read beside the components, not after them.
    auto custodia = Custodia::leer_aparte(Module1::base_datos);
    // A read that fails (another program holds the file) leaves the list as it was.
    const bool refrescadas = Mensajes::proteger(this, [this] {
        Data1.refrescar();
        Data2.refrescar();
        Data3.refrescar();
    });
    if (refrescadas) {
        buscar();
        refrescar_custodia(&custodia);
    }
}

void Principal::buscar() {
    if (DBCombo1->currentText().isEmpty()) {
        modelo_->vaciar();
        Mensajes::aviso(this, QStringLiteral("ERROR: primero debe seleccionar un componente."));
        return;
    }
    Mensajes::proteger(this, [this] {
        // A source not read yet is read before the old lines go, so a failed read leaves them.
        for (OrigenDatos* origen : {&Data1, &Data2, &Data3})
            if (!origen->abierto())
                origen->mover_primero();
        modelo_->vaciar();
        buscar_tipo(DBCombo1->currentText());
    });
}

void Principal::actualizar_lista() {
    auto custodia = Custodia::leer_aparte(Module1::base_datos);
    actualizar_lista_sin_custodia();
    refrescar_custodia(&custodia);
}

void Principal::actualizar_lista_sin_custodia() {
    if (lista_al_dia() && lista_hecha_->componente == DBCombo1->currentText()) {
        Mensajes::proteger(this, [this] {
            try {
                Data1.refrescar();
            } catch (const ErrorDatos&) {
                modelo_->vaciar();
                lista_hecha_.reset();
                throw;
            }
            if (actualizar_lineas_cambiadas())
                return;
            modelo_->vaciar();
            buscar_tipo(DBCombo1->currentText());
        });
        return;
    }
    modelo_->vaciar();
    Mensajes::proteger(this, [this] {
        Data1.refrescar();
        buscar_tipo(DBCombo1->currentText());
    });
}

bool Principal::lista_al_dia() const {
    return lista_hecha_ && lista_hecha_->version == modelo_->version() && lista_hecha_->datos1 == Data1.identidad() &&
           lista_hecha_->datos2 == Data2.identidad() && lista_hecha_->datos3 == Data3.identidad();
}

bool Principal::actualizar_lineas_cambiadas() {
    const std::optional<CambioInstantanea>& cambio = Data1.cambio_al_refrescar();
    const ListaHecha hecha = *lista_hecha_;
    lista_hecha_.reset();
    if (!cambio || cambio->anterior.identidad() != hecha.datos1)
        return false;
    // The same walk of Tipo a fill makes: the type asked for still has the same code.
    const qint64 tipo = comprobar_codigo_componente(hecha.componente);
    if (tipo != hecha.tipo)
        return false;
    const bool todos_los_tipos = hecha.componente == todos;
    std::vector<int> quitar;
    for (int fila : cambio->quitadas)
        if (todos_los_tipos || Data1.entero_anterior(fila, 1) == tipo)
            quitar.push_back(linea_de_fila(fila, todos_los_tipos, tipo,
                                           [this](int otra) { return Data1.entero_anterior(otra, 1); }));
    std::vector<std::pair<int, ModeloLista::Linea>> poner;
    for (int fila : cambio->anadidas)
        if (todos_los_tipos || Data1.entero(fila, 1) == tipo)
            poner.emplace_back(
                linea_de_fila(fila, todos_los_tipos, tipo, [this](int otra) { return Data1.entero(otra, 1); }),
                linea_componente(fila));
    // The sources end where a fill leaves them: Data1 at end, Tipo and Marca on the last line's names.
    for (int fila = Data1.numero_filas() - 1; fila >= 0; --fila) {
        if (todos_los_tipos || Data1.entero(fila, 1) == tipo) {
            linea_componente(fila);
            break;
        }
    }
    Data1.situar(Data1.numero_filas());
    modelo_->cambiar_lineas(quitar, poner);
    lista_hecha_ =
        ListaHecha{hecha.componente, tipo, Data1.identidad(), Data2.identidad(), Data3.identidad(), modelo_->version()};
    return true;
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
    lista_hecha_.reset();
    const qint64 tipo = comprobar_codigo_componente(componente);
    crear_columnas_lista();
    const bool todos_los_tipos = componente == todos;
    // Each line is put together in UTF-8 straight from the snapshot, the texts linea_componente gives; the name of
    // each code is looked up once, and the sources end where a walk with a lookup per line leaves them.
    struct Nombre {
        std::string texto;
        int fila;
    };
    std::unordered_map<qint64, Nombre> tipos, marcas;
    std::unordered_map<quint64, std::string> reales;
    std::optional<int> ultima_tipo, ultima_marca;
    std::string linea;
    const auto cerrar_texto = [&](size_t inicio) {
        if (std::memchr(linea.data() + inicio, '\0', linea.size() - inicio))
            std::replace(linea.begin() + static_cast<std::ptrdiff_t>(inicio), linea.end(), '\0', ' ');
        linea += '\0';
    };
    const auto nombre = [&](OrigenDatos& origen, std::unordered_map<qint64, Nombre>& vistos,
                            std::optional<qint64> codigo, std::optional<int>& ultima) {
        const size_t inicio = linea.size();
        if (codigo) {
            auto it = vistos.find(*codigo);
            if (it == vistos.end()) {
                const std::optional<int> fila = origen.primera_fila_con_codigo(*codigo);
                Nombre n{{}, fila.value_or(origen.numero_filas())};
                if (fila)
                    origen.anadir_utf8(*fila, 1, n.texto);
                it = vistos.emplace(*codigo, std::move(n)).first;
            }
            linea += it->second.texto;
            ultima = it->second.fila;
        }
        cerrar_texto(inicio);
    };
    const auto columna = [&](int fila, int ordinal) {
        const size_t inicio = linea.size();
        Data1.anadir_utf8(fila, ordinal, linea);
        cerrar_texto(inicio);
    };
    ModeloLista::Lote lote;
    Data1.mover_primero();
    for (int fila = 0; fila < Data1.numero_filas(); ++fila) {
        const std::optional<qint64> tipo_fila = Data1.entero(fila, 1);
        if (!todos_los_tipos && tipo_fila != tipo)
            continue;
        linea.clear();
        columna(fila, 0);
        nombre(Data2, tipos, tipo_fila, ultima_tipo);
        nombre(Data3, marcas, Data1.entero(fila, 2), ultima_marca);
        for (int ordinal : {3, 4, 5})
            columna(fila, ordinal);
        const QVariant garantia = Data1.valor(fila, 6);
        if (garantia.typeId() == QMetaType::Double) {
            const double d = garantia.toDouble();
            quint64 bits;
            std::memcpy(&bits, &d, sizeof bits);
            auto it = reales.find(bits);
            if (it == reales.end())
                it = reales.emplace(bits, Data1.texto(fila, 6).toUtf8().toStdString()).first;
            const size_t inicio = linea.size();
            linea += it->second;
            cerrar_texto(inicio);
        } else {
            columna(fila, 6);
        }
        columna(fila, 7);
        // The renting flag is stored as 0 or 1: "Si" exactly when Valores::si_no says so.
        const std::optional<qint64> renting = Data1.entero(fila, 8);
        linea += renting && *renting != 0 ? "Si" : "No";
        linea += '\0';
        lote.anadir_junta(linea);
    }
    Data1.situar(Data1.numero_filas());
    if (ultima_tipo)
        Data2.situar(*ultima_tipo);
    if (ultima_marca)
        Data3.situar(*ultima_marca);
    modelo_->anadir(std::move(lote));
    lista_hecha_ =
        ListaHecha{componente, tipo, Data1.identidad(), Data2.identidad(), Data3.identidad(), modelo_->version()};
}

std::array<QString, 9> Principal::linea_componente(int fila) {
    // A code that this window's Tipo or Marca rows do not hold leaves its cell empty.
    const auto nombre = [](OrigenDatos& origen, std::optional<qint64> codigo) {
        return codigo ? Recorridos::nombre_de_codigo(origen, *codigo).value_or(QString()) : QString();
    };
    return {Data1.texto(fila, 0),
            nombre(Data2, Data1.entero(fila, 1)),
            nombre(Data3, Data1.entero(fila, 2)),
            Data1.texto(fila, 3),
            Data1.texto(fila, 4),
            Data1.texto(fila, 5),
            Data1.texto(fila, 6),
            Data1.texto(fila, 7),
            Valores::si_no(Data1.valor(fila, 8))};
}
