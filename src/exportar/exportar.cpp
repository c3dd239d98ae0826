#include "exportar/exportar.h"

#include "data/custodia.h"
#include "data/valores.h"

#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <memory>

namespace Exportar {

bool exportar(QWidget* padre, const TablaExportar& tabla, const QString& propuesta) {
    const int filas = tabla.filas_exportar();
    if (filas == 0) {
        Mensajes::aviso(padre, lista_vacia);
        return false;
    }
    const std::optional<DialogosSistema::Guardado> eleccion =
        DialogosSistema::guardar_archivo(padre, {titulo_dialogo, {filtro_xlsx, filtro_csv}, propuesta});
    if (!eleccion)
        return false;
    const QString& ruta = eleccion->ruta;
    // A name ending in ".csv" or ".xlsx" says its format; any other takes the chosen filter's.
    const Escritura::Formato formato = Escritura::formato_de_nombre(
        ruta, eleccion->filtro == filtro_csv ? Escritura::Formato::csv : Escritura::Formato::xlsx);

    std::unique_ptr<QProgressDialog> progreso;
    Escritura::Avance avance;
    if (filas >= filas_con_progreso) {
        progreso = std::make_unique<QProgressDialog>(texto_progreso, texto_cancelar, 0, filas, padre);
        progreso->setObjectName(QStringLiteral("ProgresoExportar"));
        progreso->setWindowTitle(titulo_dialogo);
        progreso->setWindowModality(Qt::ApplicationModal);
        progreso->setMinimumDuration(0);
        progreso->setAutoClose(false);
        progreso->setAutoReset(false);
        progreso->show();
        QApplication::processEvents();
        avance = [&progreso](int hechas) {
            progreso->setValue(hechas);
            // The dialog stays responsive also while the file is being finished, at the same value.
            QApplication::processEvents();
            return !progreso->wasCanceled();
        };
    }
    bool escrito = false;
    Mensajes::proteger(padre, [&] { escrito = Escritura::escribir(tabla, formato, ruta, avance); });
    progreso.reset();
    // Told, as a backup is: where the file went and how much it holds.
    if (escrito)
        Mensajes::aviso(padre,
                        (filas == 1 ? exportada_una : exportadas).arg(QDir::toNativeSeparators(ruta)).arg(filas));
    return escrito;
}

QStringList TablaLista::cabeceras_exportar() const {
    QStringList cabeceras;
    for (int c = 0; c < lista_.columnCount(); ++c)
        cabeceras << lista_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    if (custodia_ && !cabeceras.isEmpty())
        cabeceras << QStringLiteral("Lo tiene") << QStringLiteral("Lugar") << QStringLiteral("Desde");
    return cabeceras;
}

ClaseExportar TablaLista::clase_exportar(int columna) const {
    // Codigo and Garantia are numbers, Fecha and the date since a date.
    switch (columna) {
    case 0:
    case 6:
        return ClaseExportar::numero;
    case 5:
    case 11:
        return ClaseExportar::fecha;
    default:
        return ClaseExportar::texto;
    }
}

int TablaLista::filas_exportar() const {
    return lista_.columnCount() == 0 ? 0 : lista_.filas();
}

QString TablaLista::texto_exportar(int fila, int columna) const {
    if (columna < lista_.columnCount())
        return lista_.texto(fila, columna);
    const std::optional<qint64> codigo = Valores::entero_de_texto(lista_.texto(fila, 0));
    if (!custodia_ || !codigo)
        return QString();
    switch (columna - lista_.columnCount()) {
    case 0:
        return custodia_->titular(*codigo);
    case 1:
        return custodia_->ubicacion(*codigo);
    default: {
        const Custodia::Abierta* a = custodia_->abierta(*codigo);
        return a ? Valores::texto_fecha(QDate::fromJulianDay(a->desde)) : QString();
    }
    }
}

} // namespace Exportar
