#pragma once

#include <QList>
#include <QString>
#include <optional>

class QWidget;

// The small dialog that asks for a server's password when the server wants one and none is configured; what is
// typed is never shown. The password is kept in memory for the run only.
namespace Contrasena {

inline const QString titulo = QStringLiteral("Contraseña");
// The question, with the database's name as shown (without any password).
QString pregunta(const QString& base);

// The password typed, or no value when the user cancelled.
std::optional<QString> pedir(QWidget* padre, const QString& base);

// Makes the data layer ask through this dialog.
void instalar();

// Test seam: in test mode no dialog opens; each request takes the next queued answer (none: cancelled) and is
// recorded with the database's name.
void activar_modo_prueba();
void responder(std::optional<QString> respuesta);
QList<QString> pedidas();

} // namespace Contrasena
