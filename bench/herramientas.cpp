// The list of the tools' measures; each tool's file defines its function and adds it here.
#include "bench/comun.h"

namespace Bench {

void medir_apertura(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_busqueda(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_custodia(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_historial(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_espera(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_etiquetas(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_importar(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_importar_hoja(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_rendimiento(const QTemporaryDir& dir, const std::vector<int>& tamanos);
void medir_servidor(const QTemporaryDir& dir, const std::vector<int>& tamanos);
Medida medir_garantias();

std::vector<std::pair<const char*, Medida>> medidas_herramientas() {
    return {{"rendimiento", medir_rendimiento},     {"servidor", medir_servidor},     {"importar", medir_importar},
            {"busqueda", medir_busqueda},           {"etiquetas", medir_etiquetas},   {"espera", medir_espera},
            {"importar_hoja", medir_importar_hoja}, {"garantias", medir_garantias()}, {"apertura", medir_apertura},
            {"custodia", medir_custodia},           {"historial", medir_historial}};
}

} // namespace Bench
