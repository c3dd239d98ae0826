#include "soporte/soporte.h"

#include "data/esquema.h"
#include "plataforma/aspecto.h"
#include "plataforma/contrasena.h"
#include "plataforma/dialogos_sistema.h"

#include "principal/principal.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>
#include <locale.h>
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
    Contrasena::activar_modo_prueba();
}

QString crear_base(const QTemporaryDir& dir, const QString& nombre, const QStringList& sentencias) {
    const QString ruta = dir.filePath(nombre);
    Esquema::crear_inventario(ruta);
    ejecutar(ruta, sentencias);
    return ruta;
}

QString crear_base_sin_claves(const QTemporaryDir& dir, const QString& nombre, const QStringList& sentencias) {
    const QString ruta = dir.filePath(nombre);
    {
        SQLite::Database db(ruta.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec("CREATE TABLE Tipo (Codigo INTEGER, Nombre TEXT)");
        db.exec("CREATE TABLE Marca (Codigo INTEGER, Nombre TEXT)");
        db.exec("CREATE TABLE Elemento (Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, Descripcion, Renting)");
    }
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

QString mensaje_de(const std::function<void()>& accion) {
    try {
        accion();
    } catch (const ErrorDatos& e) {
        return e.texto();
    }
    return QStringLiteral("(sin error)");
}

namespace {
// Raised by olvidar_modales: the actions waiting for a window from before are dropped.
quint64 generacion_modales = 0;
} // namespace

void olvidar_modales() {
    ++generacion_modales;
}

void cuando_abra_modal(std::function<void(QWidget*)> accion) {
    auto intento = std::make_shared<std::function<void()>>();
    *intento = [accion, intento, generacion = generacion_modales] {
        if (generacion != generacion_modales) {
            *intento = nullptr;
            return;
        }
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

bool locale_espanola() {
    // Asked of the C library itself, as the program and the tools will; the thread's locale is left as it was.
    locale_t espanola = newlocale(LC_ALL_MASK, "es_ES.UTF-8", locale_t(0));
    if (espanola == locale_t(0))
        return false;
    freelocale(espanola);
    return true;
}

void escribir_ubicacion(const QString& dir, const QByteArray& bytes) {
    QFile f(QDir(dir).filePath(QStringLiteral("talvirenca.cfg")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QAction* accion(QWidget* ventana, const QString& nombre) {
    return ventana->findChild<QAction*>(nombre);
}

bool pulsar_barra(QWidget* ventana, const QString& clave) {
    auto* barra = ventana->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QAction* a = accion(ventana, clave);
    if (!barra || !a || !barra->widgetForAction(a))
        return false;
    QTest::mouseClick(barra->widgetForAction(a), Qt::LeftButton);
    return true;
}

void teclear(QWidget* campo, const QString& texto) {
    for (QChar c : texto) {
        if (c.unicode() < 128)
            QTest::keyClick(campo, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, campo, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void reemplazar(QWidget* campo, const QString& texto) {
    if (auto* lista = qobject_cast<QComboBox*>(campo))
        campo = lista->lineEdit();
    campo->setFocus();
    QTest::keyClick(campo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(campo, Qt::Key_Delete);
    teclear(campo, texto);
}

void elegir(QComboBox* lista, const QString& texto) {
    lista->showPopup();
    QAbstractItemView* vista = lista->view();
    const QRect sitio = vista->visualRect(vista->model()->index(lista->findText(texto), 0));
    QTest::mouseClick(vista->viewport(), Qt::LeftButton, {}, sitio.center());
}

std::unique_ptr<Principal> abrir_principal(const QTemporaryDir& dir, const QString& base) {
    escribir_ubicacion(dir.path(), base.toUtf8() + "\r\n");
    DirectorioActual aqui(dir.path());
    auto principal = std::make_unique<Principal>();
    principal->show();
    return principal;
}

void buscar(Principal& principal, const QString& tipo) {
    auto* combo = principal.findChild<QComboBox*>(QStringLiteral("DBCombo1"));
    combo->lineEdit()->clear();
    teclear(combo, tipo);
    QTest::mouseClick(principal.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
}

QStringList lineas(Principal& principal) {
    const QAbstractItemModel* modelo = principal.findChild<QTreeView*>(QStringLiteral("ListView1"))->model();
    QStringList resultado;
    for (int fila = 0; fila < modelo->rowCount(); ++fila) {
        QStringList textos;
        for (int columna = 0; columna < modelo->columnCount(); ++columna)
            textos << modelo->index(fila, columna).data().toString();
        resultado << textos.join(u'|');
    }
    return resultado;
}

void seleccionar(Principal& principal, int fila) {
    auto* lista = principal.findChild<QTreeView*>(QStringLiteral("ListView1"));
    const QRect sitio = lista->visualRect(lista->model()->index(fila, 0));
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, sitio.center());
}

DirectorioActual::DirectorioActual(const QString& dir) : anterior(QDir::currentPath()) {
    QDir::setCurrent(dir);
}
DirectorioActual::~DirectorioActual() {
    QDir::setCurrent(anterior);
}

} // namespace Soporte
