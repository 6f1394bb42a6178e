import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// A small card asking whether the user likes the app. It decides nothing: the dashboard shows
// it and acts on the answer.
Rectangle {
    id: card

    signal answer(bool yes)
    signal dismiss()

    implicitWidth: row.implicitWidth + 2 * 16
    implicitHeight: row.implicitHeight + 2 * 16
    radius: 18
    color: Theme.surfaceViolet
    border.width: 1
    border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.35)

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.margins: 16
        spacing: 14

        BrandSticker {
            asset: "sparkle"
            size: 38
        }

        ColumnLayout {
            spacing: 2

            Label {
                objectName: "title"
                text: qsTr("Corvanta vous plaît ?")
                textFormat: Text.PlainText
                font.pixelSize: 14
                font.weight: Font.Black
            }

            Label {
                objectName: "line"
                text: qsTr("Un mot de vous aide plus que tout le reste.")
                textFormat: Text.PlainText
                font.pixelSize: 11
                color: Theme.textSecondary
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.minimumWidth: 12
        }

        Button {
            objectName: "yesButton"
            text: qsTr("Oui")
            highlighted: true
            palette.highlight: Theme.accent
            onClicked: card.answer(true)
        }

        Button {
            objectName: "noButton"
            text: qsTr("Non")
            onClicked: card.answer(false)
        }

        Button {
            id: dismissButton

            // Its hover help, which also names the mark for screen readers.
            readonly property string help: qsTr("Ne plus demander")

            objectName: "dismissButton"
            // The close mark, until the icon font comes.
            text: "×"
            flat: true
            font.pixelSize: 11
            font.bold: true
            palette.buttonText: Theme.textSecondary
            Accessible.name: help
            ToolTip.text: help
            ToolTip.visible: hovered
            onClicked: card.dismiss()
        }
    }
}
