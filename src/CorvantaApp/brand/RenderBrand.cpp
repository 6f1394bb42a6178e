// Renders one SVG of the brand artwork to a PNG: at twice its drawn size, for sharp stickers, or
// at a given square size, for the desktop icons.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    int size = 0;
    if (argc == 4) size = std::atoi(argv[3]);
    if ((argc != 3 && argc != 4) || (argc == 4 && (size <= 0 || size > 4096))) {
        std::fprintf(stderr, "usage: corvanta-render-brand IN.svg OUT.png [SIZE]\n");
        return 2;
    }
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid()) {
        std::fprintf(stderr, "corvanta-render-brand: %s is not a valid SVG\n", argv[1]);
        return 1;
    }
    const QSize pixels = size > 0 ? QSize(size, size) : renderer.defaultSize() * 2;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "corvanta-render-brand: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
