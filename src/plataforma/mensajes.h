#pragma once

#include "data/error_datos.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <memory>

// Message boxes of the program: "OK only" for notices and failures, Yes/No for confirmations. Tests switch them to
// a recording mode in which nothing is shown: each box is recorded, and Yes/No boxes take their answers from a
// queue the test fills, so an unexpected question fails the test instead of hanging it.
namespace Mensajes {

// OK only, no icon, the program's title.
void aviso(QWidget* padre, const QString& texto);
// OK only, like `aviso`, with a list the user can open and copy (the details); tests record the text, a line feed
// and the details.
void aviso_detallado(QWidget* padre, const QString& texto, const QString& detalles);
// Which button of a Yes/No box Enter presses.
enum class Defecto { si, no };
// Yes and No, no icon, Yes the default unless told otherwise; true when the answer is Yes.
bool pregunta(QWidget* padre, const QString& titulo, const QString& texto, Defecto defecto = Defecto::si);

// The boxes as they would be shown, for a look at their buttons and texts.
std::unique_ptr<QMessageBox> caja_aviso(QWidget* padre, const QString& texto);
std::unique_ptr<QMessageBox> caja_pregunta(QWidget* padre, const QString& titulo, const QString& texto,
                                           Defecto defecto = Defecto::si);

// Runs `accion`; a failure of the data is shown as "ERROR: " and its reason. True when it ran to its end.
template <class F> bool proteger(QWidget* padre, F&& accion) {
    try {
        accion();
        return true;
    } catch (const ErrorDatos& e) {
        aviso(padre, QStringLiteral("ERROR: ") + e.texto());
        return false;
    }
}

// Test seam.
struct Mostrado {
    QString titulo;
    QString texto;
    bool sino;
    // A Yes/No box whose default (Enter) is No.
    bool no_por_defecto = false;
    bool operator==(const Mostrado&) const = default;
};
void activar_modo_prueba();
// The answer to the next Yes/No box.
void responder(bool si);
// The next Yes/No box is answered with Enter: its default button.
void responder_con_intro();
// Every box shown since the last call, in order.
QList<Mostrado> mostrados();
// Answers queued but not used, and Yes/No boxes that found no answer waiting (they were answered No).
int respuestas_sin_usar();
int preguntas_inesperadas();
// Forgets queued answers and records.
void reiniciar();

} // namespace Mensajes
