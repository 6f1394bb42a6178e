#include "Dashboard/Confetti.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <cmath>

namespace corvanta {
namespace Confetti {

namespace {
constexpr double kCycle = 6;
// 2001-01-01 00:00 UTC in seconds since 1970.
constexpr double kReferenceEpoch = 978307200;
}  // namespace

Piece piece(int index) {
    const double i = index;
    const auto r = [i](double k) { return (std::sin(i * k) + 1) / 2; };
    return {0.02 + 0.96 * r(12.9898), 2.2 * r(78.233), 0.75 + 0.75 * r(37.719), 5 + 6 * r(93.989),
            0.03 + 0.08 * r(21.317),  r(45.164),       -3 + 6 * r(63.741)};
}

const std::array<Piece, kPieces>& pieces() {
    static const std::array<Piece, kPieces> all = [] {
        std::array<Piece, kPieces> built{};
        for (int i = 0; i < kPieces; ++i) built[i] = piece(i);
        return built;
    }();
    return all;
}

std::optional<Placement> place(const Piece& piece, double t, double width, double height) {
    const double p = std::fmod(t * piece.speed - piece.delay, kCycle) / kCycle;
    if (!(p >= 0)) return std::nullopt;
    return Placement{p,
                     width * piece.column + width * piece.swing * std::sin(12 * p + 6 * piece.hue),
                     (height + 80) * p - 40, p * piece.spin * 12, p <= 0.75 ? 1.0 : (1 - p) * 4};
}

int colourBucket(double hue) {
    const double c = std::trunc(hue * 4);
    if (c == 0) return 0;
    if (c == 1) return 1;
    if (c == 2) return 2;
    return 3;
}

double referenceTime(double secondsSince1970) {
    return secondsSince1970 - kReferenceEpoch;
}

}  // namespace Confetti

ConfettiItem::ConfettiItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &ConfettiItem::coloursChanged, this, [this] { update(); });
}

void ConfettiItem::setRunning(bool running) {
    if (running == running_) return;
    running_ = running;
    emit runningChanged();
    if (running_) update();
}

void ConfettiItem::paint(QPainter* painter) {
    if (!running_) return;
    const double w = width();
    const double h = height();
    bool fixed = false;
    const double fixedSeconds = fixedTime_.toDouble(&fixed);
    const double t = Confetti::referenceTime(
        fixed ? fixedSeconds : double(QDateTime::currentMSecsSinceEpoch()) / 1000);
    const QColor yellow = QColor::fromRgbF(0.99f, 0.85f, 0.40f);
    QColor accentDim = accent_;
    accentDim.setAlphaF(accent_.alphaF() * 0.65f);
    const std::array<QColor, 4> colours{accent_, success_, accentDim, yellow};
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    for (const auto& piece : Confetti::pieces()) {
        const auto at = Confetti::place(piece, t, w, h);
        if (!at) continue;
        painter->save();
        painter->translate(at->x, at->y);
        painter->rotate(at->rotationRadians * 180 / M_PI);
        painter->setOpacity(at->opacity);
        painter->setBrush(colours[std::size_t(Confetti::colourBucket(piece.hue))]);
        painter->drawRoundedRect(
            QRectF(-piece.size / 2, -piece.size / 4, piece.size, piece.size / 2), 1, 1);
        painter->restore();
    }
    // Painting may run on the scene graph's thread; the count and the next frame belong to
    // the GUI thread.
    QMetaObject::invokeMethod(
        this,
        [this] {
            ++frames_;
            emit framesChanged();
            scheduleFrame();
        },
        Qt::QueuedConnection);
}

void ConfettiItem::scheduleFrame() {
    // The next frame is asked for only after this one is painted, and never while stopped or
    // off screen, so a hidden or reduced-motion layer costs nothing.
    if (running_ && isVisible() && window() != nullptr && window()->isVisible()) update();
}

}  // namespace corvanta
