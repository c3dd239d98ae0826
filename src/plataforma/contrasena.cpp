#include "plataforma/contrasena.h"

#include "data/motor.h"
#include "data/ubicacion.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <deque>

namespace {

bool modo_prueba = false;
// A null text stands for a cancelled dialog.
std::deque<QString> respuestas;
QList<QString> registro;

} // namespace

namespace Contrasena {

QString pregunta(const QString& base) {
    // The user sees which server asks and for whom before typing anything: a location file someone else planted
    // cannot pass for the user's own server.
    if (const std::optional<Ubicacion::DatosServidor> d = Ubicacion::datos_servidor(base))
        return QStringLiteral("El servidor %1 pide la contraseña del usuario %2 para la base de datos %3 (%4):")
            .arg(d->servidor, d->usuario, d->base, base);
    return QStringLiteral("El servidor pide la contraseña para %1:").arg(base);
}

std::optional<QString> pedir(QWidget* padre, const QString& base) {
    if (modo_prueba) {
        registro << base;
        if (respuestas.empty())
            return std::nullopt;
        const QString r = respuestas.front();
        respuestas.pop_front();
        if (r.isNull())
            return std::nullopt;
        return r;
    }
    QInputDialog dialogo(padre);
    dialogo.setObjectName(QStringLiteral("Contrasena"));
    dialogo.setWindowTitle(titulo);
    dialogo.setLabelText(pregunta(base));
    dialogo.setTextEchoMode(QLineEdit::Password);
    dialogo.setInputMode(QInputDialog::TextInput);
    if (dialogo.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialogo.textValue();
}

void instalar() {
    Servidor::al_pedir_contrasena([](const QString& base) { return pedir(QApplication::activeWindow(), base); });
}

void activar_modo_prueba() {
    modo_prueba = true;
    respuestas.clear();
    registro.clear();
}

void responder(std::optional<QString> respuesta) {
    respuestas.push_back(respuesta ? *respuesta : QString());
}

QList<QString> pedidas() {
    QList<QString> r = registro;
    registro.clear();
    return r;
}

} // namespace Contrasena
