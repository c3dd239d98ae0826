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

std::optional<Guardado> guardar_archivo(QWidget* padre, const Guardar& peticion) {
    // The ending a filter such as "Texto CSV (*.csv)" gives to a file name; none for "Todos los archivos (*)".
    const auto terminacion = [](const QString& f) {
        const qsizetype inicio = f.lastIndexOf(QLatin1String("(*."));
        return inicio < 0 ? QString() : f.mid(inicio + 3).chopped(1);
    };
    if (prueba().activo) {
        prueba().ultima_propuesta = peticion.propuesta;
        std::optional<Guardado> eleccion;
        siguiente(prueba().guardados, eleccion);
        if (eleccion) {
            eleccion->filtro = peticion.filtros.value(0);
            for (const QString& f : peticion.filtros)
                if (!terminacion(f).isEmpty() &&
                    eleccion->ruta.endsWith(QLatin1Char('.') + terminacion(f), Qt::CaseInsensitive))
                    eleccion->filtro = f;
            eleccion->reemplazo_confirmado = eleccion->reemplazo_confirmado && peticion.confirmar_reemplazo;
        }
        return eleccion;
    }
    QFileDialog dialogo(padre, peticion.titulo);
    dialogo.setAcceptMode(QFileDialog::AcceptSave);
    dialogo.setFileMode(QFileDialog::AnyFile);
    dialogo.setOption(QFileDialog::DontConfirmOverwrite, !peticion.confirmar_reemplazo);
    dialogo.setNameFilters(peticion.filtros);
    dialogo.setDefaultSuffix(terminacion(peticion.filtros.value(0)));
    if (!peticion.propuesta.isEmpty()) {
        const QFileInfo propuesta(peticion.propuesta);
        dialogo.setDirectory(propuesta.absolutePath());
        dialogo.selectFile(propuesta.fileName());
    }
    // The dialog itself changes the ending of the name in it when another filter is chosen; a name typed without
    // one takes the chosen filter's.
    QObject::connect(&dialogo, &QFileDialog::filterSelected, &dialogo,
                     [&](const QString& f) { dialogo.setDefaultSuffix(terminacion(f)); });
    if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty())
        return std::nullopt;
    const QString elegido = dialogo.selectedFiles().constFirst();
    // A dialog that asks has already asked about a file that exists, and only comes back when the user agreed.
    return Guardado{elegido, dialogo.selectedNameFilter(), peticion.confirmar_reemplazo && QFileInfo::exists(elegido)};
}

std::optional<QString> elegir_archivo(QWidget* padre, const QString& titulo, const QString& filtro,
                                      const QString& propuesto) {
    if (prueba().activo) {
        std::optional<QString> eleccion;
        siguiente(prueba().archivos, eleccion);
        return eleccion;
    }
    const QString elegido = QFileDialog::getOpenFileName(padre, titulo, propuesto, filtro);
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
        prueba().guardados.push_back(Guardado{*ruta, QString(), confirma_reemplazo});
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
