#pragma once

#include "data/motor.h"
#include "data/origen_datos.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPrinter>
#include <array>
#include <future>
#include <memory>
#include <optional>

class DBCombo;
namespace Custodia {
class Estado;
}
class ImpresoraLineas;
class IndiceTexto;
class ModeloLista;
class QAction;
class QKeyEvent;
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
    // The list made again on the file as it now is, and who has each component read again with it.
    void actualizar_lista();
    void actualizar_lista_sin_custodia();
    void buscar_tipo(const QString& componente);
    qint64 comprobar_codigo_componente(const QString& componente);
    // The line of the list for Data1's row `fila`: its texts, with the names of its type and brand in this window's
    // Tipo and Marca rows (left there, as a lookup leaves them).
    std::array<QString, 9> linea_componente(int fila);

    // Deletion.
    void borrar();
    void eliminar_registro();
    // The same, the component's rows leaving the file through `quitar` (given the code) instead of a deletion.
    void eliminar_registro_con(const std::function<void(qint64)>& quitar);
    void eliminar_registro_de_basedatos(const qint64& elemento);
    void eliminar_registro_de_listview(const qint64& elemento);

    // Commands of "&Herramientas": the text search and the backup.
    void buscar_texto();
    // Lists every component of this window's snapshot that contains `texto`, case and accents aside; says so when
    // none does, if `avisar`.
    void mostrar_con_texto(const QString& texto, bool avisar = true);
    // After a card: the search the list shows, made again on the file as it now is. False when the list does not
    // show a search.
    bool repetir_busqueda_texto(const QString& codigo_seleccionado);
    void copia_seguridad();

    // Who has each component and where: the people and places window, handing the selected component out and
    // taking it back, and what a person or a place holds.
    void personas_lugares();
    void entregar();
    void devolver();
    void tenencias();
    // The history of the whole inventory, and of the selected component; retiring it, and the retired ones.
    void historial();
    void historial_componente();
    void dar_de_baja();
    void bajas();
    // Reads again who has each component (nothing when the file has not changed) and shows the selected line's.
    // The holders read again, or taken from a read started earlier with Custodia::leer_aparte.
    void refrescar_custodia(std::future<std::shared_ptr<const Custodia::Estado>>* empezada = nullptr);
    // Who has each component, as last read with the list; never null.
    const Custodia::Estado& custodia() const;

    // Printing.
    void imprimir();
    void menuConfigPrint_Click();
    // What the component list shows, line by line, for the export.
    const ModeloLista& lista() const { return *modelo_; }
    // Where the printout goes; the real printer unless a test puts its own.
    void fijar_impresora_lineas(std::unique_ptr<ImpresoraLineas> impresora);

    // Labels of the listed components, and the record card opened on a code typed or read by a scanner.
    void etiquetas();
    void ir_al_codigo();
    void consultar_codigo(const QString& texto);
    // The component code `texto` names, when it is a code and a component has it; otherwise says why, over `padre`.
    std::optional<qint64> codigo_existente(QWidget* padre, const QString& texto);
    // The record card, consulting the component of that code.
    void abrir_ficha_de(qint64 codigo);

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
    // False, after saying why, when `ruta` (from `origen`) holds a character no file name can: see
    // Ubicacion::problema_ruta.
    bool ruta_aceptable(const QString& ruta, const QString& origen);
    // Opens the three data sources once the window shows, as far as the file allows.
    void abrir_datos();
    // The selected line of the list, if any.
    int fila_seleccionada() const;
    // Runs `orden` only when a line of the list is selected.
    void con_seleccion(void (Principal::*orden)());
    void abrir_ficha(const QString& accion);
    // Selects the first line of the component `codigo`, if the list has one.
    void seleccionar_codigo(const QString& codigo);
    void mantener_tipos_marcas();
    void acerca_de();
    // The list's nine columns, the first time the list is filled.
    void crear_columnas_lista();
    // The list line of Data1's row `fila` when the list shows the components of `tipo` (every one for "Todos");
    // `tipo_de` gives a row's type.
    template <class F> static int linea_de_fila(int fila, bool todos_los_tipos, qint64 tipo, F&& tipo_de) {
        if (todos_los_tipos)
            return fila;
        int linea = 0;
        for (int otra = 0; otra < fila; ++otra)
            if (tipo_de(otra) == tipo)
                ++linea;
        return linea;
    }
    // Changes only the lines the last refresh of Data1 changed, when the list was filled from the snapshot before
    // it; false when the list must be filled again.
    bool actualizar_lineas_cambiadas();
    // What the list was last filled from by buscar_tipo, while the list is exactly that fill: the component
    // asked for, its type code, the snapshots of the three sources and the list's version.
    struct ListaHecha {
        QString componente;
        qint64 tipo;
        quint64 datos1;
        quint64 datos2;
        quint64 datos3;
        quint64 version;
    };
    std::optional<ListaHecha> lista_hecha_;
    bool lista_al_dia() const;
    // The text whose search the list shows, while it shows it (the list's version then).
    struct BusquedaHecha {
        QString texto;
        quint64 version;
    };
    std::optional<BusquedaHecha> busqueda_hecha_;
    // Tells in the status bar that the list holds a text search's result, while it does.
    void senalar_busqueda();
    // Empties the list when the database in use is no longer `base`, the one it was made from.
    void olvidar_lista_de(const QString& base);
    // Watches the keys typed in this window for a scanner's code; true when the key was taken.
    void vigilar_lector();
    bool tecla_lector(QWidget* foco, QKeyEvent* tecla);
    // "&Importar de Access...": a new inventory from an Access file, used at once when the user wants.
    void importar_access();
    // "Importar &hoja de cálculo...": rows of a spreadsheet into the inventory in use or into a new one.
    void importar_hoja();
    // Makes `nuevo` the inventory in use, as accepting the settings dialog does.
    void usar_inventario(const QString& nuevo);
    // Adds to the rows a text search found (Data1's, in table order) those of the components held by a person or
    // kept in a place whose name contains `texto`, case and accents aside.
    void anadir_por_titular(const QString& texto, std::vector<int>& filas);
    // The status line of the selected component: who has it and where.
    void mostrar_titular();
    // The context menu of the list's lines.
    void menu_linea(const QPoint& donde);
    // The selected line's component code and a short description of it, when a line is selected and its code is a
    // whole number; otherwise says why.
    std::optional<std::pair<qint64, QString>> componente_seleccionado();

    QToolBar* Toolbar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    DBCombo* DBCombo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QTreeView* ListView1 = nullptr;
    ModeloLista* modelo_ = nullptr;
    // The folded texts of Data1's snapshot for the text search, made at the first search.
    IndiceTexto* indice_texto_ = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QStatusBar* StatusBar2 = nullptr;
    QLabel* lblBusqueda = nullptr;
    QLabel* lblTitular = nullptr;
    std::shared_ptr<const Custodia::Estado> custodia_;

    // The open-file dialog's file name (CommonDialog1): it keeps the last choice between openings.
    QString nombre_archivo_dialogo_;
    // The printer chosen in "Configurar impresion", used by every print of the run.
    QPrinter impresora_;
    std::unique_ptr<ImpresoraLineas> impresora_lineas_;
    bool saliendo_ = false;
    bool datos_abiertos_ = false;
    // From the start-up to the first opening of the tables: a server that cannot be reached is tried once.
    std::optional<Servidor::Arranque> arranque_;
    // The digits of the run being typed, and when its last key came.
    QString lector_cifras_;
    quint64 lector_ultima_ = 0;
};
