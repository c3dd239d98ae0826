// The statements of the server engine built from a table's columns.
#include "data/sentencias_pg.h"

#include <QStringList>

namespace SentenciasPg {

QString nombre(const char* nombre) {
    return QString::fromLatin1(nombre).toLower();
}

QString columnas(const Tabla& t) {
    QStringList partes;
    for (const Columna& c : t.columnas)
        partes << nombre(c.nombre);
    return partes.join(QStringLiteral(", "));
}

const char* tipo(Clase clase) {
    switch (clase) {
    case Clase::entero:
        return "bigint";
    case Clase::real:
        return "double precision";
    case Clase::texto:
        return "text";
    case Clase::fecha:
        return "date";
    case Clase::logico:
        return "boolean";
    }
    return "text";
}

QString columnas_lectura(const Tabla& t, const QString& prefijo) {
    QStringList partes;
    for (const Columna& c : t.columnas) {
        const QString n = prefijo + nombre(c.nombre);
        partes << (c.clase == Clase::fecha ? QStringLiteral("CASE WHEN isfinite(%1) THEN (%1 - DATE '2000-01-01' + "
                                                            "2451545)::text ELSE %1::text END")
                                                 .arg(n)
                                           : n);
    }
    return partes.join(QStringLiteral(", "));
}

QString estimar_filas(const Tabla& t) {
    return QStringLiteral("SELECT greatest(reltuples, 0)::bigint FROM pg_class WHERE oid = '%1'::regclass")
        .arg(nombre(t.nombre));
}

QString leer_tabla(const Tabla& t) {
    return QStringLiteral("COPY (SELECT %1 FROM %2 ORDER BY codigo) TO STDOUT")
        .arg(columnas_lectura(t), nombre(t.nombre));
}

QString leer_cambios_de(const Tabla& t, const QByteArray& instantanea) {
    return QString::fromLatin1(leer_cambios)
        .arg(columnas_lectura(t, QStringLiteral("e.")), nombre(t.nombre), QString::fromLatin1(instantanea));
}

QString insertar(const Tabla& t) {
    QStringList marcas;
    for (int i = 0; i < t.numero_columnas(); ++i)
        marcas << QStringLiteral("$%1::%2").arg(i + 1).arg(QLatin1String(tipo(t.columnas[i].clase)));
    QString sql =
        QStringLiteral("INSERT INTO %1 (%2) SELECT %3").arg(nombre(t.nombre), columnas(t), marcas.join(u", "));
    // A component is stored only while its type and brand exist: one deleted by another user meanwhile is seen
    // here, since the deletion holds the components' table until it ends.
    if (&t == &Esquema::elemento)
        sql += QStringLiteral(" WHERE EXISTS (SELECT 1 FROM tipo WHERE codigo = $2::bigint) AND EXISTS "
                              "(SELECT 1 FROM marca WHERE codigo = $3::bigint)");
    return sql + QStringLiteral(" RETURNING codigo");
}

QString turno_escritores(const Tabla& t) {
    return QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(nombre(t.nombre));
}

QString codigo_mayor(const Tabla& t) {
    return QStringLiteral("SELECT coalesce(max(codigo), 0) FROM %1").arg(nombre(t.nombre));
}

QString condicion_igual(const Tabla& t, int primero) {
    QStringList partes;
    partes << QStringLiteral("codigo = $%1").arg(primero);
    for (int i = 1; i < t.numero_columnas(); ++i)
        partes << QStringLiteral("%1 IS NOT DISTINCT FROM $%2::%3")
                      .arg(nombre(t.columnas[i].nombre))
                      .arg(primero + i)
                      .arg(QLatin1String(tipo(t.columnas[i].clase)));
    return partes.join(QStringLiteral(" AND "));
}

QString modificar(const Tabla& t, const std::vector<int>& comprobar) {
    QStringList asignaciones;
    for (int i = 0; i < t.numero_columnas(); ++i)
        asignaciones << QStringLiteral("%1 = $%2").arg(nombre(t.columnas[i].nombre)).arg(i + 1);
    QString donde = condicion_igual(t, t.numero_columnas() + 1);
    for (int ordinal : comprobar)
        donde += QStringLiteral(" AND EXISTS (SELECT 1 FROM %1 WHERE codigo = $%2::bigint)")
                     .arg(nombre(t.columnas[ordinal].nombre))
                     .arg(ordinal + 1);
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3 RETURNING codigo")
        .arg(nombre(t.nombre), asignaciones.join(u", "), donde);
}

QString existe_codigo(const Tabla& t, int ordinal) {
    return QStringLiteral("SELECT 1 FROM %1 WHERE codigo = $1::bigint").arg(nombre(t.columnas[ordinal].nombre));
}

QString borrar(const Tabla& t) {
    return QStringLiteral("DELETE FROM %1 WHERE %2").arg(nombre(t.nombre), condicion_igual(t, 1));
}

QString bloquear_uso(const Tabla& uso) {
    return QStringLiteral("LOCK TABLE %1 IN SHARE MODE").arg(nombre(uso.nombre));
}

QString en_uso(const Tabla& uso, int columna) {
    return QStringLiteral("SELECT 1 FROM %1 WHERE %2 = $1 LIMIT 1")
        .arg(nombre(uso.nombre), nombre(uso.columnas[columna].nombre));
}

QString insertar_filas(const Tabla& t, std::size_t filas) {
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(nombre(t.nombre), columnas(t));
    int n = 0;
    for (std::size_t f = 0; f < filas; ++f) {
        sql += f == 0 ? QStringLiteral("(") : QStringLiteral(", (");
        for (int i = 0; i < t.numero_columnas(); ++i)
            sql += (i == 0 ? QStringLiteral("$") : QStringLiteral(", $")) + QString::number(++n);
        sql += u')';
    }
    return sql;
}

} // namespace SentenciasPg
