#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Brings the tables Elemento, Tipo and Marca of an Access file into a new inventory file. Codes that are whole
// numbers are kept; a code that is not whole, is missing or repeats an earlier row's gets the next free code (the
// greatest plus one), and components keep pointing at the same type and brand. Everything that needed a decision
// is listed, row by row. The new file appears only when the whole import has succeeded; it never replaces a file.
namespace Importacion {

struct Resumen {
    qint64 componentes = 0;
    qint64 tipos = 0;
    qint64 marcas = 0;
    QStringList detalles;
};

struct Avisos {
    // Rows read so far of all three tables, and their total; called every few hundred rows.
    std::function<void(qint64 hechas, qint64 total)> progreso;
    // The temporary file, as soon as it exists.
    std::function<void(const QString& temporal)> temporal;
};

// Throws ErrorDatos, leaving no file behind.
Resumen importar(const QString& origen, const QString& destino, const Avisos& avisos = {});

// Opens the Access file and checks that it holds the three tables, as the import does first; throws ErrorDatos
// with the same reasons. Quick: no row is read.
void comprobar(const QString& origen);

// The message for a reading of `origen` that ended without a word (the Access reader crashed).
QString lectura_interrumpida(const QString& origen);

// The summary the user reads: the counts, then the details, one per line.
QString texto_resumen(const Resumen& r);
// The counts as the summary tells them: "1 componente, 2 tipos y 3 marcas".
QString cuentas(const Resumen& r);

// The lines the command prints for the window with the option --progreso, one fact per line, so the window follows
// the import without reading libmdb's own messages.
namespace Protocolo {

QString linea_progreso(qint64 hechas, qint64 total);
QString linea_temporal(const QString& ruta);
QString linea_error(const QString& texto);
QStringList lineas_resumen(const Resumen& r);

// What the window has learnt from the lines read so far.
struct Lectura {
    qint64 hechas = 0;
    qint64 total = 0;
    QString temporal;
    QString error;
    Resumen resumen;
    bool terminado = false;
};
void leer(const QString& linea, Lectura& l);

} // namespace Protocolo

} // namespace Importacion
