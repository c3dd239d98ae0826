#include "importar/importacion.h"

#include "data/error_datos.h"
#include "data/inventario_nuevo.h"
#include "data/valores.h"
#include "importar/lector_access.h"
#include "importar/tuberia_filas.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <unordered_map>
#include <unordered_set>

namespace Importacion {

namespace {

constexpr int columnas_elemento = 9;
constexpr int columnas_tipo_marca = 2;
// Codes above this are not held exactly by the numbers the program carries them in.
constexpr double mayor_codigo = 9007199254740992.0;

struct Detalle {
    int tabla; // 0 Tipo, 1 Marca, 2 Elemento: the order of the list
    qint64 fila;
    QString texto;
};

// The day Access counts its dates from.
const QDate& dia_cero() {
    static const QDate dia(1899, 12, 30);
    return dia;
}

QString numero(double v) {
    return Valores::texto_real(v);
}

// The number a cell holds: a number, or a text that is wholly one (blanks around it aside), as a code column kept
// as text gives them ("10", "7.5").
std::optional<double> numero_de(const Celda& c) {
    if (c.clase == Celda::Clase::numero)
        return c.numero;
    if (c.clase != Celda::Clase::texto)
        return std::nullopt;
    const QString texto = QString::fromUtf8(c.texto).trimmed();
    if (const std::optional<qint64> exacto = Valores::entero_de_texto(texto))
        return static_cast<double>(*exacto);
    QLocale c_locale = QLocale::c();
    c_locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool es_numero = false;
    const double valor = c_locale.toDouble(texto, &es_numero);
    if (!es_numero || !std::isfinite(valor))
        return std::nullopt;
    return valor;
}

std::optional<qint64> entero(const Celda& c) {
    if (c.clase == Celda::Clase::texto) {
        // A whole number written in digits is read exactly, so one beyond what a double holds is not taken for its
        // neighbour.
        if (const std::optional<qint64> exacto = Valores::entero_de_texto(QString::fromUtf8(c.texto))) {
            if (*exacto > qint64(mayor_codigo) || *exacto < -qint64(mayor_codigo))
                return std::nullopt;
            return exacto;
        }
    }
    const std::optional<double> v = numero_de(c);
    if (!v || std::trunc(*v) != *v || std::fabs(*v) > mayor_codigo)
        return std::nullopt;
    return static_cast<qint64>(*v);
}

// What a cell holds, told in a detail line.
QString descripcion_codigo(const Celda& c) {
    if (c.clase == Celda::Clase::nulo || (c.clase == Celda::Clase::texto && c.texto.trimmed().isEmpty()))
        return QStringLiteral("no tiene código");
    const std::optional<double> v = numero_de(c);
    if (!v)
        return QStringLiteral("el código «%1» no es un número").arg(QString::fromUtf8(c.texto));
    if (std::isfinite(*v) && std::trunc(*v) == *v)
        return QStringLiteral("el código %1 es demasiado grande")
            .arg(c.clase == Celda::Clase::texto ? QString::fromUtf8(c.texto).trimmed() : numero(*v));
    return QStringLiteral("el código %1 no es un número entero").arg(numero(*v));
}

// A cell as text, in UTF-8; texts as they are, without a copy (living as long as the cell's).
QByteArray texto_de(const Celda& c) {
    switch (c.clase) {
    case Celda::Clase::texto:
        return QByteArray::fromRawData(c.texto.data(), c.texto.size());
    case Celda::Clase::numero:
        return numero(c.numero).toUtf8();
    case Celda::Clase::logico:
        return (c.logico ? Valores::verdadero : Valores::falso).toUtf8();
    case Celda::Clase::fecha:
        // A value no calendar holds (a damaged cell) is told as the number it is.
        if (!std::isfinite(c.numero) || std::fabs(c.numero) > 3.0e6)
            return numero(c.numero).toUtf8();
        return Valores::texto_fecha(dia_cero().addDays(static_cast<qint64>(std::trunc(c.numero)))).toUtf8();
    default:
        return {};
    }
}

QString prefijo(qint64 fila) {
    return QStringLiteral("Elemento, fila %1").arg(fila);
}

// The codes of one table as they are given out: whole codes kept once, the others given the next free code at
// the end, when the greatest code of the table is known. Tables usually come in the order of their codes, so a
// code greater than all before is known free at once; only the others are looked for.
class Codigos {
public:
    void reservar(qint64 filas) { crecientes_.reserve(std::size_t(std::max<qint64>(filas, 0))); }
    bool libre(qint64 codigo) const {
        return (crecientes_.empty() || codigo > crecientes_.back()) ||
               (!std::binary_search(crecientes_.begin(), crecientes_.end(), codigo) && otros_.count(codigo) == 0);
    }
    void usar(qint64 codigo) {
        if (crecientes_.empty() || codigo > crecientes_.back())
            crecientes_.push_back(codigo);
        else
            otros_.insert(codigo);
        mayor_ = std::max(mayor_, codigo);
    }
    qint64 siguiente() {
        usar(mayor_ + 1);
        return mayor_;
    }

private:
    std::vector<qint64> crecientes_; // in ascending order
    std::unordered_set<qint64> otros_;
    qint64 mayor_ = 0;
};

// Why a row's code cannot stay, told in a detail line.
QString motivo_codigo(const Celda& c) {
    const std::optional<qint64> codigo = entero(c);
    return codigo ? QStringLiteral("el código %1 se repite").arg(*codigo) : descripcion_codigo(c);
}

// A Tipo or Marca table: its rows in table order with their final codes, and what each value read from the file
// means now (the first row holding a value keeps it).
struct Nombres {
    std::vector<std::pair<qint64, QString>> filas;
    std::unordered_map<double, qint64> por_valor;
};

Nombres leer_nombres(LectorAccess& lector, const QString& tabla, int orden, std::vector<Detalle>& detalles,
                     const std::function<void()>& fila_leida) {
    Nombres n;
    Codigos codigos;
    // A row whose code cannot stay: the number it held, if any, and why.
    struct Pendiente {
        qint64 fila;
        std::optional<double> valor;
        QString motivo;
    };
    std::vector<Pendiente> pendientes;
    qint64 fila = 0;
    lector.leer(tabla, columnas_tipo_marca, [&](const Celda* c) {
        ++fila;
        const std::optional<qint64> codigo = entero(c[0]);
        if (codigo && codigos.libre(*codigo)) {
            codigos.usar(*codigo);
            n.por_valor.emplace(double(*codigo), *codigo);
        } else {
            pendientes.push_back({fila, numero_de(c[0]), motivo_codigo(c[0])});
        }
        n.filas.emplace_back(codigo ? *codigo : 0, QString::fromUtf8(texto_de(c[1])));
        fila_leida();
    });
    for (const Pendiente& p : pendientes) {
        const qint64 nuevo = codigos.siguiente();
        n.filas[p.fila - 1].first = nuevo;
        if (p.valor)
            n.por_valor.emplace(*p.valor, nuevo);
        detalles.push_back(
            {orden, p.fila,
             QStringLiteral("%1, fila %2: %3; recibe el código %4.").arg(tabla).arg(p.fila).arg(p.motivo).arg(nuevo)});
    }
    return n;
}

// The code a component's type or brand cell points to now, and the detail line when it points to nothing.
qint64 referencia(const Celda& c, const Nombres& n, const QString& ninguno, const QString& que, qint64 fila,
                  QString& detalle) {
    if (const std::optional<double> v = numero_de(c)) {
        const auto it = n.por_valor.find(*v);
        if (it != n.por_valor.end())
            return it->second;
        if (const auto codigo = entero(c)) {
            detalle = QStringLiteral("%1: no hay %2 con el código %3.").arg(prefijo(fila), ninguno).arg(*codigo);
            return *codigo;
        }
        detalle = QStringLiteral("%1: no hay %2 con el código %3; queda sin %4.")
                      .arg(prefijo(fila), ninguno, numero(*v), que);
        return 0;
    }
    detalle = QStringLiteral("%1: no tiene %2.").arg(prefijo(fila), que);
    return 0;
}

std::optional<QDate> fecha_de(const Celda& c, std::vector<Detalle>& detalles, qint64 fila) {
    if (c.clase == Celda::Clase::nulo || (c.clase == Celda::Clase::texto && c.texto.trimmed().isEmpty()))
        return std::nullopt;
    if (c.clase == Celda::Clase::fecha || c.clase == Celda::Clase::numero) {
        // Access keeps dates from year 100 to 9999; the time of day is the fraction, forward also before 1900.
        if (std::isfinite(c.numero) && c.numero >= -657434.0 && c.numero < 2958466.0)
            return dia_cero().addDays(static_cast<qint64>(std::trunc(c.numero)));
    } else if (c.clase == Celda::Clase::texto) {
        if (auto f = Valores::fecha_de_texto(QString::fromUtf8(c.texto.trimmed())))
            return f;
    }
    detalles.push_back({2, fila,
                        QStringLiteral("%1: la fecha «%2» no es válida; queda vacía.")
                            .arg(prefijo(fila), QString::fromUtf8(texto_de(c)))});
    return std::nullopt;
}

double real_de(const Celda& c) {
    switch (c.clase) {
    case Celda::Clase::numero:
        return std::isfinite(c.numero) ? c.numero : 0;
    case Celda::Clase::texto:
        return Valores::valor_numerico(QString::fromUtf8(c.texto));
    case Celda::Clase::logico:
        return c.logico ? -1 : 0;
    default:
        return 0;
    }
}

bool logico_de(const Celda& c) {
    switch (c.clase) {
    case Celda::Clase::logico:
        return c.logico;
    case Celda::Clase::numero:
        return c.numero != 0;
    case Celda::Clase::texto:
        return c.texto == "Verdadero" || c.texto == "1" || c.texto == "-1";
    default:
        return false;
    }
}

// The tables read, in the order they are read: the names first, so components can point at them.
const QString nombres_tablas[3] = {QStringLiteral("Tipo"), QStringLiteral("Marca"), QStringLiteral("Elemento")};

// The rows each of Tipo, Marca and Elemento declares; throws when the file lacks any of them.
std::array<qint64, 3> exigir_tablas(const LectorAccess& lector, const QString& origen) {
    QStringList faltan;
    std::array<qint64, 3> declaradas{};
    for (int i = 0; i < 3; ++i) {
        declaradas[i] = lector.filas_declaradas(nombres_tablas[i]);
        if (declaradas[i] < 0)
            faltan << nombres_tablas[i];
    }
    if (faltan.size() == 1)
        throw ErrorDatos(QStringLiteral("el archivo de Access %1 no tiene la tabla %2.").arg(origen, faltan[0]));
    if (!faltan.isEmpty())
        throw ErrorDatos(QStringLiteral("el archivo de Access %1 no tiene las tablas %2 y %3.")
                             .arg(origen, faltan.mid(0, faltan.size() - 1).join(QStringLiteral(", ")), faltan.last()));
    return declaradas;
}

} // namespace

void comprobar(const QString& origen) {
    const LectorAccess lector(origen);
    exigir_tablas(lector, origen);
}

Resumen importar(const QString& origen, const QString& destino, const Avisos& avisos) {
    LectorAccess lector(origen);
    const std::array<qint64, 3> declaradas = exigir_tablas(lector, origen);
    const qint64 total = declaradas[0] + declaradas[1] + declaradas[2];

    qint64 hechas = 0;
    const auto fila_leida = [&] {
        if (++hechas % 512 == 0 && avisos.progreso)
            avisos.progreso(hechas, total);
    };
    if (avisos.progreso)
        avisos.progreso(0, total);

    std::vector<Detalle> detalles;
    const Nombres tipos = leer_nombres(lector, nombres_tablas[0], 0, detalles, fila_leida);
    const Nombres marcas = leer_nombres(lector, nombres_tablas[1], 1, detalles, fila_leida);

    InventarioNuevo nuevo(destino);
    if (avisos.temporal)
        avisos.temporal(nuevo.temporal());
    for (const auto& [codigo, nombre] : tipos.filas)
        nuevo.anadir_tipo(codigo, nombre);
    for (const auto& [codigo, nombre] : marcas.filas)
        nuevo.anadir_marca(codigo, nombre);

    // Components with a whole code not used before are written as they come; the others wait for the greatest
    // code of the table.
    Codigos codigos;
    codigos.reservar(declaradas[2]);
    struct Pendiente {
        qint64 fila;
        QString motivo;
        InventarioNuevo::Componente componente;
        QByteArray textos[3]; // what the component's texts point to
    };
    std::vector<Pendiente> pendientes;
    qint64 fila = 0;
    qint64 componentes = 0;
    std::vector<InventarioNuevo::Componente> listos;
    // Texts made for cells that were not texts (a number in a text column), alive until their batch is written.
    std::deque<QByteArray> propios;
    const auto vista = [&](const Celda& celda) -> QByteArrayView {
        if (celda.clase == Celda::Clase::texto)
            return celda.texto;
        if (celda.clase == Celda::Clase::nulo)
            return {};
        propios.push_back(texto_de(celda));
        return propios.back();
    };
    // Decided and written on the pipeline's thread, in the order read, a batch at a time.
    TuberiaFilas tuberia(columnas_elemento, [&](const Celda* lote, std::size_t filas) {
        listos.clear();
        propios.clear();
        for (const Celda* celdas = lote; celdas != lote + filas * columnas_elemento; celdas += columnas_elemento) {
            ++fila;
            InventarioNuevo::Componente c;
            QString detalle;
            c.tipo = referencia(celdas[1], tipos, QStringLiteral("ningún tipo"), QStringLiteral("tipo"), fila, detalle);
            if (!detalle.isEmpty())
                detalles.push_back({2, fila, detalle});
            detalle.clear();
            c.marca =
                referencia(celdas[2], marcas, QStringLiteral("ninguna marca"), QStringLiteral("marca"), fila, detalle);
            if (!detalle.isEmpty())
                detalles.push_back({2, fila, detalle});
            c.modelo = vista(celdas[3]);
            c.num_serie = vista(celdas[4]);
            c.fecha = fecha_de(celdas[5], detalles, fila);
            c.garantia = real_de(celdas[6]);
            c.descripcion = vista(celdas[7]);
            c.renting = logico_de(celdas[8]);
            const std::optional<qint64> codigo = entero(celdas[0]);
            if (codigo && codigos.libre(*codigo)) {
                codigos.usar(*codigo);
                c.codigo = *codigo;
                listos.push_back(c);
            } else {
                // Its own copies of the texts: the pipeline reuses its cells for later rows.
                pendientes.push_back(
                    {fila,
                     motivo_codigo(celdas[0]),
                     c,
                     {c.modelo.toByteArray(), c.num_serie.toByteArray(), c.descripcion.toByteArray()}});
            }
        }
        nuevo.anadir_componentes(listos.data(), listos.size());
        componentes += qint64(listos.size());
    });
    lector.leer(nombres_tablas[2], columnas_elemento, [&](const Celda* celdas) {
        tuberia.anadir(celdas);
        fila_leida();
    });
    tuberia.terminar();
    for (Pendiente& p : pendientes) {
        p.componente.codigo = codigos.siguiente();
        p.componente.modelo = p.textos[0];
        p.componente.num_serie = p.textos[1];
        p.componente.descripcion = p.textos[2];
        nuevo.anadir_componente(p.componente);
        ++componentes;
        detalles.push_back({2, p.fila,
                            QStringLiteral("Elemento, fila %1: %2; recibe el código %3.")
                                .arg(p.fila)
                                .arg(p.motivo)
                                .arg(p.componente.codigo)});
    }
    nuevo.terminar();
    if (avisos.progreso)
        avisos.progreso(total, total);

    std::stable_sort(detalles.begin(), detalles.end(), [](const Detalle& a, const Detalle& b) {
        return a.tabla != b.tabla ? a.tabla < b.tabla : a.fila < b.fila;
    });
    Resumen r;
    r.componentes = componentes;
    r.tipos = qint64(tipos.filas.size());
    r.marcas = qint64(marcas.filas.size());
    for (const Detalle& d : detalles)
        r.detalles << d.texto;
    return r;
}

} // namespace Importacion
