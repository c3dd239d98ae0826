// Loading a component into the card, storing it, and proposing the code of a new one.
#include "ficha/ficha.h"

#include "data/recorridos.h"
#include "data/valores.h"
#include "ficha/garantia_tecleada.h"
#include "modulo/module1.h"
#include "plataforma/dbcombo.h"

#include <algorithm>
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
    std::array<QString, campos> textos;
    for (int columna = 0; columna < campos - 1; ++columna)
        textos[columna] = Data1.leer_texto(columna);
    textos[8] = Valores::si_no(Data1.leer(8));
    for (int columna = 0; columna < campos; ++columna)
        dar_cabida(columna, textos[columna]);
    Text1->setText(textos[0]);
    // The pickers show the codes' digits; their bound values already follow Data1's row.
    DBCombo1->fijar_texto(textos[1]);
    DBCombo2->fijar_texto(textos[2]);
    Text4->setText(textos[3]);
    Text5->setText(textos[4]);
    Text6->setText(textos[5]);
    Combo2->setEditText(textos[6]);
    Text8->setText(textos[7]);
    Combo1->setEditText(textos[8]);
    recordar_cargados();
}

void Ficha::actualizar_registro() {
    guardar_registro();
}

void Ficha::anadir_registro() {
    guardar_registro();
}

void Ficha::guardar_registro() {
    // A field the user left as it loaded keeps the stored value itself, which its text may not give back exactly
    // (a renting flag other than 0 or 1, a number shown rounded).
    const auto poner = [this](int columna, const auto& valor) {
        if (cambiado(columna))
            Data1.escribir(columna, valor());
    };
    poner(0, [this] { return Text1->text(); });
    poner(1, [this] { return DBCombo1->valor_enlazado(); });
    poner(2, [this] { return DBCombo2->valor_enlazado(); });
    poner(3, [this] { return Text4->text(); });
    poner(4, [this] { return Text5->text(); });
    poner(5, [this] { return Text6->text(); });
    // comprobar_valores has refused a warranty that holds no number of months.
    poner(6, [this] { return GarantiaTecleada::leer(Combo2->currentText()).meses.value_or(0); });
    poner(7, [this] { return Text8->text(); });
    poner(8, [this] { return Combo1->currentText() == si ? 1 : 0; });
    Data1.actualizar();
}

void Ficha::poner_nuevo_numero_registro() {
    // A retired component's code is never given again.
    const qint64 mayor = std::max(Recorridos::codigo_mayor(Data1), bajas_.empty() ? qint64(0) : bajas_.back());
    // Unsigned, so that even the greatest code a file can hold has a following number to show.
    Text1->setText(QString::number(static_cast<quint64>(mayor) + 1));
    Data1.mover_primero();
}
