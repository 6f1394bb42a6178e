import QtQuick
import QtQuick.Layouts

// The mining status widget for one entry; every text and colour comes in `content`.
Item {
    id: root

    property var content: ({})
    readonly property bool small: content.small === true
    readonly property bool live: content.live === true
    readonly property color secondary: "#99171717"

    ColumnLayout {
        anchors.fill: parent
        spacing: root.small ? 6 : 8

        RowLayout {
            spacing: 5
            Rectangle {
                implicitWidth: 6
                implicitHeight: 6
                radius: 3
                color: root.content.dotColour || "transparent"
            }
            Text {
                text: root.content.header || ""
                font.family: "Inter"
                font.pixelSize: 9
                font.weight: Font.ExtraBold
                color: root.secondary
            }
        }

        Text {
            visible: root.live
            Layout.fillWidth: true
            text: root.content.rate || ""
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: root.small ? 26 : 32
            font.weight: Font.ExtraBold
            color: root.content.rateColour || "transparent"
            maximumLineCount: 1
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: Math.floor(font.pixelSize * 0.6)
            // Past the smallest size a figure is cut with an ellipsis, never drawn outside.
            elide: Text.ElideRight
        }
        Text {
            visible: root.live
            text: root.content.unit || ""
            font.family: "Inter"
            font.pixelSize: 10
            font.weight: Font.Bold
            color: root.secondary
        }
        Item {
            visible: root.live
            Layout.fillHeight: true
        }
        Row {
            visible: root.live && root.content.hasElapsed === true
            spacing: 4
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "\ue51e"
                font.family: "Material Icons"
                font.pixelSize: 12
                color: root.secondary
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: root.content.elapsed || ""
                font.family: "Inter"
                font.pixelSize: 11
                font.weight: Font.DemiBold
                color: root.secondary
            }
        }
        Rectangle {
            visible: root.live
            implicitWidth: badgeText.implicitWidth + 16
            implicitHeight: badgeText.implicitHeight + 6
            radius: height / 2
            color: root.content.badgeColour || "transparent"
            Text {
                id: badgeText
                anchors.centerIn: parent
                text: root.content.badge || ""
                textFormat: Text.PlainText
                font.family: "Inter"
                font.pixelSize: 10
                font.weight: Font.ExtraBold
                color: "white"
            }
        }

        Item {
            visible: !root.live
            Layout.fillHeight: true
        }
        Text {
            visible: !root.live
            text: root.content.stoppedTitle || ""
            font.family: "Inter"
            font.pixelSize: root.small ? 18 : 22
            font.weight: Font.ExtraBold
            color: root.secondary
        }
        Text {
            visible: !root.live
            Layout.fillWidth: true
            text: root.content.stoppedHint || ""
            font.family: "Inter"
            font.pixelSize: 10
            wrapMode: Text.WordWrap
            color: root.secondary
        }
        Item {
            visible: !root.live
            Layout.fillHeight: true
        }
    }
}
