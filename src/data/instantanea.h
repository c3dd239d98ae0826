#pragma once

#include "data/conexion.h"
#include "data/estado_servidor.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct Tabla;

// Rows of one table as read from the file or written by this program: values converted once, texts packed.
// Rows are only ever appended, so a row keeps its place and its values for as long as the rows live, and every
// snapshot that names it sees the same row whoever appends after it.
struct Filas {
    struct Trozo {
        quint32 inicio;
        quint32 longitud;
    };
    union Celda {
        qint64 entero;
        double real;
        Trozo texto;
    };

    int columnas = 0;
    std::vector<Celda> celdas;
    std::vector<qint64> rowids;
    std::vector<quint16> nulos;
    std::string textos;
    // Every code (column 0) was stored in the file as an integer: the file's order by code is the order of these
    // numbers.
    bool codigos_enteros = true;

    quint32 numero() const { return static_cast<quint32>(rowids.size()); }
    const Celda& celda(quint32 fila, int ordinal) const { return celdas[size_t(fila) * columnas + ordinal]; }
    bool es_nulo(quint32 fila, int ordinal) const { return (nulos[fila] >> ordinal) & 1u; }
    // Appends an empty row (every column null) and returns its number.
    quint32 anadir_fila(qint64 rowid);
    void anadir_texto(Celda& c, const char* datos, size_t longitud, const char* tabla);
};

// A snapshot of a table: its rows in table order. It names rows read from the file (the base, shared by every
// source that found the file in the same state) and rows this program wrote since (its own rows). Copying one is
// cheap; the order is copied only when a copy that shares it changes.
class Instantanea {
public:
    Instantanea() = default;
    explicit Instantanea(std::shared_ptr<const Filas> base);

    bool vacia() const { return !base_; }
    int numero_filas() const { return orden_ ? static_cast<int>(orden_->size()) : base_ ? int(base_->numero()) : 0; }
    // The rows and row number that hold the snapshot's row `fila`.
    const Filas& filas_de(int fila, quint32& numero) const {
        const quint32 ref = orden_ ? (*orden_)[size_t(fila)] : quint32(fila);
        if (ref < base_->numero()) {
            numero = ref;
            return *base_;
        }
        numero = ref - base_->numero();
        return *propias_;
    }
    qint64 rowid(int fila) const {
        quint32 n;
        return filas_de(fila, n).rowids[n];
    }
    // Identifies what the snapshot holds: two snapshots with the same identity hold the same rows in the same
    // order. Every change gives a new one.
    quint64 identidad() const { return identidad_; }
    const Filas& base() const { return *base_; }
    // How many holders share the rows read from the file.
    long usos_base() const { return base_.use_count(); }
    // Every code is an integer in the file, so the file's order is the order of (code, rowid).
    bool orden_por_numeros() const;

    // Own rows: a new row appended where this snapshot's own rows are kept, with its reference for the order.
    Filas& propias(int columnas);
    quint32 referencia_propia(quint32 numero) const { return base_->numero() + numero; }

    void insertar(int fila, quint32 referencia);
    void reemplazar(int fila, quint32 referencia);
    void quitar(const std::vector<int>& filas_ordenadas);
    // Where a row with this code and rowid stands in the file's order (orden_por_numeros() must hold).
    int posicion_ordenada(qint64 codigo, qint64 rowid) const;
    // The row with this rowid, if the snapshot holds it.
    std::optional<int> fila_de_rowid(qint64 rowid) const;
    // A server's snapshot after the rows of codes `claves` (ascending) changed: those rows are gone, and the own
    // rows from `primera` on (ascending codes, all among `claves`) stand in their places of the order by code. The
    // rows are ordered by their codes, which are all whole numbers. Gives the rows gone (rows of this snapshot) and
    // the rows added (rows of the new one), both ascending.
    Instantanea con_cambios(const std::vector<qint64>& claves, quint32 primera, std::vector<int>& quitadas,
                            std::vector<int>& anadidas) const;

private:
    void preparar_orden();

    std::shared_ptr<const Filas> base_;
    std::shared_ptr<Filas> propias_;
    std::shared_ptr<std::vector<quint32>> orden_;
    quint64 identidad_ = 0;
};

// What changed between a source's snapshot and the one its refresh took: rows gone (their rows in the old
// snapshot, ascending) and rows added (their rows in the new one, ascending). `anterior` is the old snapshot.
struct CambioInstantanea {
    Instantanea anterior;
    std::vector<int> quitadas;
    std::vector<int> anadidas;
};

// The snapshots of this thread, one per file and table: the latest state of the table this thread knows, so a
// source that finds the file in that state takes it instead of reading the table again.
namespace AlmacenInstantaneas {

struct Entrada {
    Huella huella;
    Instantanea instantanea;
    // The snapshot it was made from by one write of this program, and what that write changed; no parent after a
    // read.
    quint64 padre = 0;
    std::vector<int> quitadas;
    std::vector<int> anadidas;
    // On a server, the state of the database the snapshot holds (the file's `huella` is then unused), and the
    // snapshots it was made from by their changes, newest first, each with the codes changed since.
    std::optional<EstadoServidor> servidor;
    std::vector<std::pair<quint64, std::vector<qint64>>> linaje;
};

std::optional<Entrada> buscar(const QString& ruta, const Tabla& tabla, const Huella& huella);
// The latest snapshot of a server's table this thread holds, whatever the state it was read in.
std::optional<Entrada> buscar_servidor(const QString& uri, const Tabla& tabla);
void guardar(const QString& ruta, const Tabla& tabla, Entrada entrada);
// The table is about to be read again: the old snapshot is let go first, so two are never held at once.
void olvidar(const QString& ruta, const Tabla& tabla);
// Lets go of the snapshots no source holds any more.
void soltar_sin_uso();

} // namespace AlmacenInstantaneas
