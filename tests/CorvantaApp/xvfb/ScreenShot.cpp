// What the desktop test sees of a window on the X server, drawn by the server itself:
//   shot WINDOW FILE.png                   the window's pixels as the server holds them
//   compare ACTUAL.png GOLDEN.png DIFF.png [X,Y,W,H ...]
//                                           the share of differing pixels, written as a number;
//                                           exit 1 past the golden tolerance (the diff is kept).
//                                           The rectangles are left out: what the machine itself
//                                           shows there (its own load) differs from run to run.
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QScreen>

#include <cstdio>
#include <cstring>

#include "GoldenImage.h"

namespace {

// The share of differing pixels a window may show against its golden: the same as the views'
// goldens, as the same renderer draws both.
constexpr double kMaxShare = 0.005;

int shot(const char* window, const char* file) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return 1;
    const QPixmap pixels = screen->grabWindow(WId(std::strtoul(window, nullptr, 0)));
    if (pixels.isNull() || !pixels.save(QString::fromLocal8Bit(file))) {
        std::fprintf(stderr, "x11-shot: no picture of window %s\n", window);
        return 1;
    }
    return 0;
}

int compare(const char* actualFile, const char* goldenFile, const char* diffFile,
            const QList<QRect>& leftOut) {
    QImage actual(QString::fromLocal8Bit(actualFile));
    const QImage golden(QString::fromLocal8Bit(goldenFile));
    if (actual.isNull() || golden.isNull()) {
        std::fprintf(stderr, "x11-shot: cannot read %s or %s\n", actualFile, goldenFile);
        return 2;
    }
    if (actual.size() == golden.size()) {
        actual = actual.convertToFormat(QImage::Format_ARGB32);
        QPainter painter(&actual);
        for (const QRect& rect : leftOut) painter.drawImage(rect, golden, rect);
    }
    QImage diff;
    const double share = corvanta::testing::differingShare(actual, golden, diff);
    std::printf("%.5f\n", share);
    if (share <= kMaxShare) return 0;
    if (!diff.isNull()) diff.save(QString::fromLocal8Bit(diffFile));
    return 1;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: x11-shot shot WINDOW FILE.png | compare ACTUAL GOLDEN DIFF [X,Y,W,H ...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "compare") == 0) {
        QList<QRect> leftOut;
        for (int i = 5; i < argc; ++i) {
            const QStringList parts = QString::fromLatin1(argv[i]).split(',');
            if (parts.size() != 4) return usage();
            leftOut << QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(),
                             parts[3].toInt());
        }
        // Reading files needs no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        return compare(argv[2], argv[3], argv[4], leftOut);
    }
    if (argc == 4 && std::strcmp(argv[1], "shot") == 0) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        QGuiApplication application(argc, argv);
        return shot(argv[2], argv[3]);
    }
    return usage();
}
