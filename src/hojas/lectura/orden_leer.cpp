#include "hojas/lectura/orden_leer.h"

#include "data/error_datos.h"
#include "hojas/lectura/lector_hoja.h"
#include "hojas/protocolo_hoja.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace LectorHoja {

namespace {

void escribir(const QByteArray& l) {
    std::fwrite(l.constData(), 1, std::size_t(l.size()), stdout);
}

} // namespace

int orden_leer(int argc, char** argv) {
    QString ruta;
    Opciones opciones;
    for (int i = 1; i < argc; ++i) {
        const auto valor = [&](QString& destino) {
            if (i + 1 < argc)
                destino = QString::fromUtf8(argv[++i]);
        };
        if (std::strcmp(argv[i], "--leer-hoja") == 0)
            valor(ruta);
        else if (std::strcmp(argv[i], "--nombre-hoja") == 0)
            valor(opciones.hoja);
        else if (std::strcmp(argv[i], "--separador") == 0)
            valor(opciones.separador);
        else if (std::strcmp(argv[i], "--codificacion") == 0)
            valor(opciones.codificacion);
    }
    // The rows go out as they are read: a large pipe lets the reading go on while the runner is busy.
    fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    if (ruta.isEmpty()) {
        escribir(ProtocoloHoja::linea_error(QStringLiteral("ERROR: falta el archivo que leer.")));
        return 2;
    }
    // Each row is written as soon as it is read, so the runner works on it while the rest is read.
    qint64 filas = 0;
    opciones.al_leer = [&filas](const FilaHoja& f) {
        escribir(ProtocoloHoja::linea_fila(f));
        ++filas;
    };
    DatosHoja datos;
    try {
        datos = leer(ruta, opciones);
    } catch (const ErrorDatos& e) {
        escribir(ProtocoloHoja::linea_error(QStringLiteral("ERROR: ") + e.texto()));
        std::fflush(stdout);
        return 1;
    }
    for (const QString& h : datos.hojas)
        escribir(ProtocoloHoja::linea_hoja(h));
    escribir(ProtocoloHoja::linea_elegida(datos.elegida));
    if (!datos.separador.isEmpty())
        escribir(ProtocoloHoja::linea_csv(datos.separador, datos.codificacion));
    if (datos.combinadas > 0)
        escribir(ProtocoloHoja::linea_combinadas(datos.combinadas));
    if (!datos.filas.empty())
        escribir(ProtocoloHoja::linea_filas(qint64(datos.filas.size())));
    for (const FilaHoja& f : datos.filas)
        escribir(ProtocoloHoja::linea_fila(f));
    if (!datos.formatos_fecha.empty())
        escribir(ProtocoloHoja::linea_fechas(datos.dia_cero, datos.formatos_fecha));
    for (const auto& r : datos.rangos)
        escribir(ProtocoloHoja::linea_rango(r));
    escribir(ProtocoloHoja::linea_fin(filas + qint64(datos.filas.size())));
    // Everything is said: the process ends without freeing the sheet's cells one by one, which for a large sheet
    // takes a good part of the reading's time.
    std::_Exit(std::fflush(stdout) == 0 ? 0 : 1);
}

} // namespace LectorHoja
