import QtQuick
import Corvanta

// A small upper-case heading; the caller translates the title.
Text {
    property string title

    text: title.toUpperCase()
    textFormat: Text.PlainText
    font.pixelSize: 11
    font.weight: Font.DemiBold
    font.letterSpacing: 1.1
    color: Theme.textSecondary
}
