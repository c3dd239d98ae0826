#pragma once

// What the small windows beside the design (hand-outs, returns, retirements) build the same way: their frame, their
// labels and buttons, and a date field that shows today and takes today again on a double click, as the card's
// purchase date does.
#include <QDate>
#include <QString>

class ImpresoraLineas;
class TablaExportar;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace CamposVentana {

// The window's name, title, the program's background and its least width.
void preparar(QDialog* ventana, const char* nombre, const QString& titulo);
QLabel* etiqueta(QWidget* padre, const char* nombre, const QString& texto);
QPushButton* boton(QWidget* padre, const char* nombre, const QString& texto);
// A field named TextFecha holding today's date.
QLineEdit* campo_fecha(QWidget* padre);
// The date the field holds; throws ErrorDatos saying how to write it.
QDate fecha_de(QLineEdit* campo);

// Prints the table as the windows' lists show it: the title, the header line, then one line per row.
void imprimir_tabla(ImpresoraLineas& impresora, const QString& titulo, const TablaExportar& tabla);

} // namespace CamposVentana
