import QtQuick
import QtQuick.Controls
import Corvanta

// The network the miner works on: the main network's brand image in the full form, else a
// capsule with the network's name (danger colour for the main network, card colours for tests).
Item {
    id: badge

    property string network: "mainnet"
    property bool compact: false
    readonly property bool mainnet: network === "mainnet"
    readonly property url imageSource: BrandImages.source("mainnet")
    readonly property bool showsImage: mainnet && !compact && String(imageSource) !== ""

    implicitWidth: showsImage ? image.implicitWidth * (64 / Math.max(image.implicitHeight, 1))
                              : capsule.implicitWidth
    implicitHeight: showsImage ? 64 : capsule.implicitHeight

    Image {
        id: image
        visible: badge.showsImage
        anchors.fill: parent
        source: badge.showsImage ? badge.imageSource : ""
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
        Accessible.name: "MAINNET"
    }
    Rectangle {
        id: capsule

        objectName: "networkCapsule"
        visible: !badge.showsImage
        anchors.centerIn: parent
        implicitWidth: content.implicitWidth + 2 * (badge.compact ? 8 : 10)
        implicitHeight: content.implicitHeight + 2 * (badge.compact ? 3 : 5)
        width: implicitWidth
        height: implicitHeight
        radius: height / 2
        color: badge.mainnet ? Theme.danger : Theme.cardBackground
        border.width: 1
        border.color: badge.mainnet ? "transparent" : Theme.cardBorder

        Row {
            id: content
            anchors.centerIn: parent
            spacing: badge.compact ? 4 : 6
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                name: badge.mainnet ? "exclamationmark.triangle.fill" : "testtube.2"
                size: badge.compact ? 9 : 10
                color: badge.mainnet ? "white" : Theme.textSecondary
            }
            Text {
                objectName: "networkName"
                anchors.verticalCenter: parent.verticalCenter
                text: DashboardLogic.texts.networkName(badge.network)
                textFormat: Text.PlainText
                font.pixelSize: badge.compact ? 10 : 11
                font.bold: true
                font.letterSpacing: 0.6
                color: badge.mainnet ? "white" : Theme.textSecondary
            }
        }
        // Hover-only, as in TruncatedTextTip: a HoverHandler grows under a resting pointer.
        MouseArea {
            id: hover
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.NoButton
        }
        ToolTip.visible: hover.containsMouse
        ToolTip.text: DashboardLogic.texts.networkHelp(badge.network)
    }
}
