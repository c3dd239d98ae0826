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
    // The walk's answer read from the snapshot at once, so nobody following the source is told of every row; the
    // source opens as the walk would open it and ends at end, where the walk leaves it.
    origen.mover_primero();
    const qint64 mayor = origen.codigo_mayor();
    origen.situar(origen.numero_filas());
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
