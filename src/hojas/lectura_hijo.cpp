#include "hojas/lectura_hijo.h"

#include "data/error_datos.h"
#include "hojas/protocolo_hoja.h"

#include <QProcess>

namespace LecturaHijo {

namespace {

// Runs the child and feeds its lines to `lectura`; `seguir` after each batch, false to stop it (then false).
bool correr(const QString& programa, const QString& ruta, const Opciones& o, ProtocoloHoja::Lectura& lectura,
            const std::function<bool()>& seguir) {
    QStringList argumentos{QStringLiteral("--leer-hoja"), ruta};
    if (!o.hoja.isEmpty())
        argumentos << QStringLiteral("--nombre-hoja") << o.hoja;
    if (!o.separador.isEmpty())
        argumentos << QStringLiteral("--separador") << o.separador;
    if (!o.codificacion.isEmpty())
        argumentos << QStringLiteral("--codificacion") << o.codificacion;
    QProcess hijo;
    hijo.setStandardErrorFile(QProcess::nullDevice());
    hijo.start(programa, argumentos);
    if (!hijo.waitForStarted())
        throw ErrorDatos(QStringLiteral("no se puede ejecutar la lectura de la hoja de cálculo %1: %2")
                             .arg(programa, hijo.errorString()));
    // Large reads: a sheet's lines come by megabytes, and are taken in while the child goes on reading.
    hijo.setReadChannel(QProcess::StandardOutput);
    for (;;) {
        const bool sigue = hijo.waitForReadyRead(100) || hijo.state() != QProcess::NotRunning;
        lectura.anadir(hijo.readAllStandardOutput());
        if (seguir && !seguir()) {
            hijo.kill();
            hijo.waitForFinished();
            return false;
        }
        if (!sigue)
            break;
    }
    hijo.waitForFinished();
    lectura.anadir(hijo.readAllStandardOutput());
    if (!lectura.error.isEmpty())
        throw ErrorDatos(lectura.error.startsWith(QLatin1String("ERROR: ")) ? lectura.error.mid(7) : lectura.error);
    if (!lectura.terminado || hijo.exitStatus() != QProcess::NormalExit || hijo.exitCode() != 0)
        throw ErrorDatos(QStringLiteral("la lectura de la hoja de cálculo %1 se ha interrumpido; el archivo puede "
                                        "estar dañado. No se ha importado nada.")
                             .arg(ruta));
    return true;
}

} // namespace

std::optional<DatosHoja> leer(const QString& programa, const QString& ruta, const Opciones& o,
                              const std::function<bool(qint64)>& seguir) {
    ProtocoloHoja::Lectura lectura;
    if (!correr(programa, ruta, o, lectura,
                seguir ? std::function<bool()>([&] { return seguir(qint64(lectura.datos.filas.size())); })
                       : std::function<bool()>()))
        return std::nullopt;
    return std::move(lectura.datos);
}

ProtocoloHoja::Lectura leer_por_filas(const QString& programa, const QString& ruta, const Opciones& o,
                                      std::function<void(FilaHoja&&)> al_recibir) {
    ProtocoloHoja::Lectura lectura;
    lectura.al_recibir = std::move(al_recibir);
    correr(programa, ruta, o, lectura, {});
    return lectura;
}

} // namespace LecturaHijo
