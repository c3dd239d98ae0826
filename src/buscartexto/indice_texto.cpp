#include "buscartexto/indice_texto.h"

#include "buscartexto/texto_plegado.h"
#include "data/origen_datos.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace {

// The columns of Elemento searched by their own text: code, model, serial number, description.
constexpr int columnas_propias[] = {0, 3, 4, 7};

bool contiene(const std::string& pajar, const std::string& aguja) {
    return pajar.find(aguja) != std::string::npos;
}

// The codes of Tipo or Marca whose name, as the list shows it (the first row with the code), contains `aguja`.
std::unordered_set<qint64> codigos_con_nombre(const OrigenDatos& origen, const std::string& aguja) {
    std::unordered_set<qint64> codigos;
    std::string nombre;
    for (int fila = 0; fila < origen.numero_filas(); ++fila) {
        const std::optional<qint64> codigo = origen.entero(fila, 0);
        if (!codigo || origen.primera_fila_con_codigo(*codigo) != fila)
            continue;
        nombre.clear();
        TextoPlegado::plegar_utf8(origen.texto(fila, 1), nombre);
        if (contiene(nombre, aguja))
            codigos.insert(*codigo);
    }
    return codigos;
}

} // namespace

IndiceTexto::IndiceTexto(const OrigenDatos& elementos, QObject* padre) : QObject(padre), elementos_(elementos) {}

void IndiceTexto::construir() {
    const int n = elementos_.numero_filas();
    plegados_.clear();
    inicios_.clear();
    inicios_.reserve(static_cast<size_t>(n) + 1);
    for (int fila = 0; fila < n; ++fila) {
        inicios_.push_back(plegados_.size());
        for (int columna : columnas_propias) {
            TextoPlegado::plegar_utf8(elementos_.texto(fila, columna), plegados_);
            plegados_.push_back('\0');
        }
    }
    inicios_.push_back(plegados_.size());
    plegados_.shrink_to_fit();
    identidad_ = elementos_.identidad();
    filas_ = n;
    plegado_ = true;
    ++veces_plegado_;
}

std::vector<int> IndiceTexto::buscar(const QString& texto, const OrigenDatos& tipos, const OrigenDatos& marcas) {
    // Every change of the rows gives the snapshot a new identity; the row count is checked as well, since an empty
    // snapshot has none.
    if (!plegado_ || identidad_ != elementos_.identidad() || filas_ != elementos_.numero_filas())
        construir();
    std::string aguja;
    TextoPlegado::plegar_utf8(texto, aguja);
    // A zero byte ends each folded text, so no match can run from one column into the next.
    aguja.erase(std::remove(aguja.begin(), aguja.end(), '\0'), aguja.end());
    if (aguja.empty())
        return {};

    const int n = filas_;
    std::vector<char> encontrada(static_cast<size_t>(n), 0);
    {
        const char* base = plegados_.data();
        const char* fin = base + plegados_.size();
        const char* p = base;
        while (p < fin) {
            const void* hallado = memmem(p, static_cast<size_t>(fin - p), aguja.data(), aguja.size());
            if (!hallado)
                break;
            const size_t sitio = static_cast<size_t>(static_cast<const char*>(hallado) - base);
            const auto fila =
                static_cast<size_t>(std::upper_bound(inicios_.begin(), inicios_.end(), sitio) - inicios_.begin()) - 1;
            encontrada[fila] = 1;
            // The rest of that row need not be looked at.
            p = base + inicios_[fila + 1];
        }
    }

    const std::unordered_set<qint64> con_tipo = codigos_con_nombre(tipos, aguja);
    const std::unordered_set<qint64> con_marca = codigos_con_nombre(marcas, aguja);
    const auto en = [](const std::unordered_set<qint64>& codigos, std::optional<qint64> codigo) {
        return codigo && codigos.count(*codigo) > 0;
    };
    std::vector<int> filas;
    for (int fila = 0; fila < n; ++fila) {
        if (encontrada[static_cast<size_t>(fila)] || (!con_tipo.empty() && en(con_tipo, elementos_.entero(fila, 1))) ||
            (!con_marca.empty() && en(con_marca, elementos_.entero(fila, 2))))
            filas.push_back(fila);
    }
    return filas;
}
