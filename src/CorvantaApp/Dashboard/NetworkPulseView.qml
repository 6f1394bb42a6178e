import QtQuick
import QtQuick.Layouts
import Corvanta

// How long since the network's last block against its ten-minute mean, and how many network
// blocks (draws) the session has entered. Redrawn with the dashboard's one-second clock.
Rectangle {
    id: card

    property var lastBlockTimestamp: undefined
    property var draws: ({ count: "0", caption: "" })
    property double now: DashboardLogic.now()
    readonly property var figures: DashboardLogic.texts.pulse(lastBlockTimestamp, now)

    implicitWidth: 360
    implicitHeight: column.implicitHeight + 28
    radius: 18
    color: Theme.trackViolet
    border.width: 1
    border.color: Theme.cardBorder

    BrandSticker {
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 15
        asset: "sparkle"
        size: 26
    }
    ColumnLayout {
        id: column

        anchors.fill: parent
        anchors.margins: 14
        spacing: 7

        SectionLabel { title: qsTr("Pouls du réseau") }
        Row {
            spacing: 8
            Text {
                id: elapsed
                objectName: "pulseElapsed"
                text: card.figures.elapsed
                textFormat: Text.PlainText
                font.pixelSize: 28
                font.bold: true
                font.family: "DejaVu Sans Mono"
                color: Theme.textPrimary
            }
            Text {
                objectName: "pulseCaption"
                anchors.baseline: elapsed.baseline
                text: card.figures.waiting ? qsTr("en attente du sommet réseau")
                                           : qsTr("depuis le dernier bloc réseau")
                textFormat: Text.PlainText
                font.pixelSize: 11
                color: Theme.textSecondary
            }
        }
        Item {
            id: bar
            readonly property real barWidth: Math.max(width, 1)
            Layout.fillWidth: true
            implicitHeight: 8
            Rectangle {
                width: bar.barWidth
                height: parent.height
                radius: 4
                color: Theme.cardBorder
            }
            Rectangle {
                objectName: "pulseFill"
                width: bar.barWidth * card.figures.bar
                height: parent.height
                radius: 4
                color: Theme.accentDim
            }
            Rectangle {
                x: bar.barWidth / 2
                width: 2
                height: parent.height
                color: Theme.textSecondary
            }
        }
        Text {
            Layout.fillWidth: true
            text: qsTr("Repère : moyenne réseau ≈ 10 min. Le dépasser est normal — ce n'est pas un retard.")
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: 10
            color: Theme.textSecondary
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.cardBorder
        }
        Row {
            spacing: 6
            Text {
                id: drawCount
                objectName: "drawsCount"
                text: card.draws.count
                textFormat: Text.PlainText
                font.pixelSize: 18
                font.bold: true
                color: Theme.accent
            }
            Text {
                anchors.baseline: drawCount.baseline
                text: card.draws.caption
                textFormat: Text.PlainText
                font.pixelSize: 11
                color: Theme.textSecondary
            }
        }
    }
}
