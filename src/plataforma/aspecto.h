#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QApplication;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// The look all windows share: light orange windows, light yellow fields, fixed sizes laid out in twips.
namespace Aspecto {

inline const QColor naranja{255, 192, 128};
inline const QColor amarillo{255, 255, 192};
// Texts of disabled controls: greyer than the others, yet readable on the orange background.
inline const QColor gris_apagado{86, 86, 86};

// 15 twips to a pixel at 96 DPI; Qt scales pixels on denser screens.
constexpr int px(int twips) {
    return (twips + 7) / 15;
}
constexpr QRect sitio(int izquierda, int arriba, int ancho, int alto) {
    return QRect(px(izquierda), px(arriba), px(ancho), px(alto));
}

// Style, font, Spanish texts of Qt's own dialogs, locale. Called once, before the first window.
void iniciar_aplicacion(QApplication& app);

// A window of fixed client size, light orange, at its designed place on the screen, with its icon (none when
// `icono` is empty).
void preparar_ventana(QWidget* ventana, const QString& titulo, int izquierda, int arriba, int ancho, int alto,
                      const QString& icono);
// Client area of a window whose size is set by the window's own frame pieces (menu bar).
void fijar_tamano_cliente(QWidget* cliente, int ancho, int alto);

// A field on light yellow, at its designed place, named and with its tooltip.
void preparar_campo(QWidget* campo, const char* nombre, const QRect& sitio, const QString& ayuda);
// A push button at its designed place, named, with its tooltip; it never acts on Enter by itself.
QPushButton* boton(QWidget* padre, const char* nombre, const QString& texto, const QRect& sitio,
                   const QString& ayuda = QString());
// A label on the window's background.
QLabel* etiqueta(QWidget* padre, const char* nombre, const QString& texto, const QRect& sitio);
// The label stands beside `campo`: it becomes the field's buddy and gives its accessible name.
void acompanar(QLabel* etiqueta, QWidget* campo);
// The wait cursor, shown while another program holds the file, until the program next waits for the user: the end
// of the command, or the message that tells why it stopped.
void mostrar_espera();
// One step of that wait, `ms` milliseconds long, during which the windows keep painting; no key, click or closing of
// a window is taken until the wait is over (they wait in the queue), so no command starts in the middle of another.
// On any thread but the windows' one, or inside another step, a plain sleep.
void esperar_pintando(int ms);
// Shows data in a label (a path, a count, a state), which is also what a screen reader reads as its name.
void mostrar_dato(QLabel* etiqueta, const QString& texto);
// A horizontal rule from x1 to x2 at height y.
QFrame* linea(QWidget* padre, const char* nombre, int x1, int y, int x2);

} // namespace Aspecto
