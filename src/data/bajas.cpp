// Retiring a component and putting it back, written once for both engines: the archive row, the component's row
// and its hand-outs change in one transaction, and the history records it (on a server, its triggers).
#include "data/bajas.h"

#include "data/custodia_interno.h"
#include "data/error_datos.h"
#include "data/historial.h"

namespace Bajas {

namespace {

using Custodia::FilaTexto;
using Custodia::Sesion;

QVariant num(qint64 v) {
    return QVariant::fromValue<qlonglong>(v);
}

constexpr const char* columnas = "Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, Descripcion, Renting";

// A row the history records on a file, read before and after the write (a server's triggers record their own).
void anotar(Sesion& s, const char* tabla, qint64 codigo, qint64 registro, const char* cambio,
            const std::optional<FilaTexto>& antes) {
    if (!s.servidor())
        s.anotar(tabla, registro, cambio, antes, s.fila(tabla, codigo));
}

std::optional<FilaTexto> fila(Sesion& s, const char* tabla, qint64 codigo) {
    return s.servidor() ? std::nullopt : s.fila(tabla, codigo);
}

} // namespace

const std::vector<QString>& motivos() {
    static const std::vector<QString> todos{
        QStringLiteral("vendido"), QStringLiteral("donado"), QStringLiteral("desechado"),
        QStringLiteral("perdido"), QStringLiteral("robado"), QStringLiteral("devuelto al proveedor"),
        QStringLiteral("otro")};
    return todos;
}

void dar_de_baja(const QString& base, const DatosBaja& d) {
    Custodia::con_sesion(base, true, [&](Sesion& s) { dar_de_baja_en(s, d); });
}

void dar_de_baja_en(Sesion& s, const DatosBaja& d) {
    if (!d.fecha.isValid())
        throw ErrorDatos(QStringLiteral("la fecha de baja no es válida."));
    const QString motivo = d.motivo.simplified();
    if (motivo.isEmpty())
        throw ErrorDatos(QStringLiteral("indique el motivo de la baja."));
    {
        s.turno("Entrega");
        s.turno("Baja");
        const QVariant codigo = num(d.codigo);
        if (s.filas(QStringLiteral("SELECT 1 FROM Elemento WHERE Codigo = $1"), {codigo}).empty())
            throw ErrorDatos(QStringLiteral("el componente %1 ya no está en la base de datos.").arg(d.codigo));
        if (!s.filas(QStringLiteral("SELECT 1 FROM Entrega WHERE Elemento = $1 AND Hasta IS NULL"), {codigo}).empty())
            throw ErrorDatos(QStringLiteral("el componente %1 está entregado; devuélvalo antes de darlo de baja.")
                                 .arg(d.codigo));
        // A code already in the archive was left by another program that gave it to a new component.
        if (!s.filas(QStringLiteral("SELECT 1 FROM Baja WHERE Codigo = $1"), {codigo}).empty())
            throw ErrorDatos(QStringLiteral("ya hay un componente dado de baja con el código %1.").arg(d.codigo));
        const QString fecha = s.servidor() ? QStringLiteral("$2::date") : QStringLiteral("$2");
        s.orden(QStringLiteral("INSERT INTO Baja (%1, FechaBaja, Motivo, Nota) SELECT %1, %2, $3, $4 FROM Elemento "
                               "WHERE Codigo = $1")
                    .arg(QLatin1String(columnas), fecha),
                {codigo, d.fecha.toString(Qt::ISODate), motivo, d.nota.trimmed()});
        // The returned hand-outs go with the component, as when it is deleted; the history keeps them.
        std::vector<qint64> entregas;
        s.enteros(
            QStringLiteral("SELECT Codigo FROM Entrega WHERE Elemento = $1"), 1,
            [&](const qint64* v) { entregas.push_back(v[0]); }, {codigo});
        for (qint64 entrega : entregas) {
            const std::optional<FilaTexto> antes = fila(s, "Entrega", entrega);
            s.orden(QStringLiteral("DELETE FROM Entrega WHERE Codigo = $1"), {num(entrega)});
            anotar(s, "Entrega", entrega, d.codigo, Historial::Cambio::borrado, antes);
        }
        const std::optional<FilaTexto> antes = fila(s, "Elemento", d.codigo);
        if (s.orden(QStringLiteral("DELETE FROM Elemento WHERE Codigo = $1"), {codigo}) != 1)
            throw ErrorDatos(QStringLiteral("el componente %1 ya no está en la base de datos.").arg(d.codigo));
        anotar(s, "Elemento", d.codigo, d.codigo, Historial::Cambio::baja, antes);
    }
}

std::vector<Baja> leer(const QString& base) {
    std::vector<Baja> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (!s.con_tablas())
            return;
        for (const FilaTexto& f : s.filas(QStringLiteral(
                 "SELECT b.Codigo, NULL, NULL, b.Modelo, b.NumSerie, b.Fecha, b.Garantia, b.Descripcion, b.Renting, "
                 "(SELECT t.Nombre FROM Tipo t WHERE t.Codigo = b.Tipo LIMIT 1), (SELECT m.Nombre FROM Marca m WHERE "
                 "m.Codigo = b.Marca LIMIT 1), b.FechaBaja, b.Motivo, b.Nota FROM Baja b ORDER BY b.FechaBaja DESC, "
                 "b.Codigo")))
            resultado.push_back({Custodia::linea_de(f), QDate::fromString(f[11].value_or(QString()).left(10), Qt::ISODate),
                                 f[12].value_or(QString()), f[13].value_or(QString())});
    });
    return resultado;
}

void recuperar(const QString& base, qint64 codigo_baja) {
    Custodia::con_sesion(base, true, [&](Sesion& s) {
        s.turno("Baja");
        const QVariant codigo = num(codigo_baja);
        const std::vector<FilaTexto> baja =
            s.filas(QStringLiteral("SELECT Tipo, Marca FROM Baja WHERE Codigo = $1"), {codigo});
        if (baja.empty())
            throw ErrorDatos(QStringLiteral("el componente %1 ya no está entre las bajas: otro usuario lo ha "
                                            "recuperado.")
                                 .arg(codigo_baja));
        if (!s.filas(QStringLiteral("SELECT 1 FROM Elemento WHERE Codigo = $1"), {codigo}).empty())
            throw ErrorDatos(QStringLiteral("no se puede recuperar el componente %1: otro componente tiene ahora ese "
                                            "código.")
                                 .arg(codigo_baja));
        for (const auto& [tabla, valor] : {std::pair{"Tipo", baja[0][0]}, std::pair{"Marca", baja[0][1]}})
            if (s.filas(QStringLiteral("SELECT 1 FROM %1 WHERE Codigo = $1").arg(QLatin1String(tabla)),
                        {num(valor.value_or(QString()).toLongLong())})
                    .empty())
                throw ErrorDatos(QStringLiteral("no se puede recuperar el componente %1: su tipo o su marca ya no está "
                                                "en la base de datos.")
                                     .arg(codigo_baja));
        // Put back while its archive row is still there: that is how a server's history tells a restoring.
        try {
            s.orden(QStringLiteral("INSERT INTO Elemento (%1) SELECT %1 FROM Baja WHERE Codigo = $1")
                        .arg(QLatin1String(columnas)),
                    {codigo});
        } catch (const Custodia::Duplicado&) {
            throw ErrorDatos(QStringLiteral("no se puede recuperar el componente %1: otro componente tiene ahora ese "
                                            "código.")
                                 .arg(codigo_baja));
        }
        anotar(s, "Elemento", codigo_baja, codigo_baja, Historial::Cambio::recuperacion, std::nullopt);
        s.orden(QStringLiteral("DELETE FROM Baja WHERE Codigo = $1"), {codigo});
    });
}

std::vector<qint64> codigos(const QString& base) {
    std::vector<qint64> resultado;
    Custodia::con_sesion(base, false, [&](Sesion& s) {
        if (s.con_tablas())
            s.enteros(
                QStringLiteral("SELECT Codigo FROM Baja ORDER BY Codigo"), 1,
                [&](const qint64* v) { resultado.push_back(v[0]); });
    });
    return resultado;
}

} // namespace Bajas
