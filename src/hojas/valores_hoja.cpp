#include "hojas/valores_hoja.h"

#include "data/valores.h"

#include <QRegularExpression>
#include <cmath>

namespace ValoresHoja {

namespace {

const qint64 dia_cero = QDate(1899, 12, 30).toJulianDay();
constexpr double mayor_codigo = 9007199254740992.0;

std::optional<QDate> serie(double n) {
    // From 1 January 1900 to 31 December 9999, as spreadsheets count them.
    if (!std::isfinite(n) || n < 1 || n >= 2958466)
        return std::nullopt;
    return QDate::fromJulianDay(dia_cero + qint64(std::floor(n)));
}

} // namespace

QString plegar(const QString& texto) {
    const QString descompuesto = texto.trimmed().normalized(QString::NormalizationForm_KD);
    QString r;
    r.reserve(descompuesto.size());
    for (const QChar c : descompuesto)
        if (c.category() != QChar::Mark_NonSpacing)
            r += c;
    return r.toCaseFolded().simplified();
}

std::optional<QDate> fecha(const CeldaHoja& c) {
    switch (c.clase) {
    case CeldaHoja::Clase::fecha:
        return QDate::fromJulianDay(qint64(c.numero));
    case CeldaHoja::Clase::numero:
        return serie(c.numero);
    case CeldaHoja::Clase::texto: {
        const QString t = c.texto.trimmed();
        static const QRegularExpression dmy(QStringLiteral(R"(^(\d{1,2})[/.\-](\d{1,2})[/.\-](\d{4})$)"));
        static const QRegularExpression ymd(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[T ][0-9:.]+)?$)"));
        if (const auto m = dmy.match(t); m.hasMatch()) {
            const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
            return d.isValid() ? std::optional(d) : std::nullopt;
        }
        if (const auto m = ymd.match(t); m.hasMatch()) {
            const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
            return d.isValid() ? std::optional(d) : std::nullopt;
        }
        bool es = false;
        const int n = t.toInt(&es);
        return es ? serie(n) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> garantia(const CeldaHoja& c) {
    if (c.vacia())
        return 0.0;
    if (c.clase == CeldaHoja::Clase::numero)
        return std::isfinite(c.numero) && c.numero >= 0 ? std::optional(c.numero) : std::nullopt;
    if (c.clase != CeldaHoja::Clase::texto)
        return std::nullopt;
    static const QRegularExpression forma(QStringLiteral(R"(^(\d+(?:[.,]\d+)?)\s*([a-z]*)\.?$)"));
    const auto m = forma.match(plegar(c.texto));
    if (!m.hasMatch())
        return std::nullopt;
    const double n = QString(m.captured(1)).replace(u',', u'.').toDouble();
    static const QStringList meses = {QString(),
                                      QStringLiteral("m"),
                                      QStringLiteral("mes"),
                                      QStringLiteral("meses"),
                                      QStringLiteral("month"),
                                      QStringLiteral("months")};
    static const QStringList anos = {QStringLiteral("a"), QStringLiteral("ano"),  QStringLiteral("anos"),
                                     QStringLiteral("y"), QStringLiteral("year"), QStringLiteral("years")};
    if (meses.contains(m.captured(2)))
        return n;
    if (anos.contains(m.captured(2)))
        return n * 12;
    return std::nullopt;
}

std::optional<bool> renting(const CeldaHoja& c) {
    switch (c.clase) {
    case CeldaHoja::Clase::vacia:
        return false;
    case CeldaHoja::Clase::logico:
        return c.logico;
    case CeldaHoja::Clase::numero:
        if (c.numero == 1 || c.numero == 0)
            return c.numero == 1;
        return std::nullopt;
    case CeldaHoja::Clase::texto: {
        static const QStringList si = {QStringLiteral("si"),   QStringLiteral("s"),        QStringLiteral("yes"),
                                       QStringLiteral("y"),    QStringLiteral("x"),        QStringLiteral("1"),
                                       QStringLiteral("true"), QStringLiteral("verdadero")};
        static const QStringList no = {QString(),           QStringLiteral("no"),    QStringLiteral("n"),
                                       QStringLiteral("0"), QStringLiteral("false"), QStringLiteral("falso")};
        // The usual spellings are known at once; the rest are folded first.
        static const QStringList si_tal_cual = {QStringLiteral("Sí"), QStringLiteral("Si"), QStringLiteral("X")};
        static const QStringList no_tal_cual = {QStringLiteral("No")};
        if (si.contains(c.texto) || si_tal_cual.contains(c.texto))
            return true;
        if (no.contains(c.texto) || no_tal_cual.contains(c.texto))
            return false;
        const QString p = plegar(c.texto);
        if (si.contains(p))
            return true;
        if (no.contains(p))
            return false;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<qint64> codigo(const CeldaHoja& c) {
    if (c.clase == CeldaHoja::Clase::numero) {
        if (!std::isfinite(c.numero) || std::trunc(c.numero) != c.numero || std::fabs(c.numero) > mayor_codigo)
            return std::nullopt;
        return qint64(c.numero);
    }
    if (c.clase == CeldaHoja::Clase::texto)
        return Valores::entero_de_texto(c.texto);
    return std::nullopt;
}

QString texto(const CeldaHoja& c) {
    return c.clase == CeldaHoja::Clase::sin_valor ? QString() : c.como_texto().trimmed();
}

} // namespace ValoresHoja
