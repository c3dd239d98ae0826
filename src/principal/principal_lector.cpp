// A code typed by a barcode scanner, or asked for by "Ir al código", opens the record card in consult mode.
#include "principal/principal.h"

#include "ficha/ficha.h"
#include "ircodigo/ir_codigo.h"
#include "modulo/module1.h"
#include "plataforma/dbcombo.h"
#include "plataforma/mensajes.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <algorithm>
#include <functional>
#include <limits>

namespace {

// A scanner types its keys a few milliseconds apart; a person seldom types two keys this close.
constexpr quint64 hueco_lector_ms = 80;

const QString no_es_codigo = QStringLiteral("ERROR: «%1» no es un código de componente: un código solo tiene cifras.");
const QString sin_componente = QStringLiteral("ERROR: ningún componente tiene el código %1.");
const QString codigo_grande =
    QStringLiteral("ERROR: «%1» es un número demasiado grande para un código: un código va hasta %2.");

bool solo_cifras(const QString& texto) {
    return !texto.isEmpty() && std::all_of(texto.begin(), texto.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool es_intro(const QKeyEvent* tecla) {
    return tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter;
}

// Where typed digits are text the user writes, not a code to look up.
bool es_caja_de_texto(const QWidget* w) {
    if (const auto* lista = qobject_cast<const QComboBox*>(w))
        return lista->isEditable();
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w);
}

// Hands every key pressed in the main window to it once, at the widget that receives it first (the one with the
// focus), before that widget acts on it.
class Lector : public QObject {
public:
    Lector(Principal* ventana, std::function<bool(QWidget*, QKeyEvent*)> tecla)
        : QObject(ventana), ventana_(ventana), tecla_(std::move(tecla)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (evento->type() != QEvent::KeyPress || !objeto->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(objeto);
        QWidget* foco = QApplication::focusWidget();
        if (w != (foco ? foco : ventana_) || w->window() != ventana_ || !ventana_->isActiveWindow())
            return false;
        return tecla_(w, static_cast<QKeyEvent*>(evento));
    }

private:
    Principal* ventana_;
    std::function<bool(QWidget*, QKeyEvent*)> tecla_;
};

} // namespace

void Principal::vigilar_lector() {
    new Lector(this, [this](QWidget* foco, QKeyEvent* tecla) { return tecla_lector(foco, tecla); });
}

bool Principal::tecla_lector(QWidget* foco, QKeyEvent* tecla) {
    // In the type picker a text of digits that names no type is a code; a type named with digits is still a type.
    if (foco == DBCombo1) {
        const QString texto = DBCombo1->currentText().trimmed();
        if (!es_intro(tecla) || !solo_cifras(texto) ||
            DBCombo1->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
            return false;
        // The next code read replaces this one instead of joining it.
        DBCombo1->lineEdit()->selectAll();
        consultar_codigo(texto);
        return true;
    }
    if (es_caja_de_texto(foco)) {
        lector_cifras_.clear();
        return false;
    }
    const quint64 ahora = tecla->timestamp();
    const bool seguida =
        !lector_cifras_.isEmpty() && ahora >= lector_ultima_ && ahora - lector_ultima_ <= hueco_lector_ms;
    const bool sin_control = !(tecla->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (sin_control && tecla->text().size() == 1 && solo_cifras(tecla->text())) {
        // A digit after a pause starts a new run. The digit still reaches the focused control, as it always did.
        if (!seguida)
            lector_cifras_.clear();
        lector_cifras_ += tecla->text();
        lector_ultima_ = ahora;
        return false;
    }
    if (tecla->key() == Qt::Key_Shift)
        return false;
    const QString codigo = lector_cifras_;
    lector_cifras_.clear();
    if (!es_intro(tecla) || !seguida)
        return false;
    consultar_codigo(codigo);
    return true;
}

// A code that names no component is told while the dialog stays open, so the user can correct it.
void Principal::ir_al_codigo() {
    std::optional<qint64> codigo;
    {
        IrCodigo ventana(this, [&](QWidget* padre, const QString& texto) {
            codigo = codigo_existente(padre, texto);
            return codigo.has_value();
        });
        if (ventana.exec() != QDialog::Accepted || !codigo)
            return;
    }
    abrir_ficha_de(*codigo);
}

void Principal::consultar_codigo(const QString& texto) {
    if (const std::optional<qint64> codigo = codigo_existente(this, texto))
        abrir_ficha_de(*codigo);
}

std::optional<qint64> Principal::codigo_existente(QWidget* padre, const QString& texto) {
    bool valido = false;
    const qint64 codigo = texto.toLongLong(&valido);
    if (!solo_cifras(texto)) {
        Mensajes::aviso(padre, no_es_codigo.arg(texto));
        return std::nullopt;
    }
    if (!valido) {
        Mensajes::aviso(padre, codigo_grande.arg(texto.trimmed(), QString::number(std::numeric_limits<qint64>::max())));
        return std::nullopt;
    }
    bool existe = false;
    // Reading again costs nothing while the file is unchanged, and finds a component added meanwhile.
    if (!Mensajes::proteger(padre, [&] {
            Data1.refrescar();
            existe = Data1.primera_fila_con_codigo(codigo).has_value();
        }))
        return std::nullopt;
    if (!existe) {
        Mensajes::aviso(padre, sin_componente.arg(codigo));
        return std::nullopt;
    }
    return codigo;
}

void Principal::abrir_ficha_de(qint64 codigo) {
    Module1::accion_ficha = ModoFicha::consultar;
    Ficha ficha(this, QString::number(codigo));
    ficha.exec();
}
