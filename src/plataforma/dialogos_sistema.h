#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

// The system's file-open, file-save and printer set-up dialogs. Tests queue what the user would choose.
namespace DialogosSistema {

// The open-file dialog, all files, from the platform's default folder. Returns the chosen file's full path, or
// `nombre_actual` (what the dialog still holds) when the user cancels.
QString abrir_archivo(QWidget* padre, const QString& nombre_actual);

// What a save-file dialog asks.
struct Guardar {
    QString titulo;
    // As "Texto CSV (*.csv)"; the first is chosen at first. A name typed without an ending takes the chosen
    // filter's, and choosing another filter changes the ending of the name in the dialog.
    QStringList filtros;
    // The folder and name the dialog opens on; empty, the platform's default folder.
    QString propuesta;
    // Whether the dialog asks before an existing file is chosen. A caller that never writes over a file asks
    // nothing, and says so itself.
    bool confirmar_reemplazo = true;
};
struct Guardado {
    QString ruta;
    // The filter chosen.
    QString filtro;
    // The user agreed to replace a file that exists.
    bool reemplazo_confirmado = false;
};
// The save-file dialog; no value when the user cancels. In tests the next queued name is taken, and the filter is
// the one whose ending it has (the first one otherwise).
std::optional<Guardado> guardar_archivo(QWidget* padre, const Guardar& peticion);

// The open-file dialog with its own title and filter, opened on `propuesto`. No value when the user cancels.
std::optional<QString> elegir_archivo(QWidget* padre, const QString& titulo, const QString& filtro,
                                      const QString& propuesto = QString());

// The printer set-up dialog on `impresora`; true when the user accepted, and then `impresora` holds the choice.
bool configurar_impresora(QWidget* padre, QPrinter& impresora);

// Test seam.
void activar_modo_prueba();
// The file chosen in the next open-file dialog; no value means the user cancels.
void proximo_archivo(std::optional<QString> ruta);
// The file chosen in the next save-file dialog, and whether the user confirmed replacing it (in a dialog that asks);
// no value cancels.
void proximo_guardado(std::optional<QString> ruta, bool confirma_reemplazo = true);
// The name the last save-file dialog proposed.
QString ultima_propuesta();
// What the user does in the next printer set-up dialog: the choice made on the printer, or none to cancel.
void proxima_impresora(std::function<void(QPrinter&)> eleccion);
int sin_usar();
int inesperados();
void reiniciar();

} // namespace DialogosSistema
