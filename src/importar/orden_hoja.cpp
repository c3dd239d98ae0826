#include "importar/orden_hoja.h"

#include "data/error_datos.h"
#include "hojas/lectura_hijo.h"
#include "hojas/plan_hoja.h"
#include "importar/vigilancia.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <cstring>

namespace OrdenHoja {

namespace {

void escribir(FILE* f, const QString& texto) {
    const QByteArray b = texto.toUtf8();
    std::fwrite(b.constData(), 1, std::size_t(b.size()), f);
    std::fputc('\n', f);
    std::fflush(f);
}

const char* const uso = "Uso: talvirenca-importar --hoja ORIGEN --columnas MAPA DESTINO.db [--anadir] "
                        "[--crear-nombres]";

} // namespace

int ejecutar(int argc, char** argv) {
    QString origen, mapa, destino;
    bool anadir = false;
    bool crear = false;
    for (int i = 1; i < argc; ++i) {
        const auto valor = [&](QString& d) {
            if (i + 1 >= argc)
                return false;
            d = QFile::decodeName(argv[++i]);
            return true;
        };
        bool bien = true;
        if (std::strcmp(argv[i], "--hoja") == 0)
            bien = valor(origen);
        else if (std::strcmp(argv[i], "--columnas") == 0)
            bien = valor(mapa);
        else if (std::strcmp(argv[i], "--anadir") == 0)
            anadir = true;
        else if (std::strcmp(argv[i], "--crear-nombres") == 0)
            crear = true;
        else if (destino.isEmpty() && argv[i][0] != '-')
            destino = QFile::decodeName(argv[i]);
        else
            bien = false;
        if (!bien) {
            escribir(stderr, QString::fromUtf8(uso));
            return 2;
        }
    }
    if (origen.isEmpty() || mapa.isEmpty() || destino.isEmpty()) {
        escribir(stderr, QString::fromUtf8(uso));
        return 2;
    }
    int argc_app = 1;
    QCoreApplication app(argc_app, argv);
    try {
        QFile f(mapa);
        if (!f.open(QIODevice::ReadOnly))
            throw ErrorDatos(QStringLiteral("no se puede leer el archivo de columnas %1.").arg(mapa));
        const MapeoHoja::Archivo archivo = MapeoHoja::leer_archivo(QString::fromUtf8(f.readAll()));
        // What the new file must not overwrite, or the inventory to add to, is checked before the sheet is read.
        if (!anadir && (QFile::exists(destino) || QFile(destino).symLinkTarget() != QString()))
            throw ErrorDatos(
                QStringLiteral("no se puede crear la base de datos %1: el archivo ya existe.").arg(destino));
        const LoteInventario::Existente existente =
            anadir ? LoteInventario::leer(destino) : LoteInventario::Existente{};
        const std::optional<DatosHoja> datos = LecturaHijo::leer(
            Vigilancia::programa_hijo(), origen, {archivo.hoja, archivo.separador, archivo.codificacion});
        const QStringList cabeceras = PlanHoja::cabeceras(*datos, archivo.cabecera);
        const MapeoHoja::Mapeo m = MapeoHoja::aplicar(archivo, cabeceras, datos->columnas);
        const PlanHoja::Plan plan = PlanHoja::planear(*datos, archivo.cabecera, m, existente);
        if (!crear && (!plan.tipos_nuevos.empty() || !plan.marcas_nuevas.empty())) {
            QStringList nombres;
            for (const auto& t : plan.tipos_nuevos)
                nombres << QStringLiteral("tipo %1").arg(t.nombre);
            for (const auto& t : plan.marcas_nuevas)
                nombres << QStringLiteral("marca %1").arg(t.nombre);
            throw ErrorDatos(QStringLiteral("el inventario no tiene %1. Añádalos o use --crear-nombres. No se ha "
                                            "importado nada.")
                                 .arg(nombres.join(QStringLiteral(", "))));
        }
        if (anadir)
            PlanHoja::a_inventario(plan, destino);
        else
            PlanHoja::a_inventario_nuevo(plan, destino);
        escribir(stdout, PlanHoja::texto_resumen(plan, destino));
        const QString d = PlanHoja::detalles(plan);
        if (!d.isEmpty())
            escribir(stdout, d);
        return 0;
    } catch (const ErrorDatos& e) {
        escribir(stderr, QStringLiteral("ERROR: ") + e.texto());
        return 1;
    }
}

} // namespace OrdenHoja
