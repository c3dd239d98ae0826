// Labels for the components the list shows.
#include "principal/principal.h"

#include "data/custodia.h"
#include "data/valores.h"
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
    // The labels tell what the list's lines show: code, type, brand, model and serial number; and, when the user
    // wants, who has the component or else where it is.
    refrescar_custodia();
    const Tanda lista{modelo_->filas(), [this](int fila) {
                          const QString codigo = modelo_->texto(fila, 0);
                          QString titular;
                          if (const std::optional<qint64> c = Valores::entero_de_texto(codigo)) {
                              titular = custodia().titular(*c);
                              if (titular.isEmpty())
                                  titular = custodia().ubicacion(*c);
                          }
                          return DatosEtiqueta{codigo,
                                               modelo_->texto(fila, 1),
                                               modelo_->texto(fila, 2),
                                               modelo_->texto(fila, 3),
                                               modelo_->texto(fila, 4),
                                               titular};
                      }};
    Etiquetas ventana(this, impresora_, lista, fila_seleccionada());
    ventana.exec();
}
