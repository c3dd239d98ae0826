#include "data/recorridos.h"

namespace Recorridos {

std::optional<QString> nombre_de_codigo(OrigenDatos& origen, qint64 codigo) {
    const std::optional<int> fila = origen.primera_fila_con_codigo(codigo);
    origen.situar(fila.value_or(origen.numero_filas()));
    if (!fila)
        return std::nullopt;
    return origen.leer_texto(1);
}

qint64 codigo_de_nombre(OrigenDatos& origen, const QString& nombre) {
    qint64 codigo = 0;
    completo(origen, [&] {
        if (origen.leer_texto(1) == nombre)
            codigo = origen.leer_entero(0).value_or(0);
    });
    return codigo;
}

qint64 codigo_mayor(OrigenDatos& origen) {
    qint64 mayor = 0;
    completo(origen, [&] { mayor = std::max(mayor, origen.leer_entero(0).value_or(0)); });
    return mayor;
}

void anadir(OrigenDatos& origen, std::initializer_list<QVariant> valores) {
    origen.anadir_nuevo();
    int ordinal = 0;
    for (const QVariant& v : valores)
        origen.escribir(ordinal++, v);
    origen.actualizar();
}

} // namespace Recorridos
