#pragma once

// Retired components: a component sold, donated, scrapped, lost or stolen leaves the inventory's list for an archive
// of its own, whole, with the date, the reason and a note; its code stays taken, and it can be put back unchanged.
// Each is one transaction on either engine, recorded in the history. Failures are thrown as ErrorDatos in the
// user's words.
#include <QDate>
#include <QString>
#include <array>
#include <vector>

namespace Custodia {
class Sesion;
}

namespace Bajas {

// The reasons offered, as stored and shown.
const std::vector<QString>& motivos();

struct DatosBaja {
    qint64 codigo = 0;
    QDate fecha;
    QString motivo;
    QString nota;
};
// Moves the component from the list to the archive. Refused while it is handed out (it is returned first), and
// when it is no longer in the inventory.
void dar_de_baja(const QString& base, const DatosBaja& datos);
// The same, in a session already open (the list's data source removing the component's row).
void dar_de_baja_en(Custodia::Sesion& s, const DatosBaja& datos);

struct Baja {
    std::array<QString, 9> linea; // the nine values as the list shows them
    QDate fecha;
    QString motivo;
    QString nota;
};
// The archive, newest retirement first.
std::vector<Baja> leer(const QString& base);

// Puts the retired component back in the inventory, unchanged. Refused when another component has taken its code
// meanwhile (another program changed the inventory), or its type or brand is no longer there.
void recuperar(const QString& base, qint64 codigo);

// The codes of the archive, ascending: a new component never takes one.
std::vector<qint64> codigos(const QString& base);

} // namespace Bajas
