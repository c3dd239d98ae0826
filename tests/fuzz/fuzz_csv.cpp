// The CSV writer's quoting on any texts: the input, split into fields at each byte 0x1F and into rows at each byte
// 0x1E, is written as a CSV file would be (a byte order mark, fields joined by ';', rows ended by CRLF) and read back
// by a small reader of its own, which must find exactly the same rows and fields.
#include "exportar/escritura.h"

#include <QList>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

using Filas = QList<QStringList>;

// Reads a whole CSV file: a byte order mark first, ';' between fields, '"' around a field that holds ';', '"' or a
// line break (a quote inside written twice), CRLF after every row. Nothing when the bytes do not follow that form.
std::optional<Filas> leer_csv(const QByteArray& bytes) {
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return std::nullopt;
    Filas filas;
    QStringList fila;
    qsizetype i = 3;
    const qsizetype n = bytes.size();
    while (i < n) {
        QByteArray campo;
        if (bytes[i] == '"') {
            ++i;
            for (;;) {
                if (i >= n)
                    return std::nullopt; // a quoted field never closed
                if (bytes[i] == '"') {
                    if (i + 1 < n && bytes[i + 1] == '"') {
                        campo.append('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                campo.append(bytes[i++]);
            }
        } else {
            while (i < n && bytes[i] != ';' && bytes[i] != '\r' && bytes[i] != '"' && bytes[i] != '\n')
                campo.append(bytes[i++]);
            if (i < n && (bytes[i] == '"' || bytes[i] == '\n'))
                return std::nullopt; // a quote or a bare line break in a field left unquoted
        }
        fila << QString::fromUtf8(campo);
        if (i < n && bytes[i] == ';') {
            ++i;
            continue;
        }
        if (i + 1 < n && bytes[i] == '\r' && bytes[i + 1] == '\n') {
            i += 2;
            filas << fila;
            fila.clear();
            continue;
        }
        return std::nullopt; // anything else after a field, or a last row without its CRLF
    }
    if (!fila.isEmpty())
        return std::nullopt;
    return filas;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
    // Invalid UTF-8 becomes U+FFFD here, so the texts are the ones the program could hold.
    const QString texto = QString::fromUtf8(reinterpret_cast<const char*>(datos), static_cast<qsizetype>(n));
    Filas filas;
    for (const QString& linea : texto.split(QChar(0x1E)))
        filas << linea.split(QChar(0x1F));
    QByteArray csv("\xEF\xBB\xBF");
    for (const QStringList& fila : filas) {
        for (qsizetype c = 0; c < fila.size(); ++c) {
            if (c > 0)
                csv.append(';');
            Escritura::anadir_campo_csv(csv, fila[c]);
        }
        csv.append("\r\n");
    }
    if (leer_csv(csv) != filas)
        std::abort();
    return 0;
}
