#pragma once

#include <QDate>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>

// How the program turns stored values into the texts the user sees, and typed texts into values.
namespace Valores {

// The text form of a true renting flag; a reader shows "Si" exactly when the flag's text form is this.
inline const QString verdadero = QStringLiteral("Verdadero");
inline const QString falso = QStringLiteral("Falso");

// A value's default text form: whole numbers as digits, other numbers in their shortest form with a point,
// dates "dd/mm/yyyy", flags "Verdadero"/"Falso", and no value at all as the empty text.
QString texto(const QVariant& valor);
QString texto_fecha(const QDate& fecha);
QString texto_real(double valor);

// "Si" when the flag's text form is "Verdadero", otherwise "No".
QString si_no(const QVariant& renting);

// A real calendar date written day/month/year with a four-digit year ("05/03/2000", "5/3/2000").
std::optional<QDate> fecha_de_texto(QStringView texto);

// A whole number in text form, with an optional sign; blanks around it are allowed.
std::optional<qint64> entero_de_texto(QStringView texto);

// The numeric reading of a typed number: blanks, tabs and line feeds anywhere are ignored, the text is read from
// its start as far as it forms a number (sign, digits, decimals, exponent), "&H" and "&O" introduce hexadecimal
// and octal digits, and a text that does not begin with a number reads 0.
double valor_numerico(QStringView texto);

} // namespace Valores
