#include "jet/escritor_jet.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>

namespace Jet {

namespace {

constexpr int pagina = 4096;
constexpr int cabecera_datos = 14; // type, 0x01, free space, definition page, 4 unknown bytes, row count
constexpr int pagina_catalogo = 2;

using Pagina = std::array<std::uint8_t, pagina>;

void poner16(std::uint8_t* p, int valor) {
    qToLittleEndian<quint16>(static_cast<quint16>(valor), p);
}
void poner32(std::uint8_t* p, qint64 valor) {
    qToLittleEndian<quint32>(static_cast<quint32>(valor), p);
}

// The obfuscation of the header page: RC4 with a fixed key over 128 bytes from 0x18.
void rc4(std::uint8_t* datos, int n) {
    const std::uint8_t clave[4] = {0xc7, 0xda, 0x39, 0x6b};
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + clave[i % 4]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        datos[k] ^= s[(s[i] + s[j]) & 0xff];
    }
}

bool fija(Tipo t) {
    return t != Tipo::texto && t != Tipo::memo && t != Tipo::ole;
}

int tamano_fijo(Tipo t) {
    switch (t) {
    case Tipo::si_no:
        return 0;
    case Tipo::byte:
        return 1;
    case Tipo::entero:
        return 2;
    case Tipo::largo:
    case Tipo::simple:
        return 4;
    default:
        return 8;
    }
}

// Text as Jet 4 keeps it: "compressed" (0xff 0xfe, then one byte per character) when every character fits in one
// byte and that is shorter, otherwise UCS-2.
QByteArray texto_jet(const QString& texto, bool comprimible) {
    const bool un_byte =
        std::all_of(texto.begin(), texto.end(), [](QChar c) { return c.unicode() > 0 && c.unicode() < 256; });
    QByteArray bytes;
    if (comprimible && un_byte && texto.size() > 2) {
        bytes.reserve(texto.size() + 2);
        bytes.append(char(0xff)).append(char(0xfe));
        for (QChar c : texto)
            bytes.append(char(c.unicode()));
        return bytes;
    }
    bytes.resize(texto.size() * 2);
    for (int i = 0; i < texto.size(); ++i)
        qToLittleEndian<quint16>(texto[i].unicode(), bytes.data() + 2 * i);
    return bytes;
}

struct Disposicion {
    std::vector<int> desplazamiento; // fixed columns: offset after the column count; others: number among variables
    int fijos = 0;
    int variables = 0;
};

Disposicion disponer(const Tabla& t) {
    Disposicion d;
    for (const Columna& c : t.columnas) {
        if (fija(c.tipo)) {
            d.desplazamiento.push_back(d.fijos);
            d.fijos += tamano_fijo(c.tipo);
        } else {
            d.desplazamiento.push_back(d.variables++);
        }
    }
    return d;
}

double real_de(const Valor& v) {
    if (const auto* e = std::get_if<qint64>(&v))
        return double(*e);
    if (const auto* r = std::get_if<double>(&v))
        return *r;
    return 0;
}

QByteArray fila_jet(const Tabla& t, const Disposicion& d, const Fila& fila) {
    const int n = static_cast<int>(t.columnas.size());
    QByteArray fijos(d.fijos, '\0');
    QByteArray variables;
    std::vector<int> inicio_variable;
    QByteArray nulos((n + 7) / 8, '\0');
    const int inicio_datos = 2 + d.fijos;
    for (int i = 0; i < n; ++i) {
        const Columna& c = t.columnas[i];
        const Valor& v = i < int(fila.size()) ? fila[i] : Valor{};
        const bool nulo = std::holds_alternative<std::monostate>(v);
        bool marca = !nulo;
        auto* p = reinterpret_cast<std::uint8_t*>(fijos.data()) + (fija(c.tipo) ? d.desplazamiento[i] : 0);
        switch (c.tipo) {
        case Tipo::si_no:
            marca = !nulo && std::get<bool>(v);
            break;
        case Tipo::byte:
            *p = static_cast<std::uint8_t>(real_de(v));
            break;
        case Tipo::entero:
            poner16(p, static_cast<int>(real_de(v)));
            break;
        case Tipo::largo:
            poner32(p, static_cast<qint64>(real_de(v)));
            break;
        case Tipo::simple:
            qToLittleEndian<float>(static_cast<float>(real_de(v)), p);
            break;
        case Tipo::doble:
        case Tipo::fecha:
            qToLittleEndian<double>(real_de(v), p);
            break;
        case Tipo::texto:
        case Tipo::memo:
        case Tipo::ole: {
            inicio_variable.push_back(inicio_datos + int(variables.size()));
            if (nulo || c.tipo == Tipo::ole)
                break;
            const QString& texto = std::get<QString>(v);
            const QByteArray bytes = texto_jet(texto, c.tipo == Tipo::texto || texto.size() <= 1024);
            if (c.tipo == Tipo::memo) {
                QByteArray cabecera(12, '\0');
                poner32(reinterpret_cast<std::uint8_t*>(cabecera.data()), bytes.size() | 0x80000000u);
                variables.append(cabecera);
            }
            variables.append(bytes);
            break;
        }
        }
        if (nulo && c.tipo == Tipo::ole)
            marca = false;
        if (marca)
            nulos[i / 8] = char(nulos[i / 8] | (1 << (i % 8)));
    }
    QByteArray fila_bytes(2, '\0');
    poner16(reinterpret_cast<std::uint8_t*>(fila_bytes.data()), n);
    fila_bytes.append(fijos).append(variables);
    if (d.variables > 0) {
        // The end of the data, then the starts of the variable columns from the last to the first, then their count.
        QByteArray tabla_var(2 * (d.variables + 2), '\0');
        auto* p = reinterpret_cast<std::uint8_t*>(tabla_var.data());
        poner16(p, inicio_datos + int(variables.size()));
        for (int k = 0; k < d.variables; ++k)
            poner16(p + 2 * (k + 1), inicio_variable[d.variables - 1 - k]);
        poner16(p + 2 * (d.variables + 1), d.variables);
        fila_bytes.append(tabla_var);
    }
    fila_bytes.append(nulos);
    return fila_bytes;
}

// Fills data pages with rows from the end of each page downwards, as Access does.
class Paginador {
public:
    Paginador(std::vector<Pagina>& paginas, int definicion) : paginas_(paginas), definicion_(definicion) {}

    // Returns the row's pointer: page number shifted left by 8, plus its number on the page.
    std::uint32_t anadir(const QByteArray& fila) {
        if (actual_ < 0 || libre() < fila.size() + 2)
            nueva();
        Pagina& p = paginas_[actual_];
        const int filas = p[12] | (p[13] << 8);
        fin_ -= static_cast<int>(fila.size());
        std::memcpy(p.data() + fin_, fila.constData(), fila.size());
        poner16(p.data() + cabecera_datos + 2 * filas, fin_);
        poner16(p.data() + 12, filas + 1);
        poner16(p.data() + 2, libre());
        return (std::uint32_t(actual_) << 8) | std::uint32_t(filas);
    }
    const std::vector<int>& usadas() const { return usadas_; }

private:
    int libre() const {
        const Pagina& p = paginas_[actual_];
        return fin_ - (cabecera_datos + 2 * (p[12] | (p[13] << 8)));
    }
    void nueva() {
        Pagina p{};
        p[0] = 0x01;
        p[1] = 0x01;
        poner32(p.data() + 4, definicion_);
        paginas_.push_back(p);
        actual_ = static_cast<int>(paginas_.size()) - 1;
        usadas_.push_back(actual_);
        fin_ = pagina;
        poner16(paginas_[actual_].data() + 2, libre());
    }

    std::vector<Pagina>& paginas_;
    int definicion_;
    int actual_ = -1;
    int fin_ = pagina;
    std::vector<int> usadas_;
};

// A page-usage map of type 0: the first page it covers, then one bit per page.
QByteArray mapa_uso(const std::vector<int>& usadas) {
    const int primera = usadas.empty() ? 0 : usadas.front();
    const int ultima = usadas.empty() ? 0 : usadas.back();
    QByteArray mapa(5 + (ultima - primera) / 8 + 1, '\0');
    poner32(reinterpret_cast<std::uint8_t*>(mapa.data()) + 1, primera);
    for (int pg : usadas)
        mapa[5 + (pg - primera) / 8] = char(mapa[5 + (pg - primera) / 8] | (1 << ((pg - primera) % 8)));
    return mapa;
}

void escribir_definicion(Pagina& p, const Tabla& t, const Disposicion& d, bool sistema, std::uint32_t mapa,
                         std::uint32_t mapa_libre) {
    p.fill(0);
    p[0] = 0x02;
    p[1] = 0x01;
    const int n = static_cast<int>(t.columnas.size());
    poner32(p.data() + 16, static_cast<qint64>(t.filas.size()));
    p[40] = sistema ? 0x53 : 0x4e;
    poner16(p.data() + 41, n);
    poner16(p.data() + 43, d.variables);
    poner16(p.data() + 45, n);
    poner32(p.data() + 55, mapa);
    poner32(p.data() + 59, mapa_libre);
    int pos = 63;
    for (int i = 0; i < n; ++i) {
        const Columna& c = t.columnas[i];
        std::uint8_t* e = p.data() + pos;
        e[0] = static_cast<std::uint8_t>(c.tipo);
        poner16(e + 5, i);
        poner16(e + 7, fija(c.tipo) ? 0 : d.desplazamiento[i]);
        poner16(e + 9, i);
        if (c.tipo == Tipo::texto || c.tipo == Tipo::memo) {
            poner16(e + 11, 0x409);
            e[16] = 0x01; // compressed text allowed
        }
        e[15] = fija(c.tipo) ? 0x03 : 0x02;
        poner16(e + 21, fija(c.tipo) ? d.desplazamiento[i] : 0);
        poner16(e + 23, c.tipo == Tipo::texto ? 2 * c.caracteres : (fija(c.tipo) ? tamano_fijo(c.tipo) : 0));
        pos += 25;
    }
    for (const Columna& c : t.columnas) {
        poner16(p.data() + pos, 2 * int(c.nombre.size()));
        pos += 2;
        for (QChar ch : c.nombre) {
            poner16(p.data() + pos, ch.unicode());
            pos += 2;
        }
    }
    poner16(p.data() + pos, 0xffff);
    pos += 2;
    poner32(p.data() + 8, pos - 8);
    poner16(p.data() + 2, pagina - pos - 8);
}

Tabla catalogo(const std::vector<Tabla>& tablas) {
    Tabla c{QStringLiteral("MSysObjects"),
            {{QStringLiteral("Id"), Tipo::largo},
             {QStringLiteral("ParentId"), Tipo::largo},
             {QStringLiteral("Name"), Tipo::texto},
             {QStringLiteral("Type"), Tipo::entero},
             {QStringLiteral("Flags"), Tipo::largo},
             {QStringLiteral("LvProp"), Tipo::ole}},
            {}};
    c.filas.push_back({qint64(pagina_catalogo), qint64(0), QStringLiteral("MSysObjects"), qint64(1),
                       qint64(qint32(0x80000002u)), Valor{}});
    for (int i = 0; i < int(tablas.size()); ++i)
        c.filas.push_back(
            {qint64(pagina_catalogo + 1 + i), qint64(0), tablas[i].nombre, qint64(1), qint64(0), Valor{}});
    return c;
}

} // namespace

double fecha_ole(QDate fecha, QTime hora) {
    const qint64 dias = QDate(1899, 12, 30).daysTo(fecha);
    const double fraccion = hora.msecsSinceStartOfDay() / 86400000.0;
    return dias >= 0 ? double(dias) + fraccion : double(dias) - fraccion;
}

Tabla tabla_elemento(Tipo tipo_codigo, Tipo tipo_descripcion) {
    return {QStringLiteral("Elemento"),
            {{QStringLiteral("Codigo"), tipo_codigo},
             {QStringLiteral("Tipo"), tipo_codigo},
             {QStringLiteral("Marca"), tipo_codigo},
             {QStringLiteral("Modelo"), Tipo::texto, 50},
             {QStringLiteral("NumSerie"), Tipo::texto, 50},
             {QStringLiteral("Fecha"), Tipo::fecha},
             {QStringLiteral("Garantia"), Tipo::doble},
             {QStringLiteral("Descripcion"), tipo_descripcion},
             {QStringLiteral("Renting"), Tipo::si_no}},
            {}};
}

Tabla tabla_tipo_marca(const QString& nombre, Tipo tipo_codigo) {
    return {nombre, {{QStringLiteral("Codigo"), tipo_codigo}, {QStringLiteral("Nombre"), Tipo::texto, 50}}, {}};
}

QByteArray escribir(const std::vector<Tabla>& tablas) {
    const Tabla sistema = catalogo(tablas);
    std::vector<const Tabla*> todas{&sistema};
    for (const Tabla& t : tablas)
        todas.push_back(&t);

    // Pages 0 and 1, then one definition page per table (the catalog's first), then the rows, then the maps.
    std::vector<Pagina> paginas(pagina_catalogo + todas.size(), Pagina{});
    std::vector<Disposicion> disposiciones;
    std::vector<std::vector<int>> usadas;
    for (std::size_t i = 0; i < todas.size(); ++i) {
        disposiciones.push_back(disponer(*todas[i]));
        Paginador paginador(paginas, pagina_catalogo + int(i));
        for (const Fila& f : todas[i]->filas)
            paginador.anadir(fila_jet(*todas[i], disposiciones.back(), f));
        usadas.push_back(paginador.usadas());
    }
    Paginador mapas(paginas, 0);
    const std::uint32_t mapa_vacio = mapas.anadir(mapa_uso({}));
    for (std::size_t i = 0; i < todas.size(); ++i)
        escribir_definicion(paginas[pagina_catalogo + i], *todas[i], disposiciones[i], i == 0,
                            mapas.anadir(mapa_uso(usadas[i])), mapa_vacio);

    Pagina& cabecera = paginas[0];
    cabecera[1] = 0x01;
    std::memcpy(cabecera.data() + 4, "Standard Jet DB", 16);
    poner32(cabecera.data() + 0x14, 1); // Jet 4
    poner16(cabecera.data() + 0x3c, 1252);
    poner16(cabecera.data() + 0x6e, 0x409);
    rc4(cabecera.data() + 0x18, 128);
    Pagina& global = paginas[1];
    global[0] = 0x01;
    global[1] = 0x01;
    poner16(global.data() + 2, pagina - cabecera_datos);

    QByteArray archivo;
    archivo.reserve(int(paginas.size()) * pagina);
    for (const Pagina& p : paginas)
        archivo.append(reinterpret_cast<const char*>(p.data()), pagina);
    return archivo;
}

} // namespace Jet
