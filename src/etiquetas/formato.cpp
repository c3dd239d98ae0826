#include "etiquetas/formato.h"

namespace {

// Common self-adhesive A4 sheets: labels edge to edge across, or with a gap, centred on the page.
Formato hoja(const char* clave, const QString& nombre, int columnas, int filas, QSizeF etiqueta, QSizeF paso) {
    const QSizeF a4(210, 297);
    Formato f;
    f.clave = QLatin1String(clave);
    f.nombre = nombre;
    f.papel = a4;
    f.etiqueta = etiqueta;
    f.paso = paso;
    f.columnas = columnas;
    f.filas = filas;
    const double ancho = paso.width() * (columnas - 1) + etiqueta.width();
    const double alto = paso.height() * (filas - 1) + etiqueta.height();
    f.primera = QPointF((a4.width() - ancho) / 2, (a4.height() - alto) / 2);
    return f;
}

Formato rollo() {
    Formato f;
    f.clave = QStringLiteral("rollo62");
    f.nombre = QStringLiteral("Rollo continuo de 62 mm");
    f.papel = QSizeF(62, 40);
    f.etiqueta = f.papel;
    f.paso = f.papel;
    f.rollo = true;
    return f;
}

} // namespace

QRectF Formato::sitio(int posicion) const {
    const int columna = posicion % columnas;
    const int fila = posicion / columnas;
    return QRectF(primera + QPointF(columna * paso.width(), fila * paso.height()), etiqueta);
}

const std::vector<Formato>& formatos() {
    static const std::vector<Formato> todos = {
        hoja("a4_3x8", QStringLiteral("A4, 3 × 8 etiquetas de 70 × 37 mm"), 3, 8, {70, 37}, {70, 37}),
        hoja("a4_2x7", QStringLiteral("A4, 2 × 7 etiquetas de 99,1 × 38,1 mm"), 2, 7, {99.1, 38.1}, {101.6, 38.1}),
        hoja("a4_4x10", QStringLiteral("A4, 4 × 10 etiquetas de 48,5 × 25,4 mm"), 4, 10, {48.5, 25.4}, {48.5, 25.4}),
        rollo(),
    };
    return todos;
}

const Formato& formato(const QString& clave) {
    for (const Formato& f : formatos())
        if (f.clave == clave)
            return f;
    return formatos().front();
}

Colocacion colocar(const Formato& f, int inicio, int n) {
    const int lugar = inicio + n;
    return {lugar / f.por_pagina(), lugar % f.por_pagina()};
}

int paginas(const Formato& f, int inicio, int cuantas) {
    return cuantas <= 0 ? 0 : colocar(f, inicio, cuantas - 1).pagina + 1;
}
