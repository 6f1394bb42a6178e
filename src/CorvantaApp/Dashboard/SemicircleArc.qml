import QtQuick
import QtQuick.Shapes

// One stretch of a gauge's upper half-circle, from its left end (0) to `to` (1 is the right
// end), centred on the bottom middle of a dial `dialWidth` wide and `dialHeight` high.
ShapePath {
    id: arc

    property real to: 1
    property real dialWidth: 132
    property real dialHeight: 71.5

    fillColor: "transparent"
    strokeWidth: 11
    capStyle: ShapePath.RoundCap
    joinStyle: ShapePath.MiterJoin
    miterLimit: 10

    PathAngleArc {
        centerX: arc.dialWidth / 2
        centerY: arc.dialHeight
        radiusX: arc.dialWidth * 0.458
        radiusY: arc.dialWidth * 0.458
        startAngle: 180
        sweepAngle: 180 * arc.to
    }
}
