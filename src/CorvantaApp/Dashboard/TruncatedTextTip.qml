import QtQuick
import QtQuick.Controls

// Over a line of text that may be cut short: hovering it, when it is cut, shows the whole text.
// Shown as plain text, as the line itself: it may hold a failure's or the node's own words.
Item {
    id: tip

    required property Text label
    readonly property alias popup: toolTip

    anchors.fill: parent

    HoverHandler { id: hover }

    ToolTip {
        id: toolTip

        visible: hover.hovered && tip.label.truncated
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
