#include "hojas/protocolo_hoja.h"

#include "data/valores.h"

#include <QByteArrayView>
#include <algorithm>
#include <charconv>

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
    QByteArray l("@fila ");
    l += QByteArray::number(fila.numero);
    for (const CeldaHoja& c : fila.celdas) {
        l += '\t';
        switch (c.clase) {
        case CeldaHoja::Clase::texto:
            l += 't';
            escapar(l, c.texto);
            break;
        case CeldaHoja::Clase::numero:
            l += 'n';
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
        while (tab >= 0) {
            const qsizetype siguiente = resto.indexOf('\t', tab + 1);
            fila.celdas.push_back(
                celda_de(siguiente < 0 ? resto.sliced(tab + 1) : resto.sliced(tab + 1, siguiente - tab - 1)));
            tab = siguiente;
        }
        datos.columnas = std::max(datos.columnas, int(fila.celdas.size()));
        datos.filas.push_back(std::move(fila));
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
        terminado = true;
    }
}

} // namespace ProtocoloHoja
