// What the pieces of the inventory file connection share: the failure to open with SQLite's code, the texts of
// failures, the wait for another program holding the file, and the files found damaged.
#pragma once

#include <QString>
#include <exception>

struct sqlite3;

namespace ConexionInterna {

// A failure to open, with SQLite's code, so the opening can tell an interrupted write from other failures.
struct ErrorApertura {
    QString texto_;
    int codigo;
    const QString& texto() const { return texto_; }
};

QString texto_apertura(const QString& ruta, const QString& motivo);
// SQLite's extended code of a failure; 0 when it is not SQLite's.
int codigo_de(const std::exception& e);
QString motivo_de(const std::exception& e);
// The reason of a failure on a connection, with the system's own error behind it.
QString motivo_en(sqlite3* db, const std::exception& e);
// A journal the folder does not let anyone remove.
bool carpeta_sin_permiso(int codigo, int error_sistema);

// Called by SQLite while another program holds the file (sqlite3_busy_handler).
int esperar_bloqueo(void*, int intentos);

bool es_dano(int codigo);
// From now on no connection of this process reads or writes the file in this state.
void marcar_danado(const QString& ruta);

} // namespace ConexionInterna
