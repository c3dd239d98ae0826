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
        // The rows are planned as they come, with the columns the header row gives, and none is kept; a new
        // inventory gets each component as soon as its code is known. When the end changes what was planned (a
        // merged range, a late cell, a number that turned out to be a date outside the date's column) or the
        // sheet's width changes the columns, the sheet is read again, whole, planned from it and written anew.
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
        // The first row, which holds the headers when the sheet has them.
        std::optional<FilaHoja> primera;
        std::size_t revisados = 0;
        std::vector<std::size_t> listos;
        std::vector<std::size_t> sin_codigo;
        const auto escribir_listos = [&] {
            listos.clear();
            const std::vector<LoteInventario::Componente>& lista = planificador->componentes();
            for (; revisados < lista.size(); ++revisados)
                (planificador->listo(revisados) ? listos : sin_codigo).push_back(revisados);
            PlanHoja::escribir(*nuevo, lista, listos);
        };
        const auto cabeceras = [&](int columnas) {
            DatosHoja d;
            if (primera)
                d.filas.push_back(*primera);
            d.columnas = columnas;
            return PlanHoja::cabeceras(d, archivo.cabecera);
        };
        const auto al_recibir = [&](FilaHoja&& f) {
            if (sin_planificador)
                return;
            if (!primera) {
                primera = f;
                try {
                    provisional =
                        MapeoHoja::aplicar(archivo, cabeceras(int(f.celdas.size())), LectorHoja::columnas_maximas);
                    planificador.emplace(provisional, existente);
                } catch (const ErrorDatos&) {
                    sin_planificador = true;
                    return;
                }
                if (archivo.cabecera)
                    return;
            }
            planificador->fila(f);
            if (nuevo && planificador->componentes().size() - revisados >= 512)
                escribir_listos();
        };
        const LecturaHijo::Opciones opciones{archivo.hoja, archivo.separador, archivo.codificacion};
        const ProtocoloHoja::Lectura lectura =
            LecturaHijo::leer_por_filas(Vigilancia::programa_hijo(), origen, opciones, al_recibir);
        const MapeoHoja::Mapeo m =
            MapeoHoja::aplicar(archivo, cabeceras(lectura.datos.columnas), lectura.datos.columnas);
        PlanHoja::exigir_columnas(m);
        const auto fecha_sola = [&] {
            for (std::size_t c = 0; c < lectura.columnas_fecha.size(); ++c)
                if (lectura.columnas_fecha[c] && int(c) != m[MapeoHoja::fecha])
                    return false;
            return true;
        };
        const bool valido = planificador && !lectura.filas_cambiadas && m == provisional && fecha_sola();
        // Otherwise the sheet is read again, whole, and planned as the window plans it.
        std::optional<PlanHoja::Plan> plan;
        if (valido) {
            plan = planificador->terminar();
        } else {
            planificador.reset();
            const std::optional<DatosHoja> datos = LecturaHijo::leer(Vigilancia::programa_hijo(), origen, opciones);
            plan = PlanHoja::planear(
                *datos, archivo.cabecera,
                MapeoHoja::aplicar(archivo, PlanHoja::cabeceras(*datos, archivo.cabecera), datos->columnas), existente);
        }
        if (!crear && (!plan->tipos_nuevos.empty() || !plan->marcas_nuevas.empty())) {
            QStringList nombres;
            for (const auto& t : plan->tipos_nuevos)
                nombres << QStringLiteral("tipo %1").arg(t.nombre);
            for (const auto& t : plan->marcas_nuevas)
                nombres << QStringLiteral("marca %1").arg(t.nombre);
            throw ErrorDatos(QStringLiteral("el inventario no tiene %1. Añádalos o use --crear-nombres. No se ha "
                                            "importado nada.")
                                 .arg(nombres.join(QStringLiteral(", "))));
        }
        if (anadir) {
            PlanHoja::a_inventario(*plan, destino);
        } else if (valido) {
            std::vector<std::size_t> resto = sin_codigo;
            for (std::size_t i = revisados; i < plan->componentes.size(); ++i)
                resto.push_back(i);
            PlanHoja::escribir(*nuevo, plan->componentes, resto);
            for (const auto& t : plan->tipos_nuevos)
                nuevo->anadir_tipo(t.codigo, t.nombre);
            for (const auto& t : plan->marcas_nuevas)
                nuevo->anadir_marca(t.codigo, t.nombre);
            nuevo->terminar();
        } else {
            nuevo.reset();
            temporal_c[0] = 0;
            PlanHoja::a_inventario_nuevo(*plan, destino);
        }
        escribir(stdout, PlanHoja::texto_resumen(*plan, destino));
        const QString d = PlanHoja::detalles(*plan);
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
