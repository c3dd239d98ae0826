#include "principal/modelo_lista.h"

#include "data/error_datos.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
// Separates the nine texts of a line inside the packed buffer; the texts never hold it.
constexpr char separador = '\0';
} // namespace

void ModeloLista::Lote::anadir(const Linea& linea) {
    if (textos_.size() > std::numeric_limits<quint32>::max() - 64 * 1024)
        throw ErrorDatos(QStringLiteral("la lista tiene demasiados componentes para mostrarlos."));
    inicios_.push_back(static_cast<quint32>(textos_.size()));
    for (const QString& texto : linea) {
        const QByteArray utf8 = texto.toUtf8();
        const size_t inicio = textos_.size();
        textos_.append(utf8.constData(), static_cast<size_t>(utf8.size()));
        if (utf8.contains(separador))
            std::replace(textos_.begin() + static_cast<std::ptrdiff_t>(inicio), textos_.end(), separador, ' ');
        textos_ += separador;
    }
}

ModeloLista::ModeloLista(QObject* padre) : QAbstractTableModel(padre) {}

void ModeloLista::crear_columnas(const QStringList& cabeceras) {
    beginResetModel();
    cabeceras_ = cabeceras;
    endResetModel();
}

void ModeloLista::vaciar() {
    beginResetModel();
    textos_ = {};
    inicios_ = {};
    endResetModel();
}

void ModeloLista::anadir(Lote&& lote) {
    if (lote.inicios_.empty())
        return;
    if (textos_.size() + lote.textos_.size() > std::numeric_limits<quint32>::max())
        throw ErrorDatos(QStringLiteral("la lista tiene demasiados componentes para mostrarlos."));
    beginInsertRows({}, filas(), filas() + lote.filas() - 1);
    if (inicios_.empty()) {
        textos_ = std::move(lote.textos_);
        inicios_ = std::move(lote.inicios_);
    } else {
        const auto base = static_cast<quint32>(textos_.size());
        textos_ += lote.textos_;
        for (quint32 inicio : lote.inicios_)
            inicios_.push_back(base + inicio);
    }
    lote = {};
    endInsertRows();
}

void ModeloLista::quitar_fila(int fila) {
    if (fila < 0 || fila >= filas())
        return;
    beginRemoveRows({}, fila, fila);
    inicios_.erase(inicios_.begin() + fila);
    endRemoveRows();
}

QString ModeloLista::texto(int fila, int columna) const {
    if (fila < 0 || fila >= filas() || columna < 0 || columna >= columnas)
        return {};
    const char* p = textos_.data() + inicios_[fila];
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
