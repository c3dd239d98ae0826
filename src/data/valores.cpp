#include "data/valores.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

int valor_digito(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'z')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'Z')
        return u - u'A' + 10;
    return 99;
}

} // namespace

namespace Valores {

QString texto_fecha(const QDate& fecha) {
    // Years before Christ (year -44 is 44 BC; there is no year 0) are written as users read them.
    if (fecha.isValid() && fecha.year() < 1)
        return fecha.toString(QStringLiteral("dd/MM/")) + QString::number(-fecha.year()).rightJustified(4, u'0') +
               QStringLiteral(" a. C.");
    return fecha.toString(QStringLiteral("dd/MM/yyyy"));
}

QString texto_real(double valor) {
    // Plain decimal digits at any size ("100000", "12.5"), never an exponent the user would not read as months.
    return QLocale::c().toString(valor, 'f', QLocale::FloatingPointShortest);
}

QString texto(const QVariant& valor) {
    switch (valor.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(valor.toLongLong());
    case QMetaType::Double:
        return texto_real(valor.toDouble());
    case QMetaType::QDate:
        return texto_fecha(valor.toDate());
    case QMetaType::Bool:
        return valor.toBool() ? verdadero : falso;
    default:
        return valor.isNull() ? QString() : valor.toString();
    }
}

QString si_no(const QVariant& renting) {
    return texto(renting) == verdadero ? QStringLiteral("Si") : QStringLiteral("No");
}

std::optional<QDate> fecha_de_texto(QStringView texto) {
    static const QRegularExpression forma(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    const auto m = forma.match(texto.toString());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate fecha(m.capturedView(3).toInt(), m.capturedView(2).toInt(), m.capturedView(1).toInt());
    if (!fecha.isValid())
        return std::nullopt;
    return fecha;
}

std::optional<qint64> entero_de_texto(QStringView texto) {
    texto = texto.trimmed();
    const qsizetype inicio = (texto.startsWith(u'-') || texto.startsWith(u'+')) ? 1 : 0;
    if (texto.size() == inicio)
        return std::nullopt;
    for (qsizetype i = inicio; i < texto.size(); ++i)
        if (texto[i] < u'0' || texto[i] > u'9')
            return std::nullopt;
    bool bien = false;
    const qint64 valor = texto.mid(texto.startsWith(u'+') ? 1 : 0).toLongLong(&bien);
    if (!bien)
        return std::nullopt;
    return valor;
}

double valor_numerico(QStringView texto) {
    QString limpio;
    limpio.reserve(texto.size());
    for (QChar c : texto)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            limpio.append(c);

    if (limpio.size() >= 2 && limpio[0] == u'&') {
        const QChar base = limpio[1].toUpper();
        const int radix = base == u'H' ? 16 : base == u'O' ? 8 : 0;
        if (radix != 0) {
            double valor = 0;
            for (qsizetype i = 2; i < limpio.size() && valor_digito(limpio[i]) < radix; ++i)
                valor = valor * radix + valor_digito(limpio[i]);
            return valor;
        }
    }

    // The longest leading piece that reads as a number: sign, digits, ".", digits, exponent.
    qsizetype i = 0;
    const auto digitos = [&] {
        const qsizetype inicio = i;
        while (i < limpio.size() && limpio[i] >= u'0' && limpio[i] <= u'9')
            ++i;
        return i - inicio;
    };
    if (i < limpio.size() && (limpio[i] == u'+' || limpio[i] == u'-'))
        ++i;
    qsizetype cifras = digitos();
    if (i < limpio.size() && limpio[i] == u'.') {
        ++i;
        cifras += digitos();
    }
    if (cifras == 0)
        return 0;
    qsizetype fin = i;
    if (i < limpio.size() && QStringLiteral("eEdD").contains(limpio[i])) {
        ++i;
        if (i < limpio.size() && (limpio[i] == u'+' || limpio[i] == u'-'))
            ++i;
        if (digitos() > 0)
            fin = i;
    }
    QString numero = limpio.left(fin);
    numero.replace(u'd', u'e').replace(u'D', u'e');
    return QLocale::c().toDouble(numero);
}

} // namespace Valores
