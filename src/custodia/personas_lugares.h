#pragma once

#include "data/custodia.h"
#include "plataforma/ventana_fija.h"

#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The people and the places of the inventory, in one window: a list of each, the fields of the selected one, and
// the buttons that add it, change it, or delete it when nothing refers to it. Places nest: a place may stand inside
// another ("Edificio A > Planta 2 > Sala 204").
class PersonasLugares : public VentanaFija {
    Q_OBJECT
public:
    explicit PersonasLugares(QWidget* padre = nullptr);
    ~PersonasLugares() override;

    // Reads the lists again; the fields keep what they hold.
    void llenar();

    void anadir_persona();
    void cambiar_persona();
    void borrar_persona();
    void anadir_lugar();
    void cambiar_lugar();
    void borrar_lugar();

    QTreeWidget* ListaPersonas = nullptr;
    QLineEdit* TextNombre = nullptr;
    QLineEdit* TextDepartamento = nullptr;
    QLineEdit* TextContacto = nullptr;
    QPushButton* CmdAnadirPersona = nullptr;
    QPushButton* CmdCambiarPersona = nullptr;
    QPushButton* CmdBorrarPersona = nullptr;

    QTreeWidget* ListaLugares = nullptr;
    QLineEdit* TextLugar = nullptr;
    QComboBox* ComboDentro = nullptr;
    QPushButton* CmdAnadirLugar = nullptr;
    QPushButton* CmdCambiarLugar = nullptr;
    QPushButton* CmdBorrarLugar = nullptr;
    QPushButton* CmdCerrar = nullptr;

private:
    void disenar();
    std::optional<qint64> persona_elegida() const;
    std::optional<qint64> lugar_elegido() const;
    std::optional<qint64> dentro_elegido() const;
    void persona_a_campos();
    void lugar_a_campos();
    // Runs a write; on success the lists are read again, keeping the selection.
    template <class F> void escribir(F&& escritura);

    std::shared_ptr<const Custodia::Estado> estado_;
};
