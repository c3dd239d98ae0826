// Start-up of the main window and the database in use: the location file, the binding of the data sources and
// the database settings command.
#include "principal/principal.h"

#include "data/esquema.h"
#include "data/motor.h"
#include "data/ubicacion.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dbcombo.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

using namespace Module1;

void Principal::Form_Load() {
    arranque_.emplace();
    setWindowTitle(windowTitle() + Programa::version + QStringLiteral("."));
    columnas_creadas = false;
    directorio_inicial = QDir::currentPath();
    if (directorio_inicial.endsWith(u'/'))
        directorio_inicial.chop(1);
    if (!comprobar_base_datos())
        abrir_base_Datos();
    Aspecto::mostrar_dato(Label2, Ubicacion::sin_contrasena(base_datos));
    ofrecer_inventario_nuevo();
    configurar_datas_dbcombo();
}

bool Principal::comprobar_base_datos() {
    const std::optional<QString> linea = Ubicacion::leer(directorio_inicial);
    if (!linea) {
        // A location file that is there but not trusted (another user's, or one others may change) is not used;
        // the user is told why before choosing the inventory again, and the choice replaces it with a file of their
        // own.
        if (QFileInfo(Ubicacion::ruta(directorio_inicial)).isFile())
            if (const std::optional<QString> motivo = Ubicacion::problema(directorio_inicial))
                Mensajes::aviso(this, QStringLiteral("ERROR: %1").arg(*motivo));
        Mensajes::aviso(this, QStringLiteral("No hay base de datos seleccionada."));
        return false;
    }
    // A line the program could not hand to the system as it stands is refused, as an unreadable file is.
    if (!ruta_aceptable(*linea, QStringLiteral("La base de datos que indica talvirenca.cfg")))
        return false;
    base_datos = *linea;
    return true;
}

void Principal::abrir_base_Datos() {
    nombre_archivo_dialogo_ = DialogosSistema::abrir_archivo(this, nombre_archivo_dialogo_);
    if (!ruta_aceptable(nombre_archivo_dialogo_, QStringLiteral("El archivo elegido")))
        nombre_archivo_dialogo_.clear();
    base_datos = nombre_archivo_dialogo_;
    guarda_base_datos();
}

bool Principal::ruta_aceptable(const QString& ruta, const QString& origen) {
    const std::optional<QString> problema = Ubicacion::problema_ruta(ruta);
    if (problema)
        Mensajes::aviso(this, QStringLiteral("ERROR: %1 (%2) no se puede usar: %3")
                                  .arg(origen, Ubicacion::ruta_visible(ruta), *problema));
    return !problema;
}

void Principal::guarda_base_datos() {
    Mensajes::proteger(this, [] { Ubicacion::guardar(directorio_inicial, base_datos); });
}

void Principal::configurar_datas_dbcombo() {
    Data1.enlazar_base_datos(base_datos);
    Data1.enlazar_tabla(QStringLiteral("Elemento"));
    Data2.enlazar_base_datos(base_datos);
    Data2.enlazar_tabla(QStringLiteral("Tipo"));
    Data3.enlazar_base_datos(base_datos);
    Data3.enlazar_tabla(QStringLiteral("Marca"));
    DBCombo1->fijar_columna_lista(QStringLiteral("Nombre"));
}

void Principal::ofrecer_inventario_nuevo() {
    if (base_datos.isEmpty() || Ubicacion::problema_ruta(base_datos))
        return;
    // On a server, an empty database is what a missing file is: the place where a new inventory may go.
    const bool servidor = Motor::es_servidor(base_datos);
    if (servidor ? !Servidor::vacia(base_datos) : QFileInfo::exists(base_datos))
        return;
    const QString texto =
        servidor ? QStringLiteral("La base de datos %1 del servidor está vacía.\n\n¿Desea crear en ella un "
                                  "inventario nuevo y vacío?")
                       .arg(Ubicacion::sin_contrasena(base_datos))
                 : QStringLiteral(
                       "No existe la base de datos %1.\n\n¿Desea crear en ese archivo un inventario nuevo y vacío?")
                       .arg(base_datos);
    const bool crear = Mensajes::pregunta(this, QStringLiteral("          Base de datos nueva. "), texto);
    if (crear)
        Mensajes::proteger(this, [] { Esquema::crear_inventario(base_datos); });
}

void Principal::showEvent(QShowEvent* evento) {
    QMainWindow::showEvent(evento);
    if (!datos_abiertos_) {
        datos_abiertos_ = true;
        Command1->setFocus();
        abrir_datos();
        arranque_.reset();
    }
}

void Principal::abrir_datos() {
    // The components are read when the list first needs them, so a large inventory does not delay the window.
    Data1.abrir_al_usarse();
    Mensajes::proteger(this, [this] {
        Data2.abrir();
        Data3.abrir();
    });
}
