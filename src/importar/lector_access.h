#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// One cell of a row read from an Access file, decoded from the row's own bytes (numbers, dates) or from the text
// the Access reader gives (texts, memos, flags). The text is not the cell's own: it lives as long as the row it was
// handed with.
struct Celda {
    enum class Clase { nulo, numero, fecha, texto, logico };
    Clase clase = Clase::nulo;
    double numero = 0;    // numbers; dates as Access keeps them (days from 30/12/1899, the time as fraction)
    QByteArrayView texto; // texts and memos, in UTF-8
    bool logico = false;
};

// Reads the tables of an Access (Jet) file through libmdb. The catalog is read once, when the file is opened; each
// table is then read to its end before the next is opened, because libmdb's open tables share one page buffer.
// Every failure throws ErrorDatos, in the user's words.
class LectorAccess {
public:
    explicit LectorAccess(const QString& ruta);
    LectorAccess(const LectorAccess&) = delete;
    LectorAccess& operator=(const LectorAccess&) = delete;
    ~LectorAccess();

    // The user tables the file lists.
    QStringList tablas() const;
    // The number of rows the table declares, or -1 when the file has no such table.
    qint64 filas_declaradas(const QString& tabla) const;

    // Reads every row of `tabla`, passing its first `columnas` cells to `fila` (which may stop the reading by
    // throwing); their texts live until `fila` returns. Refuses a table with fewer columns, and a table that gives
    // fewer rows than it declares.
    void leer(const QString& tabla, int columnas, const std::function<void(const Celda* fila)>& fila);

private:
    struct Estado;
    QString ruta_;
    std::unique_ptr<Estado> estado_;
};
