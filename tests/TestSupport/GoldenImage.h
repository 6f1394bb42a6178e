#pragma once

// The comparison behind every golden screenshot: rendering differs a little between machines
// (anti-aliasing, font hinting), so a pixel counts as changed only past a small per-channel step.

#include <QImage>

#include <algorithm>
#include <cstdlib>

namespace corvanta::testing {

inline constexpr int kGoldenChannelTolerance = 8;

// The share of pixels of which some channel differs by more than the tolerance, and a picture of
// them in red on white. Images of different sizes differ everywhere.
inline double differingShare(QImage actual, QImage expected, QImage& diff) {
    actual = actual.convertToFormat(QImage::Format_ARGB32);
    expected = expected.convertToFormat(QImage::Format_ARGB32);
    if (actual.size() != expected.size()) return 1.0;
    diff = QImage(actual.size(), QImage::Format_ARGB32);
    diff.fill(Qt::white);
    qint64 differing = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            const int delta =
                std::max({std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                          std::abs(qBlue(a) - qBlue(e)), std::abs(qAlpha(a) - qAlpha(e))});
            if (delta > kGoldenChannelTolerance) {
                ++differing;
                diff.setPixel(x, y, qRgb(255, 0, 0));
            }
        }
    }
    return double(differing) / (double(actual.width()) * actual.height());
}

}  // namespace corvanta::testing
