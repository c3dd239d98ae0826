#pragma once

#include "data/origen_datos.h"
#include "plataforma/ventana_fija.h"
#include "resumen/datos_resumen.h"

#include <array>

class QChartView;
class QPrinter;
class QPushButton;
class QScrollArea;
class QTableWidget;

// The summary window: components per type, purchases per year and warranty states, each drawn as a chart with its
// numbers in a small table beside it; a chart can be saved as PNG or SVG and the window printed.
class Resumen : public VentanaFija {
    Q_OBJECT
public:
    static inline const QString titulo = QStringLiteral("Resumen del inventario");
    static inline const QString titulo_guardar = QStringLiteral("Guardar gráfico");
    static inline const QString filtro_png = QStringLiteral("Imagen PNG (*.png)");
    static inline const QString filtro_svg = QStringLiteral("Imagen SVG (*.svg)");
    static constexpr int graficos = 3;

    // Prints on `impresora`, the printer the main window uses.
    Resumen(QPrinter& impresora, QWidget* padre = nullptr);
    ~Resumen() override;

    void Form_Load();
    // Saves chart `cual` (0 types, 1 years, 2 warranties) in the file the user chooses.
    void guardar_grafico(int cual);
    void imprimir();

    const DatosResumen::Datos& datos() const { return datos_; }

    OrigenDatos Data1; // Elemento
    OrigenDatos Data2; // Tipo

private:
    void disenar();
    void dibujar();

    QPrinter& impresora_;
    DatosResumen::Datos datos_;
    // The components each chart counts.
    std::array<int, graficos> contados_{};
    QWidget* Frame1 = nullptr;
    std::array<QScrollArea*, graficos> Marco{};
    std::array<QChartView*, graficos> Chart{};
    std::array<QTableWidget*, graficos> Tabla{};
    std::array<QPushButton*, graficos> Guardar{};
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
