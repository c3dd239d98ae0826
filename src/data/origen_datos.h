#pragma once

#include "data/esquema.h"
#include "data/motor.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A data source: the program's cursor over one table of the inventory file. It holds its own snapshot of the
// table's rows in table order (ascending code), its own current row and its own pending edit. Every write goes to
// the file at once, atomically, and shows in this source's snapshot; writes made through another source show only
// after this one's next refresh. Failures are thrown as ErrorDatos.
class OrigenDatos : public QObject {
    Q_OBJECT
public:
    explicit OrigenDatos(QObject* padre = nullptr);
    ~OrigenDatos() override;

    // Bindings take effect at the next refresh; they read nothing.
    void enlazar_base_datos(const QString& ruta);
    void enlazar_tabla(const QString& tabla);
    const QString& base_datos() const { return ruta_; }
    const QString& nombre_tabla() const { return nombre_tabla_; }
    // The file the snapshot was read from; writes go there until the next refresh.
    const QString& ruta_abierta() const { return ruta_abierta_; }
    // The schema of the table the snapshot was read from (or of the bound table before the first refresh).
    const Tabla& tabla() const;

    // A source opens by itself once its window has finished loading: the first refresh, unless one was made.
    bool abierto() const { return abierto_; }
    void abrir();
    // Opens at the first move or write instead of now: a large table a window may never walk is not read at start.
    void abrir_al_usarse();
    // Re-reads the table from the file with the current bindings and stands on the first row.
    void refrescar();

    void mover_primero();
    void mover_siguiente();
    void mover_ultimo();
    void mover_anterior();
    // No current row because the walk passed the last row (at once on an empty table).
    bool al_final() const;
    bool hay_fila_actual() const;

    // The current row's column (or the pending row's, while one is being edited or added).
    QVariant leer(int ordinal) const;
    std::optional<qint64> leer_entero(int ordinal) const;
    QString leer_texto(int ordinal) const;

    // Sets a column of the row being edited or added, converted as the column needs.
    void escribir(int ordinal, const QVariant& valor);
    // Starts a new row: numeric columns 0, texts empty, no date.
    void anadir_nuevo();
    // Starts changing the current row.
    void editar();
    // Stores the row being added or edited.
    void actualizar();
    // Stores the new row being added with the table's greatest code plus 1 as its code, taken when it is stored.
    void actualizar_con_codigo_nuevo();
    // Abandons the row being added or edited.
    void cancelar();
    bool hay_pendiente() const { return pendiente_.has_value(); }
    // Removes the current row; the next move forward reaches the row that followed it.
    void borrar();
    // Removes the current row unless a row of the table `tabla_uso` holds its code in column `columna_uso`, checked
    // when it is deleted; false, and nothing deleted, when one does.
    bool borrar_si_no_usado(const QString& tabla_uso, int columna_uso);
    // Removes these rows of the snapshot (row numbers) in one transaction; the source is left at end.
    void borrar_filas(std::vector<int> filas);

    // The snapshot's rows, read without moving the cursor (pickers and lookups).
    int numero_filas() const { return static_cast<int>(rowids_.size()); }
    int fila_actual() const { return posicion_; }
    QVariant valor(int fila, int ordinal) const;
    QString texto(int fila, int ordinal) const;
    std::optional<qint64> entero(int fila, int ordinal) const;
    // The first row, in table order, whose code (column 0) equals `codigo`; answered from an index built once per
    // snapshot.
    std::optional<int> primera_fila_con_codigo(qint64 codigo) const;
    // Makes `fila` the current row (numero_filas() means at end).
    void situar(int fila);

Q_SIGNALS:
    // The snapshot was read again: pickers refill their lists.
    void refrescado();
    // The current row, or the pending row, changed: pickers follow their data column.
    void fila_cambiada();

private:
    struct Trozo {
        quint32 inicio;
        quint32 longitud;
    };
    union Celda {
        qint64 entero;
        double real;
        Trozo texto;
    };
    struct Pendiente {
        bool nueva;
        std::array<QVariant, 9> valores;
    };

    void vaciar_instantanea();
    void refrescar_con(const QString& ruta, const QString& nombre_tabla);
    // "el componente", "el tipo", "la marca": what a row of the snapshot's table is to the user.
    QString nombre_registro() const;
    void asegurar_abierto();
    // Takes the rows the engine reads into the snapshot.
    struct Receptor;
    void leer_tabla(Motor::Lectura& lectura, const Tabla& t);
    // A row of the snapshot as it was read.
    ValoresFila fila_leida(int fila) const;
    void guardar_pendiente(bool codigo_nuevo);
    void quitar_filas(const std::vector<int>& filas);
    QString borrada_por_otro() const;
    void exigir_abierto() const;
    void exigir_fila_actual() const;
    const Celda& celda(int fila, int ordinal) const { return celdas_[static_cast<size_t>(fila) * columnas_ + ordinal]; }
    bool es_nulo(int fila, int ordinal) const { return (nulos_[fila] >> ordinal) & 1u; }
    void exigir_ordinal(int ordinal) const;
    void poner_fila(int fila, const Pendiente& p);
    void anadir_texto(Celda& c, const char* datos, size_t longitud);
    void cambiar_posicion(int posicion);

    QString ruta_;
    QString nombre_tabla_;
    QString ruta_abierta_;
    // The state of the file the snapshot was read from, while the snapshot still matches it.
    std::optional<Huella> huella_;
    const Tabla* tabla_ = nullptr; // of the snapshot
    bool abierto_ = false;
    bool diferido_ = false;
    // What the source was bound to when it was told to open at first use: that first read reads it, whatever is
    // bound meanwhile.
    QString ruta_diferida_;
    QString tabla_diferida_;
    QString error_apertura_;

    int columnas_ = 0;
    std::vector<Celda> celdas_;
    std::vector<qint64> rowids_;
    std::vector<quint16> nulos_;
    std::string textos_;

    // -1: before the first row; numero_filas(): at end.
    int posicion_ = 0;
    // The current row was just deleted: posicion_ is the row that followed it.
    bool recien_borrada_ = false;
    std::optional<Pendiente> pendiente_;

    mutable std::unordered_map<qint64, int> indice_codigos_;
    mutable bool indice_valido_ = false;
};
