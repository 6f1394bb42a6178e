import QtQuick
import Corvanta

// A card: its content padded by 16, on the card colour, in a rounded rectangle of radius 18
// with a 1-point border drawn inside the edge, clipped to it.
Item {
    id: card

    property color accentColor: Theme.cardBorder
    default property alias content: inner.data

    implicitWidth: inner.implicitWidth + 32
    implicitHeight: inner.implicitHeight + 32

    Rectangle {
        id: fill
        anchors.fill: parent
        radius: 18
        color: Theme.cardBackground
        border.width: 1
        border.color: card.accentColor
        clip: true
    }
    Column {
        id: inner
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 16
    }
}
