import QtQuick
import QtQuick.Layouts
import Corvanta

// Label on the left, value pushed to the right in monospaced digits, both shown as given.
RowLayout {
    property string label
    property string value
    property color valueColor: Theme.textPrimary

    spacing: 8

    Text {
        text: parent.label
        textFormat: Text.PlainText
        font.pixelSize: 13
        color: Theme.textSecondary
    }
    Item { Layout.fillWidth: true }
    Text {
        text: parent.value
        textFormat: Text.PlainText
        font.family: "DejaVu Sans Mono"
        font.pixelSize: 13
        color: parent.valueColor
    }
}
