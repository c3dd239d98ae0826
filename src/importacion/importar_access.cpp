#include "importacion/importar_access.h"

#include "importacion/destino_importacion.h"
#include "plataforma/aspecto.h"
#include "plataforma/dialogos_sistema.h"
#include "plataforma/mensajes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>

using Aspecto::sitio;

namespace {

const QString titulo = QStringLiteral("Importar de Access");
const QString filtro = QStringLiteral("Bases de datos de Access (*.mdb *.accdb);;Todos los archivos (*)");
const QString nombre_orden = QStringLiteral("talvirenca-importar");

QString& orden_fijada() {
    static QString ruta;
    return ruta;
}

void poner_texto(QLabel* etiqueta, const QString& texto) {
    etiqueta->setText(texto);
    etiqueta->setAccessibleName(texto);
}

} // namespace

ImportarAccess::ImportarAccess(QWidget* padre) : VentanaFija(padre) {
    disenar();
    proceso_.setStandardErrorFile(QProcess::nullDevice());
    connect(&proceso_, &QProcess::readyReadStandardOutput, this, &ImportarAccess::leer_salida);
    connect(&proceso_, &QProcess::finished, this, &ImportarAccess::terminado);
}

ImportarAccess::~ImportarAccess() {
    if (proceso_.state() != QProcess::NotRunning) {
        proceso_.kill();
        proceso_.waitForFinished();
        quitar_temporales();
    }
}

void ImportarAccess::disenar() {
    setObjectName(QStringLiteral("ImportarAccess"));
    Aspecto::preparar_ventana(this, titulo, 1530, 2520, 6000, 1500, QStringLiteral(":/iconos/importar.svg"));
    Label1 = Aspecto::etiqueta(this, "Label1", QStringLiteral("Leyendo el archivo de Access..."),
                               sitio(120, 180, 5760, 255));
    Label1->setToolTip(QStringLiteral("Filas leídas del archivo de Access"));
    Label1->setAccessibleName(Label1->text());
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(sitio(120, 540, 5760, 285));
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setValue(0);
    ProgressBar1->setAccessibleName(QStringLiteral("Progreso de la importación"));
    Command1 = Aspecto::boton(this, "Command1", QStringLiteral("Cancelar"), sitio(4545, 990, 1335, 375),
                              QStringLiteral("Detiene la importación sin crear ningún archivo"));
    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, &ImportarAccess::Command1_Click);
}

QString ImportarAccess::orden() {
    if (!orden_fijada().isEmpty())
        return orden_fijada();
    const QString junto = QDir(QCoreApplication::applicationDirPath()).filePath(nombre_orden);
    if (QFileInfo(junto).isExecutable())
        return junto;
    const QString en_ruta = QStandardPaths::findExecutable(nombre_orden);
    return en_ruta.isEmpty() ? junto : en_ruta;
}

void ImportarAccess::fijar_orden(const QString& ruta) {
    orden_fijada() = ruta;
}

std::optional<QString> ImportarAccess::ejecutar() {
    QWidget* padre = parentWidget();
    const std::optional<QString> origen = DialogosSistema::elegir_archivo(padre, titulo, filtro);
    if (!origen)
        return std::nullopt;
    // A file that cannot be imported is told before the user names the new one.
    origen_ = *origen;
    if (!comprobar_origen()) {
        if (!cancelado_)
            Mensajes::aviso(padre, error_);
        return std::nullopt;
    }
    // The new inventory's name, before anything is read.
    const std::optional<QString> destino = DestinoImportacion::pedir_nuevo(padre, origen_);
    if (!destino)
        return std::nullopt;
    destino_ = *destino;

    proceso_.start(orden(), {QStringLiteral("--progreso"), origen_, destino_});
    if (!proceso_.waitForStarted()) {
        Mensajes::aviso(padre, QStringLiteral("ERROR: no se puede ejecutar la orden de importación %1: %2")
                                   .arg(orden(), proceso_.errorString()));
        return std::nullopt;
    }
    exec();
    if (cancelado_)
        return std::nullopt;
    if (!error_.isEmpty()) {
        Mensajes::aviso(padre, error_);
        return std::nullopt;
    }
    DestinoImportacion::mostrar_resumen(padre, resumen(), lectura_.resumen.detalles.join(u'\n'));
    if (!DestinoImportacion::usar_ahora(padre, titulo, destino_))
        return std::nullopt;
    return destino_;
}

QString ImportarAccess::resumen() const {
    const Importacion::Resumen& r = lectura_.resumen;
    QString texto = QStringLiteral("Se han importado %1 en %2.").arg(Importacion::cuentas(r), destino_);
    if (!r.detalles.isEmpty())
        texto += QStringLiteral("\n\nCambios y avisos: %1; la lista está en los detalles.").arg(r.detalles.size());
    return texto;
}

void ImportarAccess::leer_salida() {
    pendiente_ += proceso_.readAllStandardOutput();
    qsizetype fin;
    while ((fin = pendiente_.indexOf('\n')) >= 0) {
        Importacion::Protocolo::leer(QString::fromUtf8(pendiente_.left(fin)), lectura_);
        pendiente_.remove(0, fin + 1);
    }
    if (lectura_.total > 0) {
        ProgressBar1->setValue(int(lectura_.hechas * 1000 / lectura_.total));
        poner_texto(
            Label1,
            QStringLiteral("Leídas %1 de %2 filas del archivo de Access...").arg(lectura_.hechas).arg(lectura_.total));
    }
}

void ImportarAccess::terminado(int codigo, QProcess::ExitStatus estado) {
    leer_salida();
    if (comprobando_) {
        if (!cancelado_ && !(estado == QProcess::NormalExit && codigo == 0))
            error_ = lectura_.error.isEmpty() ? Importacion::lectura_interrumpida(origen_) : lectura_.error;
        done(error_.isEmpty() && !cancelado_ ? Accepted : Rejected);
        return;
    }
    if (cancelado_) {
        quitar_temporales();
        reject();
        return;
    }
    if (estado == QProcess::NormalExit && codigo == 0 && lectura_.terminado && QFileInfo::exists(destino_)) {
        accept();
        return;
    }
    quitar_temporales();
    error_ = lectura_.error.isEmpty() ? Importacion::lectura_interrumpida(origen_) : lectura_.error;
    reject();
}

// The command checks the file in a child process too, so a file that makes the reader crash is told as a damaged
// one. It usually takes a moment; a file that takes longer (one on a slow network folder) shows this window, whose
// "Cancelar" stops the check.
bool ImportarAccess::comprobar_origen() {
    comprobando_ = true;
    proceso_.start(orden(), {QStringLiteral("--progreso"), QStringLiteral("--comprobar"), origen_});
    if (!proceso_.waitForStarted()) {
        error_ = QStringLiteral("ERROR: no se puede ejecutar la orden de importación %1: %2")
                     .arg(orden(), proceso_.errorString());
        comprobando_ = false;
        return false;
    }
    if (!proceso_.waitForFinished(500)) {
        const QString antes = Label1->text();
        // The file's name: its whole path may not fit in the window.
        poner_texto(Label1,
                    QStringLiteral("Comprobando el archivo de Access %1...").arg(QFileInfo(origen_).fileName()));
        ProgressBar1->setRange(0, 0);
        exec();
        poner_texto(Label1, antes);
        ProgressBar1->setRange(0, 1000);
    }
    comprobando_ = false;
    lectura_ = {};
    pendiente_.clear();
    return !cancelado_ && error_.isEmpty();
}

void ImportarAccess::Command1_Click() {
    if (proceso_.state() == QProcess::NotRunning)
        return;
    cancelado_ = true;
    // The command removes its temporary file when asked to stop; one that does not answer is ended at once.
    proceso_.terminate();
    if (!proceso_.waitForFinished(3000)) {
        proceso_.kill();
        proceso_.waitForFinished();
    }
}

void ImportarAccess::closeEvent(QCloseEvent* evento) {
    if (proceso_.state() != QProcess::NotRunning) {
        evento->ignore();
        Command1_Click();
        return;
    }
    VentanaFija::closeEvent(evento);
}

// What a stopped or crashed command may have left: its temporary file, named after the destination.
void ImportarAccess::quitar_temporales() {
    if (destino_.isEmpty())
        return;
    if (!lectura_.temporal.isEmpty()) {
        QFile::remove(lectura_.temporal);
        QFile::remove(lectura_.temporal + QStringLiteral("-journal"));
    }
    const QFileInfo info(destino_);
    const QDir carpeta = info.absoluteDir();
    const QStringList restos =
        carpeta.entryList({QStringLiteral(".%1.*.importando*").arg(info.fileName())}, QDir::Files | QDir::Hidden);
    for (const QString& r : restos)
        QFile::remove(carpeta.filePath(r));
}
