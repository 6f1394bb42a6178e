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
            maximumLineCount: 1
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 11
            // Past the smallest size a figure is cut with an ellipsis, never drawn outside.
            elide: Text.ElideRight
        }
        Item {
            Layout.fillHeight: true
        }
        Text {
            Layout.fillWidth: true
            elide: Text.ElideRight
            text: root.content.blocks || ""
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 11
            font.weight: Font.DemiBold
            color: root.secondary
        }
    }
}
