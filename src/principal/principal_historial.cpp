// What happened to the components: the history windows, retiring the selected component and the retired ones.
#include "principal/principal.h"

#include "data/bajas.h"
#include "data/custodia.h"
#include "data/error_datos.h"
#include "historial/bajas_ventana.h"
#include "historial/historial_ventana.h"
#include "modulo/module1.h"
#include "plataforma/mensajes.h"

void Principal::historial() {
    VentanaHistorial ventana(*impresora_lineas_, std::nullopt, this);
    ventana.exec();
}

void Principal::historial_componente() {
    const auto componente = componente_seleccionado();
    if (!componente)
        return;
    VentanaHistorial ventana(*impresora_lineas_, componente->first, this);
    ventana.exec();
}

void Principal::dar_de_baja() {
    const auto componente = componente_seleccionado();
    if (!componente)
        return;
    // Said before the window opens: a component handed out is taken back first.
    if (!Mensajes::proteger(this, [this] { custodia_ = Custodia::leer(Module1::base_datos); }))
        return;
    if (custodia_->abierta(componente->first)) {
        Mensajes::aviso(this, QStringLiteral("ERROR: el componente %1 está entregado; devuélvalo antes de darlo de "
                                             "baja.")
                                  .arg(componente->first));
        return;
    }
    Bajas::DatosBaja datos;
    {
        DarDeBaja ventana(componente->first, componente->second, this);
        if (ventana.exec() != QDialog::Accepted)
            return;
        datos = ventana.datos();
    }
    // The line goes as a deleted one does: the list's source drops the row the write removed, without reading the
    // file again.
    eliminar_registro_con([&](qint64 elemento) {
        const std::optional<int> fila = Data1.primera_fila_con_codigo(elemento);
        if (!fila)
            throw ErrorDatos(QStringLiteral("el componente %1 ya no está en la base de datos.").arg(elemento));
        Data1.situar(*fila);
        Data1.quitar_con([&](Custodia::Sesion& s) { Bajas::dar_de_baja_en(s, datos); });
    });
    refrescar_custodia();
}

void Principal::bajas() {
    bool recuperado = false;
    {
        VentanaBajas ventana(*impresora_lineas_, this);
        ventana.exec();
        recuperado = ventana.recuperado();
    }
    if (recuperado)
        actualizar_lista();
}
