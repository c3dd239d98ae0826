// The commands of the main window's menus and toolbar, and leaving the program.
#include "principal/principal.h"

#include "modulo/module1.h"
#include "plataforma/mensajes.h"

#include <QCloseEvent>
#include <QItemSelectionModel>
#include <QTreeView>

namespace {
const QString texto_seguro = QStringLiteral("                        ¿Esta seguro?");
const QString cabecera_salir = QStringLiteral("          Va a salir de la aplicación. ");
} // namespace

void Principal::Toolbar1_ButtonClick(const QString& clave) {
    if (clave == QLatin1String("BotonAbrir"))
        abrir();
    else if (clave == QLatin1String("BotonImprimir"))
        imprimir();
    else if (clave == QLatin1String("BotonBuscar"))
        buscar();
    else if (clave == QLatin1String("BotonAnadir"))
        Anadir();
    else if (clave == QLatin1String("BotonConsultar"))
        con_seleccion(&Principal::consultar);
    else if (clave == QLatin1String("BotonModificar"))
        con_seleccion(&Principal::modificar);
    else if (clave == QLatin1String("BotonBorrar"))
        con_seleccion(&Principal::borrar);
    else if (clave == QLatin1String("BotonAyuda"))
        ayuda();
}

int Principal::fila_seleccionada() const {
    const QModelIndexList filas = ListView1->selectionModel()->selectedRows();
    return filas.isEmpty() ? -1 : filas.first().row();
}

void Principal::con_seleccion(void (Principal::*orden)()) {
    if (fila_seleccionada() < 0) {
        Mensajes::aviso(this, QStringLiteral("ERROR: No hay ningun elemento seleccionado."));
        return;
    }
    (this->*orden)();
}

void Principal::ayuda() {
    Mensajes::aviso(this, QStringLiteral("Ayuda todavía no implementada."));
}

QMessageBox::StandardButton Principal::cuadro_sino(const QString& cabecera) {
    return Mensajes::pregunta(this, cabecera, texto_seguro) ? QMessageBox::Yes : QMessageBox::No;
}

void Principal::salir() {
    if (cuadro_sino(cabecera_salir) != QMessageBox::Yes)
        return;
    saliendo_ = true;
    close();
}

// The close box asks the same question as "Salir", so the program is never left by a stray click.
void Principal::closeEvent(QCloseEvent* evento) {
    if (saliendo_ || cuadro_sino(cabecera_salir) == QMessageBox::Yes) {
        saliendo_ = true;
        evento->accept();
    } else {
        evento->ignore();
    }
}
