// The list of the tools' measures; each tool's file defines its function and adds it here.
#include "bench/comun.h"

namespace Bench {

void medir_busqueda(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_etiquetas(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_servidor(const QTemporaryDir& dir, const std::vector<int>& tamanos);

std::vector<Medida> medidas_herramientas() {
    return {medir_busqueda, medir_etiquetas, medir_servidor};
}

} // namespace Bench
