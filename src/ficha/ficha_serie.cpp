// The warning about a serial number that another component already has.
#include "ficha/ficha.h"

#include "plataforma/mensajes.h"

#include <QLineEdit>

namespace {
const QString titulo_serie_repetida = QStringLiteral("Número de serie repetido");
const QString serie_repetida =
    QStringLiteral("Ya existe el componente %1 con el número de serie %2.\n¿Desea guardarlo de todos modos?");
} // namespace

bool Ficha::confirmar_numero_serie() {
    // Only a warning: an older inventory may hold two components with one serial number on purpose.
    const QString serie = Text5->text().trimmed();
    if (serie.isEmpty())
        return true;
    // Data1 was read when the card loaded; in modify mode it stands on the component's own row, which does not count.
    const int propia = accion_ == ModoFicha::modificar ? Data1.fila_actual() : -1;
    for (int fila = 0; fila < Data1.numero_filas(); ++fila) {
        if (fila == propia)
            continue;
        const QString otra = Data1.texto(fila, 4).trimmed();
        if (otra.compare(serie, Qt::CaseInsensitive) == 0)
            // Enter keeps the card open: storing the repeated number takes a deliberate "Sí".
            return Mensajes::pregunta(this, titulo_serie_repetida, serie_repetida.arg(Data1.texto(fila, 0), otra),
                                      Mensajes::Defecto::no);
    }
    return true;
}
