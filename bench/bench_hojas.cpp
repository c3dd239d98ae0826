// The import of a spreadsheet: an XLSX of n components written with libxlsxwriter (shared strings, dates with a
// date format, as spreadsheet programs save them), imported end to end into a new inventory by the command
// (talvirenca-importar --hoja with a mapping file: its reading child, the plan, the writing), next to the floor:
// the same cells read by liborcus alone in this process, each value taken and nothing kept.
#include "bench/comun.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <xlsxwriter.h>

namespace Bench {

namespace {

constexpr int mayor_medido = 100000;
namespace iface = orcus::spreadsheet::iface;
namespace ss = orcus::spreadsheet;

void escribir_xlsx(const QString& ruta, int n) {
    lxw_workbook* libro = workbook_new(QFile::encodeName(ruta).constData());
    lxw_worksheet* hoja = workbook_add_worksheet(libro, "Inventario");
    lxw_format* fecha = workbook_add_format(libro);
    format_set_num_format(fecha, "dd/mm/yyyy");
    const char* cabeceras[] = {"Código", "Tipo",     "Marca",       "Modelo", "Nº de serie",
                               "Fecha",  "Garantía", "Descripción", "Renting"};
    for (int c = 0; c < 9; ++c)
        worksheet_write_string(hoja, 0, lxw_col_t(c), cabeceras[c], nullptr);
    for (int i = 1; i <= n; ++i) {
        const auto fila = lxw_row_t(i);
        const QDate d = QDate(2000, 1, 1).addDays(i % 9000);
        lxw_datetime dia = {d.year(), d.month(), d.day(), 0, 0, 0};
        worksheet_write_number(hoja, fila, 0, i, nullptr);
        worksheet_write_string(hoja, fila, 1, qPrintable(QStringLiteral("Tipo de componente %1").arg(1 + i % tipos)),
                               nullptr);
        worksheet_write_string(hoja, fila, 2, qPrintable(QStringLiteral("Marca %1").arg(1 + i % marcas)), nullptr);
        worksheet_write_string(hoja, fila, 3, qPrintable(QStringLiteral("Modelo %1-X").arg(i % 977)), nullptr);
        worksheet_write_string(
            hoja, fila, 4,
            qPrintable(QStringLiteral("SN%1").arg(quint64(i) * 2654435761u % 100000000, 8, 10, QLatin1Char('0'))),
            nullptr);
        worksheet_write_datetime(hoja, fila, 5, &dia, fecha);
        worksheet_write_number(hoja, fila, 6, 12.0 * (1 + i % 3), nullptr);
        if (i % 3)
            worksheet_write_string(hoja, fila, 7, qPrintable(QStringLiteral("Puesto %1 de la oficina").arg(i % 211)),
                                   nullptr);
        worksheet_write_string(hoja, fila, 8, i % 2 ? "No" : "Sí", nullptr);
    }
    if (workbook_close(libro) != LXW_NO_ERROR)
        std::exit(1);
}

// liborcus alone: every cell handed over and touched, nothing kept but the shared strings it needs.
class Suelo final : public iface::import_factory,
                    iface::import_shared_strings,
                    iface::import_sheet,
                    iface::import_reference_resolver {
public:
    // The reader has each cell's A1 address resolved ("B7"); the floor does it as plainly as it can.
    iface::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override { return this; }
    ss::src_address_t resolve_address(std::string_view d) override {
        ss::src_address_t r{0, 0, 0};
        std::size_t i = 0;
        for (; i < d.size() && d[i] >= 'A' && d[i] <= 'Z'; ++i)
            r.column = r.column * 26 + (d[i] - 'A' + 1);
        for (; i < d.size() && d[i] >= '0' && d[i] <= '9'; ++i)
            r.row = r.row * 10 + (d[i] - '0');
        --r.row;
        --r.column;
        return r;
    }
    ss::src_range_t resolve_range(std::string_view d) override {
        const auto dos = d.find(':');
        return {resolve_address(d.substr(0, dos)),
                resolve_address(dos == std::string_view::npos ? d : d.substr(dos + 1))};
    }
    double suma = 0;
    std::vector<std::string> cadenas;
    iface::import_shared_strings* get_shared_strings() override { return this; }
    iface::import_sheet* append_sheet(ss::sheet_t, std::string_view) override { return this; }
    iface::import_sheet* get_sheet(std::string_view) override { return this; }
    iface::import_sheet* get_sheet(ss::sheet_t) override { return this; }
    void finalize() override {}
    std::size_t append(std::string_view s) override {
        cadenas.emplace_back(s);
        return cadenas.size() - 1;
    }
    std::size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void append_segment(std::string_view) override {}
    size_t commit_segments() override { return 0; }
    void set_auto(ss::row_t, ss::col_t, std::string_view s) override { suma += double(s.size()); }
    void set_string(ss::row_t, ss::col_t, ss::string_id_t i) override {
        suma += i < cadenas.size() ? double(cadenas[i].size()) : 0;
    }
    void set_value(ss::row_t, ss::col_t, double v) override { suma += v; }
    void set_bool(ss::row_t, ss::col_t, bool v) override { suma += v; }
    void set_date_time(ss::row_t, ss::col_t, int a, int, int, int, int, double) override { suma += a; }
    void set_format(ss::row_t, ss::col_t, size_t) override {}
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
    void fill_down_cells(ss::row_t, ss::col_t, ss::row_t) override {}
    ss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }
};

void suelo_orcus(const QString& ruta) {
    Suelo suelo;
    orcus::orcus_xlsx lector(&suelo);
    lector.read_file(QFile::encodeName(ruta).toStdString());
    if (suelo.suma == 0)
        std::exit(1);
}

double pico_arbol_mb(qint64 pid) {
    QFile estado(QStringLiteral("/proc/%1/status").arg(pid));
    if (!estado.open(QIODevice::ReadOnly))
        return 0;
    double mb = 0;
    for (const QByteArray& l : estado.readAll().split('\n'))
        if (l.startsWith("VmHWM:"))
            mb = l.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    QFile hijos(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (hijos.open(QIODevice::ReadOnly))
        for (const QByteArray& h : hijos.readAll().split(' '))
            if (!h.trimmed().isEmpty())
                mb = std::max(mb, pico_arbol_mb(h.trimmed().toLongLong()));
    return mb;
}

} // namespace

void medir_importar_hoja(const QTemporaryDir& dir, const std::vector<int>& tamanos) {
    for (int n : tamanos) {
        if (n > mayor_medido)
            continue;
        const QString origen = dir.filePath(QStringLiteral("hoja_%1.xlsx").arg(n));
        escribir_xlsx(origen, n);
        const QString mapa = dir.filePath(QStringLiteral("columnas.txt"));
        {
            QFile f(mapa);
            if (!f.open(QIODevice::WriteOnly))
                std::exit(1);
            f.write("codigo = A\ntipo = B\nmarca = C\nmodelo = D\nnumero_serie = E\nfecha = F\ngarantia = G\n"
                    "descripcion = H\nrenting = I\n");
        }
        const QString destino = dir.filePath(QStringLiteral("hoja_%1.db").arg(n));
        const double suelo = mediana(3, [&] { suelo_orcus(origen); });
        // `pico`, when given, gets the peak memory of the command or of its reading child, whichever is larger,
        // polled while it runs; the timed runs do not poll.
        const auto importar = [&](double* pico) {
            QProcess orden;
            orden.start(QStringLiteral(TALVIRENCA_IMPORTAR),
                        {QStringLiteral("--hoja"), origen, QStringLiteral("--columnas"), mapa, destino,
                         QStringLiteral("--crear-nombres")});
            if (pico)
                while (!orden.waitForFinished(5))
                    *pico = std::max(*pico, pico_arbol_mb(orden.processId()));
            orden.waitForFinished(-1);
            if (orden.exitCode() != 0 || !QFile::exists(destino)) {
                std::fprintf(stderr, "la importación de la hoja ha fallado: %s\n",
                             orden.readAllStandardError().constData());
                std::exit(1);
            }
        };
        const double ms = mediana(
            3, [&] { importar(nullptr); }, [&] { QFile::remove(destino); });
        double pico = 0;
        QFile::remove(destino);
        importar(&pico);
        linea("import_sheet", n, ms, "floor_ms", suelo);
        std::printf("import_sheet_memory n=%d peak_rss_mb=%.0f source_mb=%.1f\n", n, pico,
                    QFileInfo(origen).size() / 1048576.0);
        std::fflush(stdout);
        QFile::remove(origen);
        QFile::remove(destino);
    }
}

} // namespace Bench
