#include "hojas/protocolo_hoja.h"

#include "data/valores.h"
#include "hojas/lectura/lector_hoja.h"

#include <QByteArrayView>
#include <algorithm>
#include <charconv>
#include <cmath>

QString CeldaHoja::como_texto() const {
    switch (clase) {
    case Clase::texto:
        return texto;
    case Clase::numero:
        return Valores::texto_real(numero);
    case Clase::fecha:
        return Valores::texto_fecha(QDate::fromJulianDay(qint64(numero)));
    case Clase::logico:
        return logico ? QStringLiteral("VERDADERO") : QStringLiteral("FALSO");
    case Clase::sin_valor:
        return QStringLiteral("=") + texto;
    default:
        return {};
    }
}

namespace ProtocoloHoja {

namespace {

void escapar(QByteArray& destino, const QString& texto) {
    // Most texts are plain ASCII without tabs or line breaks: those are copied straight, with no UTF-8 copy made.
    const qsizetype n = texto.size();
    const ushort* u = texto.utf16();
    qsizetype i = 0;
    while (i < n && u[i] < 0x80 && u[i] != u'\\' && u[i] != u'\t' && u[i] != u'\n' && u[i] != u'\r')
        ++i;
    if (i == n) {
        const qsizetype antes = destino.size();
        destino.resize(antes + n);
        char* d = destino.data() + antes;
        for (qsizetype k = 0; k < n; ++k)
            d[k] = char(u[k]);
        return;
    }
    const QByteArray b = texto.toUtf8();
    if (!b.contains('\\') && !b.contains('\t') && !b.contains('\n') && !b.contains('\r')) {
        destino += b;
        return;
    }
    for (char c : b) {
        switch (c) {
        case '\\':
            destino += "\\\\";
            break;
        case '\t':
            destino += "\\t";
            break;
        case '\n':
            destino += "\\n";
            break;
        case '\r':
            destino += "\\r";
            break;
        default:
            destino += c;
        }
    }
}

QString desescapar(QByteArrayView b) {
    if (!b.contains('\\'))
        return QString::fromUtf8(b);
    QByteArray limpio;
    limpio.reserve(b.size());
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (b[i] == '\\' && i + 1 < b.size()) {
            const char s = b[++i];
            limpio += s == 't' ? '\t' : s == 'n' ? '\n' : s == 'r' ? '\r' : s;
        } else {
            limpio += b[i];
        }
    }
    return QString::fromUtf8(limpio);
}

QByteArray con_texto(const char* prefijo, const QString& texto) {
    QByteArray l(prefijo);
    escapar(l, texto);
    return l + '\n';
}

double real_de(QByteArrayView b) {
    double v = 0;
    std::from_chars(b.data(), b.data() + b.size(), v);
    return v;
}

CeldaHoja celda_de(QByteArrayView b) {
    CeldaHoja c;
    if (b.isEmpty())
        return c;
    const QByteArrayView resto = b.sliced(1);
    switch (b[0]) {
    case 't':
        c.clase = CeldaHoja::Clase::texto;
        c.texto = desescapar(resto);
        break;
    case 'n':
        c.clase = CeldaHoja::Clase::numero;
        c.numero = real_de(resto);
        break;
    case 'e': {
        const qsizetype dos = resto.indexOf(':');
        c.clase = CeldaHoja::Clase::numero;
        if (dos < 0)
            break;
        c.formato = std::uint32_t(resto.first(dos).toUInt());
        c.numero = real_de(resto.sliced(dos + 1));
        break;
    }
    case 'd':
        c.clase = CeldaHoja::Clase::fecha;
        c.numero = real_de(resto);
        break;
    case 'b':
        c.clase = CeldaHoja::Clase::logico;
        c.logico = resto == "1";
        break;
    case 'f':
        c.clase = CeldaHoja::Clase::sin_valor;
        c.texto = desescapar(resto);
        break;
    default:
        break;
    }
    return c;
}

void numero_en(QByteArray& l, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    l.append(buf, r.ptr - buf);
}

} // namespace

QByteArray linea_hoja(const QString& nombre) {
    return con_texto("@hoja ", nombre);
}

QByteArray linea_elegida(int indice) {
    return "@elegida " + QByteArray::number(indice) + '\n';
}

QByteArray linea_csv(const QString& separador, const QString& codificacion) {
    QByteArray l("@csv ");
    escapar(l, separador);
    l += ' ';
    escapar(l, codificacion);
    return l + '\n';
}

QByteArray linea_combinadas(qint64 n) {
    return "@combinadas " + QByteArray::number(n) + '\n';
}

QByteArray linea_fila(const FilaHoja& fila) {
    QByteArray l;
    l.reserve(16 + qsizetype(fila.celdas.size()) * 24);
    l += "@fila ";
    l += QByteArray::number(fila.numero);
    for (const CeldaHoja& c : fila.celdas) {
        l += '\t';
        switch (c.clase) {
        case CeldaHoja::Clase::texto:
            l += 't';
            escapar(l, c.texto);
            break;
        case CeldaHoja::Clase::numero:
            if (c.formato > 0) {
                l += 'e';
                l += QByteArray::number(c.formato);
                l += ':';
            } else {
                l += 'n';
            }
            numero_en(l, c.numero);
            break;
        case CeldaHoja::Clase::fecha:
            l += 'd';
            numero_en(l, c.numero);
            break;
        case CeldaHoja::Clase::logico:
            l += c.logico ? "b1" : "b0";
            break;
        case CeldaHoja::Clase::sin_valor:
            l += 'f';
            escapar(l, c.texto);
            break;
        default:
            break;
        }
    }
    l += '\n';
    return l;
}

QByteArray linea_rango(const std::array<qint64, 4>& r) {
    return "@rango " + QByteArray::number(r[0]) + ' ' + QByteArray::number(r[1]) + ' ' + QByteArray::number(r[2]) +
           ' ' + QByteArray::number(r[3]) + '\n';
}

QByteArray linea_fechas(qint64 dia_cero, const std::vector<std::uint32_t>& formatos) {
    QByteArray l = "@fechas " + QByteArray::number(dia_cero);
    for (std::uint32_t f : formatos)
        l += ' ' + QByteArray::number(f);
    return l + '\n';
}

QByteArray linea_error(const QString& texto) {
    return con_texto("@error ", texto);
}

QByteArray linea_filas(qint64 filas) {
    return "@filas " + QByteArray::number(filas) + '\n';
}

QByteArray linea_fin(qint64 filas) {
    return "@fin " + QByteArray::number(filas) + '\n';
}

void Lectura::anadir(const QByteArray& bytes) {
    pendiente_ += bytes;
    qsizetype inicio = 0;
    for (qsizetype fin; (fin = pendiente_.indexOf('\n', inicio)) >= 0; inicio = fin + 1)
        linea(pendiente_.constData() + inicio, fin - inicio);
    pendiente_.remove(0, inicio);
}

void Lectura::linea(const char* p, qsizetype n) {
    const QByteArrayView l(p, n);
    if (l.startsWith("@fila ")) {
        FilaHoja fila;
        fila.celdas.reserve(std::size_t(datos.columnas));
        const QByteArrayView resto = l.sliced(6);
        qsizetype tab = resto.indexOf('\t');
        fila.numero = (tab < 0 ? resto : resto.first(tab)).toLongLong();
        for (std::size_t columna = 0; tab >= 0; ++columna) {
            const qsizetype siguiente = resto.indexOf('\t', tab + 1);
            const QByteArrayView b = siguiente < 0 ? resto.sliced(tab + 1) : resto.sliced(tab + 1, siguiente - tab - 1);
            fila.celdas.push_back(b.startsWith('t') ? texto_de(columna, b.sliced(1)) : celda_de(b));
            if (al_recibir && fila.celdas.back().formato > 0) {
                const CeldaHoja& c = fila.celdas.back();
                const bool en_serie = c.numero >= 1 && c.numero < 2958466;
                const auto [it, nuevo] = formatos_vistos_.try_emplace({columna, c.formato}, en_serie);
                if (!nuevo)
                    it->second = it->second && en_serie;
            }
            tab = siguiente;
        }
        this->fila(std::move(fila));
    } else if (l.startsWith("@fechas ")) {
        const QList<QByteArray> partes = l.sliced(8).toByteArray().split(' ');
        datos.dia_cero = partes.value(0).toLongLong();
        for (qsizetype i = 1; i < partes.size(); ++i)
            datos.formatos_fecha.push_back(std::uint32_t(partes[i].toUInt()));
    } else if (l.startsWith("@rango ")) {
        const QList<QByteArray> partes = l.sliced(7).toByteArray().split(' ');
        if (partes.size() == 4)
            datos.rangos.push_back(
                {partes[0].toLongLong(), partes[1].toLongLong(), partes[2].toLongLong(), partes[3].toLongLong()});
    } else if (l.startsWith("@filas ")) {
        datos.filas.reserve(std::size_t(std::clamp<qint64>(l.sliced(7).toLongLong(), 0, 1 << 21)));
    } else if (l.startsWith("@hoja ")) {
        datos.hojas << desescapar(l.sliced(6));
    } else if (l.startsWith("@elegida ")) {
        datos.elegida = l.sliced(9).toInt();
    } else if (l.startsWith("@csv ")) {
        const QByteArrayView resto = l.sliced(5);
        const qsizetype blanco = resto.indexOf(' ');
        datos.separador = desescapar(resto.first(std::max<qsizetype>(blanco, 0)));
        datos.codificacion = blanco < 0 ? QString() : desescapar(resto.sliced(blanco + 1));
    } else if (l.startsWith("@combinadas ")) {
        datos.combinadas = l.sliced(12).toLongLong();
    } else if (l.startsWith("@error ")) {
        error = desescapar(l.sliced(7));
    } else if (l.startsWith("@fin")) {
        terminar();
    }
}

// A column's texts repeat (types, brands, models...): each one is made once and shared, as long as the column
// keeps repeating them; a column of texts that do not repeat (serial numbers) stops being looked up, and a
// column keeps at most so many.
CeldaHoja Lectura::texto_de(std::size_t columna, QByteArrayView b) {
    CeldaHoja c;
    c.clase = CeldaHoja::Clase::texto;
    if (columna >= repetidos_.size())
        repetidos_.resize(columna + 1);
    Repetidos& r = repetidos_[columna];
    constexpr qsizetype mas_largo = 64;
    if (r.apagado || b.size() > mas_largo) {
        c.texto = desescapar(b);
        return c;
    }
    const std::string_view clave(b.data(), std::size_t(b.size()));
    if (const auto it = r.textos.find(clave); it != r.textos.end()) {
        ++r.aciertos;
        c.texto = it->second;
        return c;
    }
    c.texto = desescapar(b);
    constexpr std::size_t mas_textos = 1 << 16;
    if (r.textos.size() < mas_textos)
        r.textos.emplace(std::string(clave), c.texto);
    // After enough texts, a column that seldom repeats is read without looking.
    if (r.textos.size() >= 1024 && r.aciertos < qsizetype(r.textos.size())) {
        r.apagado = true;
        r.textos.clear();
    }
    return c;
}

void Lectura::fila(FilaHoja&& f) {
    datos.columnas = std::max(datos.columnas, int(f.celdas.size()));
    if (al_recibir) {
        // A late cell changes a row already given.
        if (f.numero <= ultima_) {
            filas_cambiadas = true;
            return;
        }
        ultima_ = f.numero;
        al_recibir(std::move(f));
        return;
    }
    if (datos.filas.empty() || datos.filas.back().numero < f.numero) {
        datos.filas.push_back(std::move(f));
        return;
    }
    // A cell that came late: laid over its row, which is made if it had nothing yet.
    const auto it = std::lower_bound(datos.filas.begin(), datos.filas.end(), f.numero,
                                     [](const FilaHoja& a, qint64 n) { return a.numero < n; });
    if (it == datos.filas.end() || it->numero != f.numero) {
        datos.filas.insert(it, std::move(f));
        return;
    }
    if (it->celdas.size() < f.celdas.size())
        it->celdas.resize(f.celdas.size());
    for (std::size_t c = 0; c < f.celdas.size(); ++c)
        if (f.celdas[c].clase != CeldaHoja::Clase::vacia)
            it->celdas[c] = std::move(f.celdas[c]);
}

// The merged ranges' top-left values spread over the empty cells of their ranges, as the reader does with the rows
// it keeps; the sheet's limits hold here too.
void Lectura::terminar() {
    terminado = true;
    std::sort(datos.formatos_fecha.begin(), datos.formatos_fecha.end());
    const auto es_fecha = [&](std::uint32_t formato) {
        return std::binary_search(datos.formatos_fecha.begin(), datos.formatos_fecha.end(), formato);
    };
    if (al_recibir) {
        // The rows are gone: what the end changes in them is only told. A number of a date format is the same
        // day its serial number gives when the workbook counts from 1899 and the number is a serial one.
        static const qint64 dia_cero_serie = QDate(1899, 12, 30).toJulianDay();
        for (const auto& [donde, en_serie] : formatos_vistos_) {
            if (!es_fecha(donde.second))
                continue;
            if (datos.dia_cero != dia_cero_serie || !en_serie) {
                filas_cambiadas = true;
                continue;
            }
            if (columnas_fecha.size() <= donde.first)
                columnas_fecha.resize(donde.first + 1);
            columnas_fecha[donde.first] = true;
        }
        // Whether a merged range spreads a value over given rows is not known without them.
        if (!datos.rangos.empty())
            filas_cambiadas = true;
        return;
    }
    // Numbers whose format turned out to show a date, as the reader turns them when it knows the formats first.
    for (FilaHoja& f : datos.filas)
        for (CeldaHoja& c : f.celdas) {
            if (c.formato == 0)
                continue;
            if (es_fecha(c.formato) && std::isfinite(c.numero) && std::fabs(c.numero) < 3.0e6) {
                c.clase = CeldaHoja::Clase::fecha;
                c.numero = double(datos.dia_cero + qint64(std::floor(c.numero)));
            }
            c.formato = 0;
        }
    datos.formatos_fecha.clear();
    if (datos.rangos.empty())
        return;
    std::vector<FilaHoja>& filas = datos.filas;
    qint64 cuenta = 0;
    for (const FilaHoja& f : filas)
        cuenta += qint64(f.celdas.size());
    const auto buscar = [&](qint64 numero) {
        return std::lower_bound(filas.begin(), filas.end(), numero,
                                [](const FilaHoja& a, qint64 n) { return a.numero < n; });
    };
    for (const auto& [fila0, col0, fila1, col1] : datos.rangos) {
        const auto origen_fila = buscar(fila0 + 1);
        if (fila0 < 0 || col0 < 0 || origen_fila == filas.end() || origen_fila->numero != fila0 + 1 ||
            col0 >= qint64(origen_fila->celdas.size()))
            continue;
        const CeldaHoja origen = origen_fila->celdas[std::size_t(col0)];
        if (origen.clase == CeldaHoja::Clase::vacia)
            continue;
        ++datos.combinadas;
        const qint64 ultima_columna = std::min<qint64>(col1, LectorHoja::columnas_maximas - 1);
        for (qint64 f = fila0; f <= std::min(fila1, LectorHoja::filas_maximas - 1); ++f) {
            auto it = buscar(f + 1);
            if (it == filas.end() || it->numero != f + 1)
                it = filas.insert(it, FilaHoja{f + 1, {}});
            if (qint64(it->celdas.size()) <= ultima_columna) {
                cuenta += ultima_columna + 1 - qint64(it->celdas.size());
                if (cuenta > LectorHoja::celdas_maximas) {
                    error = QStringLiteral("ERROR: la hoja es demasiado grande: tiene más de %L1 celdas con datos.")
                                .arg(LectorHoja::celdas_maximas);
                    return;
                }
                it->celdas.resize(std::size_t(ultima_columna) + 1);
            }
            for (qint64 c = col0; c <= ultima_columna; ++c)
                if (it->celdas[std::size_t(c)].clase == CeldaHoja::Clase::vacia)
                    it->celdas[std::size_t(c)] = origen;
            datos.columnas = std::max(datos.columnas, int(it->celdas.size()));
        }
    }
    datos.rangos.clear();
}

} // namespace ProtocoloHoja
