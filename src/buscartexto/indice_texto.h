#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

class OrigenDatos;

// The searchable texts of the main window's component snapshot, folded once (case and accents removed) and kept
// packed, so each search is one pass over memory and never a new read of the file. The texts are folded again only
// when the snapshot is another one (its identity changed: a refresh that found the file changed, a deletion, a write
// through the source); a refresh that keeps the same snapshot keeps them.
class IndiceTexto : public QObject {
    Q_OBJECT
public:
    // `elementos` is the data source of Elemento whose snapshot is searched; it outlives the index.
    IndiceTexto(const OrigenDatos& elementos, QObject* padre = nullptr);

    // The rows of the snapshot, in table order, whose code, model, serial number or description contains `texto`,
    // or whose type or brand (named as the list names them, from `tipos` and `marcas`) does, case and accents
    // aside. `texto` must not be empty.
    std::vector<int> buscar(const QString& texto, const OrigenDatos& tipos, const OrigenDatos& marcas);

    // How many times the texts have been folded; the tests check that a refresh of the same rows adds none.
    int veces_plegado() const { return veces_plegado_; }

private:
    void construir();

    const OrigenDatos& elementos_;
    // Per row: code, model, serial number and description, folded, in UTF-8, each ended by a zero byte.
    std::string plegados_;
    // Where each row's texts begin in `plegados_`, and one more entry for the end.
    std::vector<size_t> inicios_;
    // The snapshot the texts were folded from (its identity and rows), once `plegado_`.
    quint64 identidad_ = 0;
    int filas_ = 0;
    bool plegado_ = false;
    int veces_plegado_ = 0;
};
