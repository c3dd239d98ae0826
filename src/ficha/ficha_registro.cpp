// Loading a component into the card, storing it, and proposing the code of a new one.
#include "ficha/ficha.h"

#include "data/recorridos.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/dbcombo.h"
#include "plataforma/mensajes.h"

#include <QComboBox>
#include <QLineEdit>
#include <utility>

namespace {
const QString no_encontrado = QStringLiteral("ERROR: no se encuentra el componente seleccionado.");
const QString si = QStringLiteral("Si");
} // namespace

void Ficha::configurar_datas_dbcombo() {
    Data1.enlazar_base_datos(Module1::base_datos);
    Data1.enlazar_tabla(QStringLiteral("Elemento"));
    Data2.enlazar_base_datos(Module1::base_datos);
    Data2.enlazar_tabla(QStringLiteral("Tipo"));
    Data3.enlazar_base_datos(Module1::base_datos);
    Data3.enlazar_tabla(QStringLiteral("Marca"));
    for (auto [picker, columna] :
         {std::pair{DBCombo1, QStringLiteral("Tipo")}, std::pair{DBCombo2, QStringLiteral("Marca")}}) {
        picker->fijar_columna_enlazada(QStringLiteral("Codigo"));
        picker->fijar_columna_datos(columna);
        picker->fijar_columna_lista(QStringLiteral("Nombre"));
    }
}

bool Ficha::buscar_registro() {
    Data1.refrescar();
    Data1.mover_primero();
    // The row whose code, in its text form, equals the selected text exactly. A code's text form is its plain
    // digits, so such a text is found through the code index, which gives the same first row as a walk; any other
    // text is looked for by walking the table.
    const std::optional<qint64> codigo = Valores::entero_de_texto(codigo_seleccionado_);
    if (codigo && QString::number(*codigo) == codigo_seleccionado_) {
        if (const std::optional<int> fila = Data1.primera_fila_con_codigo(*codigo)) {
            Data1.situar(*fila);
            return true;
        }
    } else {
        for (; !Data1.al_final(); Data1.mover_siguiente())
            if (Data1.leer_texto(0) == codigo_seleccionado_)
                return true;
    }
    // The list was older than the file: the component has gone since it was listed.
    Mensajes::aviso(this, no_encontrado);
    cerrada_al_cargar_ = true;
    return false;
}

void Ficha::extraer_registro() {
    Text1->setText(Data1.leer_texto(0));
    // The pickers show the codes' digits; their bound values already follow Data1's row.
    DBCombo1->fijar_texto(Data1.leer_texto(1));
    DBCombo2->fijar_texto(Data1.leer_texto(2));
    Text4->setText(Data1.leer_texto(3));
    Text5->setText(Data1.leer_texto(4));
    Text6->setText(Data1.leer_texto(5));
    Combo2->setEditText(Data1.leer_texto(6));
    Text8->setText(Data1.leer_texto(7));
    Combo1->setEditText(Valores::si_no(Data1.leer(8)));
}

void Ficha::actualizar_registro() {
    guardar_registro();
}

void Ficha::anadir_registro() {
    guardar_registro();
}

void Ficha::guardar_registro() {
    Data1.escribir(0, Text1->text());
    Data1.escribir(1, DBCombo1->valor_enlazado());
    Data1.escribir(2, DBCombo2->valor_enlazado());
    Data1.escribir(3, Text4->text());
    Data1.escribir(4, Text5->text());
    Data1.escribir(5, Text6->text());
    Data1.escribir(6, Valores::valor_numerico(Combo2->currentText()));
    Data1.escribir(7, Text8->text());
    Data1.escribir(8, Combo1->currentText() == si ? 1 : 0);
    Data1.actualizar();
}

void Ficha::poner_nuevo_numero_registro() {
    const qint64 mayor = Recorridos::codigo_mayor(Data1);
    // Unsigned, so that even the greatest code a file can hold has a following number to show.
    Text1->setText(QString::number(static_cast<quint64>(mayor) + 1));
    Data1.mover_primero();
}
