#pragma once

#include <QString>
#include <stdexcept>

// A failure the program reports to the user (of the database file, the location file or the printer), told in the
// user's words. The data layer never shows it: the window that ran the operation turns it into an "ERROR: " message
// at the edge of its event handler.
class ErrorDatos : public std::runtime_error {
public:
    explicit ErrorDatos(const QString& texto) : std::runtime_error(texto.toStdString()), texto_(texto) {}
    const QString& texto() const { return texto_; }

private:
    QString texto_;
};
