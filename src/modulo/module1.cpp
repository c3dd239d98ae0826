#include "modulo/module1.h"

namespace Module1 {
QString base_datos;
QString directorio_inicial;
QString accion_ficha;
bool columnas_creadas = false;
} // namespace Module1
