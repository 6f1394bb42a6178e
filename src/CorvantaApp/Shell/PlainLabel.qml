import QtQuick
import Corvanta

// Text from outside (node reasons, failures, log lines): always plain, never read as markup,
// wrapped rather than cut.
Text {
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    color: Theme.textPrimary
    font.pixelSize: 13
}
