#pragma once

#include "data/custodia.h"
#include "plataforma/ventana_fija.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Both windows' date field shows today when they open, and today again on a double click, as the card's purchase
// date does.

// Hands one component out to a person, to a place, or both. When the component is already out, the window says to
// whom and offers the transfer, which closes that hand-out and opens the new one in the same write.
class Entregar : public VentanaFija {
    Q_OBJECT
public:
    // `componente` is what the window shows of it (its code, type, brand and model).
    Entregar(qint64 elemento, const QString& componente, std::shared_ptr<const Custodia::Estado> estado,
             QWidget* padre = nullptr);
    ~Entregar() override;

    void aceptar();

    QLabel* LabelComponente = nullptr;
    QLabel* LabelActual = nullptr;
    QComboBox* ComboPersona = nullptr;
    QComboBox* ComboLugar = nullptr;
    QLineEdit* TextFecha = nullptr;
    QLineEdit* TextNota = nullptr;
    QCheckBox* CheckTraspaso = nullptr;
    QPushButton* Command1 = nullptr; // Aceptar
    QPushButton* Command2 = nullptr; // Cancelar

private:
    qint64 elemento_;
    std::shared_ptr<const Custodia::Estado> estado_;
};

// Takes a handed-out component back: the date, its state on return and a note.
class Devolver : public VentanaFija {
    Q_OBJECT
public:
    Devolver(qint64 elemento, const QString& componente, std::shared_ptr<const Custodia::Estado> estado,
             QWidget* padre = nullptr);
    ~Devolver() override;

    void aceptar();

    QLabel* LabelComponente = nullptr;
    QLabel* LabelActual = nullptr;
    QLineEdit* TextFecha = nullptr;
    QComboBox* ComboEstado = nullptr;
    QLineEdit* TextNota = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

private:
    qint64 elemento_;
    std::shared_ptr<const Custodia::Estado> estado_;
};

namespace Custodia {
// The people of `estado` by name, then the places by their full path, as the pickers offer them (code as data).
void llenar_personas(QComboBox* combo, const Estado& estado);
void llenar_lugares(QComboBox* combo, const Estado& estado);
} // namespace Custodia
