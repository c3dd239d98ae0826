#include "buscartexto/texto_plegado.h"

#include <array>
#include <memory>

namespace {

// What every character of the basic plane folds to, worked out once: its base letter (the first character of its
// canonical decomposition, repeatedly) in its folded case.
const std::array<char16_t, 0x10000>& tabla() {
    static const std::unique_ptr<std::array<char16_t, 0x10000>> t = [] {
        auto nueva = std::make_unique<std::array<char16_t, 0x10000>>();
        for (char32_t c = 0; c < 0x10000; ++c) {
            char16_t r = static_cast<char16_t>(c);
            if (c < 0x80) {
                if (c >= 'A' && c <= 'Z')
                    r = static_cast<char16_t>(c + ('a' - 'A'));
            } else if (!QChar::isSurrogate(c)) {
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
            }
            (*nueva)[c] = r;
        }
        return nueva;
    }();
    return *t;
}

} // namespace

namespace TextoPlegado {

QString plegar(QStringView texto) {
    const auto& t = tabla();
    QString r(texto.size(), Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(r.data());
    for (qsizetype i = 0; i < texto.size(); ++i)
        d[i] = t[texto[i].unicode()];
    return r;
}

void plegar_utf8(QStringView texto, std::string& destino) {
    const auto& t = tabla();
    const qsizetype n = texto.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = texto[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(texto[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), texto[i + 1].unicode());
            ++i;
        } else {
            c = t[c];
        }
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
}

} // namespace TextoPlegado
