// talvirenca-importar ORIGEN.mdb DESTINO.db: imports an Access file into a new inventory file and prints the
// summary; exits with 0 when the import succeeded. The program's window runs it as a child process with the option
// --progreso, so a file that makes the Access reader crash can never take the window down; the command itself runs
// the import in a child of its own (the same program with --hijo), so such a crash leaves no file behind either.
#include "data/error_datos.h"
#include "data/traslado.h"
#include "data/ubicacion.h"
#include "hojas/lectura/orden_leer.h"
#include "importar/importacion.h"
#include "importar/orden_hoja.h"
#include "importar/vigilancia.h"

#include "modulo/module1.h"

#include <QFile>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// The temporary file, removed when the process is stopped from outside (Ctrl+C, the window's cancel).
char temporal_c[4096] = {};

extern "C" void al_parar(int senal) {
    if (temporal_c[0])
        ::unlink(temporal_c);
    std::signal(senal, SIG_DFL);
    std::raise(senal);
}

void escribir(FILE* f, const QString& texto) {
    const QByteArray bytes = texto.toUtf8();
    std::fwrite(bytes.constData(), 1, bytes.size(), f);
    std::fputc('\n', f);
    std::fflush(f);
}

// libmdb writes its own diagnostics on stderr; they mean nothing to the user, who gets the program's message.
class SinDiagnosticos {
public:
    SinDiagnosticos() : guardado_(::dup(2)) {
        const int nulo = ::open("/dev/null", O_WRONLY);
        if (nulo >= 0) {
            ::dup2(nulo, 2);
            ::close(nulo);
        }
    }
    ~SinDiagnosticos() {
        if (guardado_ >= 0) {
            ::dup2(guardado_, 2);
            ::close(guardado_);
        }
    }

private:
    int guardado_;
};

} // namespace

namespace {
const char* const uso_completo =
    "Uso: talvirenca-importar ORIGEN.mdb DESTINO.db\n"
    "     talvirenca-importar INVENTARIO.db postgresql://usuario@servidor/base\n"
    "Crea el inventario DESTINO.db con las tablas Elemento, Tipo y Marca del archivo de Access ORIGEN.mdb.\n"
    "Con un inventario de Talvirenca como origen y una base de datos de PostgreSQL vacía como destino, lleva\n"
    "el inventario a ese servidor, como talvirenca-trasladar.\n"
    "Nunca sobrescribe un archivo ni escribe en el de Access. Termina con 0 si ha importado, 1 si no ha podido\n"
    "y 2 si los argumentos no son válidos.\n"
    "\n"
    "  --hoja ORIGEN --columnas MAPA DESTINO.db [--anadir] [--crear-nombres]\n"
    "             importa una hoja de cálculo (XLSX, ODS, CSV o XLS) con las columnas que dice el archivo MAPA\n"
    "             (líneas «campo = columna»); con --anadir, en el inventario DESTINO.db, que ya existe\n"
    "  --comprobar ORIGEN.mdb\n"
    "             solo comprueba que ORIGEN.mdb se puede leer y tiene las tres tablas\n"
    "  --version  escribe la versión y termina\n"
    "  -h, --help escribe esta ayuda y termina\n";
} // namespace

int main(int argc, char** argv) {
    // The user's locale, as every program has it; numbers and dates are read from the file's bytes, not from texts
    // that depend on it.
    std::setlocale(LC_ALL, "");
    // One thread reads while another writes, each with its own objects: SQLite's count of its memory, which every
    // allocation would lock for, is not needed.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    // The sheet reader, as the window and the sheet import run it.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--leer-hoja") == 0) {
            Vigilancia::seguir_al_padre();
            return LectorHoja::orden_leer(argc, argv);
        }
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--hoja") == 0)
            return OrdenHoja::ejecutar(argc, argv);
    bool progreso = false;
    bool solo_comprobar = false;
    bool hijo = false;
    QStringList rutas;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("talvirenca-importar %s\n", qPrintable(Programa::version));
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(uso_completo, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--progreso") == 0)
            progreso = true;
        else if (std::strcmp(argv[i], "--comprobar") == 0)
            solo_comprobar = true;
        else if (std::strcmp(argv[i], "--hijo") == 0)
            hijo = true;
        else
            rutas << QFile::decodeName(argv[i]);
    }
    // The window checks the Access file this way before it asks for the new file's name.
    if (solo_comprobar && rutas.size() == 1) {
        QString error;
        {
            SinDiagnosticos silencio;
            try {
                Importacion::comprobar(rutas[0]);
            } catch (const ErrorDatos& e) {
                error = e.texto();
            }
        }
        if (error.isEmpty())
            return 0;
        if (progreso)
            escribir(stdout, Importacion::Protocolo::linea_error(QStringLiteral("ERROR: ") + error));
        escribir(stderr, QStringLiteral("ERROR: ") + error);
        return 1;
    }
    if (solo_comprobar || rutas.size() != 2) {
        escribir(stderr, QStringLiteral("Uso: talvirenca-importar ORIGEN.mdb DESTINO.db\n"
                                        "Pruebe «talvirenca-importar --help» para más información."));
        return 2;
    }
    // An inventory file moved to a server: the same move as talvirenca-trasladar.
    if (Ubicacion::es_uri(rutas[1])) {
        try {
            const Traslado::Cuentas cuentas = Traslado::trasladar(rutas[0], rutas[1]);
            escribir(stdout, QStringLiteral("Trasladados al servidor: %1 componentes, %2 tipos y %3 marcas.")
                                 .arg(cuentas.componentes)
                                 .arg(cuentas.tipos)
                                 .arg(cuentas.marcas));
            return 0;
        } catch (const ErrorDatos& e) {
            escribir(stderr, QStringLiteral("ERROR: ") + e.texto());
            return 1;
        }
    }
    if (!hijo)
        return Vigilancia::importar(Vigilancia::programa_hijo(), rutas[0], rutas[1], progreso);
    // The child speaks to the command in the lines of the window's protocol.
    Vigilancia::seguir_al_padre();
    progreso = true;
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        std::signal(s, al_parar);

    Importacion::Avisos avisos;
    avisos.temporal = [&](const QString& ruta) {
        const QByteArray b = QFile::encodeName(ruta);
        std::strncpy(temporal_c, b.constData(), sizeof(temporal_c) - 1);
        if (progreso)
            escribir(stdout, Importacion::Protocolo::linea_temporal(ruta));
    };
    if (progreso)
        avisos.progreso = [](qint64 hechas, qint64 total) {
            escribir(stdout, Importacion::Protocolo::linea_progreso(hechas, total));
        };
    Importacion::Resumen resumen;
    QString error;
    {
        SinDiagnosticos silencio;
        try {
            resumen = Importacion::importar(rutas[0], rutas[1], avisos);
        } catch (const ErrorDatos& e) {
            error = e.texto();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
    }
    temporal_c[0] = '\0';
    // The command that runs this child tells the user.
    if (!error.isEmpty()) {
        escribir(stdout, Importacion::Protocolo::linea_error(QStringLiteral("ERROR: ") + error));
        return 1;
    }
    for (const QString& linea : Importacion::Protocolo::lineas_resumen(resumen))
        escribir(stdout, linea);
    return 0;
}
