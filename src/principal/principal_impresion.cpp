// Printing the component list.
#include "principal/principal.h"

#include "modulo/module1.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <algorithm>

namespace {
const QString cabecera_impresion =
    QStringLiteral("Codigo    Tipo    Marca    Modelo    Nº Serie    Fecha    Garantia    Descripcion    Renting");
const QString separacion = QStringLiteral("      ");
const QString imprimiendo = QStringLiteral("Imprimiendo la página %1...");
const QString impresion_cancelada = QStringLiteral("Impresión cancelada: no se ha impreso nada.");
} // namespace

void Principal::imprimir() {
    // The window goes on answering while the pages are painted: the dialog counts them and can cancel.
    QProgressDialog progreso(imprimiendo.arg(1), QStringLiteral("Cancelar"), 0, std::max(1, modelo_->filas()), this);
    progreso.setObjectName(QStringLiteral("ProgresoImpresion"));
    progreso.setWindowTitle(Programa::titulo);
    progreso.setWindowModality(Qt::WindowModal);
    progreso.setMinimumDuration(0);
    progreso.setAutoReset(false);
    progreso.setAutoClose(false);
    bool cancelada = false;
    Mensajes::proteger(this, [&] {
        try {
            impresora_lineas_->empezar();
        } catch (const ErrorDatos&) {
            // Closed before the message, which it would cover.
            progreso.close();
            throw;
        }
        try {
            impresora_lineas_->linea(cabecera_impresion);
            impresora_lineas_->linea(QString(cabecera_impresion.size(), u'-'));
            impresora_lineas_->linea(QString());
            int pagina = 0;
            for (int fila = 0; fila < modelo_->filas(); ++fila) {
                QString linea = modelo_->texto(fila, 0);
                for (int columna = 1; columna < ModeloLista::columnas; ++columna)
                    linea += separacion + modelo_->texto(fila, columna);
                impresora_lineas_->linea(linea);
                if (impresora_lineas_->pagina() == pagina)
                    continue;
                pagina = impresora_lineas_->pagina();
                progreso.setLabelText(imprimiendo.arg(pagina));
                progreso.setValue(fila);
                QCoreApplication::processEvents();
                if (progreso.wasCanceled()) {
                    impresora_lineas_->cancelar();
                    cancelada = true;
                    return;
                }
            }
        } catch (const ErrorDatos&) {
            impresora_lineas_->cancelar();
            progreso.close();
            throw;
        }
        impresora_lineas_->terminar();
    });
    progreso.close();
    if (cancelada)
        Mensajes::aviso(this, impresion_cancelada);
}

void Principal::menuConfigPrint_Click() {
    DialogosSistema::configurar_impresora(this, impresora_);
}

void Principal::fijar_impresora_lineas(std::unique_ptr<ImpresoraLineas> impresora) {
    impresora_lineas_ = std::move(impresora);
}
