// The server engine: an inventory in a PostgreSQL database, through libpq. Each thread keeps one connection per
// database for the run, opened at the first operation and again at the next one after it was lost. Tables are read
// whole with COPY, in one statement; every write is one transaction whose checks run inside it.
#include "data/motor_pg.h"

#include "data/conexion.h"
#include "data/sentencias_pg.h"
#include "data/esquema.h"
#include "data/error_datos.h"
#include "data/ubicacion.h"
#include "data/valores.h"

#include <QDate>
#include <QStringList>
#include <chrono>
#include <charconv>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

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

struct Enlace {
    PGconn* conexion = nullptr;
    // The database was found to hold an inventory through this connection.
    bool comprobado = false;
    // The statement that begins each read is prepared on this connection: it is planned once, not at every read.
    bool estado_preparado = false;
    ~Enlace() {
        if (conexion)
            PQfinish(conexion);
    }
};
thread_local std::map<QString, std::unique_ptr<Enlace>> enlaces;

using FalloPg = MotorPg::Fallo;

const char* tipo_sql(Clase clase) {
    switch (clase) {
    case Clase::entero:
        return "bigint";
    case Clase::real:
        return "double precision";
    case Clase::texto:
        return "text";
    case Clase::fecha:
        return "date";
    case Clase::logico:
        return "boolean";
    }
    return "text";
}

QString nombre_sql(const char* nombre) {
    return QString::fromLatin1(nombre).toLower();
}

QString lista_columnas(const Tabla& t) {
    QStringList partes;
    for (const Columna& c : t.columnas)
        partes << nombre_sql(c.nombre);
    return partes.join(QStringLiteral(", "));
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

using Parametros = std::vector<std::optional<QByteArray>>;

} // namespace

namespace MotorPg {

std::optional<QByteArray> parametro(Clase clase, const QVariant& v) {
    if (v.isNull() && v.typeId() != QMetaType::QString)
        return std::nullopt;
    switch (clase) {
    case Clase::entero:
        return QByteArray::number(v.toLongLong());
    case Clase::real:
        return QByteArray::number(v.toDouble(), 'g', 17);
    case Clase::texto:
        return v.toString().toUtf8();
    case Clase::fecha: {
        // As a day number ("J2451545"), which the server reads for any date, before Christ or after year 9999.
        const QDate d = v.toDate();
        if (!d.isValid())
            return std::nullopt;
        return "J" + QByteArray::number(d.toJulianDay());
    }
    case Clase::logico:
        return QByteArray(v.toBool() ? "t" : "f");
    }
    return std::nullopt;
}

Resultado ejecutar(PGconn* c, const QString& sql, const Parametros& valores, ExecStatusType esperado) {
    std::vector<const char*> punteros;
    punteros.reserve(valores.size());
    for (const auto& v : valores)
        punteros.push_back(v ? v->constData() : nullptr);
    const QByteArray texto = sql.toUtf8();
    Resultado r(valores.empty() ? PQexec(c, texto.constData())
                                : PQexecParams(c, texto.constData(), static_cast<int>(punteros.size()), nullptr,
                                               punteros.data(), nullptr, nullptr, 0));
    if (r && PQresultStatus(r.get()) == esperado)
        return r;
    FalloPg fallo{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                  r && PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY)
                      ? QString::fromUtf8(PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY))
                      : primera_linea(PQerrorMessage(c)),
                  PQstatus(c) != CONNECTION_OK};
    if (fallo.estado.startsWith("08"))
        fallo.perdida = true;
    throw fallo;
}

} // namespace MotorPg

namespace {

using MotorPg::ejecutar;
using MotorPg::parametro;
using MotorPg::Resultado;

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
                         QStringLiteral("SET statement_timeout = %1; SET lock_timeout = %2; SET DateStyle = ISO; "
                                        "SET extra_float_digits = 3")
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

// The database must hold the mark of an inventory and the three tables with their columns in order.
void comprobar_inventario(PGconn* c, const QString& uri) {
    const auto rechazar = [&](const QString& m) { throw ErrorDatos(texto_apertura(uri, m)); };
    try {
        Resultado columnas = ejecutar(c,
                                      QStringLiteral("SELECT c.relname, a.attname FROM pg_attribute a JOIN pg_class c "
                                                     "ON c.oid = a.attrelid WHERE c.relnamespace = "
                                                     "current_schema()::regnamespace AND c.relkind = 'r' AND "
                                                     "c.relname IN ('elemento', 'tipo', 'marca', 'talvirenca') AND "
                                                     "a.attnum > 0 AND NOT a.attisdropped ORDER BY c.relname, "
                                                     "a.attnum"),
                                      {}, PGRES_TUPLES_OK);
        std::map<QString, QStringList> tablas;
        for (int i = 0; i < PQntuples(columnas.get()); ++i)
            tablas[QString::fromUtf8(PQgetvalue(columnas.get(), i, 0))]
                << QString::fromUtf8(PQgetvalue(columnas.get(), i, 1));
        if (tablas.empty())
            rechazar(QStringLiteral("no tiene ningún inventario; está vacía."));
        if (!tablas.count(QStringLiteral("talvirenca")))
            rechazar(QStringLiteral("pertenece a otro programa."));
        Resultado marca =
            ejecutar(c, QStringLiteral("SELECT aplicacion, version FROM talvirenca"), {}, PGRES_TUPLES_OK);
        if (PQntuples(marca.get()) != 1 || std::strcmp(PQgetvalue(marca.get(), 0, 0), "Talvirenca") != 0)
            rechazar(QStringLiteral("pertenece a otro programa."));
        if (std::atoi(PQgetvalue(marca.get(), 0, 1)) > Esquema::user_version)
            rechazar(QStringLiteral("la ha creado una versión más reciente del programa."));
        for (const Tabla* t : {&Esquema::elemento, &Esquema::tipo, &Esquema::marca}) {
            const QStringList esperadas = lista_columnas(*t).split(QStringLiteral(", "));
            const auto it = tablas.find(nombre_sql(t->nombre));
            if (it == tablas.end())
                rechazar(QStringLiteral("le falta la tabla %1; no es un inventario de Talvirenca.")
                             .arg(QLatin1String(t->nombre)));
            if (it->second != esperadas)
                rechazar(QStringLiteral("la tabla %1 no tiene las columnas de un inventario de Talvirenca.")
                             .arg(QLatin1String(t->nombre)));
        }
    } catch (const FalloPg& f) {
        rechazar(motivo(f, false));
    }
}

// How long the notes of changes are kept: a program that has not refreshed for longer reads its tables whole.
constexpr double retencion_cambios_s = 7 * 24 * 3600;

// The notes of changes of an inventory that lacks them are installed at its first use by a user allowed to;
// for any other user the tables are read whole, as before. Old notes are purged. Nothing here stops the work: a
// failure only leaves the tables read whole.
void preparar_anotacion(PGconn* c) {
    const auto instalada = [c] {
        Resultado r = ejecutar(c, QString::fromLatin1(SentenciasPg::anotacion_instalada), {}, PGRES_TUPLES_OK);
        return *PQgetvalue(r.get(), 0, 0) == 't';
    };
    try {
        if (!instalada()) {
            ejecutar(c, QStringLiteral("BEGIN"), {}, PGRES_COMMAND_OK);
            try {
                ejecutar(c, QString::fromLatin1(SentenciasPg::turno_anotacion), {}, PGRES_TUPLES_OK);
                if (!instalada())
                    MotorPg::instalar_anotacion(c);
                ejecutar(c, QStringLiteral("COMMIT"), {}, PGRES_COMMAND_OK);
            } catch (...) {
                if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
                    Resultado(PQexec(c, "ROLLBACK"));
                throw;
            }
        }
        MotorPg::purgar_cambios(c, retencion_cambios_s);
    } catch (const FalloPg&) {
        // Not allowed (or another program is changing the tables): this run reads the tables whole.
    }
}

// This thread's connection to `uri`, opened (and the database checked) if there is none.
PGconn* conexion(const QString& uri, bool comprobar, bool& reutilizada) {
    auto& enlace = enlaces[uri];
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
template <class F> void con_conexion(const QString& uri, bool escritura, F&& cuerpo) {
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

MotorPg::AlConfirmar accion_al_confirmar;

// What became of transaction `id`, whose COMMIT was sent when the connection was lost: asked on a new connection.
// Returns normally when the server stored it; otherwise says what the user needs to know.
void averiguar_confirmacion(const QString& uri, const QByteArray& id) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    QByteArray estado;
    try {
        bool reutilizada = false;
        PGconn* c = conexion(uri, false, reutilizada);
        Resultado r = ejecutar(c, QStringLiteral("SELECT pg_xact_status($1::xid8)"), {id}, PGRES_TUPLES_OK);
        if (!PQgetisnull(r.get(), 0, 0))
            estado = PQgetvalue(r.get(), 0, 0);
    } catch (const FalloPg& f) {
        if (f.perdida)
            olvidar(uri);
    } catch (const ErrorDatos&) {
        // The server cannot be reached again: what it did stays unknown.
    }
    if (estado == "committed")
        return;
    if (estado == "aborted")
        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: se ha perdido la conexión con "
                                        "el servidor mientras los guardaba, y el servidor confirma que no los ha "
                                        "guardado.")
                             .arg(visible));
    throw ErrorDatos(QStringLiteral("no se sabe si se han guardado los cambios en %1: se ha perdido la conexión con "
                                    "el servidor mientras los guardaba, y no se ha podido averiguar si llegó a "
                                    "guardarlos. Busque el registro en la lista antes de repetir los cambios.")
                         .arg(visible));
}

// Sends the COMMIT; false when the connection was lost before its answer came. The server may then have stored
// the changes or not.
bool confirmar(PGconn* c, const QByteArray& id) {
    const bool enviado = PQsendQuery(c, "COMMIT") == 1;
    if (enviado && accion_al_confirmar)
        accion_al_confirmar(c, id);
    Resultado r(enviado ? PQgetResult(c) : nullptr);
    while (PGresult* resto = enviado ? PQgetResult(c) : nullptr)
        PQclear(resto);
    if (r && PQresultStatus(r.get()) == PGRES_COMMAND_OK)
        return true;
    if (PQstatus(c) != CONNECTION_OK)
        return false;
    throw FalloPg{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                  r && PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY)
                      ? QString::fromUtf8(PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY))
                      : primera_linea(PQerrorMessage(c)),
                  false};
}

// One write transaction: BEGIN, the changes, COMMIT; any failure rolls back. A connection lost during the COMMIT is
// followed by asking the server what became of the transaction, so that a user is never told "not stored" about
// changes that are there.
template <class F> void transaccion(const QString& uri, F&& cambios) {
    con_conexion(uri, true, [&](PGconn* c, bool& empezado) {
        ejecutar(c, QStringLiteral("BEGIN"), {}, PGRES_COMMAND_OK);
        empezado = true;
        QByteArray id;
        try {
            cambios(c);
            Resultado r = ejecutar(c, QStringLiteral("SELECT pg_current_xact_id()::text"), {}, PGRES_TUPLES_OK);
            id = PQgetvalue(r.get(), 0, 0);
            if (confirmar(c, id))
                return;
        } catch (...) {
            if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
                Resultado(PQexec(c, "ROLLBACK"));
            throw;
        }
        olvidar(uri);
        averiguar_confirmacion(uri, id);
    });
}

// Parses the fields of COPY's text format.
class Campos {
public:
    Campos(const char* datos, int longitud) : p_(datos), fin_(datos + longitud) {
        if (fin_ > p_ && fin_[-1] == '\n')
            --fin_;
    }
    // The next field, raw; false at a null.
    bool siguiente(const char*& inicio, const char*& final) {
        inicio = p_;
        while (p_ < fin_ && *p_ != '\t')
            ++p_;
        final = p_;
        if (p_ < fin_)
            ++p_;
        return !(final - inicio == 2 && inicio[0] == '\\' && inicio[1] == 'N');
    }
    // Where the next field starts, to read it again from there.
    const char* resto() const { return p_; }
    void volver(const char* donde) { p_ = donde; }

private:
    const char* p_;
    const char* fin_;
};

// A text field of COPY with its backslash escapes undone.
void quitar_escapes(const char* s, const char* fin, std::string& destino) {
    destino.clear();
    while (s < fin) {
        if (*s != '\\' || s + 1 >= fin) {
            destino.push_back(*s++);
            continue;
        }
        ++s;
        const char c = *s++;
        switch (c) {
        case 'b':
            destino.push_back('\b');
            break;
        case 'f':
            destino.push_back('\f');
            break;
        case 'n':
            destino.push_back('\n');
            break;
        case 'r':
            destino.push_back('\r');
            break;
        case 't':
            destino.push_back('\t');
            break;
        case 'v':
            destino.push_back('\v');
            break;
        case 'x': {
            int v = 0, n = 0;
            while (n < 2 && s < fin && std::isxdigit(static_cast<unsigned char>(*s))) {
                v = v * 16 + (std::isdigit(static_cast<unsigned char>(*s)) ? *s - '0' : (std::tolower(*s) - 'a' + 10));
                ++s;
                ++n;
            }
            destino.push_back(static_cast<char>(v));
            break;
        }
        default:
            if (c >= '0' && c <= '7') {
                int v = c - '0', n = 1;
                while (n < 3 && s < fin && *s >= '0' && *s <= '7') {
                    v = v * 8 + (*s++ - '0');
                    ++n;
                }
                destino.push_back(static_cast<char>(v));
            } else {
                destino.push_back(c);
            }
        }
    }
}

// The columns a read asks for: a date as its day number, which holds any date the server does ("0044-03-15 BC",
// "20240-03-05"), and as its text when it is infinite.
QString lista_lectura(const Tabla& t, const QString& prefijo = {}) {
    QStringList partes;
    for (const Columna& c : t.columnas) {
        const QString nombre = prefijo + nombre_sql(c.nombre);
        partes << (c.clase == Clase::fecha ? QStringLiteral("CASE WHEN isfinite(%1) THEN (%1 - DATE '2000-01-01' + "
                                                            "2451545)::text ELSE %1::text END")
                                                 .arg(nombre)
                                           : nombre);
    }
    return partes.join(QStringLiteral(", "));
}

// Every table a read gives comes from one state of the database, however other users write meanwhile: the first
// table opens a read-only transaction that sees one snapshot of the whole database, and the others are read in it.
// A backup made of the three tables never holds a component whose type was added after its Tipo table was read.
class LecturaPg : public Motor::Lectura {
public:
    explicit LecturaPg(const QString& uri) : uri_(uri) {
        // Opens (or checks) the connection now, so a server that cannot be reached is told before anything is read.
        bool reutilizada = false;
        conexion(uri_, true, reutilizada);
    }
    ~LecturaPg() override {
        // Ends the transaction on the connection, unless the connection went meanwhile. Its answer is not waited
        // for: the connection's next statement passes over it (libpq discards what a statement sent before left).
        if (!en_transaccion_)
            return;
        const auto it = enlaces.find(uri_);
        if (it != enlaces.end() && it->second && PQstatus(it->second->conexion) == CONNECTION_OK &&
            (PQtransactionStatus(it->second->conexion) == PQTRANS_INTRANS ||
             PQtransactionStatus(it->second->conexion) == PQTRANS_INERROR) &&
            PQsendQuery(it->second->conexion, "ROLLBACK") != 1)
            Resultado(PQexec(it->second->conexion, "ROLLBACK"));
    }
    std::optional<Huella> huella() override { return std::nullopt; }
    void leer_tabla(const Tabla& t, ReceptorFilas& receptor) override;
    std::optional<EstadoServidor> estado_servidor() override;
    bool leer_cambios(const Tabla& t, const EstadoServidor& desde, std::vector<qint64>& claves,
                      ReceptorFilas& receptor) override;

private:
    // Opens the read's transaction on `c`, unless it is open, and takes the state it sees as its first statement.
    void empezar(PGconn* c, bool& empezado);

    QString uri_;
    std::optional<EstadoServidor> estado_;
    bool en_transaccion_ = false;
    // A table has been read in the transaction: from then on, only that transaction will do.
    bool tabla_leida_ = false;
};

// Streams the rows a COPY ... TO STDOUT of `t`'s columns (lista_lectura) gives to `receptor`. With `claves`, each
// line starts with a changed code before the row's columns, which are all null when the row is gone: the codes go
// to `claves` and only the rows still there to `receptor`; a null code (the whole table changed) sets `*todo`.
void recibir_copia(PGconn* c, const QString& uri, const Tabla& t, ReceptorFilas& receptor,
                   std::vector<qint64>* claves = nullptr, bool* todo = nullptr) {
    const int columnas = t.numero_columnas();
    std::string texto;
    char* linea = nullptr;
    int n;
    // A snapshot that cannot take a row (too large) stops the read halfway: the connection, still in the middle
    // of the data, is closed and opened afresh at the next operation.
    struct Abandono {
        const QString& uri;
        char*& linea;
        bool terminado = false;
        ~Abandono() {
            if (terminado)
                return;
            PQfreemem(linea);
            MotorPg::olvidar(uri);
        }
    } abandono{uri, linea};
    while ((n = PQgetCopyData(c, &linea, 0)) > 0) {
        Campos campos(linea, n);
        const char *s, *fin;
        bool presente = true;
        if (claves) {
            if (!campos.siguiente(s, fin)) {
                *todo = true;
                presente = false;
            } else {
                qint64 clave = 0;
                std::from_chars(s, fin, clave);
                claves->push_back(clave);
                // The row's own code: null when the row is no longer there.
                const char* resto = campos.resto();
                presente = campos.siguiente(s, fin);
                campos.volver(resto);
            }
        }
        for (int i = 0; presente && i < columnas; ++i) {
            const bool hay = campos.siguiente(s, fin);
            if (i == 0) {
                qint64 codigo = 0;
                std::from_chars(s, fin, codigo);
                receptor.fila(codigo);
            }
            if (!hay) {
                receptor.nulo();
                continue;
            }
            switch (t.columnas[i].clase) {
            case Clase::entero: {
                qint64 v = 0;
                if (std::from_chars(s, fin, v).ptr == fin)
                    receptor.entero(v);
                else
                    receptor.nulo();
                break;
            }
            case Clase::logico:
                receptor.entero(*s == 't');
                break;
            case Clase::real: {
                double v = 0;
                if (std::from_chars(s, fin, v).ptr == fin)
                    receptor.real(v);
                else if (std::string_view(s, fin - s) == "Infinity" || std::string_view(s, fin - s) == "-Infinity")
                    receptor.real(*s == '-' ? -std::numeric_limits<double>::infinity()
                                            : std::numeric_limits<double>::infinity());
                else
                    receptor.real(std::numeric_limits<double>::quiet_NaN());
                break;
            }
            case Clase::texto:
                if (std::memchr(s, '\\', fin - s)) {
                    quitar_escapes(s, fin, texto);
                    receptor.texto(texto.data(), texto.size());
                } else {
                    receptor.texto(s, static_cast<size_t>(fin - s));
                }
                break;
            case Clase::fecha: {
                qint64 dia = 0;
                if (std::from_chars(s, fin, dia).ptr == fin)
                    receptor.entero(dia);
                else
                    // "infinity": no day the program can hold; given as the text it is.
                    receptor.texto(s, static_cast<size_t>(fin - s));
                break;
            }
            }
        }
        PQfreemem(linea);
        linea = nullptr;
    }
    abandono.terminado = true;
    // The end of the data, then the statement's own result, which tells whether all of it came.
    Resultado final(PQgetResult(c));
    while (PGresult* resto = PQgetResult(c))
        PQclear(resto);
    if (n == -2 || !final || PQresultStatus(final.get()) != PGRES_COMMAND_OK)
        throw FalloPg{final ? QByteArray(PQresultErrorField(final.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                      primera_linea(PQerrorMessage(c)), PQstatus(c) != CONNECTION_OK};
}

void LecturaPg::empezar(PGconn* c, bool& empezado) {
    if (PQtransactionStatus(c) == PQTRANS_INTRANS)
        return;
    // A connection opened again after a table was read: its state would not be the one read so far. Before that
    // (the first table, or its retry on a connection opened again), the transaction begins here.
    if (tabla_leida_) {
        empezado = true;
        throw FalloPg{QByteArray(), QString(), true};
    }
    ejecutar(c, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"), {}, PGRES_COMMAND_OK);
    en_transaccion_ = true;
    // The transaction's first statement fixes the snapshot every table of this read is read in: the one it gives.
    // It reads the catalogue in several ways, so it is prepared once per connection.
    Enlace& enlace = *enlaces[uri_];
    if (!enlace.estado_preparado) {
        Resultado preparada(PQprepare(c, "talvirenca_estado", SentenciasPg::estado, 0, nullptr));
        if (!preparada || PQresultStatus(preparada.get()) != PGRES_COMMAND_OK)
            throw FalloPg{preparada ? QByteArray(PQresultErrorField(preparada.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                          primera_linea(PQerrorMessage(c)), PQstatus(c) != CONNECTION_OK};
        enlace.estado_preparado = true;
    }
    Resultado r(PQexecPrepared(c, "talvirenca_estado", 0, nullptr, nullptr, nullptr, 0));
    if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK)
        throw FalloPg{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                      primera_linea(PQerrorMessage(c)), PQstatus(c) != CONNECTION_OK};
    EstadoServidor e;
    e.instantanea = PQgetvalue(r.get(), 0, 0);
    e.xmin = std::strtoull(PQgetvalue(r.get(), 0, 1), nullptr, 10);
    e.xmax = std::strtoull(PQgetvalue(r.get(), 0, 2), nullptr, 10);
    e.esquema = PQgetvalue(r.get(), 0, 3);
    e.anotado = *PQgetvalue(r.get(), 0, 4) == 't';
    estado_ = std::move(e);
}

std::optional<EstadoServidor> LecturaPg::estado_servidor() {
    if (!estado_)
        con_conexion(uri_, false, [&](PGconn* c, bool& empezado) { empezar(c, empezado); });
    return estado_;
}

void LecturaPg::leer_tabla(const Tabla& t, ReceptorFilas& receptor) {
    con_conexion(uri_, false, [&](PGconn* c, bool& empezado) {
        empezar(c, empezado);
        Resultado estimacion = ejecutar(c,
                                        QStringLiteral("SELECT greatest(reltuples, 0)::bigint FROM pg_class WHERE "
                                                       "oid = '%1'::regclass")
                                            .arg(nombre_sql(t.nombre)),
                                        {}, PGRES_TUPLES_OK);
        empezado = true;
        const qint64 filas = PQntuples(estimacion.get()) ? std::atoll(PQgetvalue(estimacion.get(), 0, 0)) : 0;
        receptor.reservar(filas, filas * 64);
        ejecutar(c,
                 QStringLiteral("COPY (SELECT %1 FROM %2 ORDER BY codigo) TO STDOUT")
                     .arg(lista_lectura(t), nombre_sql(t.nombre)),
                 {}, PGRES_COPY_OUT);
        recibir_copia(c, uri_, t, receptor);
        tabla_leida_ = true;
    });
}

// A snapshot as the server writes it: "xmin:xmax:" and the transactions in progress, separated by commas. Only
// such a text is put into a statement.
bool instantanea_valida(const QByteArray& s) {
    int separadores = 0;
    for (char ch : s) {
        if (ch == ':')
            ++separadores;
        else if (!(ch >= '0' && ch <= '9') && !(ch == ',' && separadores == 2))
            return false;
    }
    return separadores == 2 && !s.isEmpty() && s.size() < 1 << 20;
}

bool LecturaPg::leer_cambios(const Tabla& t, const EstadoServidor& desde, std::vector<qint64>& claves,
                             ReceptorFilas& receptor) {
    const std::optional<EstadoServidor> ahora = estado_servidor();
    // Changes are known only while they were noted all along, in the same database and tables: not across a
    // restore (whose server starts its transactions anew below the kept snapshot), a change of the tables or of
    // their triggers.
    if (!ahora || !ahora->anotado || !desde.anotado || ahora->esquema != desde.esquema || ahora->xmax < desde.xmax ||
        !instantanea_valida(desde.instantanea))
        return false;
    bool completos = false;
    con_conexion(uri_, false, [&](PGconn* c, bool& empezado) {
        empezar(c, empezado);
        empezado = true;
        ejecutar(c,
                 QString::fromLatin1(SentenciasPg::leer_cambios)
                     .arg(lista_lectura(t, QStringLiteral("e.")), nombre_sql(t.nombre),
                          QString::fromLatin1(desde.instantanea)),
                 {}, PGRES_COPY_OUT);
        bool todo = false;
        claves.clear();
        recibir_copia(c, uri_, t, receptor, &claves, &todo);
        completos = !todo;
        tabla_leida_ = true;
    });
    return completos;
}

class MotorServidor : public Motor {
public:
    explicit MotorServidor(const QString& uri) : uri_(uri) {}

    std::unique_ptr<Lectura> empezar_lectura() override { return std::make_unique<LecturaPg>(uri_); }

    qint64 insertar(const Tabla& t, const ValoresFila& valores) override {
        qint64 codigo = 0;
        try {
            transaccion(uri_, [&](PGconn* c) { codigo = insertar_en(c, t, valores); });
        } catch (const ErrorDatos&) {
            if (duplicado_ && &t == &Esquema::elemento)
                throw ErrorDatos(QStringLiteral("ya existe un componente con ese código."));
            throw;
        }
        return codigo;
    }

    std::pair<qint64, qint64> insertar_con_codigo_nuevo(const Tabla& t, ValoresFila valores) override {
        // Another program adding rows without taking turns may still take the same code; this one then tries again.
        for (int intento = 0;; ++intento) {
            try {
                qint64 codigo = 0;
                transaccion(uri_, [&](PGconn* c) {
                    // Writers of this table take their turns from here to the end of the transaction, so a writer
                    // that keeps adding cannot keep taking the code another one is about to use; reading goes on.
                    ejecutar(c, QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(nombre_sql(t.nombre)),
                             {}, PGRES_COMMAND_OK);
                    Resultado mayor =
                        ejecutar(c, QStringLiteral("SELECT coalesce(max(codigo), 0) FROM %1").arg(nombre_sql(t.nombre)),
                                 {}, PGRES_TUPLES_OK);
                    const qint64 ultimo = std::atoll(PQgetvalue(mayor.get(), 0, 0));
                    if (ultimo == std::numeric_limits<qint64>::max())
                        throw ErrorDatos(
                            QStringLiteral("no quedan códigos libres en la tabla %1.").arg(QLatin1String(t.nombre)));
                    valores[0] = QVariant::fromValue<qlonglong>(ultimo + 1);
                    codigo = insertar_en(c, t, valores);
                });
                return {codigo, codigo};
            } catch (const ErrorDatos&) {
                if (!duplicado_ || intento >= 20)
                    throw;
            }
        }
    }

    std::optional<qint64> modificar(const Tabla& t, qint64 identidad, const ValoresFila& antes,
                                    const ValoresFila& despues) override {
        std::optional<qint64> codigo;
        duplicado_ = false;
        try {
            transaccion(uri_, [&](PGconn* c) {
                QStringList asignaciones;
                Parametros valores;
                for (int i = 0; i < t.numero_columnas(); ++i) {
                    asignaciones << QStringLiteral("%1 = $%2").arg(nombre_sql(t.columnas[i].nombre)).arg(i + 1);
                    valores.push_back(parametro(t.columnas[i].clase, despues[i]));
                }
                QString donde = condicion_igual(t, identidad, antes, valores);
                // A component is pointed only at a type and a brand that exist, as when it is added; a change checks
                // only what it changes, so an older row with a missing type can still be corrected.
                QStringList existen;
                std::vector<std::pair<const char*, int>> comprobadas;
                if (&t == &Esquema::elemento)
                    for (const auto& [ordinal, tabla] : {std::pair{1, "tipo"}, std::pair{2, "marca"}})
                        if (Valores::texto(antes[ordinal]) != Valores::texto(despues[ordinal])) {
                            existen << QStringLiteral("EXISTS (SELECT 1 FROM %1 WHERE codigo = $%2::bigint)")
                                           .arg(QLatin1String(tabla))
                                           .arg(ordinal + 1);
                            comprobadas.emplace_back(tabla, ordinal);
                        }
                if (!existen.isEmpty())
                    donde += QStringLiteral(" AND ") + existen.join(QStringLiteral(" AND "));
                Resultado r = ejecutar(c,
                                       QStringLiteral("UPDATE %1 SET %2 WHERE %3 RETURNING codigo")
                                           .arg(nombre_sql(t.nombre), asignaciones.join(u", "), donde),
                                       valores, PGRES_TUPLES_OK);
                if (PQntuples(r.get()) == 1) {
                    codigo = std::atoll(PQgetvalue(r.get(), 0, 0));
                    return;
                }
                // Not changed: the row is not as it was read, or the type or brand it would point at is gone.
                for (const auto& [tabla, ordinal] : comprobadas) {
                    Resultado hay = ejecutar(
                        c, QStringLiteral("SELECT 1 FROM %1 WHERE codigo = $1::bigint").arg(QLatin1String(tabla)),
                        {valores[size_t(ordinal)]}, PGRES_TUPLES_OK);
                    if (PQntuples(hay.get()) == 0)
                        throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: el tipo o la "
                                                        "marca del componente ya no está en la base de datos.")
                                             .arg(Ubicacion::sin_contrasena(uri_)));
                }
            });
        } catch (const ErrorDatos&) {
            if (duplicado_ && &t == &Esquema::elemento)
                throw ErrorDatos(QStringLiteral("ya existe un componente con ese código."));
            throw;
        }
        return codigo;
    }

    bool borrar(const Tabla& t, const std::vector<std::pair<qint64, ValoresFila>>& filas) override {
        bool todas = true;
        try {
            transaccion(uri_, [&](PGconn* c) {
                for (const auto& [identidad, antes] : filas)
                    if (!borrar_en(c, t, identidad, antes)) {
                        todas = false;
                        // Nothing is deleted when one row is no longer there as it was read.
                        throw FalloPg{"ausente", {}, false};
                    }
            });
        } catch (const ErrorDatos&) {
            if (todas)
                throw;
        }
        return todas;
    }

    Borrado borrar_si_no_usado(const Tabla& t, qint64 identidad, const ValoresFila& antes, qint64 codigo,
                               const Tabla& uso, int columna_uso) override {
        Borrado resultado = Borrado::hecho;
        try {
            transaccion(uri_, [&](PGconn* c) {
                // Holding the using table against writes until the end: a row added meanwhile either came first
                // and is seen here, or waits and finds this row gone.
                ejecutar(c, QStringLiteral("LOCK TABLE %1 IN SHARE MODE").arg(nombre_sql(uso.nombre)), {},
                         PGRES_COMMAND_OK);
                Resultado usado =
                    ejecutar(c,
                             QStringLiteral("SELECT 1 FROM %1 WHERE %2 = $1 LIMIT 1")
                                 .arg(nombre_sql(uso.nombre), nombre_sql(uso.columnas[columna_uso].nombre)),
                             {QByteArray::number(codigo)}, PGRES_TUPLES_OK);
                if (PQntuples(usado.get()) > 0) {
                    resultado = Borrado::en_uso;
                    return;
                }
                if (!borrar_en(c, t, identidad, antes)) {
                    resultado = Borrado::ya_no_esta;
                    throw FalloPg{"ausente", {}, false};
                }
            });
        } catch (const ErrorDatos&) {
            if (resultado != Borrado::ya_no_esta)
                throw;
        }
        return resultado;
    }

private:
    // "codigo = $n AND every column as it was read": a row changed by someone else since is not found.
    static QString condicion_igual(const Tabla& t, qint64 identidad, const ValoresFila& antes, Parametros& valores) {
        QStringList partes;
        valores.push_back(QByteArray::number(identidad));
        partes << QStringLiteral("codigo = $%1").arg(valores.size());
        for (int i = 1; i < t.numero_columnas(); ++i) {
            valores.push_back(parametro(t.columnas[i].clase, antes[i]));
            partes << QStringLiteral("%1 IS NOT DISTINCT FROM $%2::%3")
                          .arg(nombre_sql(t.columnas[i].nombre))
                          .arg(valores.size())
                          .arg(QLatin1String(tipo_sql(t.columnas[i].clase)));
        }
        return partes.join(QStringLiteral(" AND "));
    }

    static bool borrar_en(PGconn* c, const Tabla& t, qint64 identidad, const ValoresFila& antes) {
        Parametros valores;
        const QString donde = condicion_igual(t, identidad, antes, valores);
        Resultado r = ejecutar(c, QStringLiteral("DELETE FROM %1 WHERE %2").arg(nombre_sql(t.nombre), donde), valores,
                               PGRES_COMMAND_OK);
        return std::strcmp(PQcmdTuples(r.get()), "1") == 0;
    }

    qint64 insertar_en(PGconn* c, const Tabla& t, const ValoresFila& valores) {
        Parametros p;
        QStringList marcas;
        for (int i = 0; i < t.numero_columnas(); ++i) {
            p.push_back(parametro(t.columnas[i].clase, valores[i]));
            marcas << QStringLiteral("$%1::%2").arg(i + 1).arg(QLatin1String(tipo_sql(t.columnas[i].clase)));
        }
        QString sql = QStringLiteral("INSERT INTO %1 (%2) SELECT %3")
                          .arg(nombre_sql(t.nombre), lista_columnas(t), marcas.join(u", "));
        // A component is stored only while its type and brand exist: one deleted by another user meanwhile is
        // seen here, since the deletion holds the components' table until it ends.
        if (&t == &Esquema::elemento)
            sql += QStringLiteral(" WHERE EXISTS (SELECT 1 FROM tipo WHERE codigo = $2::bigint) AND EXISTS "
                                  "(SELECT 1 FROM marca WHERE codigo = $3::bigint)");
        duplicado_ = false;
        try {
            Resultado r = ejecutar(c, sql + QStringLiteral(" RETURNING codigo"), p, PGRES_TUPLES_OK);
            if (PQntuples(r.get()) != 1)
                throw ErrorDatos(QStringLiteral("no se han podido guardar los cambios en %1: el tipo o la marca del "
                                                "componente ya no está en la base de datos.")
                                     .arg(Ubicacion::sin_contrasena(uri_)));
            return std::atoll(PQgetvalue(r.get(), 0, 0));
        } catch (const FalloPg& f) {
            duplicado_ = f.estado == "23505";
            throw;
        }
    }

    QString uri_;
    bool duplicado_ = false;
};

} // namespace

std::unique_ptr<Motor> motor_pg(const QString& uri) {
    return std::make_unique<MotorServidor>(uri);
}

namespace MotorPg {

void instalar_anotacion(PGconn* c) {
    ejecutar(c, QString::fromLatin1(SentenciasPg::instalar_anotacion), {}, PGRES_COMMAND_OK);
    for (const Tabla* t : {&Esquema::tipo, &Esquema::marca, &Esquema::elemento})
        ejecutar(c, QString::fromLatin1(SentenciasPg::disparadores_anotacion).arg(nombre_sql(t->nombre)), {},
                 PGRES_COMMAND_OK);
}

void purgar_cambios(PGconn* c, double antiguedad_s) {
    ejecutar(c, QString::fromLatin1(SentenciasPg::purgar_cambios), {QByteArray::number(antiguedad_s, 'f', 3)},
             PGRES_COMMAND_OK);
}

void olvidar(const QString& uri) {
    enlaces.erase(uri);
}

void al_confirmar(AlConfirmar accion) {
    accion_al_confirmar = std::move(accion);
}

PGconn* conexion_sin_comprobar(const QString& uri) {
    bool reutilizada = false;
    return conexion(uri, false, reutilizada);
}

void olvidar_comprobacion(const QString& uri) {
    if (auto it = enlaces.find(uri); it != enlaces.end() && it->second)
        it->second->comprobado = false;
}

void comprobar_inventario(PGconn* c, const QString& uri) {
    ::comprobar_inventario(c, uri);
}

QString explicar(const Fallo& f, bool escritura) {
    return motivo(f, escritura);
}

} // namespace MotorPg

namespace Servidor {

void al_pedir_contrasena(PedirContrasena pedir) {
    pedir_contrasena = std::move(pedir);
}

bool vacia(const QString& uri) {
    try {
        PGconn* c = MotorPg::conexion_sin_comprobar(uri);
        Resultado r = ejecutar(c,
                               QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = "
                                              "current_schema()::regnamespace AND relname IN ('elemento', 'tipo', "
                                              "'marca', 'talvirenca')"),
                               {}, PGRES_TUPLES_OK);
        return std::atoll(PQgetvalue(r.get(), 0, 0)) == 0;
    } catch (const FalloPg& f) {
        if (f.perdida)
            olvidar(uri);
        return false;
    } catch (const ErrorDatos&) {
        return false;
    }
}

void crear_inventario(const QString& uri) {
    const QString visible = Ubicacion::sin_contrasena(uri);
    PGconn* c = MotorPg::conexion_sin_comprobar(uri);
    try {
        ejecutar(c, QStringLiteral("BEGIN"), {}, PGRES_COMMAND_OK);
        try {
            Resultado r = ejecutar(c,
                                   QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = "
                                                  "current_schema()::regnamespace AND relname IN ('elemento', 'tipo', "
                                                  "'marca', 'talvirenca')"),
                                   {}, PGRES_TUPLES_OK);
            if (std::atoll(PQgetvalue(r.get(), 0, 0)) != 0)
                throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: ya tiene un inventario o "
                                                "tablas con sus nombres.")
                                     .arg(visible));
            ejecutar(c, QString::fromLatin1(MotorPg::sql_esquema), {}, PGRES_COMMAND_OK);
            ejecutar(c,
                     QStringLiteral("INSERT INTO talvirenca (aplicacion, version) VALUES ('Talvirenca', %1)")
                         .arg(Esquema::user_version),
                     {}, PGRES_COMMAND_OK);
            MotorPg::instalar_anotacion(c);
            ejecutar(c, QStringLiteral("COMMIT"), {}, PGRES_COMMAND_OK);
        } catch (...) {
            if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
                Resultado(PQexec(c, "ROLLBACK"));
            throw;
        }
    } catch (const FalloPg& f) {
        if (f.perdida)
            olvidar(uri);
        throw ErrorDatos(QStringLiteral("no se puede crear la base de datos %1: %2").arg(visible, motivo(f, true)));
    }
    MotorPg::olvidar_comprobacion(uri);
}

Arranque::Arranque() {
    ++arranques;
}

Arranque::~Arranque() {
    if (--arranques == 0)
        fallos_arranque.clear();
}

void cerrar_conexiones() {
    enlaces.clear();
}

} // namespace Servidor
