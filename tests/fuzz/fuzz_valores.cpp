// The readers of a typed code, date and number on any text: a value read is read again the same from the text the
// program writes for it.
#include "data/valores.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
    const QString texto = QString::fromUtf8(reinterpret_cast<const char*>(datos), static_cast<qsizetype>(n));

    if (const std::optional<qint64> codigo = Valores::entero_de_texto(texto))
        if (Valores::entero_de_texto(QString::number(*codigo)) != codigo)
            std::abort();

    if (const std::optional<QDate> fecha = Valores::fecha_de_texto(texto)) {
        if (!fecha->isValid() || Valores::fecha_de_texto(Valores::texto_fecha(*fecha)) != fecha)
            std::abort();
    }

    const double numero = Valores::valor_numerico(texto);
    if (std::isnan(numero))
        std::abort();
    if (std::isfinite(numero) && Valores::valor_numerico(Valores::texto_real(numero)) != numero)
        std::abort();
    return 0;
}
