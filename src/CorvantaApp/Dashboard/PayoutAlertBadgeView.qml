import QtQuick
import QtQuick.Controls
import Corvanta

// In the network badge's place while no payout address is set: a warning that opens the
// wallet settings.
AbstractButton {
    id: badge

    objectName: "payoutAlertBadge"
    focusPolicy: Qt.NoFocus
    padding: 0
    leftPadding: 14
    rightPadding: 14
    topPadding: 9
    bottomPadding: 9
    ToolTip.visible: hovered
    ToolTip.text: qsTr("Aucune adresse de récompense : un bloc trouvé ne vous rapporterait rien. Cliquez pour la renseigner.")

    background: Rectangle {
        radius: height / 2
        color: Theme.danger
        border.width: 2
        border.color: Qt.rgba(1, 1, 1, 0.55)
    }
    contentItem: Row {
        spacing: 6
        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            name: "exclamationmark.triangle.fill"
            size: 15
            color: "white"
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: qsTr("Adresse manquante")
            textFormat: Text.PlainText
            font.pixelSize: 13
            font.weight: Font.Black
            color: "white"
        }
    }
}
