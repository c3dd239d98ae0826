// Printing the component list.
#include "principal/principal.h"

#include "plataforma/dialogos_sistema.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

namespace {
const QString cabecera_impresion =
    QStringLiteral("Codigo    Tipo    Marca    Modelo    Nº Serie    Fecha    Garantia    Descripcion    Renting");
const QString separacion = QStringLiteral("      ");
} // namespace

void Principal::imprimir() {
    Mensajes::proteger(this, [this] {
        impresora_lineas_->empezar();
        impresora_lineas_->linea(cabecera_impresion);
        impresora_lineas_->linea(QString(cabecera_impresion.size(), u'-'));
        impresora_lineas_->linea(QString());
        for (int fila = 0; fila < modelo_->filas(); ++fila) {
            QString linea = modelo_->texto(fila, 0);
            for (int columna = 1; columna < ModeloLista::columnas; ++columna)
                linea += separacion + modelo_->texto(fila, columna);
            impresora_lineas_->linea(linea);
        }
        impresora_lineas_->terminar();
    });
}

void Principal::menuConfigPrint_Click() {
    DialogosSistema::configurar_impresora(this, impresora_);
}

void Principal::fijar_impresora_lineas(std::unique_ptr<ImpresoraLineas> impresora) {
    impresora_lineas_ = std::move(impresora);
}
