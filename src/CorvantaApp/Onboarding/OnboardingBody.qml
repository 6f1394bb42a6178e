import QtQuick
import QtQuick.Layouts
import Corvanta

// A paragraph of a step.
Text {
    Layout.fillWidth: true
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    font.pixelSize: 14
    color: Theme.textSecondary
}
