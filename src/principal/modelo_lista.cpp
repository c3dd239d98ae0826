#include "principal/modelo_lista.h"

#include "data/error_datos.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
// Separates the nine texts of a line inside the packed buffer; the texts never hold it.
constexpr char separador = '\0';
} // namespace

quint64 TextosEnBloques::guardar(std::string_view linea) {
    if (bloques_.empty() || bloques_.back().capacity() - bloques_.back().size() < linea.size()) {
        if (bloques_.size() >= std::numeric_limits<quint32>::max())
            throw ErrorDatos(QStringLiteral("la lista tiene demasiados componentes para mostrarlos."));
        bloques_.emplace_back();
        bloques_.back().reserve(std::max(tamano_bloque, linea.size()));
    }
    std::string& bloque = bloques_.back();
    const quint64 sitio = (quint64(bloques_.size() - 1) << 32) | bloque.size();
    bloque.append(linea);
    return sitio;
}

quint64 TextosEnBloques::absorber(TextosEnBloques&& otros) {
    const quint64 desplazamiento = quint64(bloques_.size()) << 32;
    for (std::string& bloque : otros.bloques_)
        bloques_.push_back(std::move(bloque));
    otros.bloques_.clear();
    return desplazamiento;
}

void ModeloLista::Lote::anadir(const Linea& linea) {
    linea_.clear();
    for (const QString& texto : linea) {
        const QByteArray utf8 = texto.toUtf8();
        const size_t inicio = linea_.size();
        linea_.append(utf8.constData(), static_cast<size_t>(utf8.size()));
        if (utf8.contains(separador))
            std::replace(linea_.begin() + static_cast<std::ptrdiff_t>(inicio), linea_.end(), separador, ' ');
        linea_ += separador;
    }
    lineas_.push_back(textos_.guardar(linea_));
}

ModeloLista::ModeloLista(QObject* padre) : QAbstractTableModel(padre) {}

void ModeloLista::crear_columnas(const QStringList& cabeceras) {
    beginResetModel();
    cabeceras_ = cabeceras;
    ++version_;
    endResetModel();
}

void ModeloLista::vaciar() {
    beginResetModel();
    textos_ = {};
    lineas_ = {};
    ++version_;
    endResetModel();
}

void ModeloLista::anadir(Lote&& lote) {
    if (lote.lineas_.empty())
        return;
    beginInsertRows({}, filas(), filas() + lote.filas() - 1);
    if (lineas_.empty()) {
        textos_ = std::move(lote.textos_);
        lineas_ = std::move(lote.lineas_);
    } else {
        const quint64 desplazamiento = textos_.absorber(std::move(lote.textos_));
        for (quint64 sitio : lote.lineas_)
            lineas_.push_back(sitio + desplazamiento);
    }
    lote = {};
    ++version_;
    endInsertRows();
}

void ModeloLista::quitar_fila(int fila) {
    if (fila < 0 || fila >= filas())
        return;
    beginRemoveRows({}, fila, fila);
    lineas_.erase(lineas_.begin() + fila);
    ++version_;
    endRemoveRows();
}

void ModeloLista::cambiar_lineas(const std::vector<int>& quitar, const std::vector<std::pair<int, Linea>>& poner) {
    beginResetModel();
    for (auto it = quitar.rbegin(); it != quitar.rend(); ++it)
        if (*it >= 0 && *it < filas())
            lineas_.erase(lineas_.begin() + *it);
    for (const auto& [fila, linea] : poner) {
        Lote lote;
        lote.anadir(linea);
        const quint64 sitio = textos_.guardar(lote.linea_);
        lineas_.insert(lineas_.begin() + std::clamp(fila, 0, filas()), sitio);
    }
    ++version_;
    endResetModel();
}

QString ModeloLista::texto(int fila, int columna) const {
    if (fila < 0 || fila >= filas() || columna < 0 || columna >= columnas)
        return {};
    const char* p = textos_.en(lineas_[fila]);
    for (int i = 0; i < columna; ++i)
        p += std::strlen(p) + 1;
    return QString::fromUtf8(p, static_cast<qsizetype>(std::strlen(p)));
}

int ModeloLista::rowCount(const QModelIndex& padre) const {
    return padre.isValid() ? 0 : filas();
}

int ModeloLista::columnCount(const QModelIndex& padre) const {
    return padre.isValid() ? 0 : static_cast<int>(cabeceras_.size());
}

QVariant ModeloLista::data(const QModelIndex& indice, int rol) const {
    if (!indice.isValid() || (rol != Qt::DisplayRole && rol != Qt::AccessibleTextRole))
        return {};
    return texto(indice.row(), indice.column());
}

QVariant ModeloLista::headerData(int seccion, Qt::Orientation orientacion, int rol) const {
    if (orientacion == Qt::Horizontal && rol == Qt::DisplayRole && seccion >= 0 && seccion < cabeceras_.size())
        return cabeceras_[seccion];
    return {};
}
