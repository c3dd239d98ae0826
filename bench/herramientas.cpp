// The list of the tools' measures; each tool's file defines its function and adds it here.
#include "bench/comun.h"

namespace Bench {

void medir_importar(const QTemporaryDir& dir, const std::vector<int>& tamanos);

std::vector<Medida> medidas_herramientas() {
    return {medir_importar};
}

} // namespace Bench
