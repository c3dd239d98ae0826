// The checks "Aceptar" makes before the card stores anything.
#include "ficha/ficha.h"

#include "data/valores.h"
#include "ficha/garantia_tecleada.h"
#include "plataforma/dbcombo.h"
#include "plataforma/mensajes.h"

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

namespace {

// A picker's bound value when no row is chosen: a new component's type and brand codes, or a typed text that names
// no row of the picker's table.
const QString sin_eleccion = QStringLiteral("0");

const QString codigo_vacio = QStringLiteral("ERROR: el campo Código esta vacio.");
const QString tipo_vacio = QStringLiteral("ERROR: el campo Tipo esta vacio.");
const QString marca_vacia = QStringLiteral("ERROR: el campo Marca esta vacio.");
const QString modelo_vacio = QStringLiteral("ERROR: el campo Modelo esta vacion.");
const QString serie_vacia = QStringLiteral("ERROR: el campo Nº de serie esta vacio.");
const QString fecha_vacia = QStringLiteral("ERROR: el campo Fecha esta vacio.");
const QString garantia_vacia = QStringLiteral("ERROR: el campo Garantia esta vacio.");
const QString renting_vacio = QStringLiteral("ERROR: el campo Renting esta vacio.");

const QString codigo_no_entero = QStringLiteral("ERROR: el campo Código no es un número entero.");
const QString codigo_grande =
    QStringLiteral("ERROR: el campo Código es un número demasiado grande: «%1»; un código va de %2 a %3.");
const QString codigo_repetido = QStringLiteral("ERROR: ya existe un componente con ese código.");
const QString codigo_de_baja = QStringLiteral("ERROR: ese código es de un componente dado de baja; elija otro o "
                                              "recupere el componente en Herramientas, Bajas.");
const QString fecha_no_valida = QStringLiteral("ERROR: el campo Fecha no es una fecha válida.");
const QString garantia_no_numero = QStringLiteral("ERROR: el campo Garantia no es un número de meses: «%1».");
const QString garantia_negativa =
    QStringLiteral("ERROR: el campo Garantia es negativo: «%1»; una garantía va de 0 meses en adelante.");
const QString garantia_grande = QStringLiteral("ERROR: el campo Garantia es un número demasiado grande: «%1».");
const QString garantia_pequena = QStringLiteral("ERROR: el campo Garantia es un número demasiado pequeño: «%1».");

// Digits only, with an optional sign and blanks around them: a whole number, if not one a code can hold.
bool solo_cifras(QStringView texto) {
    texto = texto.trimmed();
    if (texto.startsWith(u'-') || texto.startsWith(u'+'))
        texto = texto.mid(1);
    if (texto.isEmpty())
        return false;
    for (QChar c : texto)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The message for a warranty text that holds no number of months, or none.
std::optional<QString> problema_garantia(const QString& texto) {
    using GarantiaTecleada::Problema;
    switch (GarantiaTecleada::leer(texto).problema) {
    case Problema::ninguno:
        return std::nullopt;
    case Problema::no_es_numero:
        return garantia_no_numero.arg(texto);
    case Problema::negativo:
        return garantia_negativa.arg(texto);
    case Problema::demasiado_grande:
        return garantia_grande.arg(texto);
    case Problema::demasiado_pequeno:
        return garantia_pequena.arg(texto);
    }
    return std::nullopt;
}

} // namespace

void Ficha::comprobar_errores(bool& hay_errores) {
    hay_errores = false;
    // Every empty field is reported, each in its own box, in this order; nothing is trimmed.
    const std::pair<bool, const QString&> comprobaciones[] = {
        {Text1->text().isEmpty(), codigo_vacio},
        {DBCombo1->valor_enlazado() == sin_eleccion, tipo_vacio},
        {DBCombo2->valor_enlazado() == sin_eleccion, marca_vacia},
        {Text4->text().isEmpty(), modelo_vacio},
        {Text5->text().isEmpty(), serie_vacia},
        {Text6->text().isEmpty(), fecha_vacia},
        {Combo2->currentText().isEmpty(), garantia_vacia},
        {Combo1->currentText().isEmpty(), renting_vacio},
    };
    for (const auto& [vacio, mensaje] : comprobaciones) {
        if (!vacio)
            continue;
        Mensajes::aviso(this, mensaje);
        hay_errores = true;
    }
}

void Ficha::comprobar_valores(bool& hay_errores) {
    hay_errores = false;
    // What the file's columns cannot hold is refused here, before anything is written, and so is a second
    // component with the same code: deleting one of them would delete both.
    if (const std::optional<qint64> codigo = Valores::entero_de_texto(Text1->text()); !codigo) {
        if (solo_cifras(Text1->text()))
            Mensajes::aviso(this, codigo_grande.arg(Text1->text().trimmed(),
                                                    QString::number(std::numeric_limits<qint64>::min()),
                                                    QString::number(std::numeric_limits<qint64>::max())));
        else
            Mensajes::aviso(this, codigo_no_entero);
        hay_errores = true;
    } else if (codigo_ocupado(*codigo)) {
        Mensajes::aviso(this, codigo_repetido);
        hay_errores = true;
    } else if ((accion_ == ModoFicha::anadir || cambiado(0)) && codigo_dado_de_baja(*codigo)) {
        Mensajes::aviso(this, codigo_de_baja);
        hay_errores = true;
    }
    // A date left as it loaded is kept as stored, even one the card cannot take typed (before Christ, after 9999).
    if (cambiado(5) && !Valores::fecha_de_texto(Text6->text())) {
        Mensajes::aviso(this, fecha_no_valida);
        hay_errores = true;
    }
    // A warranty left as it loaded is kept as stored, whatever another program wrote there.
    if (cambiado(6)) {
        if (const std::optional<QString> problema = problema_garantia(Combo2->currentText())) {
            Mensajes::aviso(this, *problema);
            hay_errores = true;
        }
    }
}

bool Ficha::codigo_dado_de_baja(qint64 codigo) const {
    return std::binary_search(bajas_.begin(), bajas_.end(), codigo);
}

bool Ficha::codigo_ocupado(qint64 codigo) const {
    // Data1 was read from the file when the card loaded, and nothing else writes while the card is open. In modify
    // mode Data1 stands on the component's own row, which does not count.
    const int propia = accion_ == ModoFicha::modificar ? Data1.fila_actual() : -1;
    for (int fila = 0; fila < Data1.numero_filas(); ++fila)
        if (fila != propia && Data1.entero(fila, 0) == codigo)
            return true;
    return false;
}
