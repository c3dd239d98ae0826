#include "plataforma/ventana_fija.h"

#include <QKeyEvent>

void VentanaFija::keyPressEvent(QKeyEvent* evento) {
    if (evento->key() == Qt::Key_Escape) {
        evento->accept();
        return;
    }
    QDialog::keyPressEvent(evento);
}
