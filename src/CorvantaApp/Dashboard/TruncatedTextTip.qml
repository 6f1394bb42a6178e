import QtQuick
import QtQuick.Controls

// Over a line of text that may be cut short: hovering it, when it is cut, shows the whole text.
// Shown as plain text, as the line itself: it may hold a failure's or the node's own words.
Item {
    id: tip

    required property Text label
    readonly property alias popup: toolTip

    anchors.fill: parent

    // A hover-only mouse area, not a HoverHandler: with Qt 6.4 a HoverHandler under a resting
    // pointer grows a list at every frame the scene changes, for as long as the window is open.
    MouseArea {
        id: hover
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
    }

    ToolTip {
        id: toolTip

        visible: hover.containsMouse && tip.label.truncated
        text: tip.label.text
        width: Math.min(implicitWidth, 360)
        contentItem: Text {
            text: toolTip.text
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font: toolTip.font
            color: toolTip.palette.toolTipText
        }
    }
}
