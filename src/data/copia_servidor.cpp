// A backup of an inventory kept on a server: the same kind of inventory file a backup of a file gives, written from
// the server's rows.
#include "data/copia_seguridad.h"

#include "data/archivo_nuevo.h"
#include "data/error_datos.h"
#include "data/inventario_nuevo.h"
#include "data/motor.h"
#include "data/ubicacion.h"
#include "data/valores.h"

#include <QDate>
#include <QFileInfo>
#include <QUuid>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Takes the rows of one table as the engine reads them and adds each, once complete, to the new inventory.
class ReceptorCopia : public ReceptorFilas {
public:
    ReceptorCopia(InventarioNuevo& destino, const Tabla& tabla) : destino_(destino), tabla_(tabla) {}
    ~ReceptorCopia() override = default;

    void reservar(qint64, qint64) override {}
    void fila(qint64) override {
        terminar_fila();
        valores_.clear();
        abierta_ = true;
    }
    void entero(qint64 valor) override { valores_.push_back(Valor{valor, 0, {}, false}); }
    void real(double valor) override { valores_.push_back(Valor{0, valor, {}, false}); }
    void texto(const char* datos, std::size_t longitud) override {
        valores_.push_back(Valor{0, 0, QByteArray(datos, static_cast<qsizetype>(longitud)), false});
    }
    void nulo() override { valores_.push_back(Valor{0, 0, {}, true}); }

    // Adds the last row; returns how many rows were added. Throws ErrorDatos, naming the rows, when some hold values
    // an inventory file cannot.
    qint64 terminar() {
        terminar_fila();
        if (numero_rechazados_ > 0) {
            QString lista = rechazados_.join(QStringLiteral("; "));
            if (numero_rechazados_ > rechazados_.size())
                lista += QStringLiteral(" y %1 más").arg(numero_rechazados_ - rechazados_.size());
            throw ErrorDatos(QStringLiteral("no se ha hecho la copia de seguridad: un archivo de inventario no puede "
                                            "guardar estos valores del servidor, que se perderían: %1. Corríjalos y "
                                            "repita la copia.")
                                 .arg(lista));
        }
        return filas_;
    }

private:
    struct Valor {
        qint64 entero;
        double real;
        QByteArray texto;
        bool nulo;
    };

    void terminar_fila() {
        if (!abierta_)
            return;
        abierta_ = false;
        ++filas_;
        const auto entero = [&](int i) { return valores_[i].nulo ? 0 : valores_[i].entero; };
        if (&tabla_ != &Esquema::elemento) {
            const QString nombre = QString::fromUtf8(valores_[1].texto);
            if (&tabla_ == &Esquema::tipo)
                destino_.anadir_tipo(entero(0), nombre);
            else
                destino_.anadir_marca(entero(0), nombre);
            return;
        }
        // Values an inventory file cannot hold are never dropped: the row is named, and the copy refused.
        const auto rechazar = [&](const QString& motivo) {
            if (rechazados_.size() < 10)
                rechazados_ << QStringLiteral("componente %1, %2").arg(entero(0)).arg(motivo);
            ++numero_rechazados_;
        };
        if (!valores_[5].nulo && !valores_[5].texto.isEmpty())
            rechazar(QStringLiteral("fecha «%1»").arg(QString::fromUtf8(valores_[5].texto)));
        else if (!valores_[5].nulo && (QDate::fromJulianDay(valores_[5].entero).year() < 1 ||
                                       QDate::fromJulianDay(valores_[5].entero).year() > 9999))
            rechazar(QStringLiteral("fecha %1").arg(Valores::texto_fecha(QDate::fromJulianDay(valores_[5].entero))));
        if (!valores_[6].nulo && std::isnan(valores_[6].real))
            rechazar(QStringLiteral("garantía «NaN»"));
        if (numero_rechazados_ > 0)
            return;
        InventarioNuevo::Componente c;
        c.codigo = entero(0);
        c.tipo = entero(1);
        c.marca = entero(2);
        c.modelo = valores_[3].texto;
        c.num_serie = valores_[4].texto;
        if (!valores_[5].nulo)
            c.fecha = QDate::fromJulianDay(valores_[5].entero);
        c.garantia = valores_[6].nulo ? 0 : valores_[6].real;
        c.descripcion = valores_[7].texto;
        c.renting = !valores_[8].nulo && valores_[8].entero != 0;
        destino_.anadir_componente(c);
    }

    InventarioNuevo& destino_;
    const Tabla& tabla_;
    std::vector<Valor> valores_;
    QStringList rechazados_;
    qint64 numero_rechazados_ = 0;
    bool abierta_ = false;
    qint64 filas_ = 0;
};

} // namespace

namespace CopiaSeguridad {

qint64 copiar_desde_servidor(const QString& uri, const QString& destino, bool reemplazar) {
    const QFileInfo info(destino);
    if (info.exists() && !reemplazar)
        throw ErrorDatos(QStringLiteral("el archivo %1 ya existe.").arg(info.absoluteFilePath()));
    // A file being replaced is written under another name first and put in its place only when complete.
    const QString nombre = info.exists() ? info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                               QStringLiteral(".") + QUuid::createUuid().toString(QUuid::Id128)
                                         : info.absoluteFilePath();
    qint64 componentes = 0;
    {
        InventarioNuevo nuevo(nombre);
        const std::unique_ptr<Motor> motor = Motor::para(uri);
        const std::unique_ptr<Motor::Lectura> lectura = motor->empezar_lectura();
        for (const Tabla* t : {&Esquema::tipo, &Esquema::marca, &Esquema::elemento}) {
            ReceptorCopia receptor(nuevo, *t);
            lectura->leer_tabla(*t, receptor);
            const qint64 filas = receptor.terminar();
            if (t == &Esquema::elemento)
                componentes = filas;
        }
        nuevo.terminar();
    }
    // The file the user agreed to replace is replaced only by the complete copy, and the folder kept on the disk.
    if (nombre != info.absoluteFilePath())
        ArchivoNuevo::dar_nombre(nombre, info.absoluteFilePath(), true, [&](const QString& motivo) {
            return QStringLiteral("no se ha podido guardar la copia de seguridad en %1: %2").arg(destino, motivo);
        });
    return componentes;
}

} // namespace CopiaSeguridad
