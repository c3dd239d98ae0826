#include "hojas/lectura/lector_hoja.h"

#include "data/error_datos.h"

#include <QFile>
#include <QFileInfo>
#include <orcus/format_detection.hpp>

namespace LectorHoja {

namespace {

const QByteArray firma_zip("PK\x03\x04", 4);
const QByteArray firma_ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// A workbook saved with a password is an OLE file whose content is the stream "EncryptedPackage".
bool cifrado(const QByteArray& bytes) {
    static const QByteArray nombre = [] {
        QByteArray n;
        for (char c : QByteArrayLiteral("EncryptedPackage"))
            n += QByteArray(1, c) + QByteArray(1, '\0');
        return n;
    }();
    return bytes.contains(nombre);
}

} // namespace

std::vector<CeldaHoja>& Celdas::crecer(std::vector<CeldaHoja>& f, int columna) {
    if (columna >= int(f.size())) {
        // Rows are about as wide as the widest so far: room for it at once.
        if (f.capacity() == 0)
            f.reserve(std::size_t(std::max(columna + 1, ancho_)));
        ancho_ = std::max(ancho_, columna + 1);
        cuenta_ += columna + 1 - qint64(f.size());
        if (cuenta_ > celdas_maximas)
            throw ErrorDatos(
                QStringLiteral("la hoja es demasiado grande: tiene más de %L1 celdas con datos.").arg(celdas_maximas));
        f.resize(std::size_t(columna) + 1);
    }
    return f;
}

CeldaHoja* Celdas::en(qint64 fila, int columna, bool fin_de_filas) {
    if (fila < 0 || fila >= filas_maximas || columna < 0 || columna >= columnas_maximas)
        return nullptr;
    if (salida_ && fila < base_)
        return &crecer(tardias_[fila], columna)[std::size_t(columna)];
    // The rows come in order: a cell further down ends the rows above it.
    if (salida_ && fin_de_filas && fila > base_)
        soltar(fila);
    const auto i = std::size_t(fila - base_);
    if (i >= filas_.size())
        filas_.resize(i + 1);
    return &crecer(filas_[i], columna)[std::size_t(columna)];
}

void Celdas::dar(qint64 fila, std::vector<CeldaHoja>& f) {
    if (al_terminar_fila)
        al_terminar_fila(fila, f);
    while (!f.empty() && f.back().vacia())
        f.pop_back();
    if (f.empty())
        return;
    const FilaHoja lista{fila + 1, std::move(f)};
    salida_(lista);
}

void Celdas::soltar(qint64 hasta) {
    const auto n = std::size_t(std::min<qint64>(hasta - base_, qint64(filas_.size())));
    for (std::size_t i = 0; i < n; ++i)
        dar(base_ + qint64(i), filas_[i]);
    filas_.erase(filas_.begin(), filas_.begin() + qsizetype(n));
    base_ = hasta;
}

qint64 Celdas::extender(const std::vector<std::array<qint64, 4>>& rangos) {
    qint64 hechos = 0;
    for (const auto& [fila0, col0, fila1, col1] : rangos) {
        if (fila0 < 0 || fila0 >= qint64(filas_.size()) || col0 < 0 ||
            col0 >= qint64(filas_[std::size_t(fila0)].size()))
            continue;
        const CeldaHoja origen = filas_[std::size_t(fila0)][std::size_t(col0)];
        if (origen.clase == CeldaHoja::Clase::vacia)
            continue;
        ++hechos;
        for (qint64 f = fila0; f <= std::min(fila1, filas_maximas - 1); ++f)
            for (qint64 c = col0; c <= std::min<qint64>(col1, columnas_maximas - 1); ++c)
                if (CeldaHoja* celda = en(f, int(c)); celda && celda->clase == CeldaHoja::Clase::vacia)
                    *celda = origen;
    }
    return hechos;
}

void Celdas::a(DatosHoja& datos) {
    if (salida_) {
        soltar(base_ + qint64(filas_.size()));
        for (auto& [fila, f] : tardias_)
            dar(fila, f);
        tardias_.clear();
        return;
    }
    datos.filas.reserve(datos.filas.size() + filas_.size());
    for (std::size_t i = 0; i < filas_.size(); ++i) {
        std::vector<CeldaHoja>& f = filas_[i];
        if (al_terminar_fila)
            al_terminar_fila(qint64(i), f);
        while (!f.empty() && f.back().vacia())
            f.pop_back();
        if (f.empty())
            continue;
        datos.columnas = std::max(datos.columnas, int(f.size()));
        datos.filas.push_back({qint64(i) + 1, std::move(f)});
    }
    filas_.clear();
}

DatosHoja leer(const QString& ruta, const Opciones& opciones) {
    QFile archivo(ruta);
    if (!QFileInfo(ruta).isFile() || !archivo.open(QIODevice::ReadOnly))
        throw ErrorDatos(QStringLiteral("no se puede abrir el archivo %1: no existe o no se puede leer.").arg(ruta));
    const QByteArray cabeza = archivo.peek(8);
    const QString extension = QFileInfo(ruta).suffix().toLower();
    const QString danado =
        QStringLiteral("el archivo %1 no es una hoja de cálculo que se pueda leer, o está dañado.").arg(ruta);
    try {
        if (cabeza.startsWith(firma_ole)) {
            if (cifrado(archivo.readAll()))
                throw ErrorDatos(QStringLiteral("el archivo %1 está protegido con contraseña; guárdelo sin "
                                                "contraseña e inténtelo de nuevo.")
                                     .arg(ruta));
            archivo.close();
            return leer_xls(ruta, opciones);
        }
        if (cabeza.startsWith(firma_zip)) {
            const QByteArray bytes = archivo.readAll();
            archivo.close();
            const orcus::format_t formato =
                orcus::detect(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()));
            if (formato == orcus::format_t::xlsx) {
                const QByteArray arreglado = preparar_xlsx(bytes);
                return leer_orcus(ruta, arreglado.isEmpty() ? bytes : arreglado, false, opciones);
            }
            if (formato == orcus::format_t::ods)
                return leer_orcus(ruta, bytes, true, opciones);
            throw ErrorDatos(danado);
        }
        if (extension == QLatin1String("xlsx") || extension == QLatin1String("ods") ||
            extension == QLatin1String("xls"))
            throw ErrorDatos(danado);
        return leer_csv(archivo.readAll(), opciones);
    } catch (const ErrorDatos&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ErrorDatos(QStringLiteral("la hoja del archivo %1 es demasiado grande para leerla.").arg(ruta));
    } catch (const std::exception&) {
        throw ErrorDatos(danado);
    }
}

} // namespace LectorHoja
