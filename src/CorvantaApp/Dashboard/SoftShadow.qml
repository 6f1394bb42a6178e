pragma ComponentBehavior: Bound
import QtQuick

// A soft shadow behind a rounded shape, drawn as a few translucent rings once (shader effects
// draw nothing on the software renderer).
Item {
    id: shadow

    property color color: "black"
    property real strength: 0.18
    property real spread: 18
    property real cornerRadius: 16

    Repeater {
        model: 6
        delegate: Rectangle {
            required property int index
            readonly property real grow: shadow.spread * (index + 1) / 6
            x: -grow
            y: -grow
            width: shadow.width + 2 * grow
            height: shadow.height + 2 * grow
            radius: shadow.cornerRadius + grow
            color: Qt.rgba(shadow.color.r, shadow.color.g, shadow.color.b,
                           shadow.strength / 6 * (6 - index) / 3.5)
        }
    }
}
