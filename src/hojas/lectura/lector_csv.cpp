// CSV: the bytes are taken as UTF-8 when they are valid UTF-8 (a byte order mark aside) and as Windows-1252
// otherwise, which is what a spreadsheet saved "as CSV" on Windows writes. The separator is the one of tab, ";"
// and "," that splits the first lines most evenly into most cells; liborcus's CSV parser then splits the text,
// quoted cells with their separators and line breaks included. The user sees what was detected and may change it.
#include "hojas/lectura/lector_hoja.h"

#include "data/error_datos.h"

#include <orcus/csv_parser.hpp>

namespace LectorHoja {

namespace {

// Windows-1252's characters 0x80 to 0x9F; the rest are those of Latin-1.
constexpr char16_t cp1252[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QByteArray desde_1252(const QByteArray& bytes) {
    QString texto(bytes.size(), Qt::Uninitialized);
    QChar* destino = texto.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *destino++ = QChar(b >= 0x80 && b < 0xA0 ? cp1252[b - 0x80] : char16_t(b));
    }
    return texto.toUtf8();
}

// Well-formed UTF-8: each lead byte followed by its continuation bytes, no overlong or surrogate forms.
bool es_utf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* fin = p + bytes.size();
    while (p < fin) {
        const unsigned char c = *p++;
        int siguen = 0;
        char32_t v = 0;
        if (c < 0x80)
            continue;
        if (c >= 0xC2 && c <= 0xDF) {
            siguen = 1;
            v = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            siguen = 2;
            v = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            siguen = 3;
            v = c & 0x07;
        } else {
            return false;
        }
        if (fin - p < siguen)
            return false;
        for (int i = 0; i < siguen; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            v = v << 6 | (p[i] & 0x3F);
        }
        p += siguen;
        if ((siguen == 2 && (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF))) ||
            (siguen == 3 && (v < 0x10000 || v > 0x10FFFF)))
            return false;
    }
    return true;
}

// Cells per line for each candidate over the first lines, quotes respected.
QString detectar_separador(const QByteArray& texto) {
    const char candidatos[] = {'\t', ';', ','};
    QString mejor = QStringLiteral(",");
    double mejor_puntos = -1;
    for (char s : candidatos) {
        std::vector<int> cuentas{0};
        bool comillas = false;
        for (qsizetype i = 0; i < texto.size() && cuentas.size() <= 50; ++i) {
            const char c = texto[i];
            if (c == '"')
                comillas = !comillas;
            else if (!comillas && c == s)
                ++cuentas.back();
            else if (!comillas && c == '\n')
                cuentas.push_back(0);
        }
        if (cuentas.size() > 1 && cuentas.back() == 0)
            cuentas.pop_back();
        int iguales = 0;
        for (int n : cuentas)
            iguales += (n == cuentas.front() && n > 0) ? 1 : 0;
        // Even lines first, then more cells.
        const double puntos = cuentas.front() == 0 ? 0 : iguales * 1000.0 / double(cuentas.size()) + cuentas.front();
        if (puntos > mejor_puntos) {
            mejor_puntos = puntos;
            mejor = QString(QChar(s));
        }
    }
    return mejor;
}

struct Receptor {
    Celdas& celdas;
    qint64 fila = -1;
    int columna = 0;
    void begin_parse() {}
    void end_parse() {}
    void begin_row() {
        ++fila;
        columna = 0;
    }
    void end_row() {}
    void cell(const char* p, size_t n, bool) {
        if (n > 0 && p[n - 1] == '\r')
            --n;
        if (n > 0)
            if (CeldaHoja* c = celdas.en(fila, columna)) {
                c->clase = CeldaHoja::Clase::texto;
                c->texto = QString::fromUtf8(p, qsizetype(n));
            }
        ++columna;
    }
};

} // namespace

DatosHoja leer_csv(const QByteArray& bytes, const Opciones& opciones) {
    DatosHoja datos;
    QByteArray texto = bytes;
    const bool bom = texto.startsWith("\xEF\xBB\xBF");
    if (bom)
        texto.remove(0, 3);
    if (texto.contains('\0'))
        throw ErrorDatos(QStringLiteral("el archivo no es una hoja de cálculo ni un texto separado por comas."));
    datos.codificacion = opciones.codificacion.isEmpty()
                             ? (bom || es_utf8(texto) ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252"))
                             : opciones.codificacion;
    if (datos.codificacion == QLatin1String("Windows-1252"))
        texto = desde_1252(texto);
    else if (!es_utf8(texto))
        texto = QString::fromUtf8(texto).toUtf8();
    // Windows line ends become plain ones: liborcus's parser takes the carriage return after a quoted cell for
    // text outside the quotes.
    texto.replace("\r\n", "\n");
    datos.separador = opciones.separador.isEmpty() ? detectar_separador(texto) : opciones.separador;
    datos.hojas << QString();
    Celdas celdas;
    if (opciones.al_leer)
        celdas.emitir(opciones.al_leer);
    Receptor receptor{celdas};
    orcus::csv::parser_config config;
    config.delimiters = datos.separador.toStdString();
    config.text_qualifier = '"';
    config.trim_cell_value = false;
    orcus::csv_parser<Receptor> lector(texto.constData(), std::size_t(texto.size()), receptor, config);
    lector.parse();
    celdas.a(datos);
    return datos;
}

} // namespace LectorHoja
