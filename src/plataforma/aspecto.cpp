#include "plataforma/aspecto.h"

#include "data/conexion.h"
#include "modulo/module1.h"
#include "plataforma/contrasena.h"

#include <QApplication>
#include <QEventLoop>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QPushButton>
#include <QStyleFactory>
#include <QThread>
#include <QTimer>
#include <QTranslator>

namespace Aspecto {

void iniciar_aplicacion(QApplication& app) {
    QApplication::setApplicationName(Programa::titulo);
    QApplication::setApplicationVersion(Programa::version);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    // The windows are laid out for a small dialog font: the designed labels are 17 pixels high.
    QFont letra(QStringLiteral("Liberation Sans"));
    letra.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    letra.setPixelSize(11);
    QApplication::setFont(letra);
    // Qt's own buttons and dialogs in Spanish ("Aceptar", "Sí", "No", "Cancelar").
    auto* traductor = new QTranslator(&app);
    if (traductor->load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(traductor);
    Conexion::al_esperar_bloqueo(mostrar_espera);
    Conexion::al_esperar_paso(esperar_pintando);
    Contrasena::instalar();
}

namespace {

// The wait cursor is up.
bool esperando = false;
// Inside a step of a wait.
bool en_paso = false;
// Counts the steps of waits: a restoring of the cursor posted before the current step is out of date.
quint64 pasos = 0;

bool en_hilo_ventanas() {
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

// The cursor comes back once the program waits for the user again: the first time the event loop runs outside
// a step of a wait.
void restaurar_al_volver() {
    QTimer::singleShot(0, [paso = pasos] {
        if (!esperando || paso != pasos)
            return;
        QGuiApplication::restoreOverrideCursor();
        esperando = false;
    });
}

} // namespace

void mostrar_espera() {
    if (!en_hilo_ventanas() || esperando)
        return;
    esperando = true;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    restaurar_al_volver();
}

void esperar_pintando(int ms) {
    if (!en_hilo_ventanas() || en_paso) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    en_paso = true;
    ++pasos;
    {
        // The window system's events other than the user's (exposures, resizes), painting and timers; the user's
        // input stays queued until the program next runs its event loop outside a wait.
        QEventLoop bucle;
        QTimer::singleShot(ms, Qt::PreciseTimer, &bucle, &QEventLoop::quit);
        bucle.exec(QEventLoop::ExcludeUserInputEvents);
    }
    en_paso = false;
    if (esperando)
        restaurar_al_volver();
}

void preparar_ventana(QWidget* ventana, const QString& titulo, int izquierda, int arriba, int ancho, int alto,
                      const QString& icono) {
    ventana->setWindowTitle(titulo);
    QPalette paleta = ventana->palette();
    paleta.setColor(QPalette::Window, naranja);
    for (const QPalette::ColorRole papel : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        paleta.setColor(QPalette::Disabled, papel, gris_apagado);
    ventana->setPalette(paleta);
    ventana->setAutoFillBackground(true);
    if (!icono.isEmpty())
        ventana->setWindowIcon(QIcon(icono));
    // The designed position is the client area's, which setGeometry places (move would place the frame there).
    ventana->setGeometry(px(izquierda), px(arriba), px(ancho), px(alto));
    ventana->setFixedSize(px(ancho), px(alto));
}

void fijar_tamano_cliente(QWidget* cliente, int ancho, int alto) {
    cliente->setFixedSize(px(ancho), px(alto));
}

void preparar_campo(QWidget* campo, const char* nombre, const QRect& sitio, const QString& ayuda) {
    campo->setObjectName(QLatin1String(nombre));
    campo->setGeometry(sitio);
    QPalette paleta = campo->palette();
    paleta.setColor(QPalette::Base, amarillo);
    campo->setPalette(paleta);
    if (!ayuda.isEmpty()) {
        campo->setToolTip(ayuda);
        campo->setAccessibleName(ayuda);
    }
}

QPushButton* boton(QWidget* padre, const char* nombre, const QString& texto, const QRect& sitio, const QString& ayuda) {
    auto* b = new QPushButton(texto, padre);
    b->setObjectName(QLatin1String(nombre));
    b->setGeometry(sitio);
    b->setToolTip(ayuda);
    b->setAutoDefault(false);
    return b;
}

QLabel* etiqueta(QWidget* padre, const char* nombre, const QString& texto, const QRect& sitio) {
    auto* e = new QLabel(texto, padre);
    e->setObjectName(QLatin1String(nombre));
    e->setGeometry(sitio);
    e->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Captions and data alike are drawn as typed: a path holding "<b>" is not markup.
    e->setTextFormat(Qt::PlainText);
    return e;
}

void mostrar_dato(QLabel* etiqueta, const QString& texto) {
    etiqueta->setText(texto);
    // A screen reader reads a label by its name: a label that shows data is named by that data.
    etiqueta->setAccessibleName(texto);
}

void acompanar(QLabel* etiqueta, QWidget* campo) {
    etiqueta->setBuddy(campo);
    campo->setAccessibleName(etiqueta->text());
}

QFrame* linea(QWidget* padre, const char* nombre, int x1, int y, int x2) {
    auto* l = new QFrame(padre);
    l->setObjectName(QLatin1String(nombre));
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Sunken);
    l->setGeometry(px(x1), px(y) - 1, px(x2 - x1), 2);
    return l;
}

} // namespace Aspecto
