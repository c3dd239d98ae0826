#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Lines of text packed in blocks of a fixed size: a large list grows a block at a time, never by copying all it
// holds into a buffer twice as large.
class TextosEnBloques {
public:
    // Keeps `linea` and returns where it stands.
    quint64 guardar(std::string_view linea);
    const char* en(quint64 sitio) const { return bloques_[sitio >> 32].data() + (sitio & 0xffffffffu); }
    // Takes over the blocks of `otros`; their places move by the returned amount.
    quint64 absorber(TextosEnBloques&& otros);

private:
    static constexpr size_t tamano_bloque = size_t(1) << 20;
    std::vector<std::string> bloques_;
};

// The items of the component list: one line per component, nine texts each, exactly as the fill wrote them, in
// the order they were added. Texts are kept packed (UTF-8) so a list of a million components stays small; the
// view asks only for the lines it shows.
class ModeloLista : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int columnas = 9;
    using Linea = std::array<QString, columnas>;

    // Lines built aside and added to the list in one step.
    class Lote {
    public:
        void anadir(const Linea& linea);
        // A line already put together: its nine texts in UTF-8, each followed by a zero byte and holding none.
        void anadir_junta(std::string_view linea) { lineas_.push_back(textos_.guardar(linea)); }
        int filas() const { return static_cast<int>(lineas_.size()); }

    private:
        friend class ModeloLista;
        TextosEnBloques textos_;
        std::vector<quint64> lineas_;
        std::string linea_; // reused while a line is put together
    };

    explicit ModeloLista(QObject* padre = nullptr);

    // The list has no columns until they are created.
    void crear_columnas(const QStringList& cabeceras);
    bool tiene_columnas() const { return !cabeceras_.isEmpty(); }
    void vaciar();
    void anadir(Lote&& lote);
    void quitar_fila(int fila);
    // Removes the lines `quitar` (ascending, numbered as before), then inserts the lines `poner` (ascending, each
    // numbered as it will stand), and tells the view the list changed as a whole, as a refill does.
    void cambiar_lineas(const std::vector<int>& quitar, const std::vector<std::pair<int, Linea>>& poner);
    // Changes with every change of the lines or columns.
    quint64 version() const { return version_; }

    int filas() const { return static_cast<int>(lineas_.size()); }
    QString texto(int fila, int columna) const;

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int rol) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override;

private:
    QStringList cabeceras_;
    TextosEnBloques textos_;
    std::vector<quint64> lineas_;
    quint64 version_ = 0;
};
