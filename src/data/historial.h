#pragma once

// What happened to each component, type, brand, person and place: every write that changes the inventory leaves an
// entry in the history, in the same transaction, with each changed column before and after. On a server the server
// writes it (triggers of its own tables, so a change made with another tool is recorded too, under the role that
// made it); on a file the program writes it inside its own transaction. The history is only ever added to.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace Historial {

// The kinds of change, as stored.
namespace Cambio {
constexpr const char* alta = "alta";
constexpr const char* modificacion = "modificacion";
constexpr const char* codigo = "codigo";
constexpr const char* borrado = "borrado";
constexpr const char* baja = "baja";
constexpr const char* recuperacion = "recuperacion";
constexpr const char* entrega = "entrega";
constexpr const char* devolucion = "devolucion";
} // namespace Cambio

// The kinds in the order the history window offers them, and how each is shown ("Alta", "Cambio de código"...).
const std::vector<QString>& cambios();
QString texto_cambio(const QString& cambio);
// How the table of an entry is shown ("Componente", "Tipo", "Persona"...).
QString texto_tabla(const QString& tabla);

struct Columna {
    int ordinal = 0;
    std::optional<QString> antes; // no value: the row did not exist before, or the value was null
    std::optional<QString> despues;
};

struct Entrada {
    qint64 codigo = 0;
    QDateTime momento; // in UTC; the windows show it in local time
    QString usuario;
    QString tabla;    // "Elemento", "Tipo", "Marca", "Persona", "Lugar", "Entrega"
    qint64 registro = 0; // the row's code; for a hand-out, its component's
    QString cambio;
    std::vector<Columna> columnas;

    // The column's caption and its values as the windows show them ("Garantia: 12 → 24").
    QString nombre_columna(int ordinal) const;
    QString valor(int ordinal, const std::optional<QString>& v) const;
    // Every changed column as one line of text: "Modelo: «E2» → «E3»; Garantia: 12 → 24".
    QString detalle() const;
};

// The history of one component, newest first: its own entries with its hand-outs, retirement and restoring,
// following it back through its changes of code, and starting at its addition when its code was used before.
std::vector<Entrada> de_componente(const QString& base, qint64 codigo);

// The history of the whole inventory, newest first, kept to what the filter asks. An empty field asks nothing.
struct Filtro {
    QDate desde;
    QDate hasta;
    QString usuario;
    QString cambio; // one of the stored kinds
    QString texto;  // found in any value, before or after, whatever its case
    int limite = 100000;
};
std::vector<Entrada> del_inventario(const QString& base, const Filtro& filtro);
// The users named in the history, for the window's filter.
std::vector<QString> usuarios(const QString& base);

// The name a file's history records: the operating system's user.
QString usuario_del_sistema();

} // namespace Historial
