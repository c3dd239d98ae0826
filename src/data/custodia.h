#pragma once

// Who has each component and where it is: the people and places of the inventory, and the hand-outs of components
// to them. They live in tables of their own beside the three of the inventory, made on the first write that needs
// them; an inventory without them has no people, no places and nothing handed out. Every write is one transaction
// whose checks run inside it; failures are thrown as ErrorDatos in the user's words.
#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Custodia {

// The version of the tables kept beside the inventory's three, written in a table of its own: the inventory's own
// marks keep describing the three designed tables, which this version never changes, so an older program still
// opens the inventory.
constexpr int version_ampliacion = 2;

struct Persona {
    qint64 codigo = 0;
    QString nombre;
    QString departamento;
    QString contacto;
};

struct Lugar {
    qint64 codigo = 0;
    QString nombre;
    std::optional<qint64> padre;
};

// A hand-out not yet returned. Codes are 0 for none.
struct Abierta {
    qint64 elemento;
    qint64 persona;
    qint64 lugar;
    qint64 entrega; // the hand-out's own code
    qint32 desde;   // Julian day
};

// One read of the people, the places and the open hand-outs, all in one state of the database.
class Estado {
public:
    std::vector<Persona> personas; // by code
    std::vector<Lugar> lugares;    // by code
    std::vector<Abierta> abiertas; // by component code

    // Made once the rows are in: the lookups below.
    void indexar();

    const Abierta* abierta(qint64 elemento) const;
    const Persona* persona(qint64 codigo) const;
    const Lugar* lugar(qint64 codigo) const;
    QString nombre_persona(qint64 codigo) const;
    // The place with its parents, outermost first: "Edificio A > Planta 2 > Sala 204".
    QString ruta_lugar(qint64 codigo) const;
    // Who has the component and where, as one line: "Ana García · Edificio A > Sala 204 · desde 01/02/2026"; empty
    // when it is not handed out.
    QString linea(qint64 elemento) const;
    // The holder and the place of the component, as the export and the labels show them (empty for none).
    QString titular(qint64 elemento) const;
    QString ubicacion(qint64 elemento) const;
    // The place and every place inside it, at any depth.
    std::vector<qint64> lugar_y_dentro(qint64 codigo) const;

private:
    std::unordered_map<qint64, int> personas_;
    std::unordered_map<qint64, int> lugares_;
    std::vector<QString> rutas_; // by index of `lugares`
};

// The people, places and open hand-outs of the inventory `base` (a file path or a server URI). A file that has not
// changed since the last read gives the same state without reading it again.
std::shared_ptr<const Estado> leer(const QString& base);
// The same read, started now: on a file it runs on a thread of its own, beside the list's read of the components on
// the thread that asked, and `get` waits for it (and throws what `leer` throws, read again on the asking thread).
// On a server, whose read only looks at a change count when nothing changed, it runs when asked.
std::future<std::shared_ptr<const Estado>> leer_aparte(const QString& base);

// A component held now, with the nine values as its list line shows them, since when, and, in a place's list, the
// place it is in.
struct Tenencia {
    std::array<QString, 9> linea;
    QDate desde;
    QString lugar;
};
// What a person holds now, by component code.
std::vector<Tenencia> de_persona(const QString& base, qint64 persona);
// What is now in the place or in any place inside it.
std::vector<Tenencia> en_lugar(const QString& base, qint64 lugar);

// People: a name is needed; department and contact are optional. A new one takes the greatest code plus 1.
qint64 anadir_persona(const QString& base, const Persona& p);
void modificar_persona(const QString& base, const Persona& p);
// Refused while a hand-out, open or returned, names the person.
void borrar_persona(const QString& base, qint64 codigo);

// Places: a name is needed, the parent is optional and may not be the place itself nor one inside it.
qint64 anadir_lugar(const QString& base, const Lugar& l);
void modificar_lugar(const QString& base, const Lugar& l);
// Refused while a hand-out names it or a place is inside it.
void borrar_lugar(const QString& base, qint64 codigo);

struct DatosEntrega {
    qint64 elemento = 0;
    std::optional<qint64> persona;
    std::optional<qint64> lugar;
    QDate fecha;
    QString nota;
};
// Hands the component out. `traspaso` names the open hand-out it closes, on the same date, in the same write:
// without it, a component already out is refused; with it, the open hand-out must still be that one.
void entregar(const QString& base, const DatosEntrega& datos, std::optional<qint64> traspaso = std::nullopt);

struct DatosDevolucion {
    qint64 elemento = 0;
    qint64 entrega = 0; // the open hand-out being closed, as it was read
    QDate fecha;
    QString estado;
    QString nota;
};
void devolver(const QString& base, const DatosDevolucion& datos);

// Forgets the state kept of each file (tests that change a file behind the program's back keep its fingerprint).
void olvidar();

} // namespace Custodia
