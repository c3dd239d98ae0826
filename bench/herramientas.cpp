// The list of the tools' measures; each tool's file defines its function and adds it here.
#include "bench/comun.h"

namespace Bench {

void medir_apertura(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_busqueda(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_espera(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_etiquetas(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_importar(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_importar_hoja(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_rendimiento(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_servidor(const QTemporaryDir& dir, const std::vector<int>& tamanos);
Medida medir_garantias();

std::vector<Medida> medidas_herramientas() {
    return {medir_rendimiento, medir_servidor,      medir_importar,    medir_busqueda, medir_etiquetas,
            medir_espera,      medir_importar_hoja, medir_garantias(), medir_apertura};
}

} // namespace Bench
