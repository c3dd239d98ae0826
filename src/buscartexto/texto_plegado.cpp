#include "buscartexto/texto_plegado.h"

#include <array>
#include <memory>

namespace {

// What one character of the basic plane folds to: up to three characters ("ﬃ" is "ffi"), or none for a combining
// mark.
struct Plegado {
    std::array<char16_t, 3> letras{};
    quint8 cuantas = 1;
};

// A character's base letter (the first character of its canonical decomposition, repeatedly) in its folded case.
char16_t base(char16_t c) {
    char16_t r = c;
    for (int vuelta = 0; vuelta < 4; ++vuelta) {
        const QChar ch(r);
        char16_t siguiente = ch.toCaseFolded().unicode();
        if (ch.decompositionTag() == QChar::Canonical) {
            const QString d = ch.decomposition();
            if (!d.isEmpty() && !d.front().isSurrogate())
                siguiente = d.front().toCaseFolded().unicode();
        }
        if (siguiente == r)
            break;
        r = siguiente;
    }
    return r;
}

// The letters a character stands for when it is written as one but read as several: "ß" and "ẞ" as "ss", the
// ligatures of the Latin alphabet ("ﬁ", "Ĳ", "ǆ", "æ", "œ") as their letters. Empty for any other character.
QString letras_de(char16_t c) {
    switch (c) {
    case u'ß':
    case u'ẞ':
        return QStringLiteral("ss");
    case u'æ':
    case u'Æ':
        return QStringLiteral("ae");
    case u'œ':
    case u'Œ':
        return QStringLiteral("oe");
    default:
        break;
    }
    const QChar ch(c);
    if (!ch.isLetter() || ch.decompositionTag() != QChar::Compat)
        return {};
    const QString d = ch.decomposition();
    if (d.size() < 2 || d.size() > 3)
        return {};
    for (QChar parte : d)
        if (!parte.isLetter() || parte.isSurrogate())
            return {};
    return d;
}

// Hangul syllables decompose into their letters, which are not accents: each syllable stays whole.
bool es_silaba_hangul(char16_t c) {
    return c >= 0xAC00 && c <= 0xD7A3;
}

const std::array<Plegado, 0x10000>& tabla() {
    static const std::unique_ptr<std::array<Plegado, 0x10000>> t = [] {
        auto nueva = std::make_unique<std::array<Plegado, 0x10000>>();
        for (char32_t c = 0; c < 0x10000; ++c) {
            Plegado& p = (*nueva)[c];
            const auto u = static_cast<char16_t>(c);
            p.letras[0] = u;
            if (c < 0x80) {
                if (c >= 'A' && c <= 'Z')
                    p.letras[0] = static_cast<char16_t>(c + ('a' - 'A'));
                continue;
            }
            if (QChar::isSurrogate(c) || es_silaba_hangul(u))
                continue;
            // A combining accent written after its letter (decomposed text, common from other systems) is dropped,
            // as the accent of a precomposed letter is.
            if (QChar::category(c) == QChar::Mark_NonSpacing) {
                p.cuantas = 0;
                continue;
            }
            const QString letras = letras_de(u);
            if (letras.isEmpty()) {
                p.letras[0] = base(u);
                continue;
            }
            p.cuantas = static_cast<quint8>(letras.size());
            for (qsizetype i = 0; i < letras.size(); ++i)
                p.letras[size_t(i)] = base(letras[i].unicode());
        }
        return nueva;
    }();
    return *t;
}

void anadir_utf8(char32_t c, std::string& destino) {
    if (c < 0x80) {
        destino.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        destino.push_back(static_cast<char>(0xC0 | (c >> 6)));
        destino.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        destino.push_back(static_cast<char>(0xE0 | (c >> 12)));
        destino.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        destino.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        destino.push_back(static_cast<char>(0xF0 | (c >> 18)));
        destino.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        destino.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        destino.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

namespace TextoPlegado {

QString plegar(QStringView texto) {
    const auto& t = tabla();
    QString r;
    r.reserve(texto.size());
    for (QChar c : texto) {
        const Plegado& p = t[c.unicode()];
        for (quint8 i = 0; i < p.cuantas; ++i)
            r.append(QChar(p.letras[i]));
    }
    return r;
}

void plegar_utf8(QStringView texto, std::string& destino) {
    const auto& t = tabla();
    const qsizetype n = texto.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = texto[i].unicode();
        if (c < 0x80) {
            destino.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(texto[i + 1].unicode())) {
            anadir_utf8(QChar::surrogateToUcs4(c, texto[i + 1].unicode()), destino);
            ++i;
            continue;
        }
        const Plegado& p = t[c];
        for (quint8 j = 0; j < p.cuantas; ++j)
            anadir_utf8(p.letras[j], destino);
    }
}

} // namespace TextoPlegado
