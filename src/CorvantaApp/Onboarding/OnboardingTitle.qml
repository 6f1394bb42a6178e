import QtQuick
import QtQuick.Layouts
import Corvanta

// A large title whose parts between "**" markers are drawn in the accent colour; one text that
// wraps as a whole.
Text {
    id: title

    property string source

    function escaped(text) {
        return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
    }

    Layout.fillWidth: true
    text: {
        let html = ""
        for (const segment of OnboardingRules.accentSegments(title.source)) {
            const run = title.escaped(segment.text)
            html += segment.accented ? "<font color=\"" + Theme.accent + "\">" + run + "</font>" : run
        }
        return html
    }
    textFormat: Text.StyledText
    wrapMode: Text.Wrap
    font.pixelSize: 33
    font.weight: Font.Black
    color: Theme.textPrimary
}
