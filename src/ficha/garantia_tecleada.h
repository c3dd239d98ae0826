#pragma once

#include <QStringView>
#include <optional>

// How the card reads the warranty typed in its box: a number of months from 0 up. Blanks, tabs and line feeds
// anywhere are ignored and the number is read from the start of the text, so "12 meses" is 12; the decimals follow
// a point or a comma ("1,5" is 1.5), an exponent may follow them, and "&H" or "&O" introduce hexadecimal or octal
// digits. What follows the number may be words, but not more of a number ("1,5,3", "1.000,5"), which could be read
// as more than one number.
namespace GarantiaTecleada {

enum class Problema { ninguno, no_es_numero, negativo, demasiado_grande, demasiado_pequeno };

struct Lectura {
    // The months, when the text holds a number of months that a real number holds as typed.
    std::optional<double> meses;
    Problema problema = Problema::ninguno;
};

Lectura leer(QStringView texto);

} // namespace GarantiaTecleada
