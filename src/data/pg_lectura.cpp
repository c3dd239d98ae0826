// Reading an inventory on a server: every table of one read in one snapshot of the database, streamed with COPY,
// and the rows changed since an earlier read, found through the notes of changes.
#include "data/pg_interno.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace {

using namespace PgInterno;

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
        const auto it = enlaces().find(uri_);
        if (it != enlaces().end() && it->second && PQstatus(it->second->conexion) == CONNECTION_OK &&
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

// Streams the rows a COPY ... TO STDOUT of `t`'s columns (SentenciasPg::columnas_lectura) gives to `receptor`. With
// `claves`, each line starts with a changed code before the row's columns, which are all null when the row is gone: the
// codes go to `claves` and only the rows still there to `receptor`; a null code (the whole table changed) sets `*todo`.
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
    ejecutar(c, QString::fromLatin1(SentenciasPg::empezar_lectura), {}, PGRES_COMMAND_OK);
    en_transaccion_ = true;
    // The transaction's first statement fixes the snapshot every table of this read is read in: the one it gives.
    // It reads the catalogue in several ways, so it is prepared once per connection.
    Enlace& enlace = *enlaces()[uri_];
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
        Resultado estimacion = ejecutar(c, SentenciasPg::estimar_filas(t), {}, PGRES_TUPLES_OK);
        empezado = true;
        const qint64 filas = PQntuples(estimacion.get()) ? std::atoll(PQgetvalue(estimacion.get(), 0, 0)) : 0;
        receptor.reservar(filas, filas * 64);
        ejecutar(c, SentenciasPg::leer_tabla(t), {}, PGRES_COPY_OUT);
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
        ejecutar(c, SentenciasPg::leer_cambios_de(t, desde.instantanea), {}, PGRES_COPY_OUT);
        bool todo = false;
        claves.clear();
        recibir_copia(c, uri_, t, receptor, &claves, &todo);
        completos = !todo;
        tabla_leida_ = true;
    });
    return completos;
}

} // namespace

std::unique_ptr<Motor::Lectura> PgInterno::lectura(const QString& uri) {
    return std::make_unique<LecturaPg>(uri);
}
