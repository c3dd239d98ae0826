// XLSX and ODS through liborcus's import interface: the reader hands each cell, shared string, number format and
// merged range to the factory below, which keeps only what one sheet needs. No document model is built, so a
// large workbook costs the cells of the chosen sheet and nothing more.
#include "hojas/lectura/lector_hoja.h"

#include "data/error_datos.h"

#include <QFile>
#include <cmath>
#include <deque>
#include <optional>
#include <orcus/exception.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <unordered_map>

namespace ss = orcus::spreadsheet;
namespace iface = orcus::spreadsheet::iface;

namespace LectorHoja {

namespace {

// Number formats that show a date: XLSX keeps dates as numbers with such a format.
bool formato_fecha(std::size_t id, const std::string& codigo) {
    if (codigo.empty())
        return (id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
    // The letters of day, month or year outside quoted texts and bracketed parts ("[Red]", "[$-409]").
    bool comillas = false;
    int corchetes = 0;
    bool hora = false;
    bool dia = false;
    for (char c : codigo) {
        if (c == '"')
            comillas = !comillas;
        else if (!comillas && c == '[')
            ++corchetes;
        else if (!comillas && c == ']')
            --corchetes;
        else if (!comillas && corchetes == 0) {
            const char m = char(std::tolower(static_cast<unsigned char>(c)));
            dia = dia || m == 'd' || m == 'y';
            hora = hora || m == 'h' || m == 's';
        }
    }
    return dia || (!hora && codigo.find_first_of("mM") != std::string::npos && codigo.find('0') == std::string::npos);
}

class Cadenas final : public iface::import_shared_strings {
public:
    // A deque, so the texts never move and the index can point at them.
    std::deque<std::string> lista;
    std::size_t append(std::string_view s) override {
        lista.emplace_back(s);
        return lista.size() - 1;
    }
    std::size_t add(std::string_view s) override {
        const auto it = indice_.find(s);
        if (it != indice_.end())
            return it->second;
        const std::size_t i = append(s);
        indice_.emplace(lista.back(), i);
        return i;
    }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { segmentos_ += s; }
    size_t commit_segments() override {
        const std::size_t i = append(segmentos_);
        segmentos_.clear();
        return i;
    }

private:
    std::string segmentos_;
    std::unordered_map<std::string_view, std::size_t> indice_;

public:
    // Each shared text made a QString once; cells share it.
    const QString& texto(std::size_t i) {
        if (textos_.size() < lista.size())
            textos_.resize(lista.size());
        if (!textos_[i])
            textos_[i] = QString::fromStdString(lista[i]);
        return *textos_[i];
    }

private:
    std::vector<std::optional<QString>> textos_;
};

// Only which cell formats show dates matters here; everything else about styles is ignored.
class Estilos final : public iface::import_styles {
public:
    std::vector<bool> xf_fecha;
    void set_font_count(size_t) override {}
    void set_font_bold(bool) override {}
    void set_font_italic(bool) override {}
    void set_font_name(std::string_view) override {}
    void set_font_size(double) override {}
    void set_font_underline(ss::underline_t) override {}
    void set_font_underline_width(ss::underline_width_t) override {}
    void set_font_underline_mode(ss::underline_mode_t) override {}
    void set_font_underline_type(ss::underline_type_t) override {}
    void set_font_underline_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_strikethrough_style(ss::strikethrough_style_t) override {}
    void set_strikethrough_type(ss::strikethrough_type_t) override {}
    void set_strikethrough_width(ss::strikethrough_width_t) override {}
    void set_strikethrough_text(ss::strikethrough_text_t) override {}
    size_t commit_font() override { return 0; }
    void set_fill_count(size_t) override {}
    void set_fill_pattern_type(ss::fill_pattern_t) override {}
    void set_fill_fg_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_fill_bg_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    size_t commit_fill() override { return 0; }
    void set_border_count(size_t) override {}
    void set_border_style(ss::border_direction_t, ss::border_style_t) override {}
    void set_border_color(ss::border_direction_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t,
                          ss::color_elem_t) override {}
    void set_border_width(ss::border_direction_t, double, orcus::length_unit_t) override {}
    size_t commit_border() override { return 0; }
    void set_cell_hidden(bool) override {}
    void set_cell_locked(bool) override {}
    void set_cell_print_content(bool) override {}
    void set_cell_formula_hidden(bool) override {}
    size_t commit_cell_protection() override { return 0; }
    void set_number_format_count(size_t) override {}
    void set_number_format_identifier(size_t id) override { id_formato_ = id; }
    void set_number_format_code(std::string_view s) override { codigo_formato_ = s; }
    size_t commit_number_format() override {
        codigos_[id_formato_] = codigo_formato_;
        codigo_formato_.clear();
        return id_formato_;
    }
    void set_cell_xf_count(size_t) override {}
    void set_cell_style_xf_count(size_t) override {}
    void set_dxf_count(size_t) override {}
    void set_xf_font(size_t) override {}
    void set_xf_fill(size_t) override {}
    void set_xf_border(size_t) override {}
    void set_xf_protection(size_t) override {}
    void set_xf_number_format(size_t index) override { xf_formato_ = index; }
    void set_xf_style_xf(size_t) override {}
    void set_xf_apply_alignment(bool) override {}
    void set_xf_horizontal_alignment(ss::hor_alignment_t) override {}
    void set_xf_vertical_alignment(ss::ver_alignment_t) override {}
    size_t commit_cell_xf() override {
        const auto it = codigos_.find(xf_formato_);
        xf_fecha.push_back(formato_fecha(xf_formato_, it == codigos_.end() ? std::string() : it->second));
        xf_formato_ = 0;
        return xf_fecha.size() - 1;
    }
    size_t commit_cell_style_xf() override {
        xf_formato_ = 0;
        return 0;
    }
    size_t commit_dxf() override {
        xf_formato_ = 0;
        return 0;
    }
    void set_cell_style_count(size_t) override {}
    void set_cell_style_name(std::string_view) override {}
    void set_cell_style_xf(size_t) override {}
    void set_cell_style_builtin(size_t) override {}
    void set_cell_style_parent_name(std::string_view) override {}
    size_t commit_cell_style() override { return 0; }

private:
    std::size_t id_formato_ = 0;
    std::string codigo_formato_;
    std::size_t xf_formato_ = 0;
    std::unordered_map<std::size_t, std::string> codigos_;
};

class Ajustes final : public iface::import_global_settings {
public:
    qint64 dia_cero = QDate(1899, 12, 30).toJulianDay();
    void set_origin_date(int year, int month, int day) override {
        const QDate d(year, month, day);
        if (d.isValid())
            dia_cero = d.toJulianDay();
    }
    void set_default_formula_grammar(ss::formula_grammar_t g) override { gramatica_ = g; }
    ss::formula_grammar_t get_default_formula_grammar() const override { return gramatica_; }
    void set_character_set(orcus::character_set_t) override {}

private:
    ss::formula_grammar_t gramatica_ = ss::formula_grammar_t::unknown;
};

// Cell addresses in A1 form ("B7", "$C$2", "Hoja1!A1:B3"), as XLSX writes merged ranges and formulas' places.
class Direcciones final : public iface::import_reference_resolver {
public:
    ss::src_address_t resolve_address(std::string_view d) override {
        if (const auto admiracion = d.rfind('!'); admiracion != std::string_view::npos)
            d = d.substr(admiracion + 1);
        ss::src_address_t r{0, 0, 0};
        std::size_t i = 0;
        int columna = 0;
        int fila = 0;
        for (; i < d.size() && (d[i] == '$' || std::isalpha(static_cast<unsigned char>(d[i]))); ++i)
            if (d[i] != '$')
                columna = std::min(columna * 26 + (std::toupper(static_cast<unsigned char>(d[i])) - 'A' + 1), 1 << 20);
        for (; i < d.size() && (d[i] == '$' || std::isdigit(static_cast<unsigned char>(d[i]))); ++i)
            if (d[i] != '$')
                fila = std::min(fila * 10 + (d[i] - '0'), 1 << 24);
        if (columna == 0 || fila == 0 || i != d.size())
            throw orcus::general_error("dirección");
        r.row = fila - 1;
        r.column = columna - 1;
        return r;
    }
    ss::src_range_t resolve_range(std::string_view d) override {
        const auto dos_puntos = d.find(':');
        ss::src_range_t r;
        r.first = resolve_address(d.substr(0, dos_puntos));
        r.last = dos_puntos == std::string_view::npos ? r.first : resolve_address(d.substr(dos_puntos + 1));
        return r;
    }
};

class Hoja;

// A formula's result, when the file keeps one, is the cell's value; without one the cell says so.
class Formula final : public iface::import_formula {
public:
    explicit Formula(Hoja& hoja) : hoja_(hoja) {}
    void set_position(ss::row_t row, ss::col_t col) override {
        fila_ = row;
        columna_ = col;
        valor_ = {};
        texto_.clear();
    }
    void set_formula(ss::formula_grammar_t, std::string_view formula) override { texto_ = formula; }
    void set_shared_formula_index(size_t) override {}
    void set_result_string(std::string_view value) override {
        valor_.clase = CeldaHoja::Clase::texto;
        valor_.texto = QString::fromUtf8(value.data(), qsizetype(value.size()));
    }
    void set_result_value(double value) override {
        // A formula the file keeps no result for reads as "not a number".
        if (std::isnan(value))
            return;
        valor_.clase = CeldaHoja::Clase::numero;
        valor_.numero = value;
    }
    void set_result_bool(bool value) override {
        valor_.clase = CeldaHoja::Clase::logico;
        valor_.logico = value;
    }
    void set_result_empty() override {}
    void commit() override;

private:
    Hoja& hoja_;
    ss::row_t fila_ = 0;
    ss::col_t columna_ = 0;
    CeldaHoja valor_;
    std::string texto_;
};

class Propiedades final : public iface::import_sheet_properties {
public:
    std::vector<std::array<qint64, 4>> combinadas;
    void set_column_width(ss::col_t, double, orcus::length_unit_t) override {}
    void set_column_hidden(ss::col_t, bool) override {}
    void set_row_height(ss::row_t, double, orcus::length_unit_t) override {}
    void set_row_hidden(ss::row_t, bool) override {}
    void set_merge_cell_range(const ss::range_t& r) override {
        combinadas.push_back({r.first.row, r.first.column, r.last.row, r.last.column});
    }
};

// A sheet that is not the one asked for takes its cells and keeps none.
class Hoja final : public iface::import_sheet {
public:
    Hoja(bool guardar, Cadenas& cadenas, const Estilos& estilos, const Ajustes& ajustes)
        : guardar_(guardar), cadenas_(cadenas), estilos_(estilos), ajustes_(ajustes), formula_(*this) {}
    // Rows handed to `salida` as they are read, from the sheet's first cell on, instead of kept to the end.
    void emitir(Celdas::Salida salida, bool ods) {
        salida_ = std::move(salida);
        ods_ = ods;
    }
    Celdas celdas;
    Propiedades propiedades;
    // The cells' formats: the styles part may come after the sheets, so which of them are dates is known only
    // once the whole file is read.
    struct Formato {
        qint64 fila;
        int columna;
        std::size_t xf;
    };
    std::vector<Formato> formatos;

    CeldaHoja* celda(ss::row_t fila, ss::col_t columna, bool fin_de_filas = true) {
        if (!guardar_)
            return nullptr;
        if (salida_ && !decidido_)
            decidir();
        return celdas.en(fila, columna, fin_de_filas);
    }

    iface::import_sheet_properties* get_sheet_properties() override { return guardar_ ? &propiedades : nullptr; }
    iface::import_formula* get_formula() override { return &formula_; }
    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override {
        if (CeldaHoja* c = celda(row, col)) {
            c->clase = CeldaHoja::Clase::texto;
            c->texto = QString::fromUtf8(s.data(), qsizetype(s.size()));
        }
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t sindex) override {
        if (CeldaHoja* c = celda(row, col)) {
            c->clase = CeldaHoja::Clase::texto;
            if (sindex < cadenas_.lista.size())
                c->texto = cadenas_.texto(sindex);
        }
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override {
        if (CeldaHoja* c = celda(row, col)) {
            c->clase = CeldaHoja::Clase::numero;
            c->numero = value;
        }
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override {
        if (CeldaHoja* c = celda(row, col)) {
            c->clase = CeldaHoja::Clase::logico;
            c->logico = value;
        }
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int, int, double) override {
        if (CeldaHoja* c = celda(row, col)) {
            const QDate d(year, month, day);
            c->clase = d.isValid() ? CeldaHoja::Clase::fecha : CeldaHoja::Clase::texto;
            c->numero = double(d.toJulianDay());
            if (!d.isValid())
                c->texto = QStringLiteral("%1-%2-%3").arg(year).arg(month).arg(day);
        }
    }
    void set_format(ss::row_t row, ss::col_t col, size_t xf_index) override {
        if (guardar_ && xf_index > 0)
            formatos.push_back({row, col, xf_index});
    }
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
    void fill_down_cells(ss::row_t src_row, ss::col_t src_col, ss::row_t range_size) override {
        CeldaHoja* origen = celda(src_row, src_col, false);
        if (!origen)
            return;
        const CeldaHoja valor = *origen;
        for (ss::row_t i = 1; i <= range_size; ++i)
            if (CeldaHoja* c = celda(src_row + i, src_col, false))
                *c = valor;
    }
    ss::range_size_t get_sheet_size() const override {
        ss::range_size_t r;
        r.rows = ss::row_t(filas_maximas);
        r.columns = ss::col_t(16384);
        return r;
    }

    // Numbers formatted as dates become dates, counted from the workbook's day zero.
    void terminar() {
        if (celdas.emitiendo())
            return;
        for (const auto& [f, c, xf] : formatos)
            if (CeldaHoja* celda = celdas.en(f, c))
                dar_formato(*celda, xf);
    }

private:
    void dar_formato(CeldaHoja& celda, std::size_t xf) const {
        if (xf < estilos_.xf_fecha.size() && estilos_.xf_fecha[xf] && celda.clase == CeldaHoja::Clase::numero &&
            std::isfinite(celda.numero) && std::fabs(celda.numero) < 3.0e6) {
            celda.clase = CeldaHoja::Clase::fecha;
            celda.numero = double(ajustes_.dia_cero + qint64(std::floor(celda.numero)));
        }
    }

    void decidir() {
        decidido_ = true;
        celdas.emitir(std::move(salida_));
        // A row's formats came with its cells, in the same order: they are applied as the row is handed over.
        // When the styles part has not been read yet (XLSX may keep it after the sheets), a number keeps its
        // format for the receiver to tell.
        celdas.al_terminar_fila = [this](qint64 fila, std::vector<CeldaHoja>& f) {
            for (; hecho_ < formatos.size() && formatos[hecho_].fila <= fila; ++hecho_) {
                const Formato& formato = formatos[hecho_];
                if (formato.fila != fila || formato.columna >= int(f.size()))
                    continue;
                CeldaHoja& c = f[std::size_t(formato.columna)];
                if (!estilos_.xf_fecha.empty() || ods_) {
                    dar_formato(c, formato.xf);
                } else if (c.clase == CeldaHoja::Clase::numero && formato.xf <= UINT32_MAX) {
                    c.formato = std::uint32_t(formato.xf);
                    formatos_pendientes = true;
                }
            }
            if (hecho_ == formatos.size()) {
                formatos.clear();
                hecho_ = 0;
            }
        };
    }

    Celdas::Salida salida_;
    bool ods_ = false;
    bool decidido_ = false;
    std::size_t hecho_ = 0;

public:
    // Numbers were handed over with their formats, to be told dates once the styles are known.
    bool formatos_pendientes = false;

private:
    bool guardar_;
    Cadenas& cadenas_;
    const Estilos& estilos_;
    const Ajustes& ajustes_;
    Formula formula_;
};

void Formula::commit() {
    if (CeldaHoja* c = hoja_.celda(fila_, columna_)) {
        if (valor_.clase == CeldaHoja::Clase::vacia) {
            c->clase = CeldaHoja::Clase::sin_valor;
            c->texto = QString::fromStdString(texto_);
        } else {
            *c = valor_;
        }
    }
}

class Fabrica final : public iface::import_factory {
public:
    Fabrica(QString buscada, Celdas::Salida al_leer, bool ods)
        : buscada_(std::move(buscada)), al_leer_(std::move(al_leer)), ods_(ods) {}
    QStringList nombres;
    int elegida = -1;
    std::unique_ptr<Hoja> guardada;

    iface::import_global_settings* get_global_settings() override { return &ajustes_; }
    iface::import_shared_strings* get_shared_strings() override { return &cadenas_; }
    iface::import_styles* get_styles() override { return &estilos_; }
    iface::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override {
        return &direcciones_;
    }
    iface::import_sheet* append_sheet(ss::sheet_t indice, std::string_view nombre) override {
        const QString n = QString::fromUtf8(nombre.data(), qsizetype(nombre.size()));
        nombres << n;
        const bool esta = elegida < 0 && (buscada_.isEmpty() ? nombres.size() == 1 : n == buscada_);
        if (esta) {
            elegida = int(nombres.size()) - 1;
            guardada = std::make_unique<Hoja>(true, cadenas_, estilos_, ajustes_);
            if (al_leer_)
                guardada->emitir(al_leer_, ods_);
            hojas_.emplace_back();
            indices_[indice] = guardada.get();
            return guardada.get();
        }
        hojas_.push_back(std::make_unique<Hoja>(false, cadenas_, estilos_, ajustes_));
        indices_[indice] = hojas_.back().get();
        return hojas_.back().get();
    }
    iface::import_sheet* get_sheet(std::string_view nombre) override {
        const qsizetype i = nombres.indexOf(QString::fromUtf8(nombre.data(), qsizetype(nombre.size())));
        return i < 0 ? nullptr : get_sheet(ss::sheet_t(i));
    }
    iface::import_sheet* get_sheet(ss::sheet_t indice) override {
        const auto it = indices_.find(indice);
        return it == indices_.end() ? nullptr : it->second;
    }
    void finalize() override {}
    const std::vector<bool>& xf_fecha() const { return estilos_.xf_fecha; }
    qint64 dia_cero() const { return ajustes_.dia_cero; }

private:
    QString buscada_;
    Celdas::Salida al_leer_;
    bool ods_;
    Cadenas cadenas_;
    Estilos estilos_;
    Ajustes ajustes_;
    Direcciones direcciones_;
    std::vector<std::unique_ptr<Hoja>> hojas_;
    std::unordered_map<ss::sheet_t, Hoja*> indices_;
};

} // namespace

DatosHoja leer_orcus(const QString& ruta, const QByteArray& bytes, bool ods, const Opciones& opciones) {
    Fabrica fabrica(opciones.hoja, opciones.al_leer, ods);
    const std::string_view flujo(bytes.constData(), std::size_t(bytes.size()));
    if (ods) {
        orcus::orcus_ods lector(&fabrica);
        lector.read_stream(flujo);
    } else {
        orcus::orcus_xlsx lector(&fabrica);
        lector.read_stream(flujo);
    }
    if (fabrica.nombres.isEmpty())
        throw ErrorDatos(QStringLiteral("el archivo %1 no tiene ninguna hoja.").arg(ruta));
    if (!fabrica.guardada)
        throw ErrorDatos(QStringLiteral("el archivo %1 no tiene la hoja «%2».").arg(ruta, opciones.hoja));
    DatosHoja datos;
    datos.hojas = fabrica.nombres;
    datos.elegida = fabrica.elegida;
    Hoja& hoja = *fabrica.guardada;
    hoja.terminar();
    if (hoja.celdas.emitiendo())
        datos.rangos = std::move(hoja.propiedades.combinadas);
    else
        datos.combinadas = hoja.celdas.extender(hoja.propiedades.combinadas);
    hoja.celdas.a(datos);
    if (hoja.formatos_pendientes) {
        datos.dia_cero = fabrica.dia_cero();
        for (std::size_t xf = 0; xf < fabrica.xf_fecha().size(); ++xf)
            if (fabrica.xf_fecha()[xf])
                datos.formatos_fecha.push_back(std::uint32_t(xf));
    }
    return datos;
}

} // namespace LectorHoja
