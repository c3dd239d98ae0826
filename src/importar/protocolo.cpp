// The summary's text and the lines between the command and the window. Kept apart from the reading, so the
// window links these and never libmdb.
#include "importar/importacion.h"

namespace Importacion {

QString cuentas(const Resumen& r) {
    const auto contar = [](qint64 n, const char* uno, const char* varios) {
        return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? uno : varios));
    };
    return QStringLiteral("%1, %2 y %3")
        .arg(contar(r.componentes, "componente", "componentes"), contar(r.tipos, "tipo", "tipos"),
             contar(r.marcas, "marca", "marcas"));
}

QString lectura_interrumpida(const QString& origen) {
    return QStringLiteral("ERROR: la lectura del archivo de Access %1 se ha interrumpido; el archivo puede estar "
                          "dañado. No se ha creado ningún archivo.")
        .arg(origen);
}

QString texto_resumen(const Resumen& r) {
    QString texto = QStringLiteral("Se han importado %1.").arg(cuentas(r));
    if (r.detalles.isEmpty())
        return texto + QStringLiteral("\nNada ha necesitado cambios.");
    return texto + QStringLiteral("\nCambios y avisos (%1):\n").arg(r.detalles.size()) + r.detalles.join(u'\n');
}

namespace Protocolo {

namespace {
const QString progreso = QStringLiteral("@progreso ");
const QString temporal = QStringLiteral("@temporal ");
const QString cuenta = QStringLiteral("@cuenta ");
const QString detalle = QStringLiteral("@detalle ");
const QString error = QStringLiteral("@error ");
const QString fin = QStringLiteral("@fin");

QString una_linea(QString texto) {
    texto.replace(u'\n', u' ').replace(u'\r', u' ');
    return texto;
}
} // namespace

QString linea_progreso(qint64 hechas, qint64 total) {
    return progreso + QStringLiteral("%1 %2").arg(hechas).arg(total);
}

QString linea_temporal(const QString& ruta) {
    return temporal + una_linea(ruta);
}

QString linea_error(const QString& texto) {
    return error + una_linea(texto);
}

QStringList lineas_resumen(const Resumen& r) {
    QStringList lineas{cuenta + QStringLiteral("%1 %2 %3").arg(r.componentes).arg(r.tipos).arg(r.marcas)};
    for (const QString& d : r.detalles)
        lineas << detalle + una_linea(d);
    lineas << fin;
    return lineas;
}

void leer(const QString& linea, Lectura& l) {
    if (linea.startsWith(progreso)) {
        const QStringList n = linea.mid(progreso.size()).split(u' ');
        if (n.size() == 2) {
            l.hechas = n[0].toLongLong();
            l.total = n[1].toLongLong();
        }
    } else if (linea.startsWith(temporal)) {
        l.temporal = linea.mid(temporal.size());
    } else if (linea.startsWith(cuenta)) {
        const QStringList n = linea.mid(cuenta.size()).split(u' ');
        if (n.size() == 3) {
            l.resumen.componentes = n[0].toLongLong();
            l.resumen.tipos = n[1].toLongLong();
            l.resumen.marcas = n[2].toLongLong();
        }
    } else if (linea.startsWith(detalle)) {
        l.resumen.detalles << linea.mid(detalle.size());
    } else if (linea.startsWith(error)) {
        l.error = linea.mid(error.size());
    } else if (linea == fin) {
        l.terminado = true;
    }
}

} // namespace Protocolo

} // namespace Importacion
