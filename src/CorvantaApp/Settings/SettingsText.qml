import QtQuick
import QtQuick.Layouts
import Corvanta

// A caption of the panel: plain text, as wide as offered, wrapping rather than cut.
Text {
    Layout.fillWidth: true
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    font.pixelSize: 11
    color: Theme.textSecondary
}
