#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QQuickPaintedItem>
#include <QVariant>
#include <array>
#include <optional>

namespace corvanta {

namespace Confetti {

// One falling piece, from a fixed formula over its index: the same 90 pieces every time.
struct Piece {
    double column;  // home position, fraction of the width
    double delay;   // phase offset in scaled time (a cycle is 6)
    double speed;   // one fall takes 6 / speed seconds
    double size;    // width in points; the height is half of it
    double swing;   // sway amplitude, fraction of the width
    double hue;     // colour bucket and sway phase
    double spin;    // rotation factor
};
constexpr int kPieces = 90;
Piece piece(int index);
const std::array<Piece, kPieces>& pieces();

// Where a piece is at `t` seconds since 2001-01-01 UTC on a layer `width` × `height`; nothing
// while its cycle has not begun.
struct Placement {
    double progress;  // p, 0…1 through the fall
    double x;
    double y;
    double rotationRadians;
    double opacity;
};
std::optional<Placement> place(const Piece& piece, double t, double width, double height);
// 0: accent, 1: success text, 2: accent at 0.65, 3: warm yellow.
int colourBucket(double hue);
// Seconds since 2001-01-01 00:00 UTC of `secondsSince1970`.
double referenceTime(double secondsSince1970);

}  // namespace Confetti

// The layer behind the block-found card, painted every frame only while `running`.
class ConfettiItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)
    Q_PROPERTY(QColor accent MEMBER accent_ NOTIFY coloursChanged)
    Q_PROPERTY(QColor success MEMBER success_ NOTIFY coloursChanged)
    // Seconds since 1970 to draw at instead of the clock (undefined: the clock).
    Q_PROPERTY(QVariant fixedTime MEMBER fixedTime_ NOTIFY coloursChanged)
    // Frames painted, for the tests that count them.
    Q_PROPERTY(int frames READ frames NOTIFY framesChanged)

  public:
    explicit ConfettiItem(QQuickItem* parent = nullptr);
    bool running() const { return running_; }
    void setRunning(bool running);
    int frames() const { return frames_; }
    void paint(QPainter* painter) override;

  signals:
    void runningChanged();
    void coloursChanged();
    void framesChanged();

  private:
    void scheduleFrame();

    bool running_ = false;
    int frames_ = 0;
    QVariant fixedTime_;
    QColor accent_{0x7C, 0x5C, 0xFF};
    QColor success_{0x1F, 0x9D, 0x6B};
};

}  // namespace corvanta
