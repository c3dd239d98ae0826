// glib.h must come before mdbtools.h in C++: mdbtools.h includes it inside its extern "C" block.
#include <glib.h>
#include <mdbtools.h>

#include "importar/lector_access.h"

#include "data/error_datos.h"

#include <QFileInfo>
#include <QtEndian>
#include <charconv>
#include <cstring>

namespace {

// Room for the longest text or memo libmdb may hand over; every bound buffer has at least this size.
constexpr size_t tamano_enlace = 200000;

struct Tabla {
    MdbTableDef* def = nullptr;
    ~Tabla() {
        if (def)
            mdb_free_tabledef(def);
    }
};

Celda::Clase clase_de(int tipo) {
    switch (tipo) {
    case MDB_BOOL:
        return Celda::Clase::logico;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY:
        return Celda::Clase::numero;
    case MDB_DATETIME:
        return Celda::Clase::fecha;
    default:
        return Celda::Clase::texto;
    }
}

// A single-precision number as the number it was typed as: its shortest decimal form, read as a double. Widened as
// it is, 1.1 would become 1.100000023841858.
double ancho_de_simple(float simple) {
    char texto[32];
    const auto escrito = std::to_chars(texto, texto + sizeof texto, simple);
    double doble = simple;
    if (escrito.ec == std::errc())
        std::from_chars(texto, escrito.ptr, doble);
    return doble;
}

// A number or date from the row's bytes, as libmdb left them in its page buffer.
double numero_crudo(const unsigned char* p, int tipo) {
    switch (tipo) {
    case MDB_BYTE:
        return p[0];
    case MDB_INT:
        return qFromLittleEndian<qint16>(p);
    case MDB_LONGINT:
        return qFromLittleEndian<qint32>(p);
    case MDB_FLOAT:
        return ancho_de_simple(qFromLittleEndian<float>(p));
    case MDB_MONEY:
        return double(qFromLittleEndian<qint64>(p)) / 10000.0;
    default:
        return qFromLittleEndian<double>(p);
    }
}

int tamano_crudo(int tipo) {
    switch (tipo) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
        return 4;
    default:
        return 8;
    }
}

} // namespace

struct LectorAccess::Estado {
    MdbHandle* mdb = nullptr;
    ~Estado() {
        if (mdb)
            mdb_close(mdb);
    }
};

LectorAccess::LectorAccess(const QString& ruta) : ruta_(ruta), estado_(std::make_unique<Estado>()) {
    const QFileInfo info(ruta);
    if (!info.exists())
        throw ErrorDatos(QStringLiteral("no se puede leer el archivo de Access %1: el archivo no existe.").arg(ruta));
    if (info.isDir())
        throw ErrorDatos(QStringLiteral("no se puede leer el archivo de Access %1: es una carpeta.").arg(ruta));
    const QByteArray nombre = QFile::encodeName(ruta);
    estado_->mdb = mdb_open(nombre.constData(), MDB_NOFLAGS);
    const auto danado = [&] {
        return ErrorDatos(
            QStringLiteral("no se puede leer el archivo de Access %1: no es un archivo de Access o está dañado.")
                .arg(ruta));
    };
    if (!estado_->mdb)
        throw danado();
    // At once, before anything is bound: a smaller size cuts texts, and buffers of the old size would overflow.
    mdb_set_bind_size(estado_->mdb, tamano_enlace);
    if (!mdb_read_catalog(estado_->mdb, MDB_TABLE))
        throw danado();
}

LectorAccess::~LectorAccess() = default;

QStringList LectorAccess::tablas() const {
    QStringList nombres;
    MdbHandle* mdb = estado_->mdb;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && !mdb_is_system_table(e))
            nombres << QString::fromUtf8(e->object_name);
    }
    return nombres;
}

namespace {

MdbCatalogEntry* entrada(MdbHandle* mdb, const QString& tabla) {
    const QByteArray nombre = tabla.toUtf8();
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && g_ascii_strcasecmp(e->object_name, nombre.constData()) == 0)
            return e;
    }
    return nullptr;
}

} // namespace

qint64 LectorAccess::filas_declaradas(const QString& tabla) const {
    MdbCatalogEntry* e = entrada(estado_->mdb, tabla);
    if (!e)
        return -1;
    Tabla t{mdb_read_table(e)};
    return t.def ? qint64(t.def->num_rows) : -1;
}

void LectorAccess::leer(const QString& tabla, int columnas, const std::function<void(const Celda*)>& fila) {
    MdbHandle* mdb = estado_->mdb;
    const auto danada = [&] {
        return ErrorDatos(
            QStringLiteral("no se puede leer la tabla %1 del archivo de Access %2: está dañada.").arg(tabla, ruta_));
    };
    MdbCatalogEntry* e = entrada(mdb, tabla);
    if (!e)
        throw ErrorDatos(QStringLiteral("el archivo de Access %1 no tiene la tabla %2.").arg(ruta_, tabla));
    Tabla t{mdb_read_table(e)};
    if (!t.def || !mdb_read_columns(t.def))
        throw danada();
    if (int(t.def->num_cols) < columnas)
        throw ErrorDatos(
            QStringLiteral("la tabla %1 del archivo de Access %2 tiene solo %3 de las %4 columnas que necesita.")
                .arg(tabla, ruta_)
                .arg(t.def->num_cols)
                .arg(columnas));

    // Texts, memos and flags are bound (libmdb turns them into UTF-8, or "1"/"0"); numbers and dates are read
    // from the row's bytes, because libmdb's text of them depends on the locale and on the year.
    std::vector<MdbColumn*> cols(columnas);
    std::vector<std::unique_ptr<char[]>> enlaces(columnas);
    std::vector<int> largos(columnas, 0);
    std::vector<Celda::Clase> clases(columnas);
    for (int i = 0; i < columnas; ++i) {
        cols[i] = static_cast<MdbColumn*>(g_ptr_array_index(t.def->columns, i));
        clases[i] = clase_de(cols[i]->col_type);
        if (clases[i] == Celda::Clase::texto || clases[i] == Celda::Clase::logico) {
            enlaces[i] = std::make_unique<char[]>(tamano_enlace + 1);
            mdb_bind_column(t.def, i + 1, enlaces[i].get(), &largos[i]);
        }
    }
    mdb_rewind_table(t.def);
    std::vector<Celda> celdas(columnas);
    qint64 leidas = 0;
    while (mdb_fetch_row(t.def)) {
        for (int i = 0; i < columnas; ++i) {
            Celda& c = celdas[i];
            c.clase = clases[i];
            const MdbColumn* col = cols[i];
            switch (clases[i]) {
            case Celda::Clase::logico:
                c.logico = enlaces[i][0] == '1';
                break;
            case Celda::Clase::texto:
                // libmdb cuts what does not fit, without a word: a text that fills the room may have lost its end.
                if (largos[i] >= int(tamano_enlace) - 1)
                    throw ErrorDatos(QStringLiteral("la tabla %1 del archivo de Access %2 tiene en la fila %3 un "
                                                    "texto demasiado largo para leerlo entero.")
                                         .arg(tabla, ruta_)
                                         .arg(leidas + 1));
                c.texto = QByteArrayView(enlaces[i].get(), largos[i]);
                break;
            default:
                if (col->cur_value_len < tamano_crudo(col->col_type) || col->cur_value_start < 0 ||
                    col->cur_value_start + tamano_crudo(col->col_type) > int(sizeof(mdb->pg_buf))) {
                    c.clase = Celda::Clase::nulo;
                    break;
                }
                c.numero = numero_crudo(mdb->pg_buf + col->cur_value_start, col->col_type);
                break;
            }
        }
        ++leidas;
        fila(celdas.data());
    }
    if (leidas != qint64(t.def->num_rows))
        throw ErrorDatos(QStringLiteral("la tabla %1 del archivo de Access %2 está dañada: declara %3 filas y solo "
                                        "se han podido leer %4.")
                             .arg(tabla, ruta_)
                             .arg(t.def->num_rows)
                             .arg(leidas));
}
