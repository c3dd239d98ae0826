#include "plataforma/dbcombo.h"

#include "data/origen_datos.h"

#include <QLineEdit>

DBCombo::DBCombo(QWidget* padre) : QComboBox(padre) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(12);
    connect(this, &QComboBox::activated, this, &DBCombo::elegir_fila);
    connect(lineEdit(), &QLineEdit::textEdited, this, &DBCombo::texto_tecleado);
}

void DBCombo::fijar_origen_filas(OrigenDatos* origen) {
    if (origen_filas_)
        disconnect(origen_filas_, nullptr, this, nullptr);
    origen_filas_ = origen;
    if (origen)
        connect(origen, &OrigenDatos::refrescado, this, &DBCombo::rellenar);
}

void DBCombo::fijar_columna_lista(const QString& columna) {
    columna_lista_ = columna;
    rellenar();
}

void DBCombo::fijar_columna_enlazada(const QString& columna) {
    columna_enlazada_ = columna;
    rellenar();
}

void DBCombo::fijar_origen_datos(OrigenDatos* origen) {
    if (origen_datos_)
        disconnect(origen_datos_, nullptr, this, nullptr);
    origen_datos_ = origen;
    if (origen)
        connect(origen, &OrigenDatos::fila_cambiada, this, &DBCombo::seguir_datos);
}

void DBCombo::fijar_columna_datos(const QString& columna) {
    columna_datos_ = columna;
}

void DBCombo::fijar_texto(const QString& texto) {
    setEditText(texto);
}

void DBCombo::rellenar() {
    const QString texto = currentText();
    const bool bloqueado = blockSignals(true);
    clear();
    valores_filas_.clear();
    if (origen_filas_ && origen_filas_->abierto()) {
        const int lista = origen_filas_->tabla().ordinal(columna_lista_);
        const int enlazada = origen_filas_->tabla().ordinal(columna_enlazada_);
        if (lista >= 0) {
            QStringList nombres;
            nombres.reserve(origen_filas_->numero_filas());
            for (int fila = 0; fila < origen_filas_->numero_filas(); ++fila) {
                nombres << origen_filas_->texto(fila, lista);
                valores_filas_ << (enlazada >= 0 ? origen_filas_->texto(fila, enlazada) : QString());
            }
            addItems(nombres);
        }
    }
    setCurrentIndex(-1);
    setEditText(texto);
    blockSignals(bloqueado);
}

void DBCombo::elegir_fila(int indice) {
    if (indice >= 0 && indice < valores_filas_.size())
        valor_enlazado_ = valores_filas_[indice];
}

void DBCombo::texto_tecleado(const QString& texto) {
    const int indice = findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    valor_enlazado_ = indice >= 0 ? valores_filas_.value(indice) : QStringLiteral("0");
}

void DBCombo::seguir_datos() {
    if (!origen_datos_ || columna_datos_.isEmpty())
        return;
    const int ordinal = origen_datos_->tabla().ordinal(columna_datos_);
    if (ordinal < 0)
        return;
    const bool hay_fila = origen_datos_->hay_pendiente() || origen_datos_->hay_fila_actual();
    valor_enlazado_ = hay_fila ? origen_datos_->leer_texto(ordinal) : QString();
}
