import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// Stand-in for the mini dashboard.
Rectangle {
    id: page

    property AppDelegate shell

    objectName: "miniDashboardPage"
    implicitWidth: 380
    implicitHeight: 377
    color: Theme.background

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 10

        Text {
            text: "Corvanta"
            font.pixelSize: 15
            font.weight: Font.Black
            color: Theme.textPrimary
        }
        Button {
            objectName: "leaveButton"
            text: qsTr("Ouvrir Corvanta")
            onClicked: page.shell.leaveMiniMode()
        }
        Button {
            objectName: "settingsButton"
            text: qsTr("Réglages")
            onClicked: page.shell.openSettingsFromMini()
        }
        CheckBox {
            objectName: "floatingToggle"
            text: qsTr("Garder au-dessus des autres fenêtres")
            checked: Prefs.miniFloatsAboveOthers
            onToggled: page.shell.toggleFloating()
        }
        Item { Layout.fillHeight: true }
    }
}
