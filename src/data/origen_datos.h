#pragma once

#include "data/esquema.h"
#include "data/instantanea.h"
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
    // Removes the current row through `cuerpo`, run in one write transaction as a session on the tables beside the
    // inventory's three (the row leaves for the archive of retired components); the next move forward reaches the
    // row that followed it.
    void quitar_con(const std::function<void(Custodia::Sesion&)>& cuerpo);
    // Removes these rows of the snapshot (row numbers) in one transaction; the source is left at end.
    void borrar_filas(std::vector<int> filas);
    // Removes the current row unless a row of the table `tabla_uso` holds its code in column `columna_uso`, checked
    // when it is deleted; false, and nothing deleted, when one does.
    bool borrar_si_no_usado(const QString& tabla_uso, int columna_uso);

    // The snapshot's rows, read without moving the cursor (pickers and lookups).
    int numero_filas() const { return vista_.numero_filas(); }
    int fila_actual() const { return posicion_; }
    QVariant valor(int fila, int ordinal) const;
    QString texto(int fila, int ordinal) const;
    std::optional<qint64> entero(int fila, int ordinal) const;
    // Appends texto(fila, ordinal) in UTF-8 to `destino`, from the snapshot's own bytes where it can.
    void anadir_utf8(int fila, int ordinal, std::string& destino) const;
    // The first row, in table order, whose code (column 0) equals `codigo`; answered from an index built once per
    // snapshot.
    std::optional<int> primera_fila_con_codigo(qint64 codigo) const;
    // Makes `fila` the current row (numero_filas() means at end).
    void situar(int fila);
    // The greatest code of the snapshot, from 0 (rows without a code count as 0); the cursor does not move.
    qint64 codigo_mayor() const;

    // Identifies what the snapshot holds: it changes whenever a refresh or a write changes the rows.
    quint64 identidad() const { return vista_.identidad(); }
    // What the last refresh changed in the snapshot, when it is known: rows of the previous snapshot gone and rows
    // of this one added (none when the refresh kept the same rows). No value when the table was read again or the
    // change is not known.
    const std::optional<CambioInstantanea>& cambio_al_refrescar() const { return cambio_; }
    // A value of the previous snapshot's row, while the change of the last refresh is known.
    std::optional<qint64> entero_anterior(int fila, int ordinal) const;

Q_SIGNALS:
    // The snapshot was read again: pickers refill their lists.
    void refrescado();
    // The current row, or the pending row, changed: pickers follow their data column.
    void fila_cambiada();

private:
    using Celda = Filas::Celda;
    struct Pendiente {
        bool nueva;
        std::array<QVariant, 9> valores;
    };

    void vaciar_instantanea();
    void refrescar_con(const QString& ruta, const QString& nombre_tabla);
    // "el componente", "el tipo", "la marca": what a row of the snapshot's table is to the user.
    QString nombre_registro() const;
    void asegurar_abierto();
    // Takes the rows the engine reads into `filas`.
    struct Receptor;
    void leer_tabla(Motor::Lectura& lectura, const Tabla& t, Filas& filas);
    // After a write of this source through `motor`: the snapshot a read of the table would now give, made from the
    // one kept for the file's state before the write, when that write is the only change since. `quitados` are the
    // identities the write removed, `anadido` the one it stored.
    // True when it made that snapshot. On a server it makes none: the kept rows stay those of the kept state, and
    // the next refresh reads this write among the changes since.
    bool derivar_fresca(Motor& motor, const std::optional<Huella>& antes, const std::vector<qint64>& quitados,
                        std::optional<qint64> anadido);
    // A refresh on a server in the state `estado`: the rows changed since the latest snapshot this thread holds of
    // the table are read and put in its place; the whole table only when those changes are not known.
    void refrescar_servidor(Motor::Lectura& lectura, const Tabla& t, const QString& uri, const EstadoServidor& estado,
                            bool misma_tabla);
    // Takes the snapshot of `entrada` and offers it to the other sources of this thread; what changed from the
    // rows this source saw is known when they were one of its snapshot's ancestors, with this source's own writes.
    // `conocido`, when given, is the change from the snapshot it was made from.
    void adoptar_servidor(const Tabla& t, const QString& uri, AlmacenInstantaneas::Entrada entrada,
                          std::optional<CambioInstantanea> conocido = std::nullopt);
    // A row of the snapshot as it was read.
    ValoresFila fila_leida(int fila) const;
    void guardar_pendiente(bool codigo_nuevo);
    // Takes these rows, just deleted through `motor`, out of the snapshot.
    void quitar_filas(Motor& motor, const std::vector<int>& filas, const std::optional<Huella>& antes);
    QString borrada_por_otro() const;
    // Takes a snapshot of the file's state `huella` (kept or shared), telling what changed from the current one.
    void tomar(const Instantanea& nueva, quint64 padre, const std::vector<int>& quitadas,
               const std::vector<int>& anadidas);
    void exigir_abierto() const;
    void exigir_fila_actual() const;
    void exigir_ordinal(int ordinal) const;
    void poner_fila(Filas& filas, quint32 numero, const Pendiente& p);
    void cambiar_posicion(int posicion);

    QString ruta_;
    QString nombre_tabla_;
    QString ruta_abierta_;
    // The state of the file whose rows `fresca_` holds, while it is known.
    std::optional<Huella> huella_;
    // On a server, the state of the database whose rows `fresca_` holds, while it is known, and the snapshots
    // those rows were made from.
    std::optional<EstadoServidor> estado_;
    std::vector<std::pair<quint64, std::vector<qint64>>> linaje_;
    const Tabla* tabla_ = nullptr; // of the snapshot
    bool abierto_ = false;
    bool diferido_ = false;
    // What the source was bound to when it was told to open at first use: that first read reads it, whatever is
    // bound meanwhile.
    QString ruta_diferida_;
    QString tabla_diferida_;
    QString error_apertura_;

    int columnas_ = 0;
    // The rows this source sees: the file's as read, with this source's own writes.
    Instantanea vista_;
    // The identity of the snapshot `vista_` was taken as, before this source's own writes changed it.
    quint64 origen_vista_ = 0;
    // The rows a read of the table would give in the state `huella_`; empty when not known.
    Instantanea fresca_;
    std::optional<CambioInstantanea> cambio_;

    // -1: before the first row; numero_filas(): at end.
    int posicion_ = 0;
    // The current row was just deleted: posicion_ is the row that followed it.
    bool recien_borrada_ = false;
    std::optional<Pendiente> pendiente_;

    mutable std::unordered_map<qint64, int> indice_codigos_;
    mutable bool indice_valido_ = false;
};
