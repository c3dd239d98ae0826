// Reading the history: one component's, following it through its changes of code, or the whole inventory's with
// the window's filters; and how its kinds, tables, columns and values are shown.
#include "data/historial.h"

#include "data/custodia_interno.h"
#include "data/valores.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <limits>
#include <pwd.h>
#include <unistd.h>

namespace Historial {

namespace {

using Custodia::FilaTexto;
using Custodia::Parametros;
using Custodia::Sesion;

struct Tabla {
    const char* nombre;
    const char* texto;
    std::vector<const char*> columnas;
};

const std::array<Tabla, 6> tablas = {{
    {"Elemento", "Componente",
     {"Codigo", "Tipo", "Marca", "Modelo", "Nº Serie", "Fecha", "Garantia", "Descripcion", "Renting"}},
    {"Tipo", "Tipo", {"Codigo", "Nombre"}},
    {"Marca", "Marca", {"Codigo", "Nombre"}},
    {"Persona", "Persona", {"Codigo", "Nombre", "Departamento", "Contacto"}},
    {"Lugar", "Lugar", {"Codigo", "Nombre", "Lugar superior"}},
    {"Entrega", "Entrega",
     {"Codigo", "Componente", "Persona", "Lugar", "Desde", "Hasta", "Nota", "Estado al devolver",
      "Nota de devolución"}},
}};

const Tabla* tabla_de(const QString& nombre) {
    for (const Tabla& t : tablas)
        if (nombre == QLatin1String(t.nombre))
            return &t;
    return nullptr;
}

QVariant num(qint64 v) {
    return QVariant::fromValue<qlonglong>(v);
}

// The entries the condition selects, newest first, each with its changed columns.
std::vector<Entrada> leer_entradas(Sesion& s, const QString& condicion, const Parametros& p) {
    const QString momento = s.servidor()
                                ? QStringLiteral("to_char(h.momento AT TIME ZONE 'UTC', "
                                                 "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
                                : QStringLiteral("h.Momento");
    const QString sql = QStringLiteral("SELECT h.Codigo, %1, h.Usuario, h.Tabla, h.Registro, h.Cambio, c.Columna, "
                                       "c.Antes, c.Despues FROM Historial h LEFT JOIN HistorialColumna c ON "
                                       "c.Historial = h.Codigo WHERE %2 ORDER BY h.Codigo DESC, c.Columna")
                            .arg(momento, condicion);
    std::vector<Entrada> entradas;
    for (const FilaTexto& f : s.filas(sql, p)) {
        const qint64 codigo = f[0].value_or(QString()).toLongLong();
        if (entradas.empty() || entradas.back().codigo != codigo) {
            Entrada e;
            e.codigo = codigo;
            e.momento = QDateTime::fromString(f[1].value_or(QString()), Qt::ISODateWithMs).toLocalTime();
            e.usuario = f[2].value_or(QString());
            e.tabla = f[3].value_or(QString());
            e.registro = f[4].value_or(QString()).toLongLong();
            e.cambio = f[5].value_or(QString());
            entradas.push_back(std::move(e));
        }
        if (f[6])
            entradas.back().columnas.push_back({f[6]->toInt(), f[7], f[8]});
    }
    return entradas;
}

// The code of the newest addition of component `codigo` before entry `antes_de`: where its history starts, since a
// code may have been used by a component deleted earlier.
qint64 inicio(Sesion& s, qint64 codigo, qint64 antes_de) {
    qint64 desde = 0;
    s.enteros(
        QStringLiteral("SELECT max(Codigo) FROM Historial WHERE Tabla = 'Elemento' AND Registro = $1 AND Cambio = "
                       "'alta' AND Codigo < $2"),
        1, [&](const qint64* v) { desde = v[0]; }, {num(codigo), num(antes_de)});
    return desde;
}

bool contiene(const Entrada& e, const QString& texto) {
    if (QString::number(e.registro).contains(texto) || e.usuario.contains(texto, Qt::CaseInsensitive))
        return true;
    for (const Columna& c : e.columnas)
        for (const std::optional<QString>& v : {c.antes, c.despues})
            if (v && (v->contains(texto, Qt::CaseInsensitive) || e.valor(c.ordinal, v).contains(texto, Qt::CaseInsensitive)))
                return true;
    return false;
}

QString instante(const QDate& dia) {
    return QDateTime(dia, QTime(0, 0)).toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

const std::vector<QString>& cambios() {
    static const std::vector<QString> todos{Cambio::alta,     Cambio::modificacion, Cambio::codigo,
                                            Cambio::borrado,  Cambio::baja,         Cambio::recuperacion,
                                            Cambio::entrega,  Cambio::devolucion};
    return todos;
}

QString texto_cambio(const QString& cambio) {
    static const std::vector<std::pair<const char*, const char*>> textos{
        {Cambio::alta, "Alta"},           {Cambio::modificacion, "Cambio"},     {Cambio::codigo, "Cambio de código"},
        {Cambio::borrado, "Borrado"},     {Cambio::baja, "Baja"},               {Cambio::recuperacion, "Recuperación"},
        {Cambio::entrega, "Entrega"},     {Cambio::devolucion, "Devolución"}};
    for (const auto& [clave, texto] : textos)
        if (cambio == QLatin1String(clave))
            return QString::fromUtf8(texto);
    return cambio;
}

QString texto_tabla(const QString& tabla) {
    const Tabla* t = tabla_de(tabla);
    return t ? QString::fromUtf8(t->texto) : tabla;
}

QString Entrada::nombre_columna(int ordinal) const {
    const Tabla* t = tabla_de(tabla);
    if (t && ordinal >= 0 && ordinal < int(t->columnas.size()))
        return QString::fromUtf8(t->columnas[size_t(ordinal)]);
    return QStringLiteral("Columna %1").arg(ordinal + 1);
}

QString Entrada::valor(int ordinal, const std::optional<QString>& v) const {
    if (!v)
        return QStringLiteral("(vacío)");
    const bool elemento = tabla == QLatin1String("Elemento");
    const bool entrega = tabla == QLatin1String("Entrega");
    // Dates, the warranty and the renting flag are shown as the list shows them, whichever engine stored them.
    if ((elemento && ordinal == 5) || (entrega && (ordinal == 4 || ordinal == 5))) {
        const QDate fecha = QDate::fromString(v->left(10), Qt::ISODate);
        return fecha.isValid() ? Valores::texto_fecha(fecha) : *v;
    }
    if (elemento && ordinal == 6) {
        bool ok = false;
        const double garantia = v->toDouble(&ok);
        return ok ? Valores::texto_real(garantia) : *v;
    }
    if (elemento && ordinal == 8)
        return Valores::si_no(QVariant(*v == QLatin1String("1") || *v == QLatin1String("true")));
    return *v;
}

QString Entrada::detalle() const {
    QStringList partes;
    for (const Columna& c : columnas) {
        if (cambio == QLatin1String(Cambio::alta) || cambio == QLatin1String(Cambio::entrega) ||
            cambio == QLatin1String(Cambio::recuperacion))
            partes << QStringLiteral("%1: %2").arg(nombre_columna(c.ordinal), valor(c.ordinal, c.despues));
        else if (!c.despues)
            partes << QStringLiteral("%1: %2").arg(nombre_columna(c.ordinal), valor(c.ordinal, c.antes));
        else
            partes << QStringLiteral("%1: %2 → %3")
                          .arg(nombre_columna(c.ordinal), valor(c.ordinal, c.antes), valor(c.ordinal, c.despues));
    }
    return partes.join(QStringLiteral("; "));
}

std::vector<Entrada> de_componente(const QString& base, qint64 codigo) {
    std::vector<Entrada> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (!s.con_tablas())
            return;
        // Newest first: the component under its code now, then, before each change of code, under the code it had.
        qint64 actual = codigo;
        qint64 hasta = std::numeric_limits<qint64>::max();
        for (int paso = 0; paso < 1000; ++paso) {
            const qint64 desde = inicio(s, actual, hasta);
            std::vector<Entrada> tramo = leer_entradas(
                s,
                QStringLiteral("h.Tabla IN ('Elemento', 'Entrega') AND h.Registro = $1 AND h.Codigo >= $2 AND "
                               "h.Codigo < $3"),
                {num(actual), num(desde), num(hasta)});
            std::optional<std::pair<qint64, qint64>> anterior; // the change of code that gave it this one
            for (const Entrada& e : tramo)
                if (e.tabla == QLatin1String("Elemento") && e.cambio == QLatin1String(Cambio::codigo) && !anterior)
                    for (const Columna& c : e.columnas)
                        if (c.ordinal == 0 && c.antes)
                            anterior = std::pair{e.codigo, c.antes->toLongLong()};
            if (anterior) {
                // What precedes that change belongs to the old code.
                tramo.erase(std::remove_if(tramo.begin(), tramo.end(),
                                           [&](const Entrada& e) { return e.codigo < anterior->first; }),
                            tramo.end());
            }
            resultado.insert(resultado.end(), std::make_move_iterator(tramo.begin()),
                             std::make_move_iterator(tramo.end()));
            if (!anterior)
                break;
            hasta = anterior->first;
            actual = anterior->second;
        }
    });
    return resultado;
}

std::vector<Entrada> del_inventario(const QString& base, const Filtro& filtro) {
    std::vector<Entrada> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (!s.con_tablas())
            return;
        QStringList condiciones{QStringLiteral("1 = 1")};
        Parametros p;
        const auto anadir = [&](const QString& sql, QVariant valor) {
            p.push_back(std::move(valor));
            condiciones << QString(sql).arg(p.size());
        };
        const QString instante_sql = s.servidor() ? QStringLiteral("$%1::timestamptz") : QStringLiteral("$%1");
        if (filtro.desde.isValid())
            anadir(QStringLiteral("h.Momento >= ") + instante_sql, instante(filtro.desde));
        if (filtro.hasta.isValid())
            anadir(QStringLiteral("h.Momento < ") + instante_sql, instante(filtro.hasta.addDays(1)));
        if (!filtro.usuario.isEmpty())
            anadir(QStringLiteral("h.Usuario = $%1"), filtro.usuario);
        if (!filtro.cambio.isEmpty())
            anadir(QStringLiteral("h.Cambio = $%1"), filtro.cambio);
        // Without a text, the newest entries are taken by the server; with one, every entry is looked at.
        QString condicion = condiciones.join(QStringLiteral(" AND "));
        if (filtro.texto.isEmpty())
            condicion = QStringLiteral("h.Codigo IN (SELECT h.Codigo FROM Historial h WHERE %1 ORDER BY h.Codigo DESC "
                                       "LIMIT %2)")
                            .arg(condicion)
                            .arg(filtro.limite);
        for (Entrada& e : leer_entradas(s, condicion, p)) {
            if (int(resultado.size()) >= filtro.limite)
                break;
            if (filtro.texto.isEmpty() || contiene(e, filtro.texto.trimmed()))
                resultado.push_back(std::move(e));
        }
    });
    return resultado;
}

std::vector<QString> usuarios(const QString& base) {
    std::vector<QString> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (!s.con_tablas())
            return;
        for (const FilaTexto& f : s.filas(QStringLiteral("SELECT DISTINCT Usuario FROM Historial ORDER BY Usuario")))
            resultado.push_back(f[0].value_or(QString()));
    });
    return resultado;
}

QString usuario_del_sistema() {
    if (const passwd* p = ::getpwuid(::geteuid()); p && p->pw_name && *p->pw_name)
        return QString::fromLocal8Bit(p->pw_name);
    const QString usuario = qEnvironmentVariable("USER");
    return usuario.isEmpty() ? QString::number(::geteuid()) : usuario;
}

} // namespace Historial
