import QtQuick
import QtQuick.Layouts
import Corvanta

// A label on the left and its value on the right, as InfoRow draws them, for the panel's narrow
// column: a value too long for what the label leaves wraps onto further lines instead of
// pushing the row past the card's edge.
RowLayout {
    id: row

    property string label
    property string value
    property color valueColor: Theme.textPrimary

    Layout.fillWidth: true
    spacing: 8

    Text {
        Layout.alignment: Qt.AlignTop
        text: row.label
        textFormat: Text.PlainText
        font.pixelSize: 13
        color: Theme.textSecondary
    }
    Text {
        objectName: "value"
        // Whatever the label leaves, however long the value.
        Layout.fillWidth: true
        Layout.preferredWidth: 1
        Layout.alignment: Qt.AlignTop
        text: row.value
        textFormat: Text.PlainText
        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
        horizontalAlignment: Text.AlignRight
        font.family: "DejaVu Sans Mono"
        font.pixelSize: 12
        color: row.valueColor
    }
}
