// The record card on its own: its design, the value forms it stores and shows, its pickers and its date shortcut.
#include "data/valores.h"
#include "ficha/ficha.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/dbcombo.h"
#include "plataforma/reloj.h"
#include "soporte/soporte.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

namespace {

const QStringList tipos_y_marcas = {
    "INSERT INTO Tipo VALUES (3, 'Teclado'), (1, 'Monitor'), (2, 'Impresora')",
    "INSERT INTO Marca VALUES (1, 'HP'), (5, 'Dell')",
    "INSERT INTO Elemento VALUES (4, 3, 1, 'K120', 'S4', '2000-03-05', 24, '', 1)",
};

void aceptar(QWidget* ficha) {
    QTest::mouseClick(Soporte::control<QPushButton>(ficha, "Command1"), Qt::LeftButton);
}

// A card opened in `modo` on the inventory at `ruta`, shown without waiting for it to close.
std::unique_ptr<Ficha> ficha(const QString& ruta, const QString& modo, const QString& codigo = {}) {
    Module1::base_datos = ruta;
    Module1::accion_ficha = modo;
    auto f = std::make_unique<Ficha>(nullptr, codigo);
    if (!f->cerrada_al_cargar())
        f->show();
    return f;
}

// Every field but the warranty and the renting box filled in a new card.
void rellenar(QWidget* f) {
    Soporte::elegir(Soporte::control<DBCombo>(f, "DBCombo1"), "Monitor");
    Soporte::elegir(Soporte::control<DBCombo>(f, "DBCombo2"), "HP");
    Soporte::reemplazar(Soporte::control<QLineEdit>(f, "Text4"), "E24");
    Soporte::reemplazar(Soporte::control<QLineEdit>(f, "Text5"), "S9");
    Soporte::reemplazar(Soporte::control<QLineEdit>(f, "Text6"), "05/03/2000");
}

} // namespace

class PruebaFichaValores : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    int bases = 0;
    QString base(const QStringList& sentencias = tipos_y_marcas) {
        return Soporte::crear_base(dir, QStringLiteral("b%1.db").arg(++bases), sentencias);
    }

private Q_SLOTS:
    void initTestCase() { Soporte::preparar_aplicacion(); }
    void cleanup() {
        Reloj::fijar_hoy(QDate());
        QVERIFY(Soporte::sin_sobresaltos());
    }

    void diseno() {
        auto f = ficha(base(), ModoFicha::anadir);
        QCOMPARE(f->windowTitle(), "Ficha de datos");
        QVERIFY(!f->windowIcon().isNull());
        QCOMPARE(f->size(), QSize(Aspecto::px(3690), Aspecto::px(3450)));
        QCOMPARE(f->minimumSize(), f->maximumSize());
        QCOMPARE(f->palette().color(QPalette::Window), Aspecto::naranja);
        // The keyboard's order: down the card as it is laid out, left to right, the buttons last; the code first.
        QStringList orden;
        QCOMPARE(f->focusWidget(), Soporte::control<QLineEdit>(f.get(), "Text1"));
        for (QWidget* w = f->focusWidget(); orden.size() < 11; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->parentWidget() == f.get())
                orden << w->objectName();
        QCOMPARE(orden, QStringList({"Text1", "DBCombo1", "DBCombo2", "Text4", "Text5", "Combo2", "Text8", "Text6",
                                     "Combo1", "Command2", "Command1"}));
        const QList<std::array<QString, 3>> campos = {
            {"Text1", "Codigo:", "Codigo"},
            {"DBCombo1", "Tipo:", "Tipo de componente"},
            {"DBCombo2", "Marca:", "Marca del componente"},
            {"Text4", "Modelo:", "Modelo"},
            {"Text5", "Nº serie:", "Número de serie"},
            {"Text6", "Fecha:", "Fecha de compra"},
            {"Combo2", "Garantia:", "Número de meses de la garantia"},
            {"Text8", "Descripción:", "Descripción del componente"},
            {"Combo1", "Renting:", "Comprando por renting si/no"},
        };
        for (const auto& [nombre, etiqueta, ayuda] : campos) {
            QWidget* c = Soporte::control<QWidget>(f.get(), nombre.toLatin1().constData());
            QCOMPARE(c->accessibleName(), etiqueta);
            QCOMPARE(c->toolTip(), ayuda);
            QCOMPARE(c->palette().color(QPalette::Base), Aspecto::amarillo);
            QVERIFY(c->isEnabled());
        }
        for (const auto& [nombre, texto, ayuda] :
             {std::array<QString, 3>{"Command1", "Aceptar", "Acepta los cambios y vuelve al menu principal"},
              {"Command2", "Cancelar", "Cancela y vuelve al menu principal sin grabar ni actualizar"}}) {
            auto* b = Soporte::control<QPushButton>(f.get(), nombre.toLatin1().constData());
            QCOMPARE(b->text(), texto);
            QCOMPARE(b->toolTip(), ayuda);
            QVERIFY(!b->autoDefault() && !b->isDefault());
        }
        QCOMPARE(Soporte::control<QLabel>(f.get(), "Label5")->buddy(), Soporte::control<QLineEdit>(f.get(), "Text5"));
        QStringList listas;
        for (const char* nombre : {"Combo1", "Combo2"})
            for (int i = 0; i < Soporte::control<QComboBox>(f.get(), nombre)->count(); ++i)
                listas << Soporte::control<QComboBox>(f.get(), nombre)->itemText(i);
        QCOMPARE(listas, QStringList({"Si", "No", "6", "12", "24", "36"}));
        QCOMPARE(Soporte::control<QComboBox>(f.get(), "Combo1")->currentText(), "");
        QCOMPARE(Soporte::control<QComboBox>(f.get(), "Combo2")->currentText(), "");
    }

    void valores_guardados_data() {
        QTest::addColumn<QString>("garantia");
        QTest::addColumn<QString>("renting");
        QTest::addColumn<QString>("guardado");
        QTest::newRow("de la lista") << "12"
                                     << "Si"
                                     << "12.0||1";
        QTest::newRow("meses tecleados") << "18"
                                         << "No"
                                         << "18.0||0";
        QTest::newRow("número y palabra") << "12 meses"
                                          << "si"
                                          << "12.0||0";
        QTest::newRow("hexadecimal") << "&H10"
                                     << "SI"
                                     << "16.0||0";
        QTest::newRow("blancos y exponente") << " 1 . 5e1"
                                             << "Si "
                                             << "15.0||0";
        QTest::newRow("coma decimal") << "1,5"
                                      << "Sí"
                                      << "1.5||0";
        QTest::newRow("coma y dos decimales") << "2,75"
                                              << "Si"
                                              << "2.75||1";
        QTest::newRow("punto decimal") << "2.75"
                                       << "No"
                                       << "2.75||0";
        QTest::newRow("menos cero") << "-0"
                                    << "No"
                                    << "0.0||0";
    }

    void garantias_rechazadas_data() {
        QTest::addColumn<QString>("garantia");
        QTest::addColumn<QString>("mensaje");
        const QString no_numero = "ERROR: el campo Garantia no es un número de meses: «%1».";
        for (const char* texto :
             {"abc", "mucho", "nan", "NaN", "inf", "-inf", "1,5,3", "1.000,5", "&H", "&Hzz", "&O78", "e5", ","})
            QTest::newRow(texto) << texto << no_numero.arg(texto);
        for (const char* texto : {"-3", "-0,5", " - 12"})
            QTest::newRow(texto) << texto
                                 << QStringLiteral("ERROR: el campo Garantia es negativo: «%1»; una garantía va de 0 "
                                                   "meses en adelante.")
                                        .arg(texto);
        for (const char* texto : {"1e309", "-1e309", "1e9999999999",
                                  "&H"
                                  "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                                  "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                                  "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                                  "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                                  "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                                  "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"})
            QTest::newRow(QByteArray(texto).left(12).constData())
                << texto << QStringLiteral("ERROR: el campo Garantia es un número demasiado grande: «%1».").arg(texto);
        QTest::newRow("1e-400") << "1e-400"
                                << "ERROR: el campo Garantia es un número demasiado pequeño: «1e-400».";
    }

    // What holds no number of months from 0 up is refused, naming what was typed, and nothing is stored.
    void garantias_rechazadas() {
        QFETCH(QString, garantia);
        QFETCH(QString, mensaje);
        const QString ruta = base();
        const QByteArray antes = Soporte::contenido(ruta);
        auto f = ficha(ruta, ModoFicha::anadir);
        rellenar(f.get());
        Soporte::reemplazar(Soporte::control<QComboBox>(f.get(), "Combo2"), garantia);
        Soporte::reemplazar(Soporte::control<QComboBox>(f.get(), "Combo1"), "No");
        aceptar(f.get());
        QCOMPARE(Soporte::avisos(), QStringList{mensaje});
        QVERIFY(f->isVisible());
        QCOMPARE(Soporte::contenido(ruta), antes);
    }

    void valores_guardados() {
        QFETCH(QString, garantia);
        QFETCH(QString, renting);
        QFETCH(QString, guardado);
        const QString ruta = base();
        auto f = ficha(ruta, ModoFicha::anadir);
        rellenar(f.get());
        Soporte::reemplazar(Soporte::control<QComboBox>(f.get(), "Combo2"), garantia);
        Soporte::reemplazar(Soporte::control<QComboBox>(f.get(), "Combo1"), renting);
        aceptar(f.get());
        QVERIFY(!f->isVisible());
        QCOMPARE(Soporte::filas(ruta, "Elemento").last(), "5|1|1|E24|S9|2000-03-05|" + guardado);
    }

    void fecha_de_hoy_con_doble_clic() {
        Reloj::fijar_hoy(QDate(2026, 12, 6));
        const QString ruta = base();
        auto f = ficha(ruta, ModoFicha::anadir);
        QLineEdit* fecha = Soporte::control<QLineEdit>(f.get(), "Text6");
        QTest::mouseDClick(fecha, Qt::LeftButton);
        QCOMPARE(fecha->text(), "06/12/2026");
        Soporte::reemplazar(fecha, "01/01/1999");
        QTest::mouseDClick(fecha, Qt::LeftButton);
        QCOMPARE(fecha->text(), "06/12/2026");

        auto consulta = ficha(ruta, ModoFicha::consultar, "4");
        QTest::mouseDClick(Soporte::control<QLineEdit>(consulta.get(), "Text6"), Qt::LeftButton);
        QCOMPARE(Soporte::control<QLineEdit>(consulta.get(), "Text6")->text(), "05/03/2000");
    }

    void selectores() {
        const QString ruta = base();
        auto nueva = ficha(ruta, ModoFicha::anadir);
        auto* tipo = Soporte::control<DBCombo>(nueva.get(), "DBCombo1");
        auto* marca = Soporte::control<DBCombo>(nueva.get(), "DBCombo2");
        QStringList nombres;
        for (int i = 0; i < tipo->count(); ++i)
            nombres << tipo->itemText(i);
        QCOMPARE(nombres, QStringList({"Monitor", "Impresora", "Teclado"})); // table order
        QCOMPARE(tipo->currentText(), "");
        QCOMPARE(tipo->valor_enlazado(), "0");
        QCOMPARE(marca->valor_enlazado(), "0");
        Soporte::elegir(marca, "Dell");
        QCOMPARE(marca->currentText(), "Dell");
        QCOMPARE(marca->valor_enlazado(), "5");
        QCOMPARE(tipo->valor_enlazado(), "0");

        auto cambio = ficha(ruta, ModoFicha::modificar, "4");
        QCOMPARE(Soporte::control<DBCombo>(cambio.get(), "DBCombo1")->currentText(), "3");
        QCOMPARE(Soporte::control<DBCombo>(cambio.get(), "DBCombo1")->valor_enlazado(), "3");
        QCOMPARE(Soporte::control<DBCombo>(cambio.get(), "DBCombo2")->valor_enlazado(), "1");

        auto consulta = ficha(ruta, ModoFicha::consultar, "4");
        QVERIFY(!Soporte::control<DBCombo>(consulta.get(), "DBCombo1")->isEnabled());

        // A type stored while the card was closed is offered at its next opening.
        Soporte::ejecutar(ruta, {"INSERT INTO Tipo VALUES (9, 'Escáner')"});
        auto otra = ficha(ruta, ModoFicha::anadir);
        QCOMPARE(Soporte::control<DBCombo>(otra.get(), "DBCombo1")->findText("Escáner"), 3);
    }

    void codigo_buscado_como_texto() {
        // A file made by hand, without keys: two components share a code and one has none.
        const QString ruta = Soporte::crear_base_sin_claves(
            dir, "a_mano.db",
            {"INSERT INTO Tipo VALUES (1, 'Monitor')", "INSERT INTO Marca VALUES (1, 'HP')",
             "INSERT INTO Elemento VALUES (4, 1, 1, 'Primero', 'S', '2000-01-01', 6, '', 0), "
             "(4, 1, 1, 'Segundo', 'S', '2000-01-01', 6, '', 0), "
             "(NULL, 1, 1, 'Sin código', 'S', '2000-01-01', 6, '', 0)"});
        const QByteArray antes = Soporte::contenido(ruta);
        QCOMPARE(Soporte::control<QLineEdit>(ficha(ruta, ModoFicha::consultar, "4").get(), "Text4")->text(), "Primero");
        QCOMPARE(Soporte::control<QLineEdit>(ficha(ruta, ModoFicha::consultar, "").get(), "Text4")->text(),
                 "Sin código");
        for (const char* texto : {" 4", "04", "5"}) {
            auto f = ficha(ruta, ModoFicha::consultar, texto);
            QVERIFY(f->cerrada_al_cargar());
            QCOMPARE(f->exec(), int(QDialog::Rejected)); // returns at once, never shown
            QCOMPARE(Soporte::avisos(), QStringList({"ERROR: no se encuentra el componente seleccionado."}));
        }
        // The other row with the same code counts even though the component's own does not.
        auto f = ficha(ruta, ModoFicha::modificar, "4");
        aceptar(f.get());
        QCOMPARE(Soporte::avisos(), QStringList({"ERROR: ya existe un componente con ese código."}));
        QVERIFY(f->isVisible());
        QCOMPARE(Soporte::contenido(ruta), antes);
    }

    void modo_desconocido() {
        const QString ruta = base({"INSERT INTO Tipo VALUES (1, 'Monitor')"});
        const QByteArray antes = Soporte::contenido(ruta);
        auto f = ficha(ruta, QStringLiteral("consultar"));
        QVERIFY(Soporte::control<QLineEdit>(f.get(), "Text1")->isEnabled());
        QCOMPARE(Soporte::control<QLineEdit>(f.get(), "Text1")->text(), "");
        QCOMPARE(Soporte::control<DBCombo>(f.get(), "DBCombo1")->count(), 1);
        Soporte::reemplazar(Soporte::control<QLineEdit>(f.get(), "Text1"), "8");
        aceptar(f.get());
        QCOMPARE(Soporte::avisos(),
                 QStringList({"ERROR: el campo Modelo esta vacion.", "ERROR: el campo Nº de serie esta vacio.",
                              "ERROR: el campo Fecha esta vacio.", "ERROR: el campo Garantia esta vacio.",
                              "ERROR: el campo Renting esta vacio."}));
        QVERIFY(!f->isVisible());
        QCOMPARE(Soporte::contenido(ruta), antes);
    }
};

QTEST_MAIN(PruebaFichaValores)
#include "test_ficha_valores.moc"
