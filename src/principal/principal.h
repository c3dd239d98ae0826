#pragma once

#include "data/origen_datos.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPrinter>
#include <memory>

class DBCombo;
class ImpresoraLineas;
class ModeloLista;
class QAction;
class QLabel;
class QPushButton;
class QStatusBar;
class QToolBar;
class QTreeView;

// The main window: which database is in use, the type picker, the component list, and every command of the
// program in its menus and toolbar. It lives for the whole run; every other window is opened from it, modally.
class Principal : public QMainWindow {
    Q_OBJECT
public:
    explicit Principal(QWidget* padre = nullptr);
    ~Principal() override;

    // Start-up and the database in use.
    void Form_Load();
    bool comprobar_base_datos();
    void abrir_base_Datos();
    void guarda_base_datos();
    void configurar_datas_dbcombo();
    void abrir();

    // Commands.
    void Toolbar1_ButtonClick(const QString& clave);
    void consultar();
    void modificar();
    void Anadir();
    void ayuda();
    void salir();
    QMessageBox::StandardButton cuadro_sino(const QString& cabecera);

    // The component list.
    void Command1_Click();
    void buscar();
    void actualizar_lista();
    void buscar_tipo(const QString& componente);
    qint64 comprobar_codigo_componente(const QString& componente);

    // Deletion.
    void borrar();
    void eliminar_registro();
    void eliminar_registro_de_basedatos(const qint64& elemento);
    void eliminar_registro_de_listview(const qint64& elemento);

    // Printing.
    void imprimir();
    void menuConfigPrint_Click();
    // Where the printout goes; the real printer unless a test puts its own.
    void fijar_impresora_lineas(std::unique_ptr<ImpresoraLineas> impresora);

    OrigenDatos Data1; // Elemento
    OrigenDatos Data2; // Tipo
    OrigenDatos Data3; // Marca

protected:
    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

private:
    void disenar();
    void crear_menus();
    void crear_barra(QWidget* cliente);
    // The entries of "&Herramientas", one per command the program adds beyond the design.
    void crear_menu_herramientas(QMenu* menu);
    QAction* accion_menu(QMenu* menu, const char* nombre, const QString& texto, void (Principal::*orden)());
    // Offers to create an empty inventory when the path names no file.
    void ofrecer_inventario_nuevo();
    // Opens the three data sources once the window shows, as far as the file allows.
    void abrir_datos();
    // The selected line of the list, if any.
    int fila_seleccionada() const;
    // Runs `orden` only when a line of the list is selected.
    void con_seleccion(void (Principal::*orden)());
    void abrir_ficha(const QString& accion);
    void mantener_tipos_marcas();
    void acerca_de();
    // "&Importar de Access...": a new inventory from an Access file, used at once when the user wants.
    void importar_access();

    QToolBar* Toolbar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    DBCombo* DBCombo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QTreeView* ListView1 = nullptr;
    ModeloLista* modelo_ = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QStatusBar* StatusBar2 = nullptr;

    // The open-file dialog's file name (CommonDialog1): it keeps the last choice between openings.
    QString nombre_archivo_dialogo_;
    // The printer chosen in "Configurar impresion", used by every print of the run.
    QPrinter impresora_;
    std::unique_ptr<ImpresoraLineas> impresora_lineas_;
    bool saliendo_ = false;
    bool datos_abiertos_ = false;
};
