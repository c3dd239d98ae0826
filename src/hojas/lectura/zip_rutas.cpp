// Some writers (openpyxl, and so pandas) name the parts of an XLSX package by absolute paths ("/xl/worksheets/
// sheet1.xml") and write texts inside the cells ("inline strings"); liborcus 0.17 looks for those parts under "xl/"
// and reads only texts kept in the shared strings part, so it would find no sheet, or sheets without texts. Such a
// package is rebuilt in memory the way liborcus reads it: relative paths, the cells' texts moved to a shared
// strings part. The parts rewritten are stored without compression; every other part keeps its compressed bytes.
#include "hojas/lectura/lector_hoja.h"

#include <QRegularExpression>
#include <map>
#include <optional>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

namespace LectorHoja {

namespace {

quint32 crc32(const QByteArray& datos) {
    static const std::array<quint32, 256> tabla = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : datos)
        c = tabla[(c ^ static_cast<unsigned char>(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

quint32 leer32(const QByteArray& b, qsizetype i) {
    if (i < 0 || i + 4 > b.size())
        throw std::runtime_error("zip");
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + i);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 leer16(const QByteArray& b, qsizetype i) {
    if (i < 0 || i + 2 > b.size())
        throw std::runtime_error("zip");
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + i);
    return quint16(p[0] | p[1] << 8);
}

void poner32(QByteArray& b, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b += char((v >> (8 * i)) & 0xFF);
}

void poner16(QByteArray& b, quint16 v) {
    b += char(v & 0xFF);
    b += char(v >> 8);
}

// One entry of a zip package as its two headers name it.
struct Entrada {
    quint16 metodo, hora, fecha;
    quint32 crc, comprimido, tamano;
    const QByteArray& nombre;
    quint32 desplazamiento;
};

// The entry's local header (before its data) or its header in the central directory.
void poner_cabecera(QByteArray& b, const Entrada& e, bool central) {
    poner32(b, central ? 0x02014b50u : 0x04034b50u);
    if (central)
        poner16(b, 20);
    for (quint16 v : {quint16(20), quint16(0), e.metodo, e.hora, e.fecha})
        poner16(b, v);
    poner32(b, e.crc);
    poner32(b, e.comprimido);
    poner32(b, e.tamano);
    poner16(b, quint16(e.nombre.size()));
    poner16(b, 0);
    if (central) {
        for (int i = 0; i < 3; ++i)
            poner16(b, 0);
        poner32(b, 0);
        poner32(b, e.desplazamiento);
    }
    b += e.nombre;
}

QByteArray relativas(const QByteArray& rels, const QString& entrada) {
    // "xl/_rels/workbook.xml.rels" speaks of paths under "xl/".
    QString base = entrada.section(QStringLiteral("_rels/"), 0, 0);
    QString texto = QString::fromUtf8(rels);
    static const QRegularExpression destino(QStringLiteral(R"x(Target="/([^"]*)")x"));
    QString r;
    qsizetype desde = 0;
    for (auto it = destino.globalMatch(texto); it.hasNext();) {
        const auto m = it.next();
        QString ruta = m.captured(1);
        if (ruta.startsWith(base))
            ruta = ruta.mid(base.size());
        else
            ruta = QStringLiteral("../").repeated(base.count(u'/')) + ruta;
        r += texto.mid(desde, m.capturedStart() - desde) + QStringLiteral("Target=\"%1\"").arg(ruta);
        desde = m.capturedEnd();
    }
    return (r + texto.mid(desde)).toUtf8();
}

// The cells with texts of their own point instead at new items of the shared strings, numbered from `primero`.
QByteArray sin_textos_en_celdas(const QByteArray& hoja, QByteArray& items, int& siguiente) {
    static const QByteArray marca("t=\"inlineStr\"");
    QByteArray r;
    r.reserve(hoja.size());
    qsizetype desde = 0;
    for (qsizetype i; (i = hoja.indexOf(marca, desde)) >= 0;) {
        const qsizetype cierre = hoja.indexOf('>', i);
        if (cierre < 0)
            break;
        r += hoja.mid(desde, i - desde);
        if (hoja[cierre - 1] == '/') {
            // An empty cell: no type at all.
            r += hoja.mid(i + marca.size(), cierre + 1 - i - marca.size());
            desde = cierre + 1;
            continue;
        }
        const qsizetype fin_celda = hoja.indexOf("</c>", cierre);
        const qsizetype is = hoja.indexOf("<is>", cierre);
        const qsizetype fin_is = hoja.indexOf("</is>", cierre);
        if (fin_celda < 0 || is < 0 || fin_is < 0 || is > fin_celda || fin_is > fin_celda) {
            r += hoja.mid(i + marca.size(),
                          fin_celda < 0 ? cierre + 1 - i - marca.size() : fin_celda - i - marca.size());
            desde = fin_celda < 0 ? cierre + 1 : fin_celda;
            continue;
        }
        items += "<si>" + hoja.mid(is + 4, fin_is - is - 4) + "</si>";
        r += "t=\"s\"" + hoja.mid(i + marca.size(), cierre + 1 - i - marca.size()) + "<v>" +
             QByteArray::number(siguiente++) + "</v>";
        desde = fin_celda;
    }
    r += hoja.mid(desde);
    return r;
}

} // namespace

QByteArray preparar_xlsx(const QByteArray& zip) {
    orcus::zip_archive_stream_blob flujo(reinterpret_cast<const uint8_t*>(zip.constData()), std::size_t(zip.size()));
    orcus::zip_archive archivo(&flujo);
    archivo.load();
    std::map<QByteArray, QByteArray> nuevas;
    const auto leer = [&](std::string_view nombre) -> std::optional<QByteArray> {
        std::vector<unsigned char> contenido;
        if (!archivo.read_file_entry(nombre, contenido))
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(contenido.data()), qsizetype(contenido.size()));
    };
    std::map<QByteArray, QByteArray> partes;
    const QByteArray cadenas_parte = "xl/sharedStrings.xml";
    bool hay_cadenas = false;
    bool absolutas = false;
    for (std::size_t i = 0; i < archivo.get_file_entry_count(); ++i) {
        const std::string_view n = archivo.get_file_entry_name(i);
        const QByteArray nombre(n.data(), qsizetype(n.size()));
        hay_cadenas = hay_cadenas || nombre == cadenas_parte;
        if (nombre.endsWith(".rels") || nombre == "[Content_Types].xml")
            if (const auto c = leer(n)) {
                partes[nombre] = *c;
                absolutas = absolutas || c->contains("Target=\"/");
            }
    }
    // Spreadsheet programs keep their texts in the shared strings part; the sheets of a package that has one and
    // names its parts relatively are not unpacked here (a large sheet costs as much again to unpack).
    if (hay_cadenas && !absolutas)
        return {};
    for (std::size_t i = 0; i < archivo.get_file_entry_count(); ++i) {
        const std::string_view n = archivo.get_file_entry_name(i);
        const QByteArray nombre(n.data(), qsizetype(n.size()));
        if (nombre.startsWith("xl/worksheets/") || nombre == cadenas_parte)
            if (const auto c = leer(n))
                partes[nombre] = *c;
    }
    for (auto& [nombre, contenido] : partes)
        if (nombre.endsWith(".rels") && contenido.contains("Target=\"/"))
            nuevas[nombre] = contenido = relativas(contenido, QString::fromUtf8(nombre));
    // The cells' own texts, numbered after the shared strings the package already has.
    QByteArray items;
    int siguiente = 0;
    if (hay_cadenas) {
        const QByteArray& sst = partes[cadenas_parte];
        siguiente = int(sst.count("<si>") + sst.count("<si "));
    }
    const int antes = siguiente;
    for (auto& [nombre, contenido] : partes)
        if (nombre.startsWith("xl/worksheets/") && nombre.endsWith(".xml") && contenido.contains("t=\"inlineStr\""))
            nuevas[nombre] = sin_textos_en_celdas(contenido, items, siguiente);
    std::vector<std::pair<QByteArray, QByteArray>> anadidas;
    if (siguiente > antes) {
        if (hay_cadenas) {
            QByteArray sst = partes[cadenas_parte];
            const qsizetype fin = sst.lastIndexOf("</sst>");
            if (fin < 0)
                throw std::runtime_error("zip");
            nuevas[cadenas_parte] = sst.insert(fin, items);
        } else {
            anadidas.emplace_back(cadenas_parte, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                                 "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                                                 "main\">" +
                                                     items + "</sst>");
            const QByteArray rels = "xl/_rels/workbook.xml.rels";
            const QByteArray tipos = "[Content_Types].xml";
            if (!partes.count(rels) || !partes.count(tipos))
                throw std::runtime_error("zip");
            QByteArray r = nuevas.count(rels) ? nuevas[rels] : partes[rels];
            const qsizetype fin_r = r.lastIndexOf("</Relationships>");
            QByteArray t = partes[tipos];
            const qsizetype fin_t = t.lastIndexOf("</Types>");
            if (fin_r < 0 || fin_t < 0)
                throw std::runtime_error("zip");
            nuevas[rels] = r.insert(fin_r, "<Relationship Id=\"rIdTalvirencaSst\" Type=\"http://schemas."
                                           "openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
                                           "Target=\"sharedStrings.xml\"/>");
            nuevas[tipos] = t.insert(fin_t, "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
                                            "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>");
        }
    }
    if (nuevas.empty())
        return {};
    // The end of the central directory: its signature, searched from the end past a comment.
    qsizetype fin = zip.size() - 22;
    while (fin >= 0 && leer32(zip, fin) != 0x06054b50u)
        --fin;
    if (fin < 0)
        throw std::runtime_error("zip");
    const int entradas = leer16(zip, fin + 10);
    qsizetype cd = leer32(zip, fin + 16);
    QByteArray salida;
    QByteArray directorio;
    salida.reserve(zip.size() + 4096);
    for (int e = 0; e < entradas; ++e) {
        if (leer32(zip, cd) != 0x02014b50u)
            throw std::runtime_error("zip");
        const quint16 metodo = leer16(zip, cd + 10);
        const quint16 hora = leer16(zip, cd + 12);
        const quint16 fecha = leer16(zip, cd + 14);
        quint32 crc = leer32(zip, cd + 16);
        quint32 comprimido = leer32(zip, cd + 20);
        quint32 tamano = leer32(zip, cd + 24);
        const quint16 largo_nombre = leer16(zip, cd + 28);
        const quint16 largo_extra = leer16(zip, cd + 30);
        const quint16 largo_comentario = leer16(zip, cd + 32);
        const quint32 local = leer32(zip, cd + 42);
        const QByteArray nombre = zip.mid(cd + 46, largo_nombre);
        const qsizetype datos = qsizetype(local) + 30 + leer16(zip, local + 26) + leer16(zip, local + 28);
        QByteArray contenido;
        quint16 metodo_nuevo = metodo;
        if (const auto it = nuevas.find(nombre); it != nuevas.end()) {
            contenido = it->second;
            metodo_nuevo = 0;
            crc = crc32(contenido);
            comprimido = tamano = quint32(contenido.size());
        } else {
            if (datos + qsizetype(comprimido) > zip.size())
                throw std::runtime_error("zip");
            contenido = zip.mid(datos, comprimido);
        }
        const quint32 desplazamiento = quint32(salida.size());
        const Entrada entrada{metodo_nuevo, hora, fecha, crc, comprimido, tamano, nombre, desplazamiento};
        poner_cabecera(salida, entrada, false);
        salida += contenido;
        poner_cabecera(directorio, entrada, true);
        cd += 46 + largo_nombre + largo_extra + largo_comentario;
    }
    for (const auto& [nombre, contenido] : anadidas) {
        const quint32 desplazamiento = quint32(salida.size());
        const quint32 tamano = quint32(contenido.size());
        // Stored as it is, dated 1 January 1980.
        const Entrada entrada{0, 0, 0x21, crc32(contenido), tamano, tamano, nombre, desplazamiento};
        poner_cabecera(salida, entrada, false);
        salida += contenido;
        poner_cabecera(directorio, entrada, true);
    }
    const quint32 inicio_directorio = quint32(salida.size());
    salida += directorio;
    poner32(salida, 0x06054b50u);
    poner16(salida, 0);
    poner16(salida, 0);
    poner16(salida, quint16(entradas + int(anadidas.size())));
    poner16(salida, quint16(entradas + int(anadidas.size())));
    poner32(salida, quint32(directorio.size()));
    poner32(salida, inicio_directorio);
    poner16(salida, 0);
    return salida;
}

} // namespace LectorHoja
