#include "plataforma/dialogos_sistema.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <deque>

namespace {

struct Prueba {
    bool activo = false;
    std::deque<std::optional<QString>> archivos;
    std::deque<std::function<void(QPrinter&)>> impresoras;
    std::deque<std::optional<DialogosSistema::Guardado>> guardados;
    QString ultima_propuesta;
    int inesperados = 0;
};

Prueba& prueba() {
    static Prueba p;
    return p;
}

// Takes the next choice a test queued for a dialog into `eleccion`; false, and one more dialog nobody expected, when
// none is left.
template <class T> bool siguiente(std::deque<T>& cola, T& eleccion) {
    if (cola.empty()) {
        ++prueba().inesperados;
        return false;
    }
    eleccion = std::move(cola.front());
    cola.pop_front();
    return true;
}

} // namespace

namespace DialogosSistema {

QString abrir_archivo(QWidget* padre, const QString& nombre_actual) {
    if (prueba().activo) {
        std::optional<QString> eleccion;
        siguiente(prueba().archivos, eleccion);
        return eleccion.value_or(nombre_actual);
    }
    const QString elegido = QFileDialog::getOpenFileName(padre);
    return elegido.isEmpty() ? nombre_actual : elegido;
}

std::optional<Guardado> guardar_archivo(QWidget* padre, const QString& titulo, const QString& propuesta,
                                        const QString& filtro) {
    if (prueba().activo) {
        prueba().ultima_propuesta = propuesta;
        std::optional<Guardado> eleccion;
        siguiente(prueba().guardados, eleccion);
        return eleccion;
    }
    const QString elegido = QFileDialog::getSaveFileName(padre, titulo, propuesta, filtro);
    if (elegido.isEmpty())
        return std::nullopt;
    // The dialog has already asked about a file that exists, and only comes back when the user agreed.
    return Guardado{elegido, QFileInfo::exists(elegido)};
}

std::optional<QString> guardar_archivo(QWidget* padre, const QString& titulo, const QStringList& filtros,
                                       QString* filtro) {
    // The ending a filter such as "Texto CSV (*.csv)" gives to a file name.
    const auto terminacion = [](const QString& f) {
        const qsizetype inicio = f.lastIndexOf(QLatin1String("(*."));
        return inicio < 0 ? QString() : f.mid(inicio + 3).chopped(1);
    };
    if (prueba().activo) {
        std::optional<QString> eleccion;
        siguiente(prueba().archivos, eleccion);
        if (eleccion && filtro) {
            *filtro = filtros.value(0);
            for (const QString& f : filtros)
                if (eleccion->endsWith(QLatin1Char('.') + terminacion(f), Qt::CaseInsensitive))
                    *filtro = f;
        }
        return eleccion;
    }
    QFileDialog dialogo(padre, titulo);
    dialogo.setAcceptMode(QFileDialog::AcceptSave);
    dialogo.setFileMode(QFileDialog::AnyFile);
    dialogo.setNameFilters(filtros);
    dialogo.setDefaultSuffix(terminacion(filtros.value(0)));
    QObject::connect(&dialogo, &QFileDialog::filterSelected, &dialogo,
                     [&](const QString& f) { dialogo.setDefaultSuffix(terminacion(f)); });
    if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty())
        return std::nullopt;
    if (filtro)
        *filtro = dialogo.selectedNameFilter();
    return dialogo.selectedFiles().constFirst();
}

std::optional<QString> elegir_archivo(QWidget* padre, const QString& titulo, const QString& filtro,
                                      const QString& propuesto, bool guardar) {
    if (prueba().activo) {
        std::optional<QString> eleccion;
        siguiente(prueba().archivos, eleccion);
        return eleccion;
    }
    const QString elegido = guardar ? QFileDialog::getSaveFileName(padre, titulo, propuesto, filtro, nullptr,
                                                                   QFileDialog::DontConfirmOverwrite)
                                    : QFileDialog::getOpenFileName(padre, titulo, propuesto, filtro);
    if (elegido.isEmpty())
        return std::nullopt;
    return elegido;
}

bool configurar_impresora(QWidget* padre, QPrinter& impresora) {
    if (prueba().activo) {
        std::function<void(QPrinter&)> eleccion;
        siguiente(prueba().impresoras, eleccion);
        if (!eleccion)
            return false;
        eleccion(impresora);
        return true;
    }
    QPrintDialog dialogo(&impresora, padre);
    return dialogo.exec() == QDialog::Accepted;
}

void activar_modo_prueba() {
    prueba().activo = true;
}
void proximo_archivo(std::optional<QString> ruta) {
    prueba().archivos.push_back(std::move(ruta));
}
void proximo_guardado(std::optional<QString> ruta, bool confirma_reemplazo) {
    if (ruta)
        prueba().guardados.push_back(Guardado{*ruta, confirma_reemplazo});
    else
        prueba().guardados.push_back(std::nullopt);
}
QString ultima_propuesta() {
    return prueba().ultima_propuesta;
}
void proxima_impresora(std::function<void(QPrinter&)> eleccion) {
    prueba().impresoras.push_back(std::move(eleccion));
}
int sin_usar() {
    return static_cast<int>(prueba().archivos.size() + prueba().impresoras.size() + prueba().guardados.size());
}
int inesperados() {
    return prueba().inesperados;
}

void reiniciar() {
    prueba().archivos.clear();
    prueba().impresoras.clear();
    prueba().guardados.clear();
    prueba().ultima_propuesta.clear();
    prueba().inesperados = 0;
}

} // namespace DialogosSistema
