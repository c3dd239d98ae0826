#include "importar/orden_hoja.h"

#include "data/error_datos.h"
#include "data/inventario_nuevo.h"
#include "hojas/lectura/lector_hoja.h"
#include "hojas/lectura_hijo.h"
#include "hojas/plan_hoja.h"
#include "importar/vigilancia.h"

#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace OrdenHoja {

namespace {

void escribir(FILE* f, const QString& texto) {
    const QByteArray b = texto.toUtf8();
    std::fwrite(b.constData(), 1, std::size_t(b.size()), f);
    std::fputc('\n', f);
    std::fflush(f);
}

// The new inventory's temporary file, removed when the process is stopped from outside (Ctrl+C) while it reads.
char temporal_c[4096] = {};

extern "C" void al_parar_hoja(int senal) {
    if (temporal_c[0])
        ::unlink(temporal_c);
    std::signal(senal, SIG_DFL);
    std::raise(senal);
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
        // The rows are planned as they come, with the columns the header row gives, and a new inventory gets
        // each component as soon as its code is known; the plan is made again from the whole sheet, and the
        // file written again, when the end changed what was planned (a merged range, a late cell, a number that
        // turned out to be a date outside the date's column) or the sheet's width changes the columns.
        std::optional<InventarioNuevo> nuevo;
        if (!anadir) {
            nuevo.emplace(destino);
            const QByteArray b = QFile::encodeName(nuevo->temporal());
            if (std::size_t(b.size()) < sizeof temporal_c) {
                std::memcpy(temporal_c, b.constData(), std::size_t(b.size()));
                for (int s : {SIGINT, SIGTERM, SIGHUP})
                    std::signal(s, al_parar_hoja);
            }
        }
        std::optional<PlanHoja::Planificador> planificador;
        MapeoHoja::Mapeo provisional{};
        bool sin_planificador = false;
        std::size_t planeadas = 0;
        std::size_t revisados = 0;
        std::vector<std::size_t> listos;
        std::vector<std::size_t> sin_codigo;
        const auto al_llegar = [&](const ProtocoloHoja::Lectura& l) {
            const std::vector<FilaHoja>& filas = l.datos.filas;
            if (sin_planificador || l.filas_cambiadas || filas.empty())
                return;
            if (!planificador) {
                try {
                    DatosHoja cabecera;
                    cabecera.filas.push_back(filas.front());
                    cabecera.columnas = int(filas.front().celdas.size());
                    provisional = MapeoHoja::aplicar(archivo, PlanHoja::cabeceras(cabecera, archivo.cabecera),
                                                     LectorHoja::columnas_maximas);
                    planificador.emplace(provisional, existente);
                } catch (const ErrorDatos&) {
                    sin_planificador = true;
                    return;
                }
                planeadas = archivo.cabecera ? 1 : 0;
            }
            for (; planeadas < filas.size(); ++planeadas)
                planificador->fila(filas[planeadas]);
            if (!nuevo)
                return;
            listos.clear();
            const std::vector<LoteInventario::Componente>& lista = planificador->componentes();
            for (; revisados < lista.size(); ++revisados)
                (planificador->listo(revisados) ? listos : sin_codigo).push_back(revisados);
            PlanHoja::escribir(*nuevo, lista, listos);
        };
        const ProtocoloHoja::Lectura lectura = LecturaHijo::leer_por_partes(
            Vigilancia::programa_hijo(), origen, {archivo.hoja, archivo.separador, archivo.codificacion}, al_llegar);
        const DatosHoja& datos = lectura.datos;
        const MapeoHoja::Mapeo m =
            MapeoHoja::aplicar(archivo, PlanHoja::cabeceras(datos, archivo.cabecera), datos.columnas);
        const auto fecha_sola = [&] {
            for (std::size_t c = 0; c < lectura.columnas_fecha.size(); ++c)
                if (lectura.columnas_fecha[c] && int(c) != m[MapeoHoja::fecha])
                    return false;
            return true;
        };
        const bool valido = planificador && !lectura.filas_cambiadas && m == provisional && fecha_sola();
        const PlanHoja::Plan plan =
            valido ? planificador->terminar() : PlanHoja::planear(datos, archivo.cabecera, m, existente);
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
        if (anadir) {
            PlanHoja::a_inventario(plan, destino);
        } else if (valido) {
            PlanHoja::escribir(*nuevo, plan.componentes, sin_codigo);
            for (const auto& t : plan.tipos_nuevos)
                nuevo->anadir_tipo(t.codigo, t.nombre);
            for (const auto& t : plan.marcas_nuevas)
                nuevo->anadir_marca(t.codigo, t.nombre);
            nuevo->terminar();
        } else {
            nuevo.reset();
            temporal_c[0] = 0;
            PlanHoja::a_inventario_nuevo(plan, destino);
        }
        escribir(stdout, PlanHoja::texto_resumen(plan, destino));
        const QString d = PlanHoja::detalles(plan);
        if (!d.isEmpty())
            escribir(stdout, d);
        // All is written and said: the process ends without freeing the sheet and the plan row by row.
        std::_Exit(std::fflush(stdout) == 0 ? 0 : 1);
    } catch (const ErrorDatos& e) {
        escribir(stderr, QStringLiteral("ERROR: ") + e.texto());
        return 1;
    }
}

} // namespace OrdenHoja
