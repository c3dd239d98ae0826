// The shared pieces of the small windows beside the design.
#include "custodia/campos.h"

#include "data/error_datos.h"
#include "data/valores.h"
#include "exportar/tabla_exportar.h"
#include "plataforma/aspecto.h"
#include "plataforma/impresora_lineas.h"
#include "plataforma/reloj.h"

#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace CamposVentana {

namespace {

// Today on a double click, as the card's date field.
class HoyAlPulsar : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (evento->type() == QEvent::MouseButtonDblClick)
            if (auto* campo = qobject_cast<QLineEdit*>(objeto)) {
                campo->setText(Valores::texto_fecha(Reloj::hoy()));
                return true;
            }
        return false;
    }
};

} // namespace

QLineEdit* campo_fecha(QWidget* padre) {
    auto* campo = new QLineEdit(Valores::texto_fecha(Reloj::hoy()), padre);
    campo->setObjectName(QStringLiteral("TextFecha"));
    campo->setToolTip(QStringLiteral("Fecha (dd/mm/aaaa); doble clic para poner la de hoy"));
    campo->installEventFilter(new HoyAlPulsar(campo));
    return campo;
}

QDate fecha_de(QLineEdit* campo) {
    const std::optional<QDate> fecha = Valores::fecha_de_texto(campo->text().trimmed());
    if (!fecha)
        throw ErrorDatos(QStringLiteral("la fecha «%1» no es válida; escríbala como dd/mm/aaaa.").arg(campo->text()));
    return *fecha;
}

QPushButton* boton(QWidget* padre, const char* nombre, const QString& texto) {
    auto* b = new QPushButton(texto, padre);
    b->setObjectName(QLatin1String(nombre));
    b->setAutoDefault(false);
    return b;
}

void preparar(QDialog* ventana, const char* nombre, const QString& titulo) {
    ventana->setObjectName(QLatin1String(nombre));
    ventana->setWindowTitle(titulo);
    QPalette fondo = ventana->palette();
    fondo.setColor(QPalette::Window, Aspecto::naranja);
    ventana->setPalette(fondo);
    ventana->setAutoFillBackground(true);
    ventana->setMinimumWidth(Aspecto::px(6600));
}

QLabel* etiqueta(QWidget* padre, const char* nombre, const QString& texto) {
    auto* l = new QLabel(texto, padre);
    l->setObjectName(QLatin1String(nombre));
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    return l;
}

void imprimir_tabla(ImpresoraLineas& impresora, const QString& titulo, const TablaExportar& tabla) {
    const QStringList cabeceras = tabla.cabeceras_exportar();
    const QString cabecera = cabeceras.join(QStringLiteral("    "));
    impresora.empezar();
    impresora.linea(titulo);
    impresora.linea(QString());
    impresora.linea(cabecera);
    impresora.linea(QString(cabecera.size(), u'-'));
    impresora.linea(QString());
    for (int fila = 0; fila < tabla.filas_exportar(); ++fila) {
        QString linea = tabla.texto_exportar(fila, 0);
        for (int columna = 1; columna < int(cabeceras.size()); ++columna)
            linea += QStringLiteral("      ") + tabla.texto_exportar(fila, columna);
        impresora.linea(linea);
    }
    impresora.terminar();
}

} // namespace CamposVentana
