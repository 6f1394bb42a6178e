import QtQuick
import QtQuick.Layouts

// The earnings widget for one entry; the same in both sizes.
Item {
    id: root

    property var content: ({})
    readonly property color secondary: "#99171717"

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Text {
            text: root.content.header || ""
            font.family: "Inter"
            font.pixelSize: 9
            font.weight: Font.ExtraBold
            color: root.secondary
        }
        Text {
            Layout.fillWidth: true
            text: root.content.amount || ""
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 22
            font.weight: Font.ExtraBold
            color: root.content.amountColour || "transparent"
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 11
            // Past the smallest size the unit goes under the figure rather than being cut off.
            wrapMode: Text.WordWrap
            maximumLineCount: 2
        }
        Item {
            Layout.fillHeight: true
        }
        Text {
            Layout.fillWidth: true
            // A long count in a long language takes a second line rather than losing its words.
            wrapMode: Text.WordWrap
            maximumLineCount: 2
            text: root.content.blocks || ""
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 11
            font.weight: Font.DemiBold
            color: root.secondary
        }
    }
}
