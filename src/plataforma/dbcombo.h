#pragma once

#include <QComboBox>
#include <QPointer>
#include <QString>
#include <QStringList>

class OrigenDatos;

// A data-bound drop-down picker. Its list shows the list column of every row of its row source, in table order;
// the user may choose a row or type. It holds two values: the shown text, and the bound value, which is
//  - the bound column of the row the user chose (or of the first row whose list column equals the typed text
//    exactly; "0" when the typed text names no row),
//  - or, when its data source moves to a row, that row's data column.
// Text written by the program shows without changing the bound value.
class DBCombo : public QComboBox {
    Q_OBJECT
public:
    explicit DBCombo(QWidget* padre = nullptr);

    // The data source whose rows the list offers; the list is read again whenever it is refreshed.
    void fijar_origen_filas(OrigenDatos* origen);
    void fijar_columna_lista(const QString& columna);
    void fijar_columna_enlazada(const QString& columna);
    // The data source of the edited row and the column of that row the picker stands for.
    void fijar_origen_datos(OrigenDatos* origen);
    void fijar_columna_datos(const QString& columna);

    QString valor_enlazado() const { return valor_enlazado_; }
    // Writes the shown text; the bound value stays as it is.
    void fijar_texto(const QString& texto);

    // Reads the list again from the row source, keeping the shown text.
    void rellenar();

private:
    void elegir_fila(int indice);
    void texto_tecleado(const QString& texto);
    void seguir_datos();

    QPointer<OrigenDatos> origen_filas_;
    QPointer<OrigenDatos> origen_datos_;
    QString columna_lista_;
    QString columna_enlazada_;
    QString columna_datos_;
    // The bound column of each row offered, in list order.
    QStringList valores_filas_;
    QString valor_enlazado_;
};
