// Old XLS workbooks (BIFF) through libfreexl: it opens the file, names its sheets, and gives each cell typed (whole
// numbers, reals, texts, dates as "yyyy-mm-dd" text). It reads the values a formula cell keeps and refuses a file
// saved with a password.
#include "hojas/lectura/lector_hoja.h"

#include "data/error_datos.h"

#include <QFile>
#include <freexl.h>

namespace LectorHoja {

namespace {

class Libro {
public:
    explicit Libro(const QString& ruta) : ruta_(ruta) {
        const int r = freexl_open(QFile::encodeName(ruta).constData(), &h_);
        if (r != FREEXL_OK) {
            h_ = nullptr;
            throw ErrorDatos(danado());
        }
    }
    ~Libro() {
        if (h_)
            freexl_close(h_);
    }
    Libro(const Libro&) = delete;
    Libro& operator=(const Libro&) = delete;
    const void* h() const { return h_; }
    QString danado() const {
        return QStringLiteral("el archivo %1 no es una hoja de cálculo que se pueda leer, o está dañado.").arg(ruta_);
    }
    QString protegido() const {
        return QStringLiteral("el archivo %1 está protegido con contraseña; guárdelo sin contraseña e inténtelo de "
                              "nuevo.")
            .arg(ruta_);
    }

private:
    QString ruta_;
    const void* h_ = nullptr;
};

} // namespace

DatosHoja leer_xls(const QString& ruta, const Opciones& opciones) {
    Libro libro(ruta);
    unsigned int info = 0;
    if (freexl_get_info(libro.h(), FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        throw ErrorDatos(libro.protegido());
    unsigned int hojas = 0;
    if (freexl_get_info(libro.h(), FREEXL_BIFF_SHEET_COUNT, &hojas) != FREEXL_OK)
        throw ErrorDatos(libro.danado());
    DatosHoja datos;
    datos.elegida = -1;
    for (unsigned short i = 0; i < hojas; ++i) {
        const char* nombre = nullptr;
        if (freexl_get_worksheet_name(libro.h(), i, &nombre) != FREEXL_OK)
            throw ErrorDatos(libro.danado());
        datos.hojas << QString::fromUtf8(nombre ? nombre : "");
        if (datos.elegida < 0 && (opciones.hoja.isEmpty() || datos.hojas.last() == opciones.hoja))
            datos.elegida = i;
    }
    if (datos.hojas.isEmpty())
        throw ErrorDatos(QStringLiteral("el archivo %1 no tiene ninguna hoja.").arg(ruta));
    if (datos.elegida < 0)
        throw ErrorDatos(QStringLiteral("el archivo %1 no tiene la hoja «%2».").arg(ruta, opciones.hoja));
    unsigned int filas = 0;
    unsigned short columnas = 0;
    if (freexl_select_active_worksheet(libro.h(), static_cast<unsigned short>(datos.elegida)) != FREEXL_OK ||
        freexl_worksheet_dimensions(libro.h(), &filas, &columnas) != FREEXL_OK)
        throw ErrorDatos(libro.danado());
    Celdas celdas;
    for (unsigned int f = 0; f < filas && f < filas_maximas; ++f) {
        for (unsigned short c = 0; c < columnas && c < columnas_maximas; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(libro.h(), f, c, &v) != FREEXL_OK)
                throw ErrorDatos(libro.danado());
            CeldaHoja celda;
            switch (v.type) {
            case FREEXL_CELL_INT:
                celda.clase = CeldaHoja::Clase::numero;
                celda.numero = v.value.int_value;
                break;
            case FREEXL_CELL_DOUBLE:
                celda.clase = CeldaHoja::Clase::numero;
                celda.numero = v.value.double_value;
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                celda.clase = CeldaHoja::Clase::texto;
                celda.texto = QString::fromUtf8(v.value.text_value);
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME: {
                const QDate d = QDate::fromString(QString::fromLatin1(v.value.text_value).left(10), Qt::ISODate);
                celda.clase = d.isValid() ? CeldaHoja::Clase::fecha : CeldaHoja::Clase::texto;
                celda.numero = double(d.toJulianDay());
                celda.texto = QString::fromLatin1(v.value.text_value);
                break;
            }
            case FREEXL_CELL_TIME:
                celda.clase = CeldaHoja::Clase::texto;
                celda.texto = QString::fromLatin1(v.value.text_value);
                break;
            default:
                continue;
            }
            if (CeldaHoja* destino = celdas.en(f, c))
                *destino = std::move(celda);
        }
    }
    celdas.a(datos);
    return datos;
}

} // namespace LectorHoja
