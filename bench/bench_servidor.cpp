// An inventory on a PostgreSQL server reached over its Unix socket: a refresh of Elemento and a full walk, next to
// the floor of reading the same rows with libpq's COPY alone; and two people adding components at once. The server
// is a throwaway cluster started here the way the tests start theirs.
#include "bench/comun.h"
#include "data/error_datos.h"
#include "data/motor.h"
#include "data/origen_datos.h"
#include "data/recorridos.h"
#include "data/traslado.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <libpq-fe.h>
#include <thread>

namespace Bench {

namespace {

volatile qint64 sumidero_pg = 0;

bool orden_cluster(const QStringList& argumentos) {
    QProcess p;
    p.start(QStringLiteral("sh"), QStringList{QStringLiteral(PG_SCRIPT)} + argumentos);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool ejecutar_sql(const QString& uri, const QString& sentencia) {
    PGconn* c = PQconnectdb(uri.toUtf8().constData());
    PGresult* r = PQexec(c, sentencia.toUtf8().constData());
    const bool bien = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!bien)
        std::fprintf(stderr, "%s: %s", qPrintable(sentencia), PQerrorMessage(c));
    PQclear(r);
    PQfinish(c);
    return bien;
}

// The floor: the rows of Elemento streamed with COPY and only counted.
void suelo_copy(const QString& uri) {
    PGconn* c = PQconnectdb(uri.toUtf8().constData());
    PQclear(PQexec(c, "COPY (SELECT codigo, tipo, marca, modelo, numserie, fecha, garantia, descripcion, renting "
                      "FROM elemento ORDER BY codigo) TO STDOUT"));
    qint64 bytes = 0;
    char* linea = nullptr;
    int n;
    while ((n = PQgetCopyData(c, &linea, 0)) > 0) {
        bytes += n;
        PQfreemem(linea);
    }
    PQclear(PQgetResult(c));
    PQfinish(c);
    sumidero_pg = sumidero_pg + bytes;
}

QString nueva_base(const QString& servidor, const QString& nombre) {
    const QString raiz = QStringLiteral("postgresql://postgres@%1/").arg(servidor);
    ejecutar_sql(raiz + QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(nombre));
    ejecutar_sql(raiz + QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(nombre));
    return raiz + nombre;
}

void dos_escritores(const QString& uri, int n) {
    const auto escritor = [&] {
        OrigenDatos elementos;
        elementos.enlazar_base_datos(uri);
        elementos.enlazar_tabla(QStringLiteral("Elemento"));
        try {
            elementos.refrescar();
            for (int i = 0; i < n / 2; ++i) {
                elementos.anadir_nuevo();
                const QVariant valores[] = {0,
                                            1,
                                            1,
                                            QStringLiteral("Modelo %1").arg(i),
                                            QStringLiteral("S%1").arg(i),
                                            QDate(2024, 1, 1),
                                            3.0,
                                            QStringLiteral("Puesto %1").arg(i % 40),
                                            false};
                for (int c = 1; c < 9; ++c)
                    elementos.escribir(c, valores[c]);
                elementos.actualizar_con_codigo_nuevo();
            }
        } catch (const ErrorDatos& e) {
            std::fprintf(stderr, "two_writers: %s\n", qPrintable(e.texto()));
        }
        Servidor::cerrar_conexiones();
    };
    std::thread uno(escritor), otro(escritor);
    uno.join();
    otro.join();
}

// Another connection changes `cambiados` components spread over the table.
void cambiar_fuera(const QString& uri, int n, int cambiados, int vuelta) {
    ejecutar_sql(uri, QStringLiteral("UPDATE elemento SET modelo = 'Cambio %1 ' || codigo WHERE codigo %% %2 = %3")
                          .arg(vuelta)
                          .arg(std::max(1, n / cambiados))
                          .arg(vuelta % std::max(1, n / cambiados))
                          .replace(QStringLiteral("%%"), QStringLiteral("%")));
}

// A refresh after another connection changed 100 components, and the steps of the card on the main window.
void medir_cambios(const QTemporaryDir& dir, const QString& uri, int n, int veces, double suelo) {
    constexpr int cambiados = 100;
    {
        OrigenDatos elementos;
        elementos.enlazar_base_datos(uri);
        elementos.enlazar_tabla(QStringLiteral("Elemento"));
        elementos.refrescar();
        int vuelta = 0;
        const double ms = mediana(
            veces, [&] { elementos.refrescar(); }, [&] { cambiar_fuera(uri, n, cambiados, ++vuelta); });
        if (!elementos.cambio_al_refrescar())
            std::fprintf(stderr, "refresh_delta_pg: the table was read whole\n");
        std::printf("refresh_delta_pg n=%d changed=%d ms=%.1f floor_ms=%.1f ratio=%.3f\n", n, cambiados, ms, suelo,
                    ms / suelo);
        std::fflush(stdout);
    }
    auto principal = abrir_principal(dir, uri);
    principal->findChild<QComboBox*>(QStringLiteral("DBCombo1"))->setEditText(QStringLiteral("Todos"));
    principal->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    sesion_ficha(*principal, n, veces, suelo, "_pg");
    principal.reset();
}

// Adding components one by one through a data source, each in its transaction.
double anadir_componentes(const QString& uri, int n) {
    OrigenDatos elementos;
    elementos.enlazar_base_datos(uri);
    elementos.enlazar_tabla(QStringLiteral("Elemento"));
    elementos.refrescar();
    QElapsedTimer reloj;
    reloj.start();
    for (int i = 0; i < n; ++i) {
        elementos.anadir_nuevo();
        const QVariant valores[] = {
            0,   1,         1,    QStringLiteral("Modelo %1").arg(i), QStringLiteral("S%1").arg(i), QDate(2024, 1, 1),
            3.0, QString(), false};
        for (int c = 1; c < 9; ++c)
            elementos.escribir(c, valores[c]);
        elementos.actualizar_con_codigo_nuevo();
    }
    return static_cast<double>(reloj.nsecsElapsed()) / 1e6;
}

// The cost the notes of changes add to writing: 1,000 components added with the triggers, against the same
// without them, alternated in the same run.
void medir_sobrecarga(const QString& servidor) {
    constexpr int n = 1000;
    const QString uri = nueva_base(servidor, QStringLiteral("sobrecarga"));
    Esquema::crear_inventario(uri);
    ejecutar_sql(uri, QStringLiteral("INSERT INTO tipo VALUES (1, 'Monitor'); INSERT INTO marca VALUES (1, 'Acme')"));
    std::vector<double> con, sin;
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        for (const bool notas : {true, false}) {
            ejecutar_sql(uri, QStringLiteral("ALTER TABLE elemento %1 TRIGGER USER; DELETE FROM elemento")
                                  .arg(notas ? QStringLiteral("ENABLE") : QStringLiteral("DISABLE")));
            Servidor::cerrar_conexiones();
            (notas ? con : sin).push_back(anadir_componentes(uri, n));
        }
    }
    std::sort(con.begin(), con.end());
    std::sort(sin.begin(), sin.end());
    std::printf("write_overhead_pg n=%d ms=%.1f floor_ms=%.1f ratio=%.2f\n", n, con[1], sin[1], con[1] / sin[1]);
    std::fflush(stdout);
    Servidor::cerrar_conexiones();
}

} // namespace

void medir_servidor(const QTemporaryDir& dir, const std::vector<int>& tamanos) {
    const QString archivo_dir = dir.filePath(QStringLiteral("servidor_pg.dir"));
    if (!orden_cluster({QStringLiteral("iniciar"), archivo_dir})) {
        std::fprintf(stderr, "PostgreSQL server not started; server measures skipped\n");
        return;
    }
    QFile f(archivo_dir);
    f.open(QIODevice::ReadOnly);
    const QString carpeta = QString::fromUtf8(f.readAll()).trimmed();
    const QString servidor = QString::fromUtf8(QUrl::toPercentEncoding(carpeta));
    for (int n : tamanos) {
        QTemporaryDir origen;
        const QString archivo = crear_inventario(origen, n);
        const QString uri = nueva_base(servidor, QStringLiteral("bench%1").arg(n));
        try {
            Traslado::trasladar(archivo, uri);
        } catch (const ErrorDatos& e) {
            std::fprintf(stderr, "refresh_walk_pg: %s\n", qPrintable(e.texto()));
            continue;
        }
        QFile::remove(archivo);
        ejecutar_sql(uri, QStringLiteral("VACUUM ANALYZE"));
        const int veces = n >= 1000000 ? 3 : 5;
        const double suelo = mediana(veces, [&] { suelo_copy(uri); });
        const double ms = mediana(veces, [&] { refresco_y_recorrido(uri); });
        linea("refresh_walk_pg", n, ms, "floor_ms", suelo);
        if (n >= 1000000 || std::getenv("TALVIRENCA_BENCH_N"))
            medir_cambios(dir, uri, n, veces, suelo);
        Servidor::cerrar_conexiones();
        ejecutar_sql(QStringLiteral("postgresql://postgres@%1/postgres").arg(servidor),
                     QStringLiteral("DROP DATABASE bench%1 WITH (FORCE)").arg(n));
    }
    {
        constexpr int n = 1000;
        const QString uri = nueva_base(servidor, QStringLiteral("escritores"));
        Esquema::crear_inventario(uri);
        ejecutar_sql(uri,
                     QStringLiteral("INSERT INTO tipo VALUES (1, 'Monitor'); INSERT INTO marca VALUES (1, 'Acme')"));
        QElapsedTimer reloj;
        reloj.start();
        dos_escritores(uri, n);
        const double ms = static_cast<double>(reloj.nsecsElapsed()) / 1e6;
        std::printf("two_writers n=%d ms=%.1f\n", n, ms);
        std::fflush(stdout);
        Servidor::cerrar_conexiones();
    }
    medir_sobrecarga(servidor);
    orden_cluster({QStringLiteral("parar"), archivo_dir});
}

} // namespace Bench
