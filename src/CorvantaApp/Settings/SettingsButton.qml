import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// A bordered button with a symbol and a caption.
Button {
    id: button

    property string symbol

    padding: 6
    leftPadding: 10
    rightPadding: 10
    contentItem: RowLayout {
        spacing: 6
        SymbolIcon {
            name: button.symbol
            size: 12
            color: Theme.textPrimary
        }
        Text {
            text: button.text
            textFormat: Text.PlainText
            font.pixelSize: 11
            color: Theme.textPrimary
        }
    }
    background: Rectangle {
        radius: 6
        color: button.down ? Theme.cardBorder : Theme.cardBackground
        border.width: 1
        border.color: Theme.cardBorder
    }
}
