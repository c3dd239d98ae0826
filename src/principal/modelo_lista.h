#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <string>
#include <vector>

// The items of the component list: one line per component, nine texts each, exactly as the fill wrote them, in
// the order they were added. Texts are kept packed (UTF-8, one buffer) so a list of a million components stays
// small; the view asks only for the lines it shows.
class ModeloLista : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int columnas = 9;
    using Linea = std::array<QString, columnas>;

    // Lines built aside and added to the list in one step.
    class Lote {
    public:
        void anadir(const Linea& linea);
        int filas() const { return static_cast<int>(inicios_.size()); }

    private:
        friend class ModeloLista;
        std::string textos_;
        std::vector<quint32> inicios_;
    };

    explicit ModeloLista(QObject* padre = nullptr);

    // The list has no columns until they are created.
    void crear_columnas(const QStringList& cabeceras);
    bool tiene_columnas() const { return !cabeceras_.isEmpty(); }
    void vaciar();
    void anadir(Lote&& lote);
    void quitar_fila(int fila);

    int filas() const { return static_cast<int>(inicios_.size()); }
    QString texto(int fila, int columna) const;

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int rol) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override;

private:
    QStringList cabeceras_;
    std::string textos_;
    std::vector<quint32> inicios_;
};
