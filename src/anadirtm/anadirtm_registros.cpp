// Adding and deleting types and brands.
#include "anadirtm/anadirtm.h"

#include "data/error_datos.h"
#include "plataforma/mensajes.h"

#include <QComboBox>

namespace {

// The brand line shows the very texts of the type line.
const QString falta_nombre = QStringLiteral("ERROR: primero debe especificar un tipo.");
const QString falta_eliminar = QStringLiteral("ERROR: Primero debe especificar elemento a eliminar");
const QString no_encontrado = QStringLiteral("ERROR: no se encuentra elemento en tipos.");
const QString en_uso = QStringLiteral("ERROR: Se esta utilizando el tipo que desea eliminar.");
const QString eliminado = QStringLiteral("Registro eliminado.");

} // namespace

// The name is stored exactly as typed: no trimming, and a name already in the table is added again. Its code is the
// table's greatest code plus 1 (1 for an empty table), taken as it is stored, so two people adding at once never
// get the same one.
void AnadirTM::anadir_registro(QComboBox* combo, OrigenDatos& origen, void (AnadirTM::*rellenar)()) {
    const QString nombre = combo->currentText();
    if (nombre.isEmpty() || nombre == QLatin1String("0")) {
        Mensajes::aviso(this, falta_nombre);
        return;
    }
    Mensajes::proteger(this, [&] {
        try {
            origen.anadir_nuevo();
            origen.escribir(1, nombre);
            origen.actualizar_con_codigo_nuevo();
        } catch (const ErrorDatos&) {
            // The file refused the row: nothing is left pending and the list stays as it was.
            origen.cancelar();
            throw;
        }
        // Stored: the name leaves the box at once, so a refill that fails does not invite adding it twice.
        combo->clearEditText();
        (this->*rellenar)();
    });
}

void AnadirTM::eliminar_tipo() {
    eliminar(Combo1, Data1, 1, true);
}
void AnadirTM::eliminar_marca() {
    eliminar(Combo2, Data2, 2, false);
}

// Deletes the first row whose name equals the box's text exactly, unless a component uses its code (column
// `columna_uso` of Elemento). Neither list is refilled: the deleted name stays listed until the next refill.
void AnadirTM::eliminar(QComboBox* combo, OrigenDatos& origen, int columna_uso, bool avisar) {
    const QString nombre = combo->currentText();
    if (nombre.isEmpty()) {
        Mensajes::aviso(this, falta_eliminar);
        return;
    }
    Mensajes::proteger(this, [&] {
        bool encontrado = false;
        origen.mover_primero();
        while (!origen.al_final()) {
            if (origen.leer_texto(1) == nombre) {
                encontrado = true;
                break;
            }
            origen.mover_siguiente();
        }
        if (!encontrado) {
            Mensajes::aviso(this, no_encontrado);
            return;
        }
        const std::optional<qint64> codigo = origen.leer_entero(0);
        bool usado = false;
        Data3.mover_primero();
        while (!Data3.al_final()) {
            const std::optional<qint64> de_componente = Data3.leer_entero(columna_uso);
            if (codigo && de_componente == codigo) {
                usado = true;
                break;
            }
            Data3.mover_siguiente();
        }
        if (usado) {
            Mensajes::aviso(this, en_uso);
            return;
        }
        // Checked again as it is deleted: another user may have given it to a component since the list was read.
        if (!origen.borrar_si_no_usado(QStringLiteral("Elemento"), columna_uso)) {
            Mensajes::aviso(this, en_uso);
            return;
        }
        if (avisar)
            Mensajes::aviso(this, eliminado);
    });
}
