#pragma once

#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <functional>
#include <memory>

class Principal;
class QComboBox;

// What every test of the program shares: inventory files made with the program's own schema, a look at what a
// file holds, and guards for modal windows.
namespace Soporte {

// Style, fonts and Spanish texts as the program has them; message boxes and system dialogs switched to their
// recording mode.
void preparar_aplicacion();

// A new inventory in `dir` named `nombre`, with these statements run on it (rows for the case).
QString crear_base(const QTemporaryDir& dir, const QString& nombre = QStringLiteral("inventario.db"),
                   const QStringList& sentencias = {});
// A file made by hand, as an older program may have left it: the three tables with their columns but no keys, so
// a code may be repeated or missing; then these statements are run on it.
QString crear_base_sin_claves(const QTemporaryDir& dir, const QString& nombre, const QStringList& sentencias = {});
// Runs statements on a file through a fresh connection, outside the program.
void ejecutar(const QString& ruta, const QStringList& sentencias);
// The rows of a table as a fresh connection reads them, one text per row, columns joined by "|".
QStringList filas(const QString& ruta, const QString& tabla);
// The bytes of a file.
QByteArray contenido(const QString& ruta);

// The reason a data operation gave for failing, or "(sin error)" when it did not fail.
QString mensaje_de(const std::function<void()>& accion);

// The boxes shown since the last call, as "title|text" ("text" alone for OK-only boxes with the program's title).
QStringList avisos();
// The Spanish locale es_ES.UTF-8 is installed (the Makefile's package step generates it).
bool locale_espanola();
inline constexpr const char* falta_locale_espanola =
    "la configuración regional es_ES.UTF-8 no está instalada; «make paquetes» la genera";
// Every queued answer was used and no question found none.
bool sin_sobresaltos();

// Runs `accion` as soon as a modal window is open, then returns; closes that window afterwards if the action left
// it open (a failed check must not hang the test).
void cuando_abra_modal(std::function<void(QWidget*)> accion);
// Drops the actions still waiting for a window (a command that failed before opening its window).
void olvidar_modales();

// Writes the location file of `dir` with exactly these bytes.
void escribir_ubicacion(const QString& dir, const QByteArray& bytes);
// A window's menu entry or toolbar key, by its name.
QAction* accion(QWidget* ventana, const QString& nombre);
// Clicks the toolbar button of that key, as the user does; false when the window has no such button.
[[nodiscard]] bool pulsar_barra(QWidget* ventana, const QString& clave);
// Opens, through `ventana`'s menu entry `entrada`, the modal window of class T and runs `accion` on it; the test
// fails when no such window opens.
template <class T> void en_ventana(QWidget* ventana, const char* entrada, const std::function<void(T*)>& accion) {
    bool abierta = false;
    cuando_abra_modal([&](QWidget* modal) {
        auto* abierto = qobject_cast<T*>(modal);
        QVERIFY(abierto);
        abierta = true;
        accion(abierto);
    });
    Soporte::accion(ventana, QLatin1String(entrada))->trigger();
    QVERIFY(abierta);
}

// Types `texto` into `campo` key by key, as the user does; unlike QTest::keyClicks it takes accented letters.
void teclear(QWidget* campo, const QString& texto);

// A window's control by its design name; the test stops at once when the window has no such control.
template <class T = QWidget> T* control(QWidget* ventana, const char* nombre) {
    T* c = ventana->findChild<T*>(QLatin1String(nombre));
    if (!c)
        qFatal("no hay control %s", nombre);
    return c;
}
// Replaces what a field (or an editable drop-down list) holds by selecting it all and typing, as the user does.
void reemplazar(QWidget* campo, const QString& texto);
// Chooses a line of a drop-down list with the mouse.
void elegir(QComboBox* lista, const QString& texto);

// The main window started in `dir` on the database `base` (the location file names it), shown.
std::unique_ptr<Principal> abrir_principal(const QTemporaryDir& dir, const QString& base);
// Types `tipo` in the main window's type picker, replacing its text, and clicks "Buscar".
void buscar(Principal& principal, const QString& tipo);
// The main window's list as the user sees it: one text per line, its nine texts joined by "|".
QStringList lineas(Principal& principal);
// Selects the line `fila` of the main window's list with a click.
void seleccionar(Principal& principal, int fila);

// Runs the start-up of a test with the current directory set to `dir`.
struct DirectorioActual {
    explicit DirectorioActual(const QString& dir);
    ~DirectorioActual();
    QString anterior;
};

} // namespace Soporte
