// The warranty window's fill and the export of the main list to CSV and XLSX, each next to what it is compared with:
// the main list's "Todos" fill, and the same texts written with plain buffered writes.
#include "bench/comun.h"
#include "exportar/escritura.h"
#include "exportar/exportar.h"
#include "garantias/garantias.h"
#include "plataforma/impresora_lineas.h"
#include "principal/modelo_lista.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QStringEncoder>
#include <QTreeView>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace Bench {

namespace {

// A line of /proc/self/status ("VmRSS", "VmHWM") in MB.
double estado_mb(const char* clave) {
    std::ifstream estado("/proc/self/status");
    std::string linea;
    while (std::getline(estado, linea))
        if (linea.rfind(clave, 0) == 0)
            return std::stod(linea.substr(linea.find(':') + 1)) / 1024.0;
    return 0;
}

// Starts a new peak of resident memory from what the process holds now.
void reiniciar_pico() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// The floor of the CSV export: the same texts, read the same way and encoded to UTF-8 into one reused buffer, joined
// by ";" and written with plain buffered writes (stdio without locking), without quoting, byte-order mark, progress or
// temporary file.
void suelo_csv(const TablaExportar& tabla, const QString& ruta) {
    std::FILE* f = std::fopen(QFile::encodeName(ruta).constData(), "wb");
    static char buffer[1 << 20];
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    std::string texto;
    const int columnas = static_cast<int>(tabla.cabeceras_exportar().size());
    for (int fila = 0; fila < tabla.filas_exportar(); ++fila) {
        for (int c = 0; c < columnas; ++c) {
            const QString campo = tabla.texto_exportar(fila, c);
            texto.resize(static_cast<size_t>(campo.size()) * 3);
            const char* fin = utf8.appendToBuffer(texto.data(), campo);
            fwrite_unlocked(texto.data(), 1, static_cast<size_t>(fin - texto.data()), f);
            putc_unlocked(c + 1 < columnas ? ';' : '\n', f);
        }
    }
    std::fclose(f);
}

struct Xlsx {
    double ms = 0;
    double cpu_ms = 0;
    double antes_mb = 0;
    double pico_mb = 0;
};

// One XLSX export of `tabla` in a child process: its time, its processor time, the resident memory it started with
// (the list shown) and its peak.
Xlsx medir_xlsx(const TablaExportar& tabla, const QString& ruta) {
    std::fflush(stdout);
    int tubo[2];
    if (::pipe(tubo) != 0)
        return {};
    const pid_t hijo = ::fork();
    if (hijo == 0) {
        ::close(tubo[0]);
        Xlsx x;
        x.antes_mb = estado_mb("VmRSS");
        reiniciar_pico();
        const std::clock_t cpu = std::clock();
        QElapsedTimer reloj;
        reloj.start();
        Escritura::escribir(tabla, Escritura::Formato::xlsx, ruta);
        x.ms = reloj.nsecsElapsed() / 1e6;
        x.cpu_ms = double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
        x.pico_mb = estado_mb("VmHWM");
        [[maybe_unused]] const ssize_t escritos = ::write(tubo[1], &x, sizeof x);
        ::_exit(0);
    }
    ::close(tubo[1]);
    Xlsx x;
    if (hijo < 0 || ::read(tubo[0], &x, sizeof x) != ssize_t(sizeof x))
        std::fprintf(stderr, "export_xlsx: the child process failed\n");
    ::close(tubo[0]);
    if (hijo > 0)
        ::waitpid(hijo, nullptr, 0);
    return x;
}

void medir(const QTemporaryDir& dir, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        const QString ruta = crear_inventario(dir, n);
        const int veces = n >= 1000000 ? 3 : 5;
        auto principal = abrir_principal(dir, ruta);
        auto* selector = principal->findChild<QComboBox*>(QStringLiteral("DBCombo1"));
        auto* buscar = principal->findChild<QPushButton*>(QStringLiteral("Command1"));
        auto* lista = principal->findChild<QTreeView*>(QStringLiteral("ListView1"));
        selector->setEditText(QStringLiteral("Todos"));
        const double todos_ms = mediana(veces, [&] {
            buscar->click();
            lista->viewport()->repaint();
        });

        // The warranty window opened and filled on the same inventory.
        ImpresoraMemoria impresora;
        const double garantias_ms = mediana(veces, [&] {
            Garantias ventana(impresora, principal.get());
            ventana.show();
            ventana.findChild<QTreeView*>(QStringLiteral("ListView1"))->viewport()->repaint();
        });
        std::printf("garantias n=%d ms=%.1f list_todos_ms=%.1f ratio=%.2f\n", n, garantias_ms, todos_ms,
                    garantias_ms / todos_ms);

        const Exportar::TablaLista tabla(principal->lista());
        const QString csv = dir.filePath(QStringLiteral("lista.csv"));
        const double suelo = mediana(veces, [&] { suelo_csv(tabla, csv); });
        const double csv_ms = mediana(veces, [&] { Escritura::escribir(tabla, Escritura::Formato::csv, csv); });
        linea("export_csv", n, csv_ms, "floor_ms", suelo);
        QFile::remove(csv);

        // Measured in a child process that starts with the list shown, so its peak of memory is the export's own and
        // the peaks of this process stay as the other measures left them.
        const QString xlsx = dir.filePath(QStringLiteral("lista.xlsx"));
        const Xlsx x = medir_xlsx(tabla, xlsx);
        std::printf("export_xlsx n=%d ms=%.1f peak_rss_mb=%.0f list_rss_mb=%.0f above_list_mb=%.0f cpu_ms=%.1f "
                    "size_mb=%.1f\n",
                    n, x.ms, x.pico_mb, x.antes_mb, x.pico_mb - x.antes_mb, x.cpu_ms, QFile(xlsx).size() / 1048576.0);
        std::fflush(stdout);
        QFile::remove(xlsx);
        principal.reset();
        QFile::remove(ruta);
    }
}

} // namespace

Medida medir_garantias() {
    return medir;
}

} // namespace Bench
