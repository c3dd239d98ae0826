#pragma once

#include <QString>

// A layer over SQLite's default file system that counts every read, write, sync, truncation and lock of every file
// SQLite opens, and can make one of those calls fail, as a full or failing disk would. Only tests install it.
namespace VfsFallos {

enum class Clase { lectura, escritura, sincronia, truncado, bloqueo };

// Puts the layer in place of the default file system; later connections go through it.
void instalar();

// Starts counting from zero, with no failure.
void contar();
// Starts counting from zero; the call number `n` (from 1) fails, and every call before it works.
void fallar_en(int n);
// Whether the calls after the failed one fail the same way until parar() (a disk that stays broken) or work (a
// passing failure). Passing unless told otherwise.
void fallar_siempre(bool si);
// Stops counting and failing.
void parar();

// Calls counted since the last contar() or fallar_en().
int llamadas();
// The armed failure happened; which call it hit and the code it returned.
bool fallo_hecho();
Clase clase_fallada();
int codigo_fallado();
QString nombre_clase(Clase clase);

} // namespace VfsFallos
