// The data source's writes: the pending edit of a row, storing it, and deleting rows, each kept in the snapshot as
// a read of the database would now give it when this program's write is the only change since.
#include "data/origen_datos.h"

#include "data/error_datos.h"
#include "data/origen_receptor.h"
#include "data/ubicacion.h"
#include "data/valores.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_set>

namespace {

[[noreturn]] void rechazar_valor(const Columna& c, const QVariant& valor, const char* motivo) {
    throw ErrorDatos(QStringLiteral("la columna %1 no admite el valor «%2»: %3")
                         .arg(QLatin1String(c.nombre), Valores::texto(valor), QString::fromUtf8(motivo)));
}

// A written value converted to the form its column holds.
QVariant convertir(const Columna& c, const QVariant& valor) {
    if (valor.isNull() && valor.typeId() != QMetaType::QString)
        return {};
    const bool es_texto = valor.typeId() == QMetaType::QString;
    switch (c.clase) {
    case Clase::texto:
        return es_texto ? valor : QVariant(Valores::texto(valor));
    case Clase::entero: {
        if (es_texto) {
            if (auto n = Valores::entero_de_texto(valor.toString()))
                return QVariant::fromValue<qlonglong>(*n);
            rechazar_valor(c, valor, "no es un número entero.");
        }
        if (valor.typeId() == QMetaType::Double) {
            const double d = valor.toDouble();
            if (d != std::trunc(d) || std::fabs(d) > 9.0e18)
                rechazar_valor(c, valor, "no es un número entero.");
            return QVariant::fromValue<qlonglong>(static_cast<qlonglong>(d));
        }
        bool bien = false;
        const qlonglong n = valor.toLongLong(&bien);
        if (!bien)
            rechazar_valor(c, valor, "no es un número entero.");
        return QVariant::fromValue<qlonglong>(n);
    }
    case Clase::real: {
        bool bien = false;
        const double d = es_texto ? QLocale::c().toDouble(valor.toString().trimmed(), &bien) : valor.toDouble(&bien);
        if (!bien || !std::isfinite(d))
            rechazar_valor(c, valor, "no es un número válido.");
        return d;
    }
    case Clase::fecha: {
        if (valor.typeId() == QMetaType::QDate && valor.toDate().isValid())
            return valor;
        if (es_texto)
            if (auto f = Valores::fecha_de_texto(valor.toString()))
                return *f;
        rechazar_valor(c, valor, "no es una fecha válida.");
    }
    case Clase::logico:
        if (valor.typeId() == QMetaType::Bool)
            return valor;
        if (es_texto) {
            if (valor.toString() == Valores::verdadero)
                return true;
            if (valor.toString() == Valores::falso)
                return false;
        }
        if (auto n = Valores::entero_de_texto(Valores::texto(valor)))
            return *n != 0;
        rechazar_valor(c, valor, "no es verdadero ni falso.");
    }
    return {};
}

} // namespace

void OrigenDatos::anadir_nuevo() {
    asegurar_abierto();
    exigir_abierto();
    Pendiente p{true, {}};
    for (int i = 0; i < columnas_; ++i) {
        switch (tabla_->columnas[i].clase) {
        case Clase::entero:
            p.valores[i] = QVariant::fromValue<qlonglong>(0);
            break;
        case Clase::real:
            p.valores[i] = 0.0;
            break;
        case Clase::texto:
            p.valores[i] = QStringLiteral("");
            break;
        case Clase::logico:
            p.valores[i] = false;
            break;
        case Clase::fecha:
            break;
        }
    }
    pendiente_ = std::move(p);
    Q_EMIT fila_cambiada();
}

void OrigenDatos::editar() {
    asegurar_abierto();
    exigir_fila_actual();
    Pendiente p{false, {}};
    for (int i = 0; i < columnas_; ++i)
        p.valores[i] = valor(posicion_, i);
    pendiente_ = std::move(p);
}

void OrigenDatos::cancelar() {
    if (pendiente_) {
        pendiente_.reset();
        Q_EMIT fila_cambiada();
    }
}

void OrigenDatos::escribir(int ordinal, const QVariant& v) {
    exigir_ordinal(ordinal);
    if (!pendiente_)
        throw ErrorDatos(QStringLiteral("no se ha empezado a editar ningún registro de la tabla %1.")
                             .arg(QLatin1String(tabla().nombre)));
    pendiente_->valores[ordinal] = convertir(tabla_->columnas[ordinal], v);
}

void OrigenDatos::actualizar() {
    guardar_pendiente(false);
}

void OrigenDatos::actualizar_con_codigo_nuevo() {
    if (pendiente_ && !pendiente_->nueva)
        throw ErrorDatos(
            QStringLiteral("no se está añadiendo ningún registro a la tabla %1.").arg(QLatin1String(tabla().nombre)));
    guardar_pendiente(true);
}

void OrigenDatos::guardar_pendiente(bool codigo_nuevo) {
    if (!pendiente_)
        throw ErrorDatos(QStringLiteral("no se ha empezado a editar ningún registro de la tabla %1.")
                             .arg(QLatin1String(tabla().nombre)));
    const Tabla& t = *tabla_;
    Pendiente& p = *pendiente_;
    qint64 rowid = p.nueva ? 0 : vista_.rowid(posicion_);
    const qint64 rowid_anterior = rowid;
    // The row is gone, or another program or user changed it since it was read: nothing is written over it.
    const auto ya_no_esta = [this] {
        return QStringLiteral("no se han podido guardar los cambios en %1: %2 ha cambiado o se ha borrado en la base "
                              "de datos desde que se leyó.")
            .arg(Ubicacion::sin_contrasena(ruta_abierta()), nombre_registro());
    };
    const std::unique_ptr<Motor> motor = Motor::para(ruta_abierta());
    if (p.nueva && codigo_nuevo) {
        const auto [identidad, codigo] = motor->insertar_con_codigo_nuevo(t, p.valores);
        rowid = identidad;
        p.valores[0] = QVariant::fromValue<qlonglong>(codigo);
    } else if (p.nueva) {
        rowid = motor->insertar(t, p.valores);
    } else {
        const std::optional<qint64> identidad = motor->modificar(t, rowid, fila_leida(posicion_), p.valores);
        if (!identidad)
            throw ErrorDatos(ya_no_esta());
        rowid = *identidad;
    }
    // Stored: the snapshot takes the row as written, among this source's own rows.
    Filas& propias = vista_.propias(columnas_);
    const quint32 numero = propias.anadir_fila(rowid);
    poner_fila(propias, numero, p);
    if (p.nueva)
        vista_.insertar(numero_filas(), vista_.referencia_propia(numero));
    else
        vista_.reemplazar(posicion_, vista_.referencia_propia(numero));
    indice_valido_ = false;
    derivar_fresca(*motor, motor->huella_antes_de_escribir(),
                   p.nueva ? std::vector<qint64>{} : std::vector<qint64>{rowid_anterior}, rowid);
    pendiente_.reset();
    Q_EMIT fila_cambiada();
}

void OrigenDatos::poner_fila(Filas& filas, quint32 fila, const Pendiente& p) {
    quint16 nulos = 0;
    for (int i = 0; i < columnas_; ++i) {
        Celda& c = filas.celdas[static_cast<size_t>(fila) * columnas_ + i];
        const QVariant& v = p.valores[i];
        if (v.isNull() && v.typeId() != QMetaType::QString) {
            nulos |= quint16(1u << i);
            continue;
        }
        switch (tabla_->columnas[i].clase) {
        case Clase::entero:
            c.entero = v.toLongLong();
            break;
        case Clase::logico:
            c.entero = v.toBool();
            break;
        case Clase::real:
            c.real = v.toDouble();
            break;
        case Clase::fecha:
            c.entero = v.toDate().toJulianDay();
            break;
        case Clase::texto: {
            const QByteArray utf8 = v.toString().toUtf8();
            filas.anadir_texto(c, utf8.constData(), static_cast<size_t>(utf8.size()), tabla_->nombre);
            break;
        }
        }
    }
    filas.nulos[fila] = nulos;
}

void OrigenDatos::borrar() {
    asegurar_abierto();
    cancelar();
    exigir_fila_actual();
    const int fila = posicion_;
    borrar_filas({fila});
    posicion_ = fila;
    recien_borrada_ = true;
}

void OrigenDatos::quitar_con(const std::function<void(Custodia::Sesion&)>& cuerpo) {
    asegurar_abierto();
    cancelar();
    exigir_fila_actual();
    const int fila = posicion_;
    const std::unique_ptr<Motor> motor = Motor::para(ruta_abierta());
    motor->escribir_sesion(cuerpo);
    quitar_filas(*motor, {fila}, motor->huella_antes_de_escribir());
    posicion_ = fila;
    recien_borrada_ = true;
}

void OrigenDatos::borrar_filas(std::vector<int> filas) {
    asegurar_abierto();
    cancelar();
    exigir_abierto();
    std::sort(filas.begin(), filas.end());
    filas.erase(std::unique(filas.begin(), filas.end()), filas.end());
    if (filas.empty())
        return;
    if (filas.front() < 0 || filas.back() >= numero_filas())
        throw ErrorDatos(
            QStringLiteral("no hay ningún registro actual en la tabla %1.").arg(QLatin1String(tabla().nombre)));
    std::vector<std::pair<qint64, ValoresFila>> leidas;
    leidas.reserve(filas.size());
    for (int fila : filas)
        leidas.emplace_back(vista_.rowid(fila), fila_leida(fila));
    const std::unique_ptr<Motor> motor = Motor::para(ruta_abierta());
    // Another program may have removed a row meanwhile: nothing is reported deleted that was not.
    if (!motor->borrar(*tabla_, leidas))
        throw ErrorDatos(borrada_por_otro());
    quitar_filas(*motor, filas, motor->huella_antes_de_escribir());
}

QString OrigenDatos::borrada_por_otro() const {
    return QStringLiteral("no se ha podido borrar en %1: %2 ha cambiado o se ha borrado en la base de datos desde que "
                          "se leyó.")
        .arg(Ubicacion::sin_contrasena(ruta_abierta()), nombre_registro());
}

bool OrigenDatos::borrar_si_no_usado(const QString& tabla_uso, int columna_uso) {
    asegurar_abierto();
    cancelar();
    exigir_fila_actual();
    const Tabla* uso = Esquema::tabla(tabla_uso);
    if (!uso)
        throw ErrorDatos(QStringLiteral("la tabla «%1» no existe en el inventario.").arg(tabla_uso));
    const int fila = posicion_;
    const std::optional<qint64> codigo = entero(fila, 0);
    if (!codigo) {
        // A row without a code cannot be used by any other.
        borrar();
        return true;
    }
    const std::unique_ptr<Motor> motor = Motor::para(ruta_abierta());
    switch (motor->borrar_si_no_usado(*tabla_, vista_.rowid(fila), fila_leida(fila), *codigo, *uso, columna_uso)) {
    case Motor::Borrado::en_uso:
        return false;
    case Motor::Borrado::ya_no_esta:
        throw ErrorDatos(borrada_por_otro());
    case Motor::Borrado::hecho:
        break;
    }
    quitar_filas(*motor, {fila}, motor->huella_antes_de_escribir());
    posicion_ = fila;
    recien_borrada_ = true;
    return true;
}

void OrigenDatos::quitar_filas(Motor& motor, const std::vector<int>& filas, const std::optional<Huella>& antes) {
    std::vector<qint64> quitados;
    for (int fila : filas)
        quitados.push_back(vista_.rowid(fila));
    // When this source saw the rows a read would give, it sees them still after the deletion: the snapshot kept
    // for the database's new state is its own.
    const bool como_leida = !fresca_.vacia() && fresca_.identidad() == vista_.identidad();
    indice_valido_ = false;
    if (derivar_fresca(motor, antes, quitados, std::nullopt) && como_leida)
        vista_ = fresca_;
    else
        vista_.quitar(filas);
    posicion_ = numero_filas();
    recien_borrada_ = false;
    Q_EMIT fila_cambiada();
}

bool OrigenDatos::derivar_fresca(Motor& motor, const std::optional<Huella>& antes, const std::vector<qint64>& quitados,
                                 std::optional<qint64> anadido) {
    if (estado_)
        return false;
    const std::optional<Huella> conocida = huella_;
    huella_.reset();
    Instantanea nueva = fresca_;
    fresca_ = {};
    // Only when the file was, right before the write, in the state whose rows are kept.
    if (!conocida || !antes || !(*antes == *conocida) || nueva.vacia())
        return false;
    try {
        const std::unique_ptr<Motor::Lectura> lectura = motor.empezar_lectura();
        const std::optional<Huella> despues = lectura->huella();
        // Every write transaction counts one: one more than before means no other program wrote meanwhile.
        if (!despues || despues->contador != antes->contador + 1 || despues->dispositivo != antes->dispositivo ||
            despues->nodo != antes->nodo)
            return false;
        const quint64 padre = nueva.identidad();
        std::vector<int> quitadas;
        if (!quitados.empty()) {
            const std::unordered_set<qint64> buscados(quitados.begin(), quitados.end());
            for (int fila = 0; fila < nueva.numero_filas(); ++fila)
                if (buscados.count(nueva.rowid(fila)))
                    quitadas.push_back(fila);
            if (quitadas.size() != buscados.size())
                return false;
            nueva.quitar(quitadas);
        }
        std::vector<int> anadidas;
        if (anadido) {
            if (!nueva.orden_por_numeros())
                return false;
            Filas& propias = nueva.propias(columnas_);
            // The row as a read of the table gives it, in the place the table's order gives it.
            Receptor receptor(propias, *tabla_);
            if (!lectura->leer_fila(*tabla_, *anadido, receptor) || !propias.codigos_enteros)
                return false;
            const quint32 numero = propias.numero() - 1;
            const int fila = nueva.posicion_ordenada(propias.celda(numero, 0).entero, *anadido);
            nueva.insertar(fila, nueva.referencia_propia(numero));
            anadidas.push_back(fila);
        }
        fresca_ = nueva;
        huella_ = despues;
        AlmacenInstantaneas::guardar(ruta_abierta_, *tabla_,
                                     {*despues, fresca_, padre, quitadas, anadidas, std::nullopt, {}});
        return true;
    } catch (const std::exception&) {
        // The write is stored; the next refresh reads the table instead.
        fresca_ = {};
        huella_.reset();
        return false;
    }
}
