// The data source's values: its rows read without moving the cursor, and the current or pending row's columns.
#include "data/origen_datos.h"

#include "data/error_datos.h"
#include "data/valores.h"

#include <QUtf8StringView>
#include <charconv>

namespace {

// The day as "dd/mm/yyyy" in `texto`, for the years of four digits; false for any other, which goes the long way.
template <class Caracter> bool fecha_rapida(qint64 dia, Caracter (&texto)[10]) {
    int a = 0, m = 0, d = 0;
    QDate::fromJulianDay(dia).getDate(&a, &m, &d);
    if (a < 1000 || a > 9999)
        return false;
    const int cifras[10] = {d / 10, d % 10, -1, m / 10, m % 10, -1, a / 1000, a / 100 % 10, a / 10 % 10, a % 10};
    for (int i = 0; i < 10; ++i)
        texto[i] = Caracter(cifras[i] < 0 ? '/' : '0' + cifras[i]);
    return true;
}

QString texto_fecha_rapido(qint64 dia) {
    char16_t texto[10];
    if (!fecha_rapida(dia, texto))
        return Valores::texto_fecha(QDate::fromJulianDay(dia));
    return QString(reinterpret_cast<const QChar*>(texto), 10);
}

} // namespace

QVariant OrigenDatos::valor(int fila, int ordinal) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return {};
    const Celda& c = f.celda(n, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero:
        return QVariant::fromValue<qlonglong>(c.entero);
    case Clase::real:
        return c.real;
    case Clase::texto:
        return QString::fromUtf8(f.textos.data() + c.texto.inicio, c.texto.longitud);
    case Clase::fecha:
        return QDate::fromJulianDay(c.entero);
    case Clase::logico:
        return c.entero != 0;
    }
    return {};
}

QString OrigenDatos::texto(int fila, int ordinal) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return {};
    const Celda& c = f.celda(n, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero:
        return QString::number(c.entero);
    case Clase::real:
        return Valores::texto_real(c.real);
    case Clase::texto:
        return QString::fromUtf8(f.textos.data() + c.texto.inicio, c.texto.longitud);
    case Clase::fecha:
        return texto_fecha_rapido(c.entero);
    case Clase::logico:
        return c.entero != 0 ? Valores::verdadero : Valores::falso;
    }
    return {};
}

std::optional<qint64> OrigenDatos::entero(int fila, int ordinal) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return std::nullopt;
    const Celda& c = f.celda(n, ordinal);
    if (tabla_->columnas[ordinal].clase == Clase::real)
        return static_cast<qint64>(c.real);
    if (tabla_->columnas[ordinal].clase == Clase::texto)
        return Valores::entero_de_texto(texto(fila, ordinal));
    return c.entero;
}

void OrigenDatos::anadir_utf8(int fila, int ordinal, std::string& destino) const {
    quint32 n;
    const Filas& f = vista_.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return;
    const Celda& c = f.celda(n, ordinal);
    switch (tabla_->columnas[ordinal].clase) {
    case Clase::entero: {
        char cifras[24];
        const auto fin = std::to_chars(cifras, cifras + sizeof cifras, c.entero).ptr;
        destino.append(cifras, fin);
        return;
    }
    case Clase::texto: {
        // Valid UTF-8 is what the text's UTF-16 form turns back into; anything else goes the long way.
        const QUtf8StringView bytes(f.textos.data() + c.texto.inicio, c.texto.longitud);
        if (bytes.isValidUtf8()) {
            destino.append(bytes.data(), size_t(bytes.size()));
            return;
        }
        break;
    }
    case Clase::fecha: {
        char texto[10];
        if (!fecha_rapida(c.entero, texto))
            break;
        destino.append(texto, sizeof texto);
        return;
    }
    case Clase::real:
    case Clase::logico:
        break;
    }
    const QByteArray utf8 = texto(fila, ordinal).toUtf8();
    destino.append(utf8.constData(), size_t(utf8.size()));
}

QVariant OrigenDatos::leer(int ordinal) const {
    exigir_ordinal(ordinal);
    if (pendiente_)
        return pendiente_->valores[ordinal];
    exigir_fila_actual();
    return valor(posicion_, ordinal);
}

std::optional<qint64> OrigenDatos::leer_entero(int ordinal) const {
    exigir_ordinal(ordinal);
    if (pendiente_) {
        bool bien = false;
        const qint64 n = pendiente_->valores[ordinal].toLongLong(&bien);
        return bien ? std::optional<qint64>(n) : std::nullopt;
    }
    exigir_fila_actual();
    return entero(posicion_, ordinal);
}

QString OrigenDatos::leer_texto(int ordinal) const {
    exigir_ordinal(ordinal);
    if (pendiente_)
        return Valores::texto(pendiente_->valores[ordinal]);
    exigir_fila_actual();
    return texto(posicion_, ordinal);
}

std::optional<int> OrigenDatos::primera_fila_con_codigo(qint64 codigo) const {
    exigir_abierto();
    if (!indice_valido_) {
        indice_codigos_.clear();
        indice_codigos_.reserve(size_t(numero_filas()));
        for (int fila = numero_filas() - 1; fila >= 0; --fila) {
            quint32 n;
            const Filas& f = vista_.filas_de(fila, n);
            if (!f.es_nulo(n, 0))
                indice_codigos_[f.celda(n, 0).entero] = fila;
        }
        indice_valido_ = true;
    }
    const auto it = indice_codigos_.find(codigo);
    if (it == indice_codigos_.end())
        return std::nullopt;
    return it->second;
}

qint64 OrigenDatos::codigo_mayor() const {
    exigir_abierto();
    qint64 mayor = 0;
    for (int fila = 0; fila < numero_filas(); ++fila) {
        quint32 n;
        const Filas& f = vista_.filas_de(fila, n);
        if (!f.es_nulo(n, 0))
            mayor = std::max(mayor, tabla_->columnas[0].clase == Clase::entero ? f.celda(n, 0).entero
                                                                               : entero(fila, 0).value_or(0));
    }
    return mayor;
}

std::optional<qint64> OrigenDatos::entero_anterior(int fila, int ordinal) const {
    if (!cambio_ || fila < 0 || fila >= cambio_->anterior.numero_filas())
        return std::nullopt;
    quint32 n;
    const Filas& f = cambio_->anterior.filas_de(fila, n);
    if (f.es_nulo(n, ordinal))
        return std::nullopt;
    return f.celda(n, ordinal).entero;
}
