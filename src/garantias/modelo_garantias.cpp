#include "garantias/modelo_garantias.h"

#include "data/origen_datos.h"
#include "data/valores.h"

namespace {

const char* const cabeceras[ModeloGarantias::columnas] = {
    "Codigo", "Tipo", "Marca", "Modelo", "Nº Serie", "Fecha", "Garantia", "Fin garantia", "Estado",
};

// The name of a type or brand by its code; empty when the table holds no such code, as in the main list.
QString nombre(const OrigenDatos& origen, std::optional<qint64> codigo) {
    if (!codigo)
        return {};
    const std::optional<int> fila = origen.primera_fila_con_codigo(*codigo);
    return fila ? origen.texto(*fila, 1) : QString();
}

} // namespace

ModeloGarantias::ModeloGarantias(const OrigenDatos& elemento, const OrigenDatos& tipo, const OrigenDatos& marca,
                                 QObject* padre)
    : QAbstractTableModel(padre), elemento_(elemento), tipo_(tipo), marca_(marca) {}

void ModeloGarantias::poner(std::vector<CalculoGarantia::Entrada> entradas, const QDate& hoy) {
    beginResetModel();
    entradas_ = std::move(entradas);
    hoy_ = hoy;
    endResetModel();
}

CalculoGarantia::Estado ModeloGarantias::estado(int fila) const {
    return CalculoGarantia::estado(QDate::fromJulianDay(entradas_[fila].fin), hoy_);
}

QString ModeloGarantias::texto(int fila, int columna) const {
    if (fila < 0 || fila >= filas())
        return {};
    const int f = entradas_[fila].fila;
    switch (columna) {
    case 0:
    case 3:
    case 4:
    case 5:
    case 6:
        return elemento_.texto(f, columna);
    case 1:
        return nombre(tipo_, elemento_.entero(f, 1));
    case 2:
        return nombre(marca_, elemento_.entero(f, 2));
    case 7:
        return Valores::texto_fecha(QDate::fromJulianDay(entradas_[fila].fin));
    case 8:
        return CalculoGarantia::texto_estado(QDate::fromJulianDay(entradas_[fila].fin), hoy_);
    default:
        return {};
    }
}

int ModeloGarantias::rowCount(const QModelIndex& padre) const {
    return padre.isValid() ? 0 : filas();
}

int ModeloGarantias::columnCount(const QModelIndex& padre) const {
    return padre.isValid() ? 0 : columnas;
}

QVariant ModeloGarantias::data(const QModelIndex& indice, int rol) const {
    if (!indice.isValid())
        return {};
    switch (rol) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return texto(indice.row(), indice.column());
    case Qt::BackgroundRole:
        switch (estado(indice.row())) {
        case CalculoGarantia::Estado::caducada:
            return rojo_suave;
        case CalculoGarantia::Estado::caduca_pronto:
            return ambar;
        case CalculoGarantia::Estado::vigente:
            return {};
        }
        return {};
    case Qt::ForegroundRole:
        return estado(indice.row()) == CalculoGarantia::Estado::vigente ? QVariant() : QVariant(QColor(Qt::black));
    default:
        return {};
    }
}

QVariant ModeloGarantias::headerData(int seccion, Qt::Orientation orientacion, int rol) const {
    if (orientacion == Qt::Horizontal && rol == Qt::DisplayRole && seccion >= 0 && seccion < columnas)
        return QString::fromUtf8(cabeceras[seccion]);
    return {};
}

QStringList ModeloGarantias::cabeceras_exportar() const {
    QStringList lista;
    for (const char* c : cabeceras)
        lista << QString::fromUtf8(c);
    return lista;
}

ClaseExportar ModeloGarantias::clase_exportar(int columna) const {
    switch (columna) {
    case 0:
    case 6:
        return ClaseExportar::numero;
    case 5:
    case 7:
        return ClaseExportar::fecha;
    default:
        return ClaseExportar::texto;
    }
}
