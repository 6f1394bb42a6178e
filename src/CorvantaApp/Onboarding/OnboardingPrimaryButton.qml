import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The flow's main button: bold white label and an optional symbol on the accent colour.
// Pressed it dims to 0.82; a disabled one is dimmed by its caller.
AbstractButton {
    id: button

    property string symbol

    padding: 0
    leftPadding: 22
    rightPadding: 22
    topPadding: 12
    bottomPadding: 12
    opacity: pressed ? 0.82 : 1.0

    contentItem: RowLayout {
        spacing: 8
        Text {
            text: button.text
            textFormat: Text.PlainText
            font.pixelSize: 15
            font.bold: true
            color: "white"
        }
        SymbolIcon {
            visible: button.symbol !== ""
            name: button.symbol
            size: 15
            color: "white"
        }
    }
    background: Rectangle {
        radius: 14
        color: Theme.accent
    }
}
