// Who has each component and where: the commands of "&Herramientas" and of the list's context menu, and the
// status line of the selected component.
#include "principal/principal.h"

#include "buscartexto/texto_plegado.h"
#include "custodia/entrega.h"
#include "custodia/personas_lugares.h"
#include "custodia/tenencias.h"
#include "data/custodia.h"
#include "data/valores.h"
#include "modulo/module1.h"
#include "plataforma/aspecto.h"
#include "plataforma/mensajes.h"
#include "principal/modelo_lista.h"

#include <QLabel>
#include <QMenu>
#include <QTreeView>
#include <unordered_set>

namespace {
const std::shared_ptr<const Custodia::Estado> sin_custodia = std::make_shared<Custodia::Estado>();
}

const Custodia::Estado& Principal::custodia() const {
    return custodia_ ? *custodia_ : *sin_custodia;
}

void Principal::refrescar_custodia(std::future<std::shared_ptr<const Custodia::Estado>>* empezada) {
    // What the list shows does not depend on it: a failure to read it leaves the status line saying so.
    try {
        custodia_ = empezada ? empezada->get() : Custodia::leer(Module1::base_datos);
    } catch (const ErrorDatos& e) {
        custodia_.reset();
        Aspecto::mostrar_dato(lblTitular, QStringLiteral("No se sabe quién tiene los componentes: %1").arg(e.texto()));
        return;
    }
    mostrar_titular();
}

void Principal::mostrar_titular() {
    const int fila = fila_seleccionada();
    QString texto;
    if (fila >= 0)
        if (const std::optional<qint64> codigo = Valores::entero_de_texto(modelo_->texto(fila, 0)))
            texto = custodia().linea(*codigo);
    Aspecto::mostrar_dato(lblTitular, texto);
    lblTitular->setToolTip(texto.isEmpty() ? QStringLiteral("Quién tiene el componente elegido y dónde está") : texto);
}

std::optional<std::pair<qint64, QString>> Principal::componente_seleccionado() {
    const int fila = fila_seleccionada();
    if (fila < 0) {
        Mensajes::aviso(this, QStringLiteral("ERROR: No hay ningun elemento seleccionado."));
        return std::nullopt;
    }
    const QString texto = modelo_->texto(fila, 0);
    const std::optional<qint64> codigo = Valores::entero_de_texto(texto);
    if (!codigo) {
        Mensajes::aviso(this, QStringLiteral("ERROR: el código «%1» no es un número entero.").arg(texto));
        return std::nullopt;
    }
    QStringList partes;
    for (int columna : {0, 1, 2, 3})
        if (const QString t = modelo_->texto(fila, columna).trimmed(); !t.isEmpty())
            partes << t;
    return std::pair{*codigo, partes.join(QStringLiteral(" · "))};
}

void Principal::personas_lugares() {
    {
        PersonasLugares ventana(this);
        ventana.exec();
    }
    refrescar_custodia();
}

void Principal::entregar() {
    const auto componente = componente_seleccionado();
    if (!componente)
        return;
    // What the window offers is read now, so a hand-out made meanwhile by another user shows in it.
    if (!Mensajes::proteger(this, [this] { custodia_ = Custodia::leer(Module1::base_datos); }))
        return;
    {
        Entregar ventana(componente->first, componente->second, custodia_, this);
        ventana.exec();
    }
    refrescar_custodia();
}

void Principal::devolver() {
    const auto componente = componente_seleccionado();
    if (!componente)
        return;
    if (!Mensajes::proteger(this, [this] { custodia_ = Custodia::leer(Module1::base_datos); }))
        return;
    if (!custodia_->abierta(componente->first)) {
        Mensajes::aviso(this, QStringLiteral("ERROR: el componente %1 no está entregado.").arg(componente->first));
        return;
    }
    {
        Devolver ventana(componente->first, componente->second, custodia_, this);
        ventana.exec();
    }
    refrescar_custodia();
}

void Principal::tenencias() {
    Tenencias ventana(*impresora_lineas_, this);
    ventana.exec();
}

void Principal::menu_linea(const QPoint& donde) {
    const QModelIndex indice = ListView1->indexAt(donde);
    if (!indice.isValid())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menuLinea"));
    menu.addAction(QStringLiteral("E&ntregar..."), this, &Principal::entregar)
        ->setObjectName(QStringLiteral("lineaEntregar"));
    menu.addAction(QStringLiteral("&Devolver..."), this, &Principal::devolver)
        ->setObjectName(QStringLiteral("lineaDevolver"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Hist&orial..."), this, &Principal::historial_componente)
        ->setObjectName(QStringLiteral("lineaHistorial"));
    menu.addAction(QStringLiteral("Dar de &baja..."), this, &Principal::dar_de_baja)
        ->setObjectName(QStringLiteral("lineaDarDeBaja"));
    menu.exec(ListView1->viewport()->mapToGlobal(donde));
}

void Principal::anadir_por_titular(const QString& texto, std::vector<int>& filas) {
    const Custodia::Estado& c = custodia();
    if (c.abiertas.empty())
        return;
    // A place's name matches with the places above it, so "Edificio A" finds what is in each of its rooms.
    const QString buscado = TextoPlegado::plegar(texto.trimmed());
    if (buscado.isEmpty())
        return;
    std::unordered_set<qint64> personas, lugares;
    for (const Custodia::Persona& p : c.personas)
        if (TextoPlegado::plegar(p.nombre).contains(buscado))
            personas.insert(p.codigo);
    for (const Custodia::Lugar& l : c.lugares)
        if (TextoPlegado::plegar(c.ruta_lugar(l.codigo)).contains(buscado))
            lugares.insert(l.codigo);
    if (personas.empty() && lugares.empty())
        return;
    std::vector<char> hallada(size_t(Data1.numero_filas()), 0);
    for (int fila : filas)
        hallada[size_t(fila)] = 1;
    for (int fila = 0; fila < Data1.numero_filas(); ++fila) {
        const std::optional<qint64> codigo = Data1.entero(fila, 0);
        const Custodia::Abierta* a = codigo ? c.abierta(*codigo) : nullptr;
        if (a && (personas.count(a->persona) || lugares.count(a->lugar)))
            hallada[size_t(fila)] = 1;
    }
    filas.clear();
    for (int fila = 0; fila < int(hallada.size()); ++fila)
        if (hallada[size_t(fila)])
            filas.push_back(fila);
}
