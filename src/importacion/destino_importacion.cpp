#include "importacion/destino_importacion.h"

#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace DestinoImportacion {

std::optional<QString> pedir_nuevo(QWidget* padre, const QString& origen) {
    static const QStringList filtros = {QStringLiteral("Inventarios de Talvirenca (*.db)"),
                                        QStringLiteral("Todos los archivos (*)")};
    const QFileInfo info(origen);
    QString propuesto = info.dir().filePath(info.completeBaseName() + QStringLiteral(".db"));
    // The import never writes over a file: a name that exists is told at once, and the dialog asks for another.
    for (;;) {
        const std::optional<DialogosSistema::Guardado> elegido =
            DialogosSistema::guardar_archivo(padre, {QStringLiteral("Inventario nuevo"), filtros, propuesto, false});
        if (!elegido)
            return std::nullopt;
        if (!QFileInfo::exists(elegido->ruta) && !QFileInfo(elegido->ruta).isSymLink())
            return elegido->ruta;
        Mensajes::aviso(padre, QStringLiteral("ERROR: no se puede crear la base de datos %1: el archivo ya existe. "
                                              "Elija otro nombre para el inventario nuevo.")
                                   .arg(QDir::toNativeSeparators(elegido->ruta)));
        propuesto = elegido->ruta;
    }
}

void mostrar_resumen(QWidget* padre, const QString& resumen, const QString& detalles) {
    if (detalles.isEmpty())
        Mensajes::aviso(padre, resumen);
    else
        Mensajes::aviso_detallado(padre, resumen, detalles);
}

bool usar_ahora(QWidget* padre, const QString& titulo, const QString& destino) {
    return Mensajes::pregunta(padre, titulo,
                              QStringLiteral("¿Desea usar ahora el inventario importado %1?").arg(destino));
}

} // namespace DestinoImportacion
