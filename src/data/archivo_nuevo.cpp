#include "data/archivo_nuevo.h"

#include "data/error_datos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::function<void(const QString&)> antes_del_nombre;
std::function<bool(const QString&)> sincronia;

QString motivo_sistema(int error) {
    return QString::fromLocal8Bit(std::strerror(error)) + u'.';
}

} // namespace

namespace ArchivoNuevo {

bool sincronizar(const QString& ruta) {
    if (sincronia)
        return sincronia(ruta);
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A failed fsync may have dropped the pages it could not write: the file is not known to be kept.
    const bool hecho = ::fsync(fd) == 0;
    ::close(fd);
    return hecho;
}

QString no_guardado() {
    return QStringLiteral("el disco no ha confirmado que el archivo quede guardado.");
}

QString reservar_temporal(const QString& destino, const QString& sufijo, QString* error) {
    const QFileInfo info(destino);
    for (;;) {
        const QString nombre =
            info.absoluteDir().filePath(QStringLiteral(".%1.%2%3")
                                            .arg(info.fileName())
                                            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                                            .arg(sufijo));
        // O_EXCL: the name is this call's own, so removing it later never removes another program's file.
        const int fd = ::open(QFile::encodeName(nombre).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return nombre;
        }
        if (errno != EEXIST) {
            if (error)
                *error = motivo_sistema(errno);
            return QString();
        }
    }
}

void dar_nombre(const QString& temporal, const QString& destino, bool reemplazar,
                const std::function<QString(const QString&)>& fallo) {
    const QByteArray desde = QFile::encodeName(temporal);
    const QByteArray hasta = QFile::encodeName(destino);
    const auto fallar = [&](const QString& motivo) {
        ::unlink(desde.constData());
        throw ErrorDatos(fallo(motivo));
    };
    if (antes_del_nombre)
        antes_del_nombre(destino);
    const QString carpeta = QFileInfo(destino).absolutePath();
    if (reemplazar) {
        if (std::rename(desde.constData(), hasta.constData()) != 0)
            fallar(motivo_sistema(errno));
        // The file the user agreed to replace is gone already: the failure is told, nothing more can be undone.
        if (!sincronizar(carpeta))
            throw ErrorDatos(fallo(no_guardado()));
        return;
    }
    // A hard link gives the file its name only when that name is free; then the temporary name goes.
    if (::link(desde.constData(), hasta.constData()) != 0) {
        const int error = errno;
        if (error == EEXIST)
            fallar(QStringLiteral("el archivo ya existe."));
        // Folders that do not take hard links (some removable and network disks): a rename that also refuses an
        // existing name, where the system has one; never a plain rename, which would replace another's file.
        if (::renameat2(AT_FDCWD, desde.constData(), AT_FDCWD, hasta.constData(), RENAME_NOREPLACE) != 0) {
            const int otro = errno;
            fallar(otro == EEXIST ? QStringLiteral("el archivo ya existe.")
                                  : QStringLiteral("no se puede dar nombre al archivo: ") + motivo_sistema(otro));
        }
    } else {
        ::unlink(desde.constData());
    }
    if (!sincronizar(carpeta)) {
        // The name is this call's own: it goes again, so no file is left that may vanish at the next power cut.
        ::unlink(hasta.constData());
        throw ErrorDatos(fallo(no_guardado()));
    }
}

void al_dar_nombre(std::function<void(const QString&)> accion) {
    antes_del_nombre = std::move(accion);
}

void al_sincronizar(std::function<bool(const QString&)> decide) {
    sincronia = std::move(decide);
}

} // namespace ArchivoNuevo
