#include "plataforma/dialogos_sistema.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <deque>

namespace {

struct Prueba {
    bool activo = false;
    std::deque<std::optional<QString>> archivos;
    std::deque<std::function<void(QPrinter&)>> impresoras;
    int inesperados = 0;
};

Prueba& prueba() {
    static Prueba p;
    return p;
}

} // namespace

namespace DialogosSistema {

QString abrir_archivo(QWidget* padre, const QString& nombre_actual) {
    if (prueba().activo) {
        if (prueba().archivos.empty()) {
            ++prueba().inesperados;
            return nombre_actual;
        }
        const std::optional<QString> eleccion = prueba().archivos.front();
        prueba().archivos.pop_front();
        return eleccion.value_or(nombre_actual);
    }
    const QString elegido = QFileDialog::getOpenFileName(padre);
    return elegido.isEmpty() ? nombre_actual : elegido;
}

std::optional<QString> elegir_archivo(QWidget* padre, const QString& titulo, const QString& filtro,
                                      const QString& propuesto, bool guardar) {
    if (prueba().activo) {
        if (prueba().archivos.empty()) {
            ++prueba().inesperados;
            return std::nullopt;
        }
        const std::optional<QString> eleccion = prueba().archivos.front();
        prueba().archivos.pop_front();
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
        if (prueba().impresoras.empty()) {
            ++prueba().inesperados;
            return false;
        }
        const auto eleccion = prueba().impresoras.front();
        prueba().impresoras.pop_front();
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
void proxima_impresora(std::function<void(QPrinter&)> eleccion) {
    prueba().impresoras.push_back(std::move(eleccion));
}
int sin_usar() {
    return static_cast<int>(prueba().archivos.size() + prueba().impresoras.size());
}
int inesperados() {
    return prueba().inesperados;
}

void reiniciar() {
    prueba().archivos.clear();
    prueba().impresoras.clear();
    prueba().inesperados = 0;
}

} // namespace DialogosSistema
