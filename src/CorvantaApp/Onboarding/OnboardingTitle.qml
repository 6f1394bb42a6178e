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
    text: OnboardingRules.accentSegments(source).map(function (segment) {
        const run = title.escaped(segment.text)
        return segment.accented ? "<font color=\"" + Theme.accent + "\">" + run + "</font>" : run
    }).join("")
    textFormat: Text.StyledText
    wrapMode: Text.Wrap
    font.pixelSize: 33
    font.weight: Font.Black
    color: Theme.textPrimary
}
