#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

// The system's file-open and printer set-up dialogs. Tests queue what the user would choose.
namespace DialogosSistema {

// The open-file dialog, all files, from the platform's default folder. Returns the chosen file's full path, or
// `nombre_actual` (what the dialog still holds) when the user cancels.
QString abrir_archivo(QWidget* padre, const QString& nombre_actual);

// The save-file dialog, opened on `propuesta`, showing files that match `filtro`. The dialog itself asks before
// an existing file is chosen; `reemplazo_confirmado` tells whether the user agreed to replace one.
struct Guardado {
    QString ruta;
    bool reemplazo_confirmado;
};
std::optional<Guardado> guardar_archivo(QWidget* padre, const QString& titulo, const QString& propuesta,
                                        const QString& filtro);

// The save-file dialog with these filters (as "Texto CSV (*.csv)"), from the platform's default folder; it asks
// before replacing a file and completes a name without ending with the chosen filter's. Returns the chosen full path
// and sets `filtro` to the chosen filter, or no value when the user cancels. In tests the next file name is taken
// and the filter is the one whose ending it has (the first filter otherwise).
std::optional<QString> guardar_archivo(QWidget* padre, const QString& titulo, const QStringList& filtros,
                                       QString* filtro = nullptr);

// A file dialog with its own title, filter and proposed name: to open an existing file, or to name a new one (no
// question about replacing: whoever asks decides). No value when the user cancels.
std::optional<QString> elegir_archivo(QWidget* padre, const QString& titulo, const QString& filtro,
                                      const QString& propuesto, bool guardar);

// The printer set-up dialog on `impresora`; true when the user accepted, and then `impresora` holds the choice.
bool configurar_impresora(QWidget* padre, QPrinter& impresora);

// Test seam.
void activar_modo_prueba();
// The file chosen in the next open-file or save-file dialog; no value means the user cancels.
void proximo_archivo(std::optional<QString> ruta);
// The file chosen in the next save-file dialog, and whether the user confirmed replacing it; no value cancels.
void proximo_guardado(std::optional<QString> ruta, bool confirma_reemplazo = true);
// The name the last save-file dialog proposed.
QString ultima_propuesta();
// What the user does in the next printer set-up dialog: the choice made on the printer, or none to cancel.
void proxima_impresora(std::function<void(QPrinter&)> eleccion);
int sin_usar();
int inesperados();
void reiniciar();

} // namespace DialogosSistema
