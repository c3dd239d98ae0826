// Labels: 1,000 labels of A4 sheets of 3 × 8, with both symbols and the user's line, written to a PDF file.
#include "bench/comun.h"
#include "etiquetas/dibujo.h"
#include "etiquetas/formato.h"

#include <QFile>
#include <QPrinter>
#include <cstdio>

namespace Bench {

void medir_etiquetas(const QTemporaryDir& dir, const std::vector<int>&) {
    constexpr int n = 1000;
    std::vector<DatosEtiqueta> lista;
    lista.reserve(n);
    for (int i = 0; i < n; ++i)
        lista.push_back({QString::number(100000 + i * 7), QStringLiteral("Monitor"), QStringLiteral("Dell"),
                         QStringLiteral("P2422H rev. %1").arg(i % 13),
                         QStringLiteral("CN0X%1").arg(i * 31, 6, 10, QChar(u'0')), QString()});
    const QString pdf = dir.filePath(QStringLiteral("etiquetas.pdf"));
    const Formato& f = formato(QStringLiteral("a4_3x8"));
    bool bien = true;
    const double ms = mediana(3, [&] {
        QPrinter impresora(QPrinter::HighResolution);
        impresora.setOutputFormat(QPrinter::PdfFormat);
        impresora.setOutputFileName(pdf);
        DibujoEtiquetas::preparar_impresora(impresora, f);
        bien =
            DibujoEtiquetas::imprimir(impresora, f, 0, QStringLiteral("Talleres Ruiz S.L."), Tanda::de(lista)) && bien;
    });
    if (!bien)
        std::fprintf(stderr, "labels not printed\n");
    std::printf("labels n=%d ms=%.1f\n", n, ms);
    std::fflush(stdout);
    QFile::remove(pdf);
}

} // namespace Bench
