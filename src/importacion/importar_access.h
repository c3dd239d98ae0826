#pragma once

#include "importar/importacion.h"
#include "plataforma/ventana_fija.h"

#include <QProcess>
#include <QString>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

// "Importar de Access": asks for the Access file and for the name of the new inventory, then runs the command
// talvirenca-importar as a child process and shows its progress, with a button to cancel. A file that makes the
// Access reader crash ends only the child. At the end it shows the summary and offers to use the new inventory.
class ImportarAccess : public VentanaFija {
    Q_OBJECT
public:
    explicit ImportarAccess(QWidget* padre = nullptr);
    ~ImportarAccess() override;

    // The whole command. The imported inventory's path when the user chose to use it now.
    std::optional<QString> ejecutar();

    // "Cancelar": stops the import; nothing is left behind.
    void Command1_Click();

    // Where the command is: beside the program, unless a test or a build tree names it.
    static QString orden();
    static void fijar_orden(const QString& ruta);

protected:
    void closeEvent(QCloseEvent* evento) override;

private:
    void disenar();
    void leer_salida();
    void terminado(int codigo, QProcess::ExitStatus estado);
    void quitar_temporales();
    // Whether the command can import `origen_`, checked before the new file is named; otherwise `error_` says why,
    // unless the user cancelled.
    bool comprobar_origen();
    QString resumen() const;

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Command1 = nullptr;

    QProcess proceso_;
    QByteArray pendiente_;
    Importacion::Protocolo::Lectura lectura_;
    QString origen_;
    QString destino_;
    QString error_;
    bool cancelado_ = false;
    // The command is checking the Access file, not importing it.
    bool comprobando_ = false;
};
