#pragma once

#include <QByteArray>
#include <QtGlobal>

// The state of a server database one read saw: the transactions visible to it, and what identifies the database,
// the inventory's tables and the triggers that note their changes. A later read compares its own with it to read
// only the rows changed since.
struct EstadoServidor {
    // pg_current_snapshot() of the read's transaction, as the server writes it ("xmin:xmax:xip,...").
    QByteArray instantanea;
    quint64 xmin = 0;
    quint64 xmax = 0;
    // The database, the tables and the triggers as they stood; any change means the rows must be read whole.
    QByteArray esquema;
    // The changes of every table are noted and this user may read them.
    bool anotado = false;
    bool operator==(const EstadoServidor&) const = default;
};
