#include "ficha/garantia_tecleada.h"

#include <QString>
#include <charconv>
#include <cmath>
#include <string>

namespace GarantiaTecleada {

namespace {

int valor_digito(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    const QChar m = c.toUpper();
    if (m >= u'A' && m <= u'F')
        return m.unicode() - u'A' + 10;
    return 99;
}

bool sigue_un_numero(const QString& limpio, qsizetype i) {
    return i < limpio.size() && (limpio[i].isDigit() || limpio[i] == u'.' || limpio[i] == u',');
}

Lectura comprobada(double meses) {
    if (!std::isfinite(meses))
        return {std::nullopt, Problema::demasiado_grande};
    if (meses < 0)
        return {std::nullopt, Problema::negativo};
    // "-0" is no warranty, stored as 0.
    return {meses == 0 ? 0.0 : meses, Problema::ninguno};
}

} // namespace

Lectura leer(QStringView texto) {
    QString limpio;
    limpio.reserve(texto.size());
    for (QChar c : texto)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            limpio.append(c);
    const Lectura no_es_numero{std::nullopt, Problema::no_es_numero};

    if (limpio.size() >= 2 && limpio[0] == u'&' && (limpio[1].toUpper() == u'H' || limpio[1].toUpper() == u'O')) {
        const int base = limpio[1].toUpper() == u'H' ? 16 : 8;
        double valor = 0;
        qsizetype i = 2;
        for (; i < limpio.size() && valor_digito(limpio[i]) < base; ++i)
            valor = valor * base + valor_digito(limpio[i]);
        if (i == 2 || sigue_un_numero(limpio, i))
            return no_es_numero;
        return comprobada(valor);
    }

    // Sign, digits, a decimal point or comma and digits, then an exponent: the number the user wrote, with a point.
    std::string numero;
    qsizetype i = 0;
    bool negativo = false;
    if (i < limpio.size() && (limpio[i] == u'+' || limpio[i] == u'-'))
        negativo = limpio[i++] == u'-';
    // Where the first significant digit stands from the point, to tell a number too large from one too small.
    qsizetype enteras = 0, ceros_decimales = 0;
    bool significativa = false;
    for (; i < limpio.size() && limpio[i].isDigit() && limpio[i].unicode() < 128; ++i) {
        significativa = significativa || limpio[i] != u'0';
        enteras += significativa;
        numero += static_cast<char>(limpio[i].unicode());
    }
    qsizetype cifras = static_cast<qsizetype>(numero.size());
    if (i < limpio.size() && (limpio[i] == u'.' || limpio[i] == u',')) {
        numero += '.';
        for (++i; i < limpio.size() && limpio[i].isDigit() && limpio[i].unicode() < 128; ++i, ++cifras) {
            if (!significativa && limpio[i] == u'0')
                ++ceros_decimales;
            significativa = significativa || limpio[i] != u'0';
            numero += static_cast<char>(limpio[i].unicode());
        }
    }
    if (cifras == 0)
        return no_es_numero;
    long long exponente = 0;
    if (i < limpio.size() && QStringLiteral("eEdD").contains(limpio[i])) {
        qsizetype j = i + 1;
        bool menos = false;
        if (j < limpio.size() && (limpio[j] == u'+' || limpio[j] == u'-'))
            menos = limpio[j++] == u'-';
        const qsizetype inicio = j;
        std::string cifras_exponente;
        for (; j < limpio.size() && limpio[j].isDigit() && limpio[j].unicode() < 128; ++j)
            if (cifras_exponente.size() < 9)
                cifras_exponente += static_cast<char>(limpio[j].unicode());
        if (j > inicio) {
            exponente = std::stoll(cifras_exponente) * (menos ? -1 : 1);
            numero += 'e' + std::to_string(exponente);
            i = j;
        }
    }
    if (sigue_un_numero(limpio, i))
        return no_es_numero;
    double valor = 0;
    const auto [fin, error] = std::from_chars(numero.data(), numero.data() + numero.size(), valor);
    if (error == std::errc::result_out_of_range) {
        // Out of a real number's range: beyond its greatest value, or so small that it would be stored as 0.
        const long long orden = (enteras > 0 ? enteras : -ceros_decimales) + exponente;
        return {std::nullopt, orden > 0 ? Problema::demasiado_grande : Problema::demasiado_pequeno};
    }
    if (error != std::errc() || fin != numero.data() + numero.size())
        return no_es_numero;
    return comprobada(negativo ? -valor : valor);
}

} // namespace GarantiaTecleada
