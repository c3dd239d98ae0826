// The card's fields: how much text each one takes, and which of them the user has changed since the card loaded.
#include "ficha/ficha.h"

#include "plataforma/dbcombo.h"
#include "plataforma/mensajes.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>

namespace {

// The fields as the card's messages name them, by the column each one stands for.
const char* const nombres_campos[Ficha::campos] = {"Código", "Tipo",     "Marca",       "Modelo", "Nº de serie",
                                                   "Fecha",  "Garantia", "Descripción", "Renting"};

const QString limite_pasado =
    QStringLiteral("ERROR: el campo %1 admite como mucho %2 caracteres; lo que no cabía no se ha escrito.");

} // namespace

QLineEdit* Ficha::edicion(int columna) const {
    switch (columna) {
    case 0:
        return Text1;
    case 1:
        return DBCombo1->lineEdit();
    case 2:
        return DBCombo2->lineEdit();
    case 3:
        return Text4;
    case 4:
        return Text5;
    case 5:
        return Text6;
    case 6:
        return Combo2->lineEdit();
    case 7:
        return Text8;
    default:
        return Combo1->lineEdit();
    }
}

void Ficha::limitar_campos() {
    for (int columna = 0; columna < campos; ++columna) {
        QLineEdit* campo = edicion(columna);
        campo->setMaxLength(caracteres_por_campo);
        // What a key or a paste would add past the limit is not written, and the user is told so.
        connect(campo, &QLineEdit::inputRejected, this, [this, campo, columna] {
            Mensajes::aviso(this, limite_pasado.arg(QString::fromUtf8(nombres_campos[columna]),
                                                    QLocale().toString(campo->maxLength())));
        });
    }
}

void Ficha::dar_cabida(int columna, const QString& texto) {
    // A text stored by another program may be longer than the card lets the user type: its field takes it whole.
    QLineEdit* campo = edicion(columna);
    if (texto.size() > campo->maxLength())
        campo->setMaxLength(static_cast<int>(texto.size()));
}

QString Ficha::texto_campo(int columna) const {
    // A picker stands for the code of the row chosen in it, whatever its shown text.
    if (columna == 1)
        return DBCombo1->valor_enlazado();
    if (columna == 2)
        return DBCombo2->valor_enlazado();
    return edicion(columna)->text();
}

void Ficha::recordar_cargados() {
    for (int columna = 0; columna < campos; ++columna) {
        cargados_[columna] = texto_campo(columna);
        // The start of a text longer than its field shows, rather than its end.
        edicion(columna)->setCursorPosition(0);
    }
}

bool Ficha::cambiado(int columna) const {
    // A new component has nothing stored yet: every field is the user's.
    return accion_ != ModoFicha::modificar || texto_campo(columna) != cargados_[columna];
}
