#pragma once

#include "hojas/celda_hoja.h"
#include "hojas/lectura_hijo.h"
#include "hojas/mapeo_hoja.h"
#include "hojas/plan_hoja.h"
#include "plataforma/ventana_fija.h"

#include <QString>
#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;

// "Importar hoja de cálculo": asks for the file (XLSX, ODS, CSV or XLS), which the command talvirenca-importar reads
// in a child process; then, in this window, the sheet, whether the first row holds the headers, what was detected
// in a CSV file, and which column fills each field, proposed from the headers or remembered from the last import
// of a sheet with the same headers. The check step tells what will be added and lists every row that needed a
// decision or is left out, before anything is written, into the inventory in use (one transaction) or into a new
// inventory file. A cancel at any step leaves everything as it was.
class ImportarHoja : public VentanaFija {
    Q_OBJECT
public:
    explicit ImportarHoja(QWidget* padre = nullptr);

    // The whole command. The new inventory's path when the user chose to use it now.
    std::optional<QString> ejecutar();
    // Rows were added to the inventory in use: the main window shows them.
    bool anadido_en_uso() const { return anadido_en_uso_; }

    // "Siguiente": from the columns to the check.
    void Command1_Click();
    // "Importar".
    void Command2_Click();
    // "Atrás": back to the columns.
    void Command3_Click();
    // "Cancelar": nothing is written.
    void Command4_Click();

private:
    void disenar();
    // Reads the file with the sheet, separator and encoding chosen; false (and the user told) when it fails.
    bool leer();
    void mostrar_datos();
    void llenar_columnas();
    MapeoHoja::Mapeo mapeo() const;
    QStringList cabeceras() const;
    void comprobar();
    bool es_csv() const { return !datos_.separador.isEmpty(); }

    QLabel* Label2 = nullptr;    // the file
    QComboBox* Combo1 = nullptr; // sheet
    QComboBox* Combo2 = nullptr; // separator
    QComboBox* Combo3 = nullptr; // encoding
    QLabel* Label6 = nullptr;    // what was detected
    QCheckBox* Check1 = nullptr;
    QTableWidget* Grid1 = nullptr;
    std::array<QComboBox*, MapeoHoja::numero_campos> campos_{};
    QLabel* Label7 = nullptr;        // the check's counts
    QPlainTextEdit* Text1 = nullptr; // the check's list
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QStackedWidget* paginas_ = nullptr;

    QString origen_;
    LecturaHijo::Opciones opciones_;
    DatosHoja datos_;
    QString separador_detectado_;
    QString codificacion_detectada_;
    PlanHoja::Plan plan_;
    std::optional<QString> nuevo_;
    bool anadido_en_uso_ = false;
    bool llenando_ = false;
};
