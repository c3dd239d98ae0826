#pragma once

#include <QString>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

// The system's file-open and printer set-up dialogs. Tests queue what the user would choose.
namespace DialogosSistema {

// The open-file dialog, all files, from the platform's default folder. Returns the chosen file's full path, or
// `nombre_actual` (what the dialog still holds) when the user cancels.
QString abrir_archivo(QWidget* padre, const QString& nombre_actual);

// A file dialog with its own title, filter and proposed name: to open an existing file, or to name a new one (no
// question about replacing: whoever asks decides). No value when the user cancels.
std::optional<QString> elegir_archivo(QWidget* padre, const QString& titulo, const QString& filtro,
                                      const QString& propuesto, bool guardar);

// The printer set-up dialog on `impresora`; true when the user accepted, and then `impresora` holds the choice.
bool configurar_impresora(QWidget* padre, QPrinter& impresora);

// Test seam.
void activar_modo_prueba();
// The file chosen in the next open-file dialog; no value means the user cancels.
void proximo_archivo(std::optional<QString> ruta);
// What the user does in the next printer set-up dialog: the choice made on the printer, or none to cancel.
void proxima_impresora(std::function<void(QPrinter&)> eleccion);
int sin_usar();
int inesperados();
void reiniciar();

} // namespace DialogosSistema
