import QtQuick
import QtQuick.Layouts
import Corvanta

// A card's caption text: as wide as offered, never cut.
Text {
    Layout.fillWidth: true
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    font.pixelSize: 11
    color: Theme.textSecondary
}
