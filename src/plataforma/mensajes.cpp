#include "plataforma/mensajes.h"

#include "modulo/module1.h"

#include <QPushButton>
#include <deque>
#include <optional>

namespace {

struct Prueba {
    bool activo = false;
    // No value: Enter, which presses the box's default button.
    std::deque<std::optional<bool>> respuestas;
    QList<Mensajes::Mostrado> mostrados;
    int inesperadas = 0;
};

Prueba& prueba() {
    static Prueba p;
    return p;
}

} // namespace

namespace Mensajes {

std::unique_ptr<QMessageBox> caja_aviso(QWidget* padre, const QString& texto) {
    auto caja = std::make_unique<QMessageBox>(QMessageBox::NoIcon, Programa::titulo, texto, QMessageBox::Ok, padre);
    caja->setTextFormat(Qt::PlainText);
    return caja;
}

std::unique_ptr<QMessageBox> caja_pregunta(QWidget* padre, const QString& titulo, const QString& texto,
                                           Defecto defecto) {
    auto caja =
        std::make_unique<QMessageBox>(QMessageBox::NoIcon, titulo, texto, QMessageBox::Yes | QMessageBox::No, padre);
    caja->setTextFormat(Qt::PlainText);
    caja->setDefaultButton(defecto == Defecto::si ? QMessageBox::Yes : QMessageBox::No);
    return caja;
}

void aviso(QWidget* padre, const QString& texto) {
    if (prueba().activo) {
        prueba().mostrados.append({Programa::titulo, texto, false});
        return;
    }
    caja_aviso(padre, texto)->exec();
}

void aviso_detallado(QWidget* padre, const QString& texto, const QString& detalles) {
    if (prueba().activo) {
        prueba().mostrados.append({Programa::titulo, texto + u'\n' + detalles, false});
        return;
    }
    auto caja = caja_aviso(padre, texto);
    caja->setDetailedText(detalles);
    caja->exec();
}

bool pregunta(QWidget* padre, const QString& titulo, const QString& texto, Defecto defecto) {
    if (prueba().activo) {
        prueba().mostrados.append({titulo, texto, true, defecto == Defecto::no});
        if (prueba().respuestas.empty()) {
            ++prueba().inesperadas;
            return false;
        }
        const std::optional<bool> respuesta = prueba().respuestas.front();
        prueba().respuestas.pop_front();
        return respuesta.value_or(defecto == Defecto::si);
    }
    return caja_pregunta(padre, titulo, texto, defecto)->exec() == QMessageBox::Yes;
}

void activar_modo_prueba() {
    prueba().activo = true;
}
void responder(bool si) {
    prueba().respuestas.push_back(si);
}
void responder_con_intro() {
    prueba().respuestas.push_back(std::nullopt);
}

QList<Mostrado> mostrados() {
    QList<Mostrado> lista;
    lista.swap(prueba().mostrados);
    return lista;
}

int respuestas_sin_usar() {
    return static_cast<int>(prueba().respuestas.size());
}
int preguntas_inesperadas() {
    return prueba().inesperadas;
}

void reiniciar() {
    prueba().respuestas.clear();
    prueba().mostrados.clear();
    prueba().inesperadas = 0;
}

} // namespace Mensajes
