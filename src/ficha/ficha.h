#pragma once

#include "data/origen_datos.h"

#include "plataforma/ventana_fija.h"
#include <QString>
#include <array>
#include <vector>

// The texts of `Module1::accion_ficha` that choose the card's mode.
namespace ModoFicha {
inline const QString consultar = QStringLiteral("Consultar");
inline const QString modificar = QStringLiteral("Modificar");
inline const QString anadir = QStringLiteral("Anadir");
} // namespace ModoFicha

class DBCombo;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The record card: one component of the inventory, consulted, modified or entered anew. The mode is read from
// `Module1::accion_ficha` while the card loads; consult and modify show the component whose code the main window's
// list has selected. The card is created for one showing and loads from its constructor; when the load fails
// (the component is gone, the file cannot be read) it has told the user why and `exec` returns at once.
class Ficha : public VentanaFija {
    Q_OBJECT
public:
    // One field per column of Elemento.
    static constexpr int campos = 9;
    // The characters the user may type into a field; a text the file already holds is shown whole, however long.
    static constexpr int caracteres_por_campo = 100000;

    Ficha(QWidget* padre, const QString& codigo_seleccionado);
    ~Ficha() override;

    int exec() override;
    // The load found nothing to show and told the user why: the card closes without being shown.
    bool cerrada_al_cargar() const { return cerrada_al_cargar_; }
    // The file could not be read when the card loaded (the user has been told why).
    bool fallo_al_cargar() const { return fallo_al_cargar_; }

    // Loading and the three modes.
    void Form_Load();
    void accion_consultar();
    void accion_modificar();
    void accion_anadir();
    void edicion_registro(bool habilitar);

    // The two buttons and the date shortcut.
    void Command1_Click();
    void Command2_Click();
    void Text6_DblClick();

    // Checks made by "Aceptar": empty fields, then what the file could not hold.
    void comprobar_errores(bool& hay_errores);
    void comprobar_valores(bool& hay_errores);

    // Loading a component and storing one.
    bool buscar_registro();
    void extraer_registro();
    void actualizar_registro();
    void anadir_registro();
    void poner_nuevo_numero_registro();
    void configurar_datas_dbcombo();

    OrigenDatos Data1; // Elemento
    OrigenDatos Data2; // Tipo
    OrigenDatos Data3; // Marca

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

public Q_SLOTS:
    void done(int resultado) override;

private:
    void disenar();
    // Writes into Data1's pending row the fields the user changed (all of them for a new component) and stores it.
    void guardar_registro();
    // The text box of the field of `columna` (the edit area of a list or picker).
    QLineEdit* edicion(int columna) const;
    // Every field's length limit, told when the user types past it.
    void limitar_campos();
    // The field of `columna` takes `texto` whole.
    void dar_cabida(int columna, const QString& texto);
    // What the field of `columna` holds: its text, or the bound value of a picker.
    QString texto_campo(int columna) const;
    // Keeps what the fields show once the component is loaded, to tell later what the user changed.
    void recordar_cargados();
    bool cambiado(int columna) const;
    // Another row of Data1 than the component's own already holds `codigo`.
    bool codigo_ocupado(qint64 codigo) const;
    // A retired component keeps its code.
    bool codigo_dado_de_baja(qint64 codigo) const;
    // Asks before storing a serial number that another component already has; true when the card may store.
    bool confirmar_numero_serie();

    const QString codigo_seleccionado_;
    // The mode as read at load.
    QString accion_;
    bool cerrada_al_cargar_ = false;
    bool fallo_al_cargar_ = false;
    std::array<QString, campos> cargados_;
    // The codes of the retired components, read at load, ascending.
    std::vector<qint64> bajas_;

    QLineEdit* Text1 = nullptr;
    DBCombo* DBCombo1 = nullptr;
    DBCombo* DBCombo2 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLineEdit* Text6 = nullptr;
    QComboBox* Combo2 = nullptr;
    QLineEdit* Text8 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
