// Labels for the components the list shows.
#include "principal/principal.h"

#include "etiquetas/etiquetas.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

namespace {
const QString lista_vacia =
    QStringLiteral("ERROR: la lista no muestra ningún componente. Pulse \"Buscar\" antes de imprimir etiquetas.");
}

void Principal::etiquetas() {
    if (modelo_->filas() == 0) {
        Mensajes::aviso(this, lista_vacia);
        return;
    }
    // The labels tell what the list's lines show: code, type, brand, model and serial number.
    std::vector<DatosEtiqueta> lista;
    lista.reserve(size_t(modelo_->filas()));
    for (int fila = 0; fila < modelo_->filas(); ++fila)
        lista.push_back({modelo_->texto(fila, 0), modelo_->texto(fila, 1), modelo_->texto(fila, 2),
                         modelo_->texto(fila, 3), modelo_->texto(fila, 4)});
    Etiquetas ventana(this, impresora_, std::move(lista), fila_seleccionada());
    ventana.exec();
}
