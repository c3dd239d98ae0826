#include "hojas/plan_hoja.h"

#include "data/error_datos.h"
#include "data/inventario_nuevo.h"
#include "data/valores.h"
#include "hojas/valores_hoja.h"

#include <QHash>
#include <algorithm>
#include <set>

namespace PlanHoja {

using namespace MapeoHoja;

namespace {

const CeldaHoja vacia;

const CeldaHoja& celda(const FilaHoja& f, int columna) {
    return columna >= 0 && columna < int(f.celdas.size()) ? f.celdas[std::size_t(columna)] : vacia;
}

// The names of a table, found by their folded form; new ones get codes after the greatest.
class Nombres {
public:
    Nombres(const std::vector<LoteInventario::Nombre>& existentes) {
        // The first name in table order stays.
        for (const auto& n : existentes) {
            if (!indice_.contains(ValoresHoja::plegar(n.nombre)))
                indice_.insert(ValoresHoja::plegar(n.nombre), n.codigo);
            mayor_ = std::max(mayor_, n.codigo);
        }
    }
    qint64 codigo(const QString& nombre, std::vector<LoteInventario::Nombre>& nuevos) {
        // A sheet repeats a few names over many rows: each text is folded once.
        if (const auto visto = vistos_.constFind(nombre); visto != vistos_.constEnd())
            return visto.value();
        const qint64 c = buscar(nombre, nuevos);
        vistos_.insert(nombre, c);
        return c;
    }

private:
    qint64 buscar(const QString& nombre, std::vector<LoteInventario::Nombre>& nuevos) {
        const QString clave = ValoresHoja::plegar(nombre);
        const auto it = indice_.constFind(clave);
        if (it != indice_.constEnd())
            return it.value();
        nuevos.push_back({++mayor_, nombre.simplified()});
        indice_.insert(clave, mayor_);
        return mayor_;
    }

    QHash<QString, qint64> indice_;
    QHash<QString, qint64> vistos_;
    qint64 mayor_ = 0;
};

QString fila_txt(qint64 n) {
    return QStringLiteral("Fila %1: ").arg(n);
}

QString contar(qint64 n, const char* uno, const char* varios) {
    return QStringLiteral("%L1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? uno : varios));
}

} // namespace

QStringList cabeceras(const DatosHoja& datos, bool cabecera) {
    QStringList r;
    if (!cabecera || datos.filas.empty())
        return r;
    const FilaHoja& f = datos.filas.front();
    for (int c = 0; c < datos.columnas; ++c)
        r << ValoresHoja::texto(celda(f, c));
    return r;
}

void exigir_columnas(const Mapeo& m) {
    QStringList faltan;
    for (int campo = 0; campo < numero_campos; ++campo)
        if (obligatorio(campo) && m[campo] < 0)
            faltan << nombre(campo);
    if (faltan.size() == 1)
        throw ErrorDatos(QStringLiteral("falta la columna del campo %1.").arg(faltan[0]));
    if (!faltan.isEmpty())
        throw ErrorDatos(QStringLiteral("faltan las columnas de los campos %1 y %2.")
                             .arg(faltan.mid(0, faltan.size() - 1).join(QStringLiteral(", ")), faltan.last()));
}

struct Planificador::Estado {
    Estado(const Mapeo& m, const LoteInventario::Existente& e)
        : mapeo(m), tipos(e.tipos), marcas(e.marcas), usados(e.codigos.begin(), e.codigos.end()) {
        p.existente = e;
        mayor = usados.empty() ? 0 : std::max<qint64>(*usados.rbegin(), 0);
    }
    Mapeo mapeo;
    Plan p;
    Nombres tipos;
    Nombres marcas;
    std::set<qint64> usados;
    qint64 mayor = 0;
    struct Pendiente {
        std::size_t indice;
        qint64 fila;
        QString motivo;
    };
    std::vector<Pendiente> pendientes;
    std::vector<bool> sin_codigo;
};

const std::vector<LoteInventario::Componente>& Planificador::componentes() const {
    return e_->p.componentes;
}

bool Planificador::listo(std::size_t i) const {
    return i < e_->sin_codigo.size() && !e_->sin_codigo[i];
}

Planificador::Planificador(const Mapeo& m, const LoteInventario::Existente& existente) {
    exigir_columnas(m);
    e_ = std::make_unique<Estado>(m, existente);
}

Planificador::~Planificador() = default;

void Planificador::fila(const FilaHoja& f) {
    Plan& p = e_->p;
    const Mapeo& m = e_->mapeo;
    const auto prefijo = [&] { return fila_txt(f.numero); };
    // Required fields first: a row missing one is left out whole. A formula without a kept result has no
    // value: in a required field it leaves the row out, elsewhere the field stays empty.
    QStringList faltan;
    QStringList sin_valor;
    QStringList avisos;
    for (int campo = 0; campo < numero_campos; ++campo) {
        const CeldaHoja& c = celda(f, m[campo]);
        if (obligatorio(campo) && c.vacia())
            faltan << nombre(campo);
        else if (c.clase == CeldaHoja::Clase::sin_valor)
            (obligatorio(campo) ? sin_valor : avisos)
                << QStringLiteral("la fórmula de %1 no tiene un valor guardado").arg(nombre(campo));
    }
    if (!faltan.isEmpty()) {
        p.omitidas << prefijo() + QStringLiteral("%1 vacío; no se importa.").arg(faltan.join(QStringLiteral(", ")));
        return;
    }
    if (!sin_valor.isEmpty()) {
        p.omitidas << prefijo() + sin_valor.join(QStringLiteral("; ")) + QStringLiteral("; no se importa.");
        return;
    }
    const std::optional<QDate> fecha = ValoresHoja::fecha(celda(f, m[MapeoHoja::fecha]));
    if (!fecha) {
        p.omitidas << prefijo() + QStringLiteral("la fecha «%1» no es válida; no se importa.")
                                      .arg(celda(f, m[MapeoHoja::fecha]).como_texto());
        return;
    }
    LoteInventario::Componente k;
    k.fecha = *fecha;
    k.tipo = e_->tipos.codigo(ValoresHoja::texto(celda(f, m[tipo])), p.tipos_nuevos);
    k.marca = e_->marcas.codigo(ValoresHoja::texto(celda(f, m[marca])), p.marcas_nuevas);
    k.modelo = ValoresHoja::texto(celda(f, m[modelo]));
    k.num_serie = ValoresHoja::texto(celda(f, m[num_serie]));
    k.descripcion = ValoresHoja::texto(celda(f, m[descripcion]));
    const CeldaHoja& g = celda(f, m[garantia]);
    if (const std::optional<double> meses = ValoresHoja::garantia(g))
        k.garantia = *meses;
    else if (g.clase != CeldaHoja::Clase::sin_valor)
        avisos << QStringLiteral("la garantía «%1» no se entiende; queda 0").arg(g.como_texto());
    const CeldaHoja& r = celda(f, m[renting]);
    if (const std::optional<bool> si = ValoresHoja::renting(r))
        k.renting = *si;
    else if (r.clase != CeldaHoja::Clase::sin_valor)
        avisos << QStringLiteral("el renting «%1» no se entiende; queda No").arg(r.como_texto());
    const CeldaHoja& c = celda(f, m[codigo]);
    const std::optional<qint64> propio = m[codigo] < 0 ? std::nullopt : ValoresHoja::codigo(c);
    if (propio && !e_->usados.count(*propio)) {
        k.codigo = *propio;
        e_->usados.insert(*propio);
        e_->mayor = std::max(e_->mayor, *propio);
    } else {
        QString motivo = propio ? QStringLiteral("el código %1 ya existe").arg(*propio)
                         : m[codigo] < 0 || c.vacia()
                             ? QStringLiteral("no tiene código")
                             : QStringLiteral("el código «%1» no es un número entero").arg(c.como_texto());
        e_->pendientes.push_back({p.componentes.size(), f.numero, motivo});
    }
    e_->sin_codigo.push_back(!e_->pendientes.empty() && e_->pendientes.back().indice == p.componentes.size());
    if (!avisos.isEmpty()) {
        p.decisiones << prefijo() + avisos.join(QStringLiteral("; ")) + u'.';
        ++p.filas_con_decision;
    }
    p.componentes.push_back(std::move(k));
}

Plan Planificador::terminar() {
    Plan& p = e_->p;
    // Codes given once the greatest of the sheet is known, so a kept code further down is never taken.
    for (const Estado::Pendiente& pe : e_->pendientes) {
        p.componentes[pe.indice].codigo = ++e_->mayor;
        p.decisiones << fila_txt(pe.fila) + QStringLiteral("%1; recibe el código %2.").arg(pe.motivo).arg(e_->mayor);
        ++p.filas_con_decision;
    }
    e_->pendientes.clear();
    // In the order of the sheet.
    std::stable_sort(p.decisiones.begin(), p.decisiones.end(), [](const QString& a, const QString& b) {
        return a.section(u':', 0, 0).mid(5).toLongLong() < b.section(u':', 0, 0).mid(5).toLongLong();
    });
    return std::move(p);
}

Plan planear(const DatosHoja& datos, bool cabecera, const Mapeo& m, const LoteInventario::Existente& existente) {
    Planificador planificador(m, existente);
    planificador.reservar(datos.filas.size());
    for (std::size_t i = cabecera ? 1 : 0; i < datos.filas.size(); ++i)
        planificador.fila(datos.filas[i]);
    return planificador.terminar();
}

void Planificador::reservar(std::size_t filas) {
    e_->p.componentes.reserve(filas);
}

QString texto_comprobacion(const Plan& p) {
    QString t =
        QStringLiteral("Se añadirán %1.").arg(contar(qint64(p.componentes.size()), "componente", "componentes"));
    if (p.filas_con_decision > 0)
        t += QStringLiteral("\n%1 con alguna decisión.")
                 .arg(contar(p.filas_con_decision, "fila se añade", "filas se añaden"));
    if (!p.omitidas.isEmpty())
        t += QStringLiteral("\n%1 sin importar.").arg(contar(p.omitidas.size(), "fila queda", "filas quedan"));
    const auto nombres = [](const std::vector<LoteInventario::Nombre>& lista) {
        QStringList n;
        for (const auto& x : lista)
            n << x.nombre;
        return n.join(QStringLiteral(", "));
    };
    if (!p.tipos_nuevos.empty())
        t += QStringLiteral("\nTipos nuevos que se crearán: %1.").arg(nombres(p.tipos_nuevos));
    if (!p.marcas_nuevas.empty())
        t += QStringLiteral("\nMarcas nuevas que se crearán: %1.").arg(nombres(p.marcas_nuevas));
    return t;
}

QString detalles(const Plan& p) {
    QStringList l;
    if (!p.decisiones.isEmpty())
        l << QStringLiteral("Decisiones:") << p.decisiones;
    if (!p.omitidas.isEmpty())
        l << QStringLiteral("Filas que no se importan:") << p.omitidas;
    for (const auto& t : p.tipos_nuevos)
        l << QStringLiteral("Tipo nuevo: %1 (código %2)").arg(t.nombre).arg(t.codigo);
    for (const auto& m : p.marcas_nuevas)
        l << QStringLiteral("Marca nueva: %1 (código %2)").arg(m.nombre).arg(m.codigo);
    return l.join(u'\n');
}

QString texto_resumen(const Plan& p, const QString& destino) {
    return QStringLiteral("Se han importado %1 en %2.")
        .arg(contar(qint64(p.componentes.size()), "componente", "componentes"), destino);
}

namespace {

constexpr std::size_t lote = 512;

// Components [desde, hasta) of the list, or those `cuales` gives from it, written by batches.
template <typename Indice>
void escribir_lotes(InventarioNuevo& nuevo, const std::vector<LoteInventario::Componente>& lista, std::size_t n,
                    Indice indice, const std::function<void(qint64)>& progreso) {
    std::vector<InventarioNuevo::Componente> filas;
    std::vector<QByteArray> textos;
    filas.reserve(lote);
    textos.reserve(lote * 3);
    for (std::size_t i = 0; i < n; i += lote) {
        filas.clear();
        textos.clear();
        for (std::size_t j = i; j < std::min(n, i + lote); ++j) {
            const LoteInventario::Componente& k = lista[indice(j)];
            textos.push_back(k.modelo.toUtf8());
            textos.push_back(k.num_serie.toUtf8());
            textos.push_back(k.descripcion.toUtf8());
            InventarioNuevo::Componente c;
            c.codigo = k.codigo;
            c.tipo = k.tipo;
            c.marca = k.marca;
            c.modelo = textos[textos.size() - 3];
            c.num_serie = textos[textos.size() - 2];
            c.descripcion = textos.back();
            c.fecha = k.fecha;
            c.garantia = k.garantia;
            c.renting = k.renting;
            filas.push_back(c);
        }
        nuevo.anadir_componentes(filas.data(), filas.size());
        if (progreso)
            progreso(qint64(i + filas.size()));
    }
}

} // namespace

void escribir(InventarioNuevo& nuevo, const std::vector<LoteInventario::Componente>& lista,
              const std::vector<std::size_t>& cuales) {
    escribir_lotes(nuevo, lista, cuales.size(), [&](std::size_t j) { return cuales[j]; }, {});
}

void a_inventario_nuevo(const Plan& p, const QString& destino, const std::function<void(qint64)>& progreso) {
    InventarioNuevo nuevo(destino);
    for (const auto& t : p.tipos_nuevos)
        nuevo.anadir_tipo(t.codigo, t.nombre);
    for (const auto& m : p.marcas_nuevas)
        nuevo.anadir_marca(m.codigo, m.nombre);
    escribir_lotes(
        nuevo, p.componentes, p.componentes.size(), [](std::size_t j) { return j; }, progreso);
    nuevo.terminar();
}

void a_inventario(const Plan& p, const QString& ruta) {
    LoteInventario::anadir(ruta, p.existente, p.tipos_nuevos, p.marcas_nuevas, p.componentes);
}

} // namespace PlanHoja
