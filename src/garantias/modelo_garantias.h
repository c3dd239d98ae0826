#pragma once

#include "exportar/tabla_exportar.h"
#include "garantias/calculo_garantia.h"

#include <QAbstractTableModel>
#include <QColor>

class OrigenDatos;

// The lines of the warranty window: the entries the filter lets through, their texts read from the window's data
// sources only when a line is shown, printed or exported.
class ModeloGarantias : public QAbstractTableModel, public TablaExportar {
    Q_OBJECT
public:
    static constexpr int columnas = 9;
    // Soft colours that keep black text readable: ended, and ending soon.
    static inline const QColor rojo_suave{255, 205, 205};
    static inline const QColor ambar{255, 224, 150};

    ModeloGarantias(const OrigenDatos& elemento, const OrigenDatos& tipo, const OrigenDatos& marca,
                    QObject* padre = nullptr);

    void poner(std::vector<CalculoGarantia::Entrada> entradas, const QDate& hoy);
    int filas() const { return static_cast<int>(entradas_.size()); }
    QString texto(int fila, int columna) const;
    CalculoGarantia::Estado estado(int fila) const;

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int rol) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override;

    QStringList cabeceras_exportar() const override;
    ClaseExportar clase_exportar(int columna) const override;
    int filas_exportar() const override { return filas(); }
    QString texto_exportar(int fila, int columna) const override { return texto(fila, columna); }

private:
    const OrigenDatos& elemento_;
    const OrigenDatos& tipo_;
    const OrigenDatos& marca_;
    std::vector<CalculoGarantia::Entrada> entradas_;
    QDate hoy_;
};
