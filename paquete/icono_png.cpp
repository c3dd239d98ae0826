// Renders the program's SVG icon to a PNG of the given size, for the icon theme's fixed sizes.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "uso: icono_png ICONO.svg TAMAÑO SALIDA.png\n");
        return 1;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const int lado = QByteArray(argv[2]).toInt();
    if (!svg.isValid() || lado <= 0)
        return 1;
    QImage imagen(lado, lado, QImage::Format_ARGB32_Premultiplied);
    imagen.fill(Qt::transparent);
    QPainter pintor(&imagen);
    svg.render(&pintor);
    pintor.end();
    return imagen.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
}
