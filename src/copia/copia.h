#pragma once

#include <QString>

class QWidget;

// The backup of the inventory in use: the save dialog proposes "<nombre>-AAAA-MM-DD.db" beside it, a progress
// dialog follows the copy and allows cancelling it, and a message tells where the copy is and how many
// components it holds, or why none was made.
class Copia {
public:
    explicit Copia(QWidget* padre);

    // Backs up the inventory file `inventario`.
    void hacer(const QString& inventario);

private:
    QWidget* padre_;
};
