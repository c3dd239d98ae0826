#pragma once

#include <QDialog>

// A window the main window opens: Escape does not close it (only its own buttons and its close box do), so a
// stray key never throws away what the user typed.
class VentanaFija : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* evento) override;
};
