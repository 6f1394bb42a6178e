import QtQuick
import QtQuick.Controls
import Corvanta

// Takes the hash-rate card's place while the node catches up: the node's own percentage beside
// a bar of blocks over headers (the two may disagree).
Rectangle {
    id: card

    property var blocks: 0
    property var headers: 0
    property real percent: 0
    // The node has had no peer for a while: nothing is downloading.
    property bool lacksPeers: false
    readonly property var figures: DashboardLogic.texts.sync(blocks, headers, percent)

    implicitWidth: 420
    implicitHeight: 116
    radius: 18
    color: Theme.surfaceViolet
    border.width: 1
    border.color: Theme.cardBorder

    Row {
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 12
        anchors.bottomMargin: 12
        spacing: 14

        SymbolIcon {
            width: 44
            anchors.verticalCenter: parent.verticalCenter
            name: "arrow.down.circle.fill"
            size: 26
            color: Theme.accent
        }
        Column {
            width: Math.max(60, parent.width - 44 - 1 - 150 - 3 * parent.spacing)
            anchors.verticalCenter: parent.verticalCenter
            spacing: 5

            Text {
                text: qsTr("Synchronisation")
                textFormat: Text.PlainText
                font.pixelSize: 15
                font.weight: Font.Black
                color: Theme.textPrimary
            }
            Text {
                objectName: "syncExplanation"
                width: parent.width
                text: card.lacksPeers
                      ? qsTr("Aucun pair — cet ordinateur est-il en ligne ?")
                      : qsTr("Téléchargement de la chaîne. Le minage démarrera tout seul.")
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 11
                color: Theme.textSecondary
            }
            Rectangle {
                objectName: "syncBar"
                width: parent.width
                height: 4
                radius: 2
                color: Theme.cardBorder
                Rectangle {
                    width: parent.width * card.figures.bar
                    height: parent.height
                    radius: 2
                    color: Theme.accent
                }
            }
        }
        Rectangle {
            width: 1
            height: 56
            anchors.verticalCenter: parent.verticalCenter
            color: Theme.cardBorder
        }
        Column {
            width: 150
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            Text {
                objectName: "syncPercent"
                text: card.figures.percent
                textFormat: Text.PlainText
                font.pixelSize: 22
                font.weight: Font.Black
                font.family: "DejaVu Sans Mono"
                color: Theme.textPrimary
            }
            Text {
                width: parent.width
                text: card.figures.counts
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                maximumLineCount: 2
                font.pixelSize: 10
                font.weight: Font.Medium
                font.family: "DejaVu Sans Mono"
                color: Theme.textSecondary
            }
        }
    }
}
