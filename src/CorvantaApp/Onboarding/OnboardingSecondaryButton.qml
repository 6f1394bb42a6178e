import QtQuick
import QtQuick.Controls
import Corvanta

// The flow's quiet button: its fill deepens while pressed, its label does not change.
AbstractButton {
    id: button

    padding: 0
    leftPadding: 22
    rightPadding: 22
    topPadding: 12
    bottomPadding: 12

    contentItem: Text {
        text: button.text
        textFormat: Text.PlainText
        font.pixelSize: 15
        font.weight: Font.DemiBold
        color: Theme.textPrimary
    }
    background: Rectangle {
        radius: 14
        color: Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g, Theme.textSecondary.b, button.pressed ? 0.28 : 0.16)
    }
}
