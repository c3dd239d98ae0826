#include "copia/copia.h"

#include "data/copia_seguridad.h"
#include "data/ubicacion.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"
#include "plataforma/reloj.h"

#include <QApplication>
#include <QFileInfo>
#include <QProgressDialog>

namespace {
const QString titulo_dialogo = QStringLiteral("Copia de seguridad");
const QStringList filtros = {QStringLiteral("Inventarios (*.db)"), QStringLiteral("Todos los archivos (*)")};
const QString sin_inventario = QStringLiteral("ERROR: no hay ninguna base de datos seleccionada.");
const QString terminada = QStringLiteral("Copia de seguridad guardada en %1 con %2 componentes.");
const QString cancelada = QStringLiteral("Copia de seguridad cancelada; no se ha guardado nada.");
} // namespace

Copia::Copia(QWidget* padre) : padre_(padre) {}

void Copia::hacer(const QString& inventario) {
    if (inventario.isEmpty()) {
        Mensajes::aviso(padre_, sin_inventario);
        return;
    }
    const bool servidor = Ubicacion::es_uri(inventario);
    // A server's inventory is copied into an inventory file named after its database, in the user's folder.
    const QString propuesto = CopiaSeguridad::nombre_propuesto(
        Ubicacion::nombre_junto_al_inventario(inventario, QStringLiteral(".db")), Reloj::hoy());
    const std::optional<DialogosSistema::Guardado> eleccion =
        DialogosSistema::guardar_archivo(padre_, {titulo_dialogo, filtros, propuesto});
    if (!eleccion)
        return;
    const QString destino = QFileInfo(eleccion->ruta).absoluteFilePath();
    if (servidor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::optional<qint64> componentes;
        const bool hecha = Mensajes::proteger(padre_, [&] {
            componentes = CopiaSeguridad::copiar_desde_servidor(inventario, destino, eleccion->reemplazo_confirmado);
        });
        QApplication::restoreOverrideCursor();
        if (hecha)
            Mensajes::aviso(padre_, terminada.arg(destino).arg(*componentes));
        return;
    }

    QProgressDialog progreso(QStringLiteral("Copiando el inventario..."), QStringLiteral("Cancelar"), 0, 100, padre_);
    progreso.setObjectName(QStringLiteral("ProgresoCopia"));
    progreso.setWindowTitle(titulo_dialogo);
    progreso.setWindowModality(Qt::WindowModal);
    progreso.setMinimumDuration(500);
    std::optional<qint64> componentes;
    const bool hecha = Mensajes::proteger(padre_, [&] {
        componentes =
            CopiaSeguridad::copiar(inventario, destino, eleccion->reemplazo_confirmado, [&](int hechas, int total) {
                progreso.setValue(total > 0 ? static_cast<int>(qint64(hechas) * 100 / total) : 0);
                QApplication::processEvents();
                return !progreso.wasCanceled();
            });
    });
    progreso.reset();
    if (!hecha)
        return;
    if (!componentes)
        Mensajes::aviso(padre_, cancelada);
    else
        Mensajes::aviso(padre_, terminada.arg(destino).arg(*componentes));
}
