// The import from Access: a file of n components made by the tests' Jet writer, imported end to end by the command
// the window runs (a child process writing the new inventory), next to the floor: the same three tables read with
// libmdb alone in the same run, every value taken out of its row.
#include <glib.h>
#include <mdbtools.h>

#include "bench/comun.h"
#include "jet/escritor_jet.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace Bench {

namespace {

constexpr int mayor_medido = 100000;

Jet::Tabla tabla(const char* nombre, const QString& prefijo, int filas) {
    Jet::Tabla t = Jet::tabla_tipo_marca(QLatin1String(nombre));
    for (int i = 1; i <= filas; ++i)
        t.filas.push_back({qint64(i), prefijo.arg(i)});
    return t;
}

// The same components as the benchmark's inventories: realistic texts, one description in three empty.
QByteArray archivo_access(int n) {
    Jet::Tabla e = Jet::tabla_elemento();
    e.filas.reserve(n);
    for (int i = 1; i <= n; ++i) {
        e.filas.push_back(
            {qint64(i), qint64(1 + i % tipos), qint64(1 + i % marcas), QStringLiteral("Modelo %1-X").arg(i % 977),
             QStringLiteral("SN%1").arg(quint64(i) * 2654435761u % 100000000, 8, 10, QLatin1Char('0')),
             Jet::fecha_ole(QDate(2000, 1, 1).addDays(i % 9000)), 12.0 * (1 + i % 3),
             i % 3 ? Jet::Valor{QStringLiteral("Puesto %1 de la oficina").arg(i % 211)} : Jet::Valor{}, i % 2 == 0});
    }
    return Jet::escribir({std::move(e), tabla("Tipo", QStringLiteral("Tipo de componente %1"), tipos),
                          tabla("Marca", QStringLiteral("Marca %1"), marcas)});
}

// Every row of the three tables through libmdb: texts, memos and flags bound, numbers and dates taken from the row.
void suelo_libmdb(const QString& ruta) {
    MdbHandle* mdb = mdb_open(QFile::encodeName(ruta).constData(), MDB_NOFLAGS);
    mdb_set_bind_size(mdb, 200000);
    mdb_read_catalog(mdb, MDB_TABLE);
    volatile double suma = 0;
    for (const char* nombre : {"Tipo", "Marca", "Elemento"}) {
        MdbTableDef* t = mdb_read_table(mdb_get_catalogentry_by_name(mdb, nombre));
        mdb_read_columns(t);
        std::vector<std::vector<char>> enlaces(t->num_cols);
        std::vector<int> largos(t->num_cols);
        for (unsigned int i = 0; i < t->num_cols; ++i) {
            auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            if (c->col_type == MDB_TEXT || c->col_type == MDB_MEMO || c->col_type == MDB_BOOL) {
                enlaces[i].resize(200001);
                mdb_bind_column(t, int(i) + 1, enlaces[i].data(), &largos[i]);
            }
        }
        mdb_rewind_table(t);
        while (mdb_fetch_row(t))
            for (unsigned int i = 0; i < t->num_cols; ++i) {
                auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
                if (enlaces[i].empty() && c->cur_value_len > 0)
                    suma = suma + mdb_get_double(mdb->pg_buf, c->cur_value_start);
                else
                    suma = suma + largos[i];
            }
        mdb_free_tabledef(t);
    }
    mdb_close(mdb);
}

// The peak resident memory so far of the command and of the child it imports in.
double pico_proceso_mb(qint64 pid) {
    QFile estado(QStringLiteral("/proc/%1/status").arg(pid));
    if (!estado.open(QIODevice::ReadOnly))
        return 0;
    double mb = 0;
    for (const QByteArray& linea : estado.readAll().split('\n'))
        if (linea.startsWith("VmHWM:"))
            mb = linea.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    // The command imports in a child of its own: its peak counts too.
    QFile hijos(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (hijos.open(QIODevice::ReadOnly))
        for (const QByteArray& hijo : hijos.readAll().split(' '))
            if (!hijo.trimmed().isEmpty())
                mb += pico_proceso_mb(hijo.trimmed().toLongLong());
    return mb;
}

// CPU time in ms used so far by this process's finished children, or by its own calling thread.
double cpu_ms(int quien) {
    rusage uso{};
    getrusage(quien, &uso);
    return (uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) * 1000.0 +
           (uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1000.0;
}

} // namespace

void medir_importar(const QTemporaryDir& dir, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        if (n > mayor_medido)
            continue;
        const QString origen = dir.filePath(QStringLiteral("importar_%1.mdb").arg(n));
        {
            QFile f(origen);
            if (!f.open(QIODevice::WriteOnly) || f.write(archivo_access(n)) < 0)
                std::exit(1);
        }
        const QString destino = dir.filePath(QStringLiteral("importado_%1.db").arg(n));
        // CPU time too: on a machine shared with other work, wall times follow the load, CPU times much less.
        const double cpu_suelo_antes = cpu_ms(RUSAGE_THREAD);
        const double suelo = mediana(3, [&] { suelo_libmdb(origen); });
        const double cpu_suelo = (cpu_ms(RUSAGE_THREAD) - cpu_suelo_antes) / 3;
        // One run of the command; `pico`, when given, gets the child's peak memory, polled while it runs (the
        // counters of finished children also hold what a child inherited from this process before it started the
        // command). The timed runs do not poll, so the probe costs them nothing.
        const auto importar = [&](double* pico) {
            QProcess orden;
            orden.start(QStringLiteral(TALVIRENCA_IMPORTAR), {QStringLiteral("--progreso"), origen, destino});
            if (pico)
                while (!orden.waitForFinished(5))
                    *pico = std::max(*pico, pico_proceso_mb(orden.processId()));
            orden.waitForFinished(-1);
            if (orden.exitCode() != 0 || !QFile::exists(destino)) {
                std::fprintf(stderr, "la importación ha fallado: %s\n", orden.readAllStandardError().constData());
                std::exit(1);
            }
        };
        const double cpu_antes = cpu_ms(RUSAGE_CHILDREN);
        const double ms = mediana(
            3, [&] { importar(nullptr); }, [&] { QFile::remove(destino); });
        const double cpu = (cpu_ms(RUSAGE_CHILDREN) - cpu_antes) / 3;
        double pico = 0;
        QFile::remove(destino);
        importar(&pico);
        linea("import", n, ms, "floor_ms", suelo);
        std::printf("import_cpu n=%d cpu_ms=%.1f floor_cpu_ms=%.1f\n", n, cpu, cpu_suelo);
        std::printf("import_memory n=%d child_peak_rss_mb=%.0f source_mb=%.1f\n", n, pico,
                    QFileInfo(origen).size() / 1048576.0);
        std::fflush(stdout);
        QFile::remove(origen);
        QFile::remove(destino);
    }
}

} // namespace Bench
