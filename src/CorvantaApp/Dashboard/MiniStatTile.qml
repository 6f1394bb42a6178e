import QtQuick
import Corvanta

// One of the mini dashboard's three tiles: icon, value, unit, caption.
Rectangle {
    id: tile

    property color tint
    property color accent
    property string value
    property string unit
    property string caption
    property string symbol
    property string sticker

    implicitHeight: column.implicitHeight + 18
    radius: 16
    color: tint
    border.width: 1
    border.color: Theme.cardBorder
    Accessible.role: Accessible.StaticText
    Accessible.name: value + " " + unit + " " + caption

    Column {
        id: column

        anchors.centerIn: parent
        width: parent.width - 8
        spacing: 2

        Item {
            width: parent.width
            height: 28
            SymbolIcon {
                anchors.centerIn: parent
                visible: tile.sticker === ""
                name: tile.symbol
                size: 24
                color: tile.accent
            }
            BrandSticker {
                anchors.centerIn: parent
                visible: tile.sticker !== ""
                asset: tile.sticker
                size: 28
            }
        }
        Text {
            objectName: "tileValue"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: tile.value
            textFormat: Text.PlainText
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 10
            font.pixelSize: 21
            font.bold: true
            font.family: "DejaVu Sans Mono"
            color: Theme.textPrimary
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: tile.unit
            textFormat: Text.PlainText
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 8
            font.pixelSize: 11
            font.weight: Font.Black
            color: tile.accent
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: tile.caption
            textFormat: Text.PlainText
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 7
            font.pixelSize: 10
            color: Theme.textSecondary
        }
    }
}
