#include "exportar/escritura.h"

#include "data/error_datos.h"
#include "data/valores.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <xlsxwriter.h>

namespace {

// The CSV text is handed to the file in pieces of about this size.
constexpr qsizetype tamano_trozo = qsizetype(1) << 20;
// Spreadsheets hold at most this many characters in a cell.
constexpr qsizetype caracteres_por_celda = 32767;
constexpr double ancho_maximo = 80;
constexpr double ancho_fecha = 12;

[[noreturn]] void no_se_crea(const QString& ruta) {
    throw ErrorDatos(
        QStringLiteral("no se puede crear el archivo %1: la carpeta no existe o no se puede escribir en ella.")
            .arg(QDir::toNativeSeparators(ruta)));
}

[[noreturn]] void no_se_escribe(const QString& ruta) {
    throw ErrorDatos(QStringLiteral("no se pudo escribir el archivo %1: el disco puede estar lleno.")
                         .arg(QDir::toNativeSeparators(ruta)));
}

bool necesita_comillas(const char* inicio, const char* fin) {
    for (const char* p = inicio; p != fin; ++p)
        if (*p == ';' || *p == '"' || *p == '\n' || *p == '\r')
            return true;
    return false;
}

// A spreadsheet that opens the CSV takes a field beginning with one of these for a formula (tab and carriage return
// it drops, and reads what follows).
bool empieza_como_formula(QStringView texto) {
    if (texto.isEmpty())
        return false;
    const QChar c = texto.front();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

// A field as the CSV holds it: a text that a spreadsheet would run as a formula gets an apostrophe before it, which
// spreadsheets read as "this is a text". Numbers in a column of numbers ("-5") stay as they are.
QString campo_csv(const TablaExportar& tabla, int columna, QString texto) {
    if (!empieza_como_formula(texto))
        return texto;
    if (tabla.clase_exportar(columna) == ClaseExportar::numero) {
        bool es_numero = false;
        const double numero = QLocale::c().toDouble(texto, &es_numero);
        if (es_numero && std::isfinite(numero))
            return texto;
    }
    return QLatin1Char('\'') + texto;
}

bool escribir_csv(const TablaExportar& tabla, const QString& ruta, const Escritura::Avance& avance) {
    QSaveFile archivo(ruta);
    // The file dialog has already asked before replacing a file.
    archivo.setDirectWriteFallback(false);
    if (!archivo.open(QIODevice::WriteOnly))
        no_se_crea(ruta);
    QByteArray trozo;
    trozo.reserve(tamano_trozo + 4096);
    trozo.append("\xEF\xBB\xBF");
    const auto volcar = [&] {
        if (archivo.write(trozo) != trozo.size())
            no_se_escribe(ruta);
        trozo.resize(0);
    };
    const QStringList cabeceras = tabla.cabeceras_exportar();
    const int columnas = static_cast<int>(cabeceras.size());
    const auto anadir_linea = [&](auto&& texto) {
        for (int c = 0; c < columnas; ++c) {
            if (c > 0)
                trozo.append(';');
            Escritura::anadir_campo_csv(trozo, texto(c));
        }
        trozo.append("\r\n");
        if (trozo.size() >= tamano_trozo)
            volcar();
    };
    anadir_linea([&](int c) { return cabeceras[c]; });
    const int filas = tabla.filas_exportar();
    for (int fila = 0; fila < filas; ++fila) {
        if (avance && fila % Escritura::filas_por_avance == 0 && !avance(fila)) {
            archivo.cancelWriting();
            return false;
        }
        anadir_linea([&](int c) { return campo_csv(tabla, c, tabla.texto_exportar(fila, c)); });
    }
    volcar();
    if (avance && !avance(filas)) {
        archivo.cancelWriting();
        return false;
    }
    if (!archivo.commit())
        no_se_escribe(ruta);
    return true;
}

// A text as a spreadsheet cell takes it: without control characters other than tab and line breaks (the file format
// has no way to write them). Its length was checked before the file was begun.
QByteArray texto_celda(QString texto) {
    for (QChar& c : texto)
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            c = u' ';
    return texto.toUtf8();
}

// The number a text of a column of numbers is, when a spreadsheet reads back exactly that number: the text is the
// number's own shortest form, and the form libxlsxwriter writes it in ("%.16G") gives it back. A code a double does
// not hold (9007199254740993 would read 9007199254740992) or a number the file's form would round is none, and is
// written as a text.
std::optional<double> numero_exacto(const QString& texto) {
    bool es_numero = false;
    const double numero = QLocale::c().toDouble(texto, &es_numero);
    if (!es_numero || !std::isfinite(numero) || Valores::texto_real(numero) != texto)
        return std::nullopt;
    char escrito[40];
    const std::to_chars_result fin =
        std::to_chars(escrito, escrito + sizeof escrito, numero, std::chars_format::general, 16);
    double leido = 0;
    if (fin.ec != std::errc() || std::from_chars(escrito, fin.ptr, leido).ec != std::errc() || leido != numero)
        return std::nullopt;
    return numero;
}

// A spreadsheet cell holds at most 32,767 characters, and a longer text would be cut: the list is refused before
// anything is written, naming the first component that has one. The first column names the component (its code).
// False when `avance` asked to stop meanwhile.
bool comprobar_largos(const TablaExportar& tabla, const QStringList& cabeceras, const Escritura::Avance& avance) {
    const int filas = tabla.filas_exportar();
    const int columnas = static_cast<int>(cabeceras.size());
    for (int fila = 0; fila < filas; ++fila) {
        if (avance && fila % Escritura::filas_por_avance == 0 && !avance(0))
            return false;
        for (int c = 0; c < columnas; ++c) {
            const qsizetype largo = tabla.texto_exportar(fila, c).size();
            if (largo <= caracteres_por_celda)
                continue;
            const QString codigo = columnas > 0 ? tabla.texto_exportar(fila, 0) : QString();
            const QString componente = codigo.isEmpty()
                                           ? QStringLiteral("el componente de la línea %1 de la lista").arg(fila + 1)
                                           : QStringLiteral("el componente %1").arg(codigo);
            throw ErrorDatos(QStringLiteral("%1 tiene en la columna %2 un texto de %3 caracteres y una celda de un "
                                            "libro de Excel admite %4 como mucho; exporte la lista como texto CSV.")
                                 .arg(componente, cabeceras[c])
                                 .arg(largo)
                                 .arg(caracteres_por_celda));
        }
    }
    return true;
}

// libxlsxwriter writes its numbers (cells, column widths, margins) with printf, which follows the C library's locale:
// on a Spanish desktop that gives "1,5" where the file format wants "1.5", and spreadsheets call the file damaged.
// While a workbook is made, numbers take the point; the locale the program had comes back afterwards.
class NumerosConPunto {
public:
    NumerosConPunto() : anterior_(std::setlocale(LC_NUMERIC, nullptr)) { std::setlocale(LC_NUMERIC, "C"); }
    ~NumerosConPunto() { std::setlocale(LC_NUMERIC, anterior_.c_str()); }
    NumerosConPunto(const NumerosConPunto&) = delete;
    NumerosConPunto& operator=(const NumerosConPunto&) = delete;

private:
    const std::string anterior_;
};

// The workbook under construction, freed when abandoned.
struct Libro {
    lxw_workbook* libro = nullptr;
    ~Libro() {
        if (libro)
            lxw_workbook_free(libro);
    }
};

bool escribir_xlsx(const TablaExportar& tabla, const QString& ruta, const Escritura::Avance& avance) {
    const NumerosConPunto punto;
    // A sheet holds the header and at most this many rows more; a longer list would lose its last rows.
    if (tabla.filas_exportar() > Escritura::filas_xlsx)
        throw ErrorDatos(QStringLiteral("la lista tiene %1 componentes y un libro de Excel admite %2 como mucho; "
                                        "expórtela como texto CSV.")
                             .arg(tabla.filas_exportar())
                             .arg(Escritura::filas_xlsx));
    const QStringList cabeceras = tabla.cabeceras_exportar();
    if (!comprobar_largos(tabla, cabeceras, avance))
        return false;
    const QFileInfo destino(ruta);
    const QDir carpeta = destino.absoluteDir();
    QTemporaryFile temporal(carpeta.filePath(QStringLiteral(".") + destino.fileName() + QStringLiteral(".XXXXXX")));
    if (!carpeta.exists() || !temporal.open())
        no_se_crea(ruta);
    temporal.close();
    const QByteArray nombre_temporal = QFile::encodeName(temporal.fileName());
    // The library's own work files go next to the destination too: the system's temporary folder may be small.
    QByteArray carpeta_trabajo = QFile::encodeName(carpeta.absolutePath());
    lxw_workbook_options opciones{};
    opciones.constant_memory = LXW_TRUE;
    opciones.tmpdir = carpeta_trabajo.data();
    Libro libro{workbook_new_opt(nombre_temporal.constData(), &opciones)};
    if (!libro.libro)
        no_se_crea(ruta);
    lxw_worksheet* hoja = workbook_add_worksheet(libro.libro, "Lista");
    lxw_format* negrita = workbook_add_format(libro.libro);
    format_set_bold(negrita);
    lxw_format* formato_fecha = workbook_add_format(libro.libro);
    format_set_num_format(formato_fecha, "dd/mm/yyyy");
    if (!hoja || !negrita || !formato_fecha)
        no_se_escribe(ruta);

    const int columnas = static_cast<int>(cabeceras.size());
    const int filas = tabla.filas_exportar();
    std::vector<qsizetype> anchos(static_cast<size_t>(columnas), 0);
    worksheet_freeze_panes(hoja, 1, 0);
    if (columnas > 0)
        worksheet_autofilter(hoja, 0, 0, static_cast<lxw_row_t>(filas), static_cast<lxw_col_t>(columnas - 1));
    for (int c = 0; c < columnas; ++c) {
        worksheet_write_string(hoja, 0, static_cast<lxw_col_t>(c), texto_celda(cabeceras[c]).constData(), negrita);
        // Room for the autofilter's button beside the header.
        anchos[c] = cabeceras[c].size() + 3;
    }
    for (int fila = 0; fila < filas; ++fila) {
        if (avance && fila % Escritura::filas_por_avance == 0 && !avance(fila))
            return false;
        const auto r = static_cast<lxw_row_t>(fila + 1);
        for (int c = 0; c < columnas; ++c) {
            const QString texto = tabla.texto_exportar(fila, c);
            if (texto.isEmpty())
                continue;
            const auto col = static_cast<lxw_col_t>(c);
            anchos[c] = std::max(anchos[c], texto.size());
            const ClaseExportar clase = tabla.clase_exportar(c);
            if (clase == ClaseExportar::numero) {
                if (const std::optional<double> numero = numero_exacto(texto)) {
                    worksheet_write_number(hoja, r, col, *numero, nullptr);
                    continue;
                }
            } else if (clase == ClaseExportar::fecha) {
                // Spreadsheets count days from 1900: an older date stays a text.
                const std::optional<QDate> dia = Valores::fecha_de_texto(texto);
                if (dia && dia->year() >= 1900) {
                    lxw_datetime fecha{dia->year(), dia->month(), dia->day(), 0, 0, 0};
                    worksheet_write_datetime(hoja, r, col, &fecha, formato_fecha);
                    continue;
                }
            }
            worksheet_write_string(hoja, r, col, texto_celda(texto).constData(), nullptr);
        }
    }
    if (avance && !avance(filas))
        return false;
    for (int c = 0; c < columnas; ++c) {
        double ancho = std::min(ancho_maximo, static_cast<double>(anchos[c]) + 1);
        if (tabla.clase_exportar(c) == ClaseExportar::fecha)
            ancho = std::max(ancho, ancho_fecha);
        worksheet_set_column(hoja, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), ancho, nullptr);
    }
    // Packing the workbook takes a while on a long list: it runs aside while the progress dialog stays responsive,
    // and a cancel meanwhile throws the finished file away.
    std::future<lxw_error> cierre = std::async(std::launch::async, workbook_close, libro.libro);
    libro.libro = nullptr;
    bool cancelado = false;
    while (cierre.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        cancelado = (avance && !avance(filas)) || cancelado;
    const lxw_error resultado = cierre.get();
    if (cancelado)
        return false;
    if (resultado != LXW_NO_ERROR)
        no_se_escribe(ruta);
    // The temporary file is private to its owner; the export gets the permissions of the file it replaces, or those
    // of any new file.
    struct stat datos_destino {};
    mode_t permisos = 0;
    if (::stat(QFile::encodeName(ruta).constData(), &datos_destino) == 0) {
        permisos = datos_destino.st_mode & 07777;
    } else {
        const mode_t mascara = ::umask(0);
        ::umask(mascara);
        permisos = 0666 & ~mascara;
    }
    ::chmod(nombre_temporal.constData(), permisos);
    if (std::rename(nombre_temporal.constData(), QFile::encodeName(ruta).constData()) != 0)
        no_se_escribe(ruta);
    temporal.setAutoRemove(false);
    return true;
}

} // namespace

namespace Escritura {

void anadir_campo_csv(QByteArray& salida, QStringView texto) {
    const qsizetype inicio = salida.size();
    salida.resize(inicio + texto.size() * 3);
    QStringEncoder codificador(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    char* fin = codificador.appendToBuffer(salida.data() + inicio, texto);
    salida.resize(fin - salida.constData());
    if (!necesita_comillas(salida.constData() + inicio, salida.constData() + salida.size()))
        return;
    const QByteArray crudo = salida.mid(inicio);
    salida.resize(inicio);
    salida.append('"');
    for (char c : crudo) {
        if (c == '"')
            salida.append('"');
        salida.append(c);
    }
    salida.append('"');
}

bool escribir(const TablaExportar& tabla, Formato formato, const QString& ruta, const Avance& avance) {
    return formato == Formato::csv ? escribir_csv(tabla, ruta, avance) : escribir_xlsx(tabla, ruta, avance);
}

Formato formato_de_nombre(const QString& ruta, Formato defecto) {
    if (ruta.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return Formato::csv;
    if (ruta.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return Formato::xlsx;
    return defecto;
}

} // namespace Escritura
