#include "hojas/mapeo_hoja.h"

#include "data/error_datos.h"
#include "hojas/valores_hoja.h"
#include "modulo/module1.h"

#include <QCryptographicHash>
#include <QSettings>
#include <algorithm>

namespace MapeoHoja {

namespace {

// Header names folded to their letters and digits alone.
QString compacto(const QString& texto) {
    QString r;
    for (const QChar c : ValoresHoja::plegar(texto))
        if (c.isLetterOrNumber())
            r += c;
    return r;
}

const std::array<QStringList, numero_campos>& sinonimos() {
    static const std::array<QStringList, numero_campos> lista = {
        QStringList{"codigo", "cod", "code", "id", "no", "n", "num", "numero", "nro", "inventario", "ninventario",
                    "noinventario", "numinventario", "asset", "assetid", "assettag", "etiqueta", "tag"},
        QStringList{"tipo", "type", "categoria", "category", "clase", "kind", "devicetype", "tipodeequipo", "equipo"},
        QStringList{"marca", "brand", "fabricante", "manufacturer", "make", "vendor"},
        QStringList{"modelo", "model"},
        QStringList{"numerodeserie", "numeroserie", "numdeserie", "numserie", "nserie", "noserie", "nodeserie",
                    "ndeserie", "serie", "serial", "serialnumber", "serialno", "sn", "nserial"},
        QStringList{"fecha", "date", "fechadecompra", "fechacompra", "purchasedate", "compra", "alta", "fechaalta"},
        QStringList{"garantia", "warranty", "garantiameses", "mesesdegarantia", "warrantymonths", "meses"},
        QStringList{"descripcion", "description", "desc", "notas", "notes", "observaciones", "comentarios", "comments"},
        QStringList{"renting", "alquiler", "alquilado", "rented", "leasing", "lease", "rental"}};
    return lista;
}

const char* const claves[numero_campos] = {"codigo", "tipo",     "marca",       "modelo", "numero_serie",
                                           "fecha",  "garantia", "descripcion", "renting"};
const char* const nombres[numero_campos] = {"Código", "Tipo",     "Marca",       "Modelo", "Nº de serie",
                                            "Fecha",  "Garantía", "Descripción", "Renting"};

QSettings ajustes() {
    return QSettings(Programa::titulo, Programa::titulo);
}

std::optional<int> columna_de_letras(const QString& t) {
    if (t.isEmpty() || t.size() > 3)
        return std::nullopt;
    int n = 0;
    for (const QChar c : t) {
        if (c < u'A' || c > u'Z')
            return std::nullopt;
        n = n * 26 + (c.unicode() - u'A' + 1);
    }
    return n - 1;
}

} // namespace

QString nombre(int campo) {
    return QString::fromUtf8(nombres[campo]);
}

QString clave(int campo) {
    return QString::fromLatin1(claves[campo]);
}

bool obligatorio(int campo) {
    return campo == tipo || campo == marca || campo == modelo || campo == num_serie || campo == fecha;
}

Mapeo proponer(const QStringList& cabeceras) {
    Mapeo m = ninguno;
    QStringList compactas;
    for (const QString& c : cabeceras)
        compactas << compacto(c);
    std::vector<bool> usada(std::size_t(cabeceras.size()), false);
    // Whole names first, then headers that begin with a name ("Fecha de compra (dd/mm/aaaa)"); the leftmost
    // column that fits wins.
    const auto encaja = [](const QString& cabecera, const QString& s, bool entera) {
        return entera ? cabecera == s : s.size() >= 4 && cabecera.startsWith(s);
    };
    for (bool entera : {true, false})
        for (int campo = 0; campo < numero_campos; ++campo)
            for (qsizetype i = 0; i < compactas.size() && m[campo] < 0; ++i)
                if (!usada[std::size_t(i)] &&
                    std::any_of(sinonimos()[campo].begin(), sinonimos()[campo].end(),
                                [&](const QString& s) { return encaja(compactas[i], s, entera); })) {
                    m[campo] = int(i);
                    usada[std::size_t(i)] = true;
                }
    return m;
}

QString letra(int columna) {
    QString r;
    for (int n = columna + 1; n > 0; n = (n - 1) / 26)
        r.prepend(QChar(u'A' + (n - 1) % 26));
    return r;
}

QString firma(const QStringList& cabeceras) {
    QStringList compactas;
    for (const QString& c : cabeceras)
        compactas << ValoresHoja::plegar(c);
    return QString::fromLatin1(
        QCryptographicHash::hash(compactas.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Sha1).toHex());
}

std::optional<Mapeo> recordado(const QStringList& cabeceras) {
    const QVariant v = ajustes().value(QStringLiteral("mapeos_hojas/") + firma(cabeceras));
    const QStringList partes = v.toString().split(u',');
    if (partes.size() != numero_campos)
        return std::nullopt;
    Mapeo m;
    for (int i = 0; i < numero_campos; ++i) {
        bool es = false;
        m[i] = partes[i].toInt(&es);
        if (!es || m[i] < -1 || m[i] >= cabeceras.size())
            return std::nullopt;
    }
    return m;
}

void recordar(const QStringList& cabeceras, const Mapeo& m) {
    QStringList partes;
    for (int c : m)
        partes << QString::number(c);
    QSettings s = ajustes();
    s.setValue(QStringLiteral("mapeos_hojas/") + firma(cabeceras), partes.join(u','));
}

Archivo leer_archivo(const QString& texto) {
    Archivo a;
    const QStringList lineas = texto.split(u'\n');
    for (qsizetype n = 0; n < lineas.size(); ++n) {
        const QString l = lineas[n].trimmed();
        if (l.isEmpty() || l.startsWith(u'#'))
            continue;
        const qsizetype igual = l.indexOf(u'=');
        const QString k = igual < 0 ? l : l.left(igual).trimmed().toLower();
        const QString v = igual < 0 ? QString() : l.mid(igual + 1).trimmed();
        const auto error = [&] {
            return ErrorDatos(
                QStringLiteral("la línea %1 del archivo de columnas no se entiende: «%2».").arg(n + 1).arg(l));
        };
        if (igual < 0)
            throw error();
        if (k == QLatin1String("hoja"))
            a.hoja = v;
        else if (k == QLatin1String("cabecera")) {
            const std::optional<bool> si = ValoresHoja::renting(CeldaHoja{CeldaHoja::Clase::texto, 0, v});
            if (!si)
                throw error();
            a.cabecera = *si;
        } else if (k == QLatin1String("separador"))
            a.separador = v == QLatin1String("tab") ? QStringLiteral("\t") : v;
        else if (k == QLatin1String("codificacion"))
            a.codificacion = v;
        else {
            int campo = 0;
            while (campo < numero_campos && clave(campo) != k)
                ++campo;
            if (campo == numero_campos)
                throw error();
            a.columnas[campo] = v;
        }
    }
    return a;
}

Mapeo aplicar(const Archivo& a, const QStringList& cabeceras, int columnas) {
    Mapeo m = ninguno;
    for (int campo = 0; campo < numero_campos; ++campo) {
        const QString& v = a.columnas[campo];
        if (v.isEmpty())
            continue;
        qsizetype i = -1;
        for (qsizetype c = 0; c < cabeceras.size() && i < 0; ++c)
            if (ValoresHoja::plegar(cabeceras[c]) == ValoresHoja::plegar(v))
                i = c;
        if (i < 0)
            if (const std::optional<int> l = columna_de_letras(v); l && *l < columnas)
                i = *l;
        if (i < 0)
            throw ErrorDatos(QStringLiteral("la hoja no tiene la columna «%1» que el archivo de columnas da a %2.")
                                 .arg(v, nombre(campo)));
        m[campo] = int(i);
    }
    return m;
}

} // namespace MapeoHoja
