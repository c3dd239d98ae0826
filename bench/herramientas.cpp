// The list of the tools' measures; each tool's file defines its function and adds it here.
#include "bench/comun.h"

namespace Bench {

Medida medir_garantias();

std::vector<Medida> medidas_herramientas() {
    return {medir_garantias()};
}

} // namespace Bench
