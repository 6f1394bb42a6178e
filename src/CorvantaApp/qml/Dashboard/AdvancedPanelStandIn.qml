import QtQuick
import QtQuick.Controls
import Corvanta

// Holds the advanced panel's place until the settings panel lands: its title, the section it
// was asked to open at, and its close control.
Rectangle {
    id: panel

    property string section

    signal close()

    color: Theme.cardBackground

    SoftShadow {
        z: -1
        x: -6
        width: parent.width
        height: parent.height
        cornerRadius: 0
        spread: 18
        strength: 0.18
    }
    Row {
        x: 20
        y: 20
        spacing: 12
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: qsTr("Réglages")
            textFormat: Text.PlainText
            font.pixelSize: 17
            font.bold: true
            color: Theme.textPrimary
        }
    }
    AbstractButton {
        objectName: "panelCloseButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 16
        implicitWidth: 26
        implicitHeight: 26
        focusPolicy: Qt.NoFocus
        onClicked: panel.close()
        contentItem: Item {
            SymbolIcon {
                anchors.centerIn: parent
                name: "xmark"
                size: 13
                color: Theme.textSecondary
            }
        }
        background: Item {}
    }
}
