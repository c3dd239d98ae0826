// The server engine's connections: one per database and thread, opened with timeouts and a password asked once,
// opened again after it was lost. Statements and write transactions on them are in pg_transaccion.cpp.
#include "data/pg_interno.h"

#include "data/error_datos.h"
#include "data/ubicacion.h"

#include <QDate>
#include <chrono>
#include <cstring>
#include <mutex>

using namespace PgInterno;

namespace {

// The server's answers are given up after this long, so that no window waits for more than about ten seconds.
constexpr const char* espera_conexion_s = "4";
// A connection that failed after this long failed for want of an answer.
constexpr int espera_agotada_ms = 3900;
// Asking whether the server is there at all, after a connection failed.
constexpr const char* espera_sondeo_s = "2";
constexpr int espera_sentencia_ms = 8000;

std::mutex mutex_claves;
// Passwords the user typed, by the database's name as shown: for this run only.
std::map<QString, QString> claves;
Servidor::PedirContrasena pedir_contrasena;

} // namespace

namespace PgInterno {

std::map<QString, std::unique_ptr<Enlace>>& enlaces() {
    thread_local std::map<QString, std::unique_ptr<Enlace>> todos;
    return todos;
}

QString primera_linea(const char* texto) {
    QString s = QString::fromUtf8(texto).trimmed();
    // libpq starts with where it tried to connect; what the server said follows.
    if (const qsizetype i = s.indexOf(QLatin1String("failed: ")); i >= 0)
        s = s.mid(i + 8);
    s = s.section(u'\n', 0, 0).trimmed();
    if (s.startsWith(QLatin1String("FATAL:")))
        s = s.mid(6).trimmed();
    return s;
}

} // namespace PgInterno

namespace PgInterno {

// The reason of a failure of the server, in the user's words.
QString motivo(const FalloPg& f, bool escritura) {
    if (f.perdida)
        return QStringLiteral("se ha perdido la conexión con el servidor; se volverá a conectar en la próxima "
                              "operación.");
    const QByteArray& e = f.estado;
    if (e == "42501")
        return escritura ? QStringLiteral("no tiene permiso para modificar el inventario del servidor.")
                         : QStringLiteral("no tiene permiso para leer el inventario del servidor.");
    if (e == "25006")
        return QStringLiteral("el servidor solo admite lecturas en esta base de datos.");
    if (e == "55P03")
        return QStringLiteral("otro usuario está modificando los mismos datos; inténtelo de nuevo más tarde.");
    if (e == "57014")
        return QStringLiteral("el servidor ha tardado demasiado en responder; inténtelo de nuevo más tarde.");
    if (e == "40001" || e == "40P01")
        return QStringLiteral("otro usuario ha modificado los mismos datos a la vez; inténtelo de nuevo.");
    if (e == "23505")
        return QStringLiteral("ya existe un registro con ese código.");
    if (e.startsWith("57P") || e == "53300")
        return QStringLiteral("el servidor no admite conexiones ahora; inténtelo de nuevo más tarde.");
    if (e.startsWith("22") || e.startsWith("23"))
        return QStringLiteral("la base de datos no admite ese valor.");
    if (e == "53100")
        return QStringLiteral("el disco del servidor está lleno.");
    if (e == "42P01" || e == "42703")
        return QStringLiteral("la base de datos del servidor no tiene la forma que el programa espera.");
    return QStringLiteral("el servidor ha respondido: %1").arg(f.mensaje);
}

QString texto_apertura(const QString& uri, const QString& motivo) {
    return QStringLiteral("no se puede abrir la base de datos %1: %2").arg(Ubicacion::sin_contrasena(uri), motivo);
}

// While a start-up lives on this thread, the reasons the servers it could not reach gave, by the name shown.
thread_local int arranques = 0;
thread_local std::map<QString, QString> fallos_arranque;

// Why the server refused a connection, asking for a password once when it wants one and none was given.
PGconn* conectar_una_vez(const QString& uri) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    const QByteArray dbname = uri.toUtf8();
    for (int intento = 0;; ++intento) {
        QByteArray clave;
        {
            std::lock_guard<std::mutex> bloqueo(mutex_claves);
            if (auto it = claves.find(visible); it != claves.end())
                clave = it->second.toUtf8();
        }
        // Ours come first: what the URI says about the same thing wins over them.
        std::vector<const char*> claves_pg = {"connect_timeout", "application_name", "client_encoding"};
        std::vector<const char*> valores = {espera_conexion_s, "Talvirenca", "UTF8"};
        if (!clave.isNull()) {
            claves_pg.push_back("password");
            valores.push_back(clave.constData());
        }
        claves_pg.push_back("dbname");
        valores.push_back(dbname.constData());
        claves_pg.push_back(nullptr);
        valores.push_back(nullptr);
        const auto inicio = std::chrono::steady_clock::now();
        PGconn* c = PQconnectdbParams(claves_pg.data(), valores.data(), 1);
        const bool agotada = std::chrono::steady_clock::now() - inicio >= std::chrono::milliseconds(espera_agotada_ms);
        if (c && PQstatus(c) == CONNECTION_OK) {
            try {
                ejecutar(c,
                         QString::fromLatin1(SentenciasPg::ajustes_conexion)
                             .arg(espera_sentencia_ms)
                             .arg(std::max(1, Conexion::espera_bloqueo())),
                         {}, PGRES_COMMAND_OK);
            } catch (const FalloPg& f) {
                PQfinish(c);
                throw ErrorDatos(texto_apertura(uri, motivo(f, false)));
            }
            return c;
        }
        const bool pide = c && PQconnectionNeedsPassword(c);
        const bool usada = c && PQconnectionUsedPassword(c);
        const QString mensaje = c ? primera_linea(PQerrorMessage(c)) : QStringLiteral("sin memoria");
        PQfinish(c);
        if (pide && intento == 0 && pedir_contrasena) {
            const std::optional<QString> dada = pedir_contrasena(visible);
            if (dada && !dada->isEmpty()) {
                std::lock_guard<std::mutex> bloqueo(mutex_claves);
                claves[visible] = *dada;
                continue;
            }
        }
        if (pide)
            throw ErrorDatos(texto_apertura(uri, QStringLiteral("el servidor pide una contraseña y no se ha dado "
                                                                "ninguna.")));
        if (usada) {
            std::lock_guard<std::mutex> bloqueo(mutex_claves);
            claves.erase(visible);
            throw ErrorDatos(
                texto_apertura(uri, QStringLiteral("el servidor no admite ese usuario con esa contraseña.")));
        }
        // A server that let the whole wait pass without answering is not there: asking again would only double
        // the wait.
        if (agotada)
            throw ErrorDatos(texto_apertura(
                uri, QStringLiteral("el servidor no responde; puede estar detenido o no ser accesible desde aquí.")));
        // Asked once more, without logging in, the server tells whether it is there at all.
        const char* claves_ping[] = {"connect_timeout", "dbname", nullptr};
        const char* valores_ping[] = {espera_sondeo_s, dbname.constData(), nullptr};
        switch (PQpingParams(claves_ping, valores_ping, 1)) {
        case PQPING_NO_RESPONSE:
            throw ErrorDatos(texto_apertura(
                uri, QStringLiteral("el servidor no responde; puede estar detenido o no ser accesible desde aquí.")));
        case PQPING_REJECT:
            throw ErrorDatos(texto_apertura(
                uri, QStringLiteral("el servidor no admite conexiones ahora; inténtelo de nuevo más tarde.")));
        case PQPING_NO_ATTEMPT:
            throw ErrorDatos(
                texto_apertura(uri, QStringLiteral("la dirección del servidor no es válida: %1").arg(mensaje)));
        default:
            throw ErrorDatos(
                texto_apertura(uri, QStringLiteral("el servidor ha rechazado la conexión: %1").arg(mensaje)));
        }
    }
}

// A server this start-up could not reach is not tried again before it ends: the user is asked for a password, or
// waits for an answer, once.
PGconn* conectar(const QString& uri) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    if (arranques > 0)
        if (auto it = fallos_arranque.find(visible); it != fallos_arranque.end())
            throw ErrorDatos(it->second);
    try {
        return conectar_una_vez(uri);
    } catch (const ErrorDatos& e) {
        if (arranques > 0)
            fallos_arranque[visible] = e.texto();
        throw;
    }
}

// This thread's connection to `uri`, opened (and the database checked) if there is none.
PGconn* conexion(const QString& uri, bool comprobar, bool& reutilizada) {
    auto& enlace = enlaces()[uri];
    if (enlace && PQstatus(enlace->conexion) != CONNECTION_OK)
        enlace.reset();
    reutilizada = static_cast<bool>(enlace);
    if (!enlace) {
        PGconn* c = conectar(uri);
        enlace = std::make_unique<Enlace>();
        enlace->conexion = c;
    }
    if (comprobar && !enlace->comprobado) {
        comprobar_inventario(enlace->conexion, uri);
        enlace->comprobado = true;
        preparar_anotacion(enlace->conexion);
    }
    return enlace->conexion;
}

using MotorPg::olvidar;

// Runs `cuerpo` on this thread's connection. A connection kept from before that turns out lost when its first
// statement is sent (the server was restarted meanwhile) is opened again once, since nothing was done through it.
void con_conexion(const QString& uri, bool escritura, const std::function<void(PGconn*, bool&)>& cuerpo) {
    for (int intento = 0;; ++intento) {
        bool reutilizada = false;
        PGconn* c = conexion(uri, true, reutilizada);
        bool empezado = false;
        try {
            cuerpo(c, empezado);
            return;
        } catch (const FalloPg& f) {
            if (f.perdida)
                olvidar(uri);
            if (f.perdida && reutilizada && !empezado && intento == 0)
                continue;
            throw ErrorDatos(escritura ? QStringLiteral("no se han podido guardar los cambios en %1: %2")
                                             .arg(Ubicacion::sin_contrasena(uri), motivo(f, true))
                                       : QStringLiteral("no se puede leer la base de datos %1: %2")
                                             .arg(Ubicacion::sin_contrasena(uri), motivo(f, false)));
        }
    }
}

} // namespace PgInterno

namespace MotorPg {

void olvidar(const QString& uri) {
    enlaces().erase(uri);
}

PGconn* conexion_sin_comprobar(const QString& uri) {
    bool reutilizada = false;
    return conexion(uri, false, reutilizada);
}

void olvidar_comprobacion(const QString& uri) {
    if (auto it = enlaces().find(uri); it != enlaces().end() && it->second)
        it->second->comprobado = false;
}
QString explicar(const Fallo& f, bool escritura) {
    return motivo(f, escritura);
}

} // namespace MotorPg

namespace Servidor {

void al_pedir_contrasena(PedirContrasena pedir) {
    pedir_contrasena = std::move(pedir);
}

Arranque::Arranque() {
    ++arranques;
}

Arranque::~Arranque() {
    if (--arranques == 0)
        fallos_arranque.clear();
}

void cerrar_conexiones() {
    enlaces().clear();
}

} // namespace Servidor
