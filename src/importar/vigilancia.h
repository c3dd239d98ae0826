#pragma once

#include <QString>

// The command's import runs in a child process of its own, which the command watches: libmdb crashes on some
// damaged files, and a crash there ends only the child, while the command removes what the child left (its hidden
// temporary file) and tells the user. So no run of the command leaves behind a file it made.
namespace Vigilancia {

// The program run as the child: the command itself, unless the environment variable TALVIRENCA_IMPORTAR_HIJO names
// another (the tests' stand-in reader that crashes).
QString programa_hijo();

// Runs `programa --progreso ORIGEN DESTINO --hijo` and follows its lines: with `progreso` they are passed on as
// they come; without it the summary or the error is written as the command writes them. A child that ends without
// finishing (a crash, a stop from outside) has its temporary file removed. Returns the command's exit status; a
// stop from outside is passed on after the cleanup, so the command ends by the same signal.
int importar(const QString& programa, const QString& origen, const QString& destino, bool progreso);

// In the child: ends it (as a stop from outside, so it removes its temporary file) when the command that started
// it ends first.
void seguir_al_padre();

} // namespace Vigilancia
