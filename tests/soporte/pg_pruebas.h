#pragma once

// The throwaway PostgreSQL server of the tests (started by the fixture tests/pg_servidor.sh): its address and
// statements run outside the program. For test programs built with PG_DIR_ARCHIVO.
#include "data/motor.h"

#include <QFile>
#include <QStringList>
#include <QUrl>
#include <libpq-fe.h>

namespace PgPruebas {

inline QString carpeta_servidor() {
    QFile archivo(QStringLiteral(PG_DIR_ARCHIVO));
    if (!archivo.open(QIODevice::ReadOnly))
        qFatal("no hay servidor de pruebas: falta %s", PG_DIR_ARCHIVO);
    return QString::fromUtf8(archivo.readAll()).trimmed();
}

inline QString uri(const QString& base, const QString& usuario = QStringLiteral("postgres")) {
    return QStringLiteral("postgresql://%1@%2/%3")
        .arg(usuario, QString::fromUtf8(QUrl::toPercentEncoding(carpeta_servidor())), base);
}

// Runs statements on `c`; the rows of the last one, "|"-joined.
inline QStringList sql_en(PGconn* c, const QStringList& sentencias) {
    QStringList filas;
    for (const QString& s : sentencias) {
        PGresult* r = PQexec(c, s.toUtf8().constData());
        const ExecStatusType estado = PQresultStatus(r);
        if (estado != PGRES_COMMAND_OK && estado != PGRES_TUPLES_OK)
            qFatal("%s: %s", qPrintable(s), PQerrorMessage(c));
        filas.clear();
        for (int i = 0; i < PQntuples(r); ++i) {
            QStringList campos;
            for (int j = 0; j < PQnfields(r); ++j)
                campos << QString::fromUtf8(PQgetvalue(r, i, j));
            filas << campos.join(u'|');
        }
        PQclear(r);
    }
    return filas;
}

inline PGconn* conectar(const QString& destino) {
    PGconn* c = PQconnectdb(destino.toUtf8().constData());
    if (PQstatus(c) != CONNECTION_OK)
        qFatal("sin conexión: %s", PQerrorMessage(c));
    return c;
}

// Runs statements through a connection of its own, outside the program.
inline QStringList sql(const QString& destino, const QStringList& sentencias) {
    PGconn* c = conectar(destino);
    const QStringList filas = sql_en(c, sentencias);
    PQfinish(c);
    return filas;
}

// A new, empty database on the test server.
inline QString base_vacia(const QString& nombre) {
    Servidor::cerrar_conexiones();
    sql(uri(QStringLiteral("postgres")), {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(nombre),
                                          QStringLiteral("CREATE DATABASE %1").arg(nombre)});
    return uri(nombre);
}

} // namespace PgPruebas
