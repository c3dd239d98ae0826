#include "data/lote_inventario.h"

#include "data/conexion.h"
#include "data/custodia_interno.h"
#include "data/historial.h"
#include "data/error_datos.h"
#include "data/lote_servidor.h"
#include "data/motor.h"

#include <SQLiteCpp/Statement.h>

namespace LoteInventario {

namespace {

Existente leer_en(SQLite::Database& db) {
    Existente e;
    for (auto [tabla, destino] : {std::pair{"SELECT Codigo, Nombre FROM Tipo ORDER BY Codigo", &e.tipos},
                                  std::pair{"SELECT Codigo, Nombre FROM Marca ORDER BY Codigo", &e.marcas}}) {
        SQLite::Statement st(db, tabla);
        while (st.executeStep())
            destino->push_back({st.getColumn(0).getInt64(), QString::fromUtf8(st.getColumn(1).getText())});
    }
    // A retired component's code is taken too: an imported row never gets it.
    const bool bajas = db.tableExists("Baja");
    SQLite::Statement st(db, bajas ? "SELECT Codigo FROM Elemento UNION SELECT Codigo FROM Baja ORDER BY 1"
                                   : "SELECT Codigo FROM Elemento ORDER BY Codigo");
    while (st.executeStep())
        e.codigos.push_back(st.getColumn(0).getInt64());
    return e;
}

QString fallo(const QString& ruta, const std::exception& e) {
    if (const auto* d = dynamic_cast<const ErrorDatos*>(&e))
        return d->texto();
    if (const auto* s = dynamic_cast<const SQLite::Exception*>(&e))
        return QStringLiteral("no se puede escribir en la base de datos %1: %2")
            .arg(ruta, motivo_sqlite(s->getExtendedErrorCode()));
    return QStringLiteral("no se puede escribir en la base de datos %1: %2").arg(ruta, QString::fromUtf8(e.what()));
}

} // namespace

Existente leer(const QString& ruta) {
    if (Motor::es_servidor(ruta))
        return LoteServidor::leer(ruta);
    Conexion c = Conexion::abrir(ruta, Conexion::Modo::lectura);
    try {
        const Conexion::Lectura lectura = c.empezar_lectura();
        return leer_en(c.db());
    } catch (const ErrorDatos&) {
        throw;
    } catch (const std::exception& e) {
        c.fallo_lectura(e);
    }
}

void anadir(const QString& ruta, const Existente& antes, const std::vector<Nombre>& tipos,
            const std::vector<Nombre>& marcas, const std::vector<Componente>& componentes) {
    if (Motor::es_servidor(ruta))
        return LoteServidor::anadir(ruta, antes, tipos, marcas, componentes);
    Conexion c = Conexion::abrir(ruta, Conexion::Modo::escritura);
    try {
        c.ejecutar_en_transaccion([&](SQLite::Database& db) {
            if (!(leer_en(db) == antes))
                throw ErrorDatos(QStringLiteral("el inventario %1 ha cambiado mientras se preparaba la importación; "
                                                "no se ha añadido nada. Vuelva a importar la hoja.")
                                     .arg(ruta));
            // Each new row is recorded in the history as added, in the same transaction.
            Custodia::Archivo::Anotador historial(db, ruta);
            const auto numero = [](qint64 v) { return Custodia::Valor(QString::number(v)); };
            for (auto [tabla, sql, lista] :
                 {std::tuple{"Tipo", "INSERT INTO Tipo (Codigo, Nombre) VALUES (?, ?)", &tipos},
                  std::tuple{"Marca", "INSERT INTO Marca (Codigo, Nombre) VALUES (?, ?)", &marcas}}) {
                SQLite::Statement st(db, sql);
                for (const Nombre& n : *lista) {
                    st.bind(1, static_cast<int64_t>(n.codigo));
                    st.bind(2, n.nombre.toStdString());
                    st.exec();
                    st.reset();
                    historial.anotar(tabla, n.codigo, Historial::Cambio::alta, std::nullopt,
                                     Custodia::FilaTexto{numero(n.codigo), n.nombre});
                }
            }
            SQLite::Statement st(db, "INSERT INTO Elemento (Codigo, Tipo, Marca, Modelo, NumSerie, Fecha, Garantia, "
                                     "Descripcion, Renting) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
            for (const Componente& k : componentes) {
                st.bind(1, static_cast<int64_t>(k.codigo));
                st.bind(2, static_cast<int64_t>(k.tipo));
                st.bind(3, static_cast<int64_t>(k.marca));
                st.bind(4, k.modelo.toStdString());
                st.bind(5, k.num_serie.toStdString());
                if (k.fecha.isValid())
                    st.bind(6, k.fecha.toString(Qt::ISODate).toStdString());
                else
                    st.bind(6);
                st.bind(7, k.garantia);
                st.bind(8, k.descripcion.toStdString());
                st.bind(9, k.renting ? 1 : 0);
                st.exec();
                st.reset();
                // The values as the file gives them back, so every entry of the history reads alike.
                historial.anotar("Elemento", k.codigo, Historial::Cambio::alta, std::nullopt,
                                 Custodia::FilaTexto{numero(k.codigo), numero(k.tipo), numero(k.marca), k.modelo,
                                                     k.num_serie,
                                                     k.fecha.isValid() ? Custodia::Valor(k.fecha.toString(Qt::ISODate))
                                                                       : Custodia::Valor(),
                                                     QString::number(k.garantia, 'g', 15), k.descripcion,
                                                     numero(k.renting ? 1 : 0)});
            }
        });
    } catch (const std::exception& e) {
        throw ErrorDatos(fallo(ruta, e));
    }
}

} // namespace LoteInventario
