// Renders one SVG of the brand artwork to a PNG at twice its drawn size, for sharp stickers.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvanta-render-brand IN.svg OUT.png\n");
        return 2;
    }
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid()) {
        std::fprintf(stderr, "corvanta-render-brand: %s is not a valid SVG\n", argv[1]);
        return 1;
    }
    QImage image(renderer.defaultSize() * 2, QImage::Format_ARGB32_Premultiplied);
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
