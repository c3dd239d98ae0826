// The statements of the file engine, built from a table's columns.
#include "data/sentencias_sqlite.h"

#include <QStringList>

namespace SentenciasSqlite {

namespace {

QString lista_columnas(const Tabla& t, const QString& formato) {
    QStringList partes;
    for (const Columna& c : t.columnas)
        partes << formato.arg(QLatin1String(c.nombre));
    return partes.join(QStringLiteral(", "));
}

} // namespace

QString contar_filas(const Tabla& t) {
    return QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(t.nombre));
}

QString leer_tabla(const Tabla& t) {
    return QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY Codigo, rowid")
        .arg(lista_columnas(t, QStringLiteral("%1")), QLatin1String(t.nombre));
}

QString leer_fila(const Tabla& t) {
    return QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid = ?1")
        .arg(lista_columnas(t, QStringLiteral("%1")), QLatin1String(t.nombre));
}

QString codigo_usado(const Tabla& uso, int columna) {
    return QStringLiteral("SELECT %2 FROM %1 WHERE %2 = ?1 OR typeof(%2) IN ('real', 'text', 'blob')")
        .arg(QLatin1String(uso.nombre), QLatin1String(uso.columnas[columna].nombre));
}

QString codigo_mayor(const Tabla& t) {
    return QStringLiteral("SELECT max(Codigo) FROM %1").arg(QLatin1String(t.nombre));
}

QString insertar(const Tabla& t) {
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(QLatin1String(t.nombre), lista_columnas(t, QStringLiteral("%1")),
             QStringList(t.numero_columnas(), QStringLiteral("?")).join(u", "));
}

QString modificar(const Tabla& t) {
    return QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ? RETURNING rowid")
        .arg(QLatin1String(t.nombre), lista_columnas(t, QStringLiteral("%1 = ?")));
}

QString borrar(const Tabla& t) {
    return QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QLatin1String(t.nombre));
}

} // namespace SentenciasSqlite
