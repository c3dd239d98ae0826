#include "importar/vigilancia.h"

#include "importar/importacion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Vigilancia {

namespace {

// The child, while it runs, and the stop asked from outside meanwhile (0: none).
volatile pid_t hijo_pid = 0;
volatile std::sig_atomic_t senal_recibida = 0;

// A stop from outside goes to the child, which removes its own file; the command cleans up after it and then ends
// by the same signal.
extern "C" void pasar_senal(int senal) {
    senal_recibida = senal;
    if (hijo_pid > 0)
        ::kill(hijo_pid, SIGTERM);
}

bool escribir(FILE* f, const QString& texto) {
    const QByteArray bytes = texto.toUtf8() + '\n';
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f) == size_t(bytes.size()) && std::fflush(f) == 0;
}

// The hidden temporary files an import into `destino` makes: ".NAME.XXXXXXXX.importando" and its journal.
QStringList restos(const QString& destino) {
    const QFileInfo info(destino);
    const QString prefijo = QStringLiteral(".") + info.fileName() + QStringLiteral(".");
    QStringList hallados;
    const QDir carpeta = info.absoluteDir();
    for (const QString& nombre : carpeta.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!nombre.startsWith(prefijo))
            continue;
        const QString resto = nombre.mid(prefijo.size());
        if (resto.size() >= 9 && resto[8] == u'.' &&
            (resto.mid(9) == QLatin1String("importando") || resto.mid(9) == QLatin1String("importando-journal")))
            hallados << carpeta.filePath(nombre);
    }
    return hallados;
}

pid_t lanzar(const QString& programa, const QString& origen, const QString& destino, int& lectura) {
    int tubo[2];
    if (::pipe2(tubo, O_CLOEXEC) != 0)
        return -1;
    const QByteArray argumentos[] = {QFile::encodeName(programa), QByteArrayLiteral("--progreso"),
                                     QFile::encodeName(origen), QFile::encodeName(destino),
                                     QByteArrayLiteral("--hijo")};
    char* argv[std::size(argumentos) + 1] = {};
    for (size_t i = 0; i < std::size(argumentos); ++i)
        argv[i] = const_cast<char*>(argumentos[i].constData());
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_adddup2(&acciones, tubo[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int resultado = ::posix_spawn(&pid, argv[0], &acciones, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&acciones);
    ::close(tubo[1]);
    if (resultado != 0) {
        ::close(tubo[0]);
        errno = resultado;
        return -1;
    }
    lectura = tubo[0];
    return pid;
}

} // namespace

QString programa_hijo() {
    const char* otro = std::getenv("TALVIRENCA_IMPORTAR_HIJO");
    if (otro && *otro)
        return QFile::decodeName(otro);
    // The running program's own file, even if an update has replaced the one at its path meanwhile.
    return QStringLiteral("/proc/self/exe");
}

int importar(const QString& programa, const QString& origen, const QString& destino, bool progreso) {
    struct sigaction accion {};
    accion.sa_handler = pasar_senal;
    sigemptyset(&accion.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &accion, nullptr);
    // A reader of the lines that went away shows as a failed write, not as a sudden end.
    std::signal(SIGPIPE, SIG_IGN);

    const QStringList antes = restos(destino);
    int lectura = -1;
    const pid_t pid = lanzar(programa, origen, destino, lectura);
    if (pid < 0) {
        const QString error = QStringLiteral("ERROR: no se puede ejecutar la lectura del archivo de Access %1: %2")
                                  .arg(origen, QString::fromLocal8Bit(std::strerror(errno)));
        if (progreso)
            escribir(stdout, Importacion::Protocolo::linea_error(error));
        escribir(stderr, error);
        return 1;
    }
    hijo_pid = pid;
    if (senal_recibida)
        ::kill(pid, SIGTERM);

    Importacion::Protocolo::Lectura leido;
    std::string pendiente;
    char trozo[65536];
    // Nobody follows the import any more: it stops, and leaves nothing.
    bool salida_rota = false;
    for (;;) {
        const ssize_t n = ::read(lectura, trozo, sizeof trozo);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pendiente.append(trozo, size_t(n));
        size_t inicio = 0;
        for (size_t fin; (fin = pendiente.find('\n', inicio)) != std::string::npos; inicio = fin + 1) {
            const QString linea = QString::fromUtf8(pendiente.data() + inicio, qsizetype(fin - inicio));
            Importacion::Protocolo::leer(linea, leido);
            if (progreso && !salida_rota && !escribir(stdout, linea)) {
                salida_rota = true;
                ::kill(pid, SIGTERM);
            }
        }
        pendiente.erase(0, inicio);
    }
    ::close(lectura);
    int estado = 0;
    while (::waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
    }
    hijo_pid = 0;

    // The child writes the summary only once the new file has its name: then the import is done, whatever the
    // child did after it.
    const bool hecho = leido.terminado;
    if (!hecho) {
        if (!leido.temporal.isEmpty()) {
            QFile::remove(leido.temporal);
            QFile::remove(leido.temporal + QStringLiteral("-journal"));
        }
        // A child that ended before it named its file: what appeared meanwhile under the import's hidden names.
        for (const QString& resto : restos(destino))
            if (!antes.contains(resto))
                QFile::remove(resto);
    }
    if (senal_recibida) {
        const int senal = senal_recibida;
        std::signal(senal, SIG_DFL);
        std::raise(senal);
    }
    if (hecho) {
        if (!progreso && !salida_rota)
            escribir(stdout, Importacion::texto_resumen(leido.resumen));
        return 0;
    }
    if (salida_rota)
        return 1;
    const QString error = leido.error.isEmpty() ? Importacion::lectura_interrumpida(origen) : leido.error;
    if (progreso && leido.error.isEmpty())
        escribir(stdout, Importacion::Protocolo::linea_error(error));
    escribir(stderr, error);
    return 1;
}

void seguir_al_padre() {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The command may have ended before the line above: then the child is an orphan already.
    if (::getppid() == 1)
        std::raise(SIGTERM);
}

} // namespace Vigilancia
