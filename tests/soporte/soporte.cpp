#include "soporte/soporte.h"

#include "data/esquema.h"
#include "plataforma/aspecto.h"
#include "plataforma/dialogos_sistema.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

namespace Soporte {

void preparar_aplicacion() {
    static bool hecho = false;
    if (hecho)
        return;
    hecho = true;
    Aspecto::iniciar_aplicacion(*qApp);
    Mensajes::activar_modo_prueba();
    DialogosSistema::activar_modo_prueba();
}

QString crear_base(const QTemporaryDir& dir, const QString& nombre, const QStringList& sentencias) {
    const QString ruta = dir.filePath(nombre);
    Esquema::crear_inventario(ruta);
    ejecutar(ruta, sentencias);
    return ruta;
}

void ejecutar(const QString& ruta, const QStringList& sentencias) {
    if (sentencias.isEmpty())
        return;
    SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READWRITE);
    for (const QString& s : sentencias)
        db.exec(s.toStdString());
}

QStringList filas(const QString& ruta, const QString& tabla) {
    SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement st(db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(tabla).toStdString());
    QStringList resultado;
    while (st.executeStep()) {
        QStringList columnas;
        for (int i = 0; i < st.getColumnCount(); ++i)
            columnas << (st.getColumn(i).isNull() ? QStringLiteral("NULL")
                                                  : QString::fromUtf8(st.getColumn(i).getText()));
        resultado << columnas.join(u'|');
    }
    return resultado;
}

QByteArray contenido(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList avisos() {
    QStringList lista;
    for (const Mensajes::Mostrado& m : Mensajes::mostrados())
        lista << (m.sino || m.titulo != QLatin1String("Talvirenca") ? m.titulo + u'|' + m.texto : m.texto);
    return lista;
}

bool sin_sobresaltos() {
    const bool bien = Mensajes::respuestas_sin_usar() == 0 && Mensajes::preguntas_inesperadas() == 0 &&
                      DialogosSistema::sin_usar() == 0 && DialogosSistema::inesperados() == 0;
    Mensajes::reiniciar();
    DialogosSistema::reiniciar();
    return bien;
}

void cuando_abra_modal(std::function<void(QWidget*)> accion) {
    auto intento = std::make_shared<std::function<void()>>();
    *intento = [accion, intento] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            QTimer::singleShot(0, *intento);
            return;
        }
        QPointer<QWidget> guardia(modal);
        accion(modal);
        // Whatever the checks did, the window must not stay open and hang the test.
        if (guardia && guardia->isVisible())
            guardia->close();
        *intento = nullptr;
    };
    QTimer::singleShot(0, *intento);
}

void escribir_ubicacion(const QString& dir, const QByteArray& bytes) {
    QFile f(QDir(dir).filePath(QStringLiteral("talvirenca.cfg")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QAction* accion(QWidget* ventana, const QString& nombre) { return ventana->findChild<QAction*>(nombre); }

bool pulsar_barra(QWidget* ventana, const QString& clave) {
    auto* barra = ventana->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QAction* a = accion(ventana, clave);
    if (!barra || !a || !barra->widgetForAction(a))
        return false;
    QTest::mouseClick(barra->widgetForAction(a), Qt::LeftButton);
    return true;
}

DirectorioActual::DirectorioActual(const QString& dir) : anterior(QDir::currentPath()) { QDir::setCurrent(dir); }
DirectorioActual::~DirectorioActual() { QDir::setCurrent(anterior); }

} // namespace Soporte
