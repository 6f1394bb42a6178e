import QtQuick
import Corvanta

// One symbol of the interface, drawn with the bundled Material Icons font; a ring, a filled disc
// or a slash where the name asks for one the font lacks. An unknown name draws nothing.
Item {
    id: icon

    property string name
    property real size: 15
    property color color: Theme.textPrimary
    readonly property var glyph: Symbols.glyph(name)

    implicitWidth: size
    implicitHeight: size
    visible: glyph.text !== ""

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        visible: icon.glyph.disc || icon.glyph.ring
        color: icon.glyph.disc ? icon.color : "transparent"
        border.width: icon.glyph.ring ? Math.max(1, icon.size / 12) : 0
        border.color: icon.color
    }
    Text {
        anchors.centerIn: parent
        text: icon.glyph.text
        textFormat: Text.PlainText
        font.family: Symbols.fontFamily
        font.pixelSize: icon.glyph.disc || icon.glyph.ring ? icon.size * 0.64 : icon.size
        color: icon.glyph.disc ? Theme.cardBackground : icon.color
    }
    Rectangle {
        visible: icon.glyph.slash
        anchors.centerIn: parent
        width: icon.size * 1.1
        height: Math.max(1, icon.size / 10)
        rotation: 45
        color: icon.color
    }
}
