#pragma once

#include "etiquetas/dibujo.h"
#include "etiquetas/formato.h"
#include "plataforma/ventana_fija.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The labels window: which components (every one the main list shows, or the selected one), the layout, where a
// sheet already partly used starts, and the user's own line. "Imprimir..." shows the labels in a preview, from
// which they go to the printer chosen for the list (a PDF file included). The layout and the user's line are
// remembered for the next time.
class Etiquetas : public VentanaFija {
    Q_OBJECT
public:
    // `lista`: the labels of the list's lines, in their order; `seleccionada`: the selected line, or -1.
    Etiquetas(QWidget* padre, QPrinter& impresora, Tanda lista, int seleccionada);
    ~Etiquetas() override;

    // What "Imprimir..." would print now.
    Tanda elegidas() const;
    const Formato& formato_elegido() const;
    // The position of the first label on the first sheet, 0 for the top left one.
    int inicio() const;
    QString linea() const;

    void cmdImprimir_Click();

private:
    void disenar();
    void formato_cambiado();
    // Shows the labels and prints them from there when the user asks; the dialog's result.
    int vista_previa();
    void leer_ajustes();
    void guardar_ajustes() const;
    // Paints the labels for the preview or for the printer, under a progress dialog whose cancel stops the print.
    void pintar(QPrinter* destino);

    QPrinter& impresora_;
    const Tanda lista_;
    const int seleccionada_;
    // Whether the last painting of the labels (a preview or a print) painted them all.
    bool ultima_completa_ = false;

    QComboBox* cboFormato = nullptr;
    QSpinBox* spnInicio = nullptr;
    QRadioButton* optTodos = nullptr;
    QRadioButton* optSeleccionado = nullptr;
    QLineEdit* txtLinea = nullptr;
    // Each label carries who has its component, or where it is, as a line of its own.
    QCheckBox* chkTitular = nullptr;
    QPushButton* cmdImprimir = nullptr;
    QPushButton* cmdCancelar = nullptr;
};
