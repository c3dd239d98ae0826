#pragma once

// talvirenca-importar --leer-hoja ARCHIVO [--nombre-hoja HOJA] [--separador S] [--codificacion C]: reads one sheet
// and writes it in the lines of ProtocoloHoja on its standard output. The window and the command's sheet import
// run it as a child process, so a reader that crashes on a damaged file ends only the child. Gives the exit status.
namespace LectorHoja {

int orden_leer(int argc, char** argv);

} // namespace LectorHoja
