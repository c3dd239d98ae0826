#include "data/traslado.h"

#include "data/error_datos.h"
#include "data/esquema.h"
#include "data/motor_pg.h"
#include "data/sentencias_pg.h"
#include "data/ubicacion.h"

#include <QDate>
#include <QStringList>
#include <cstring>

namespace {

QString texto_fallo(const QString& uri, const QString& motivo) {
    return QStringLiteral("no se ha podido trasladar el inventario a %1: %2")
        .arg(Ubicacion::sin_contrasena(uri), motivo);
}

// A value in COPY's text form: backslash, tab and line breaks escaped; \N for null.
void anadir_campo(QByteArray& linea, const std::optional<QByteArray>& valor) {
    if (!valor) {
        linea += "\\N";
        return;
    }
    for (const char c : *valor) {
        switch (c) {
        case '\\':
            linea += "\\\\";
            break;
        case '\t':
            linea += "\\t";
            break;
        case '\n':
            linea += "\\n";
            break;
        case '\r':
            linea += "\\r";
            break;
        default:
            linea += c;
        }
    }
}

// Takes the rows of one table as the file's engine reads them and sends each to the server as a line of COPY.
class ReceptorTraslado : public ReceptorFilas {
public:
    ReceptorTraslado(PGconn* c, const Tabla& t) : c_(c), t_(t) {}

    void reservar(qint64, qint64) override {}
    void fila(qint64) override {
        terminar_fila();
        columna_ = 0;
        ++filas_;
    }
    void entero(qint64 valor) override {
        switch (t_.columnas[columna_].clase) {
        case Clase::fecha:
            campo(MotorPg::parametro(Clase::fecha, QDate::fromJulianDay(valor)));
            break;
        case Clase::logico:
            campo(QByteArray(valor != 0 ? "t" : "f"));
            break;
        case Clase::real:
            campo(MotorPg::parametro(Clase::real, double(valor)));
            break;
        default:
            campo(QByteArray::number(valor));
        }
    }
    void real(double valor) override { campo(MotorPg::parametro(Clase::real, valor)); }
    void texto(const char* datos, std::size_t longitud) override {
        campo(QByteArray(datos, static_cast<qsizetype>(longitud)));
    }
    void nulo() override { campo(std::nullopt); }

    // Sends what is left and ends the table's COPY; gives how many rows went.
    qint64 terminar() {
        terminar_fila();
        enviar();
        if (PQputCopyEnd(c_, nullptr) != 1)
            throw MotorPg::Fallo{{}, QString::fromUtf8(PQerrorMessage(c_)), PQstatus(c_) != CONNECTION_OK};
        MotorPg::Resultado r(PQgetResult(c_));
        while (PGresult* resto = PQgetResult(c_))
            PQclear(resto);
        if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK)
            throw MotorPg::Fallo{r ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray(),
                                 r ? QString::fromUtf8(PQresultErrorMessage(r.get())) : QString(),
                                 PQstatus(c_) != CONNECTION_OK};
        return filas_;
    }

private:
    void campo(const std::optional<QByteArray>& valor) {
        if (columna_ > 0)
            bloque_ += '\t';
        anadir_campo(bloque_, valor);
        ++columna_;
    }
    void terminar_fila() {
        if (filas_ == 0 || columna_ < 0)
            return;
        bloque_ += '\n';
        columna_ = -1;
        if (bloque_.size() > 256 * 1024)
            enviar();
    }
    void enviar() {
        if (bloque_.isEmpty())
            return;
        if (PQputCopyData(c_, bloque_.constData(), static_cast<int>(bloque_.size())) != 1)
            throw MotorPg::Fallo{{}, QString::fromUtf8(PQerrorMessage(c_)), PQstatus(c_) != CONNECTION_OK};
        bloque_.clear();
    }

    PGconn* c_;
    const Tabla& t_;
    QByteArray bloque_;
    int columna_ = -1;
    qint64 filas_ = 0;
};

// Copies one table of the file, as read in `lectura`, into the server's table of the same name.
qint64 copiar_tabla(PGconn* c, Motor::Lectura& lectura, const Tabla& t) {
    MotorPg::ejecutar(c,
                      QString::fromLatin1(SentenciasPg::copiar_a_tabla)
                          .arg(SentenciasPg::nombre(t.nombre), SentenciasPg::columnas(t)),
                      {}, PGRES_COPY_IN);
    ReceptorTraslado receptor(c, t);
    try {
        lectura.leer_tabla(t, receptor);
    } catch (...) {
        // The file could not be read whole: the COPY is abandoned, and with it the whole move.
        PQputCopyEnd(c, "lectura del archivo interrumpida");
        while (PGresult* resto = PQgetResult(c))
            PQclear(resto);
        throw;
    }
    return receptor.terminar();
}

} // namespace

namespace Traslado {

Cuentas trasladar(const QString& archivo, const QString& uri) {
    if (!Motor::es_servidor(uri))
        throw ErrorDatos(texto_fallo(uri, QStringLiteral("el destino debe ser una dirección postgresql://.")));
    if (Motor::es_servidor(archivo))
        throw ErrorDatos(texto_fallo(uri, QStringLiteral("el origen debe ser un archivo de inventario.")));
    // The file is read in one state of it, the three tables in the same read, while the server's transaction is
    // open: a component added meanwhile arrives with its type, and a file that cannot be read leaves the server as
    // it was.
    const std::unique_ptr<Motor> motor_archivo = Motor::para(archivo);
    const std::unique_ptr<Motor::Lectura> lectura = motor_archivo->empezar_lectura();
    Cuentas cuentas;
    PGconn* c = MotorPg::conexion_sin_comprobar(uri);
    try {
        MotorPg::ejecutar(c, QStringLiteral("BEGIN"), {}, PGRES_COMMAND_OK);
        try {
            // A large inventory takes longer to send than the wait allowed for one statement of the windows.
            MotorPg::ejecutar(c, QString::fromLatin1(SentenciasPg::sin_espera), {}, PGRES_COMMAND_OK);
            // The tables are made in the same transaction as the copy: a move that fails leaves no empty inventory
            // behind.
            MotorPg::Resultado propias =
                MotorPg::ejecutar(c, QString::fromLatin1(SentenciasPg::tablas_inventario), {}, PGRES_TUPLES_OK);
            if (std::atoll(PQgetvalue(propias.get(), 0, 0)) == 0) {
                MotorPg::ejecutar(c, QString::fromLatin1(SentenciasPg::crear_tablas), {}, PGRES_COMMAND_OK);
                MotorPg::ejecutar(c, QString::fromLatin1(SentenciasPg::marcar_inventario).arg(Esquema::user_version),
                                  {}, PGRES_COMMAND_OK);
            } else {
                // Says why when the database holds something other than an inventory.
                MotorPg::comprobar_inventario(c, uri);
            }
            // Nobody else writes to the tables until the copy ends.
            MotorPg::ejecutar(c, QString::fromLatin1(SentenciasPg::bloquear_inventario), {}, PGRES_COMMAND_OK);
            MotorPg::Resultado filas =
                MotorPg::ejecutar(c, QString::fromLatin1(SentenciasPg::filas_inventario), {}, PGRES_TUPLES_OK);
            if (std::atoll(PQgetvalue(filas.get(), 0, 0)) > 0)
                throw ErrorDatos(texto_fallo(
                    uri, QStringLiteral("el inventario del servidor ya tiene componentes; solo se traslada a un "
                                        "inventario vacío.")));
            if (std::atoll(PQgetvalue(filas.get(), 0, 1)) > 0)
                throw ErrorDatos(texto_fallo(
                    uri, QStringLiteral("el inventario del servidor ya tiene tipos o marcas; solo se traslada a un "
                                        "inventario vacío.")));
            cuentas.tipos = copiar_tabla(c, *lectura, Esquema::tipo);
            cuentas.marcas = copiar_tabla(c, *lectura, Esquema::marca);
            cuentas.componentes = copiar_tabla(c, *lectura, Esquema::elemento);
            // The notes of changes begin once the rows are there: the copy itself is no change anyone missed.
            MotorPg::instalar_anotacion(c);
            MotorPg::ejecutar(c, QStringLiteral("COMMIT"), {}, PGRES_COMMAND_OK);
        } catch (...) {
            if (PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) != PQTRANS_IDLE)
                MotorPg::Resultado(PQexec(c, "ROLLBACK"));
            throw;
        }
    } catch (const MotorPg::Fallo& f) {
        if (f.perdida)
            MotorPg::olvidar(uri);
        if (f.estado == "23505")
            throw ErrorDatos(texto_fallo(uri, QStringLiteral("el archivo tiene códigos repetidos en una tabla, que "
                                                             "el servidor no admite.")));
        if (f.estado == "23502")
            throw ErrorDatos(texto_fallo(uri, QStringLiteral("el archivo tiene filas sin código o con columnas "
                                                             "vacías que el servidor no admite.")));
        if (f.estado == "42P07")
            throw ErrorDatos(texto_fallo(uri, QStringLiteral("otro usuario ha creado a la vez un inventario en esa "
                                                             "base de datos.")));
        throw ErrorDatos(texto_fallo(uri, MotorPg::explicar(f, true)));
    }
    MotorPg::olvidar_comprobacion(uri);
    return cuentas;
}

} // namespace Traslado
