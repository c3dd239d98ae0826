#pragma once

// talvirenca-importar --hoja ORIGEN --columnas MAPA DESTINO.db [--anadir] [--crear-nombres]: the sheet import of
// the window, driven by a mapping file. Without --anadir it makes the new inventory DESTINO.db (which must not
// exist); with it the rows are added to the inventory DESTINO.db in one transaction. Types and brands the
// inventory does not have are created only with --crear-nombres. Gives the exit status: 0 imported, 1 not, 2 bad
// arguments.
namespace OrdenHoja {

int ejecutar(int argc, char** argv);

} // namespace OrdenHoja
