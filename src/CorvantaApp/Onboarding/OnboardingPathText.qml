import QtQuick
import QtQuick.Layouts
import Corvanta

// A folder's path on as many lines as it needs, each ending after a "/" (PathLines.h). The lines
// are laid out here because a text's own wrapping also breaks at the spaces inside a name; they
// are held as lines of the text, so the selection is made here too: what a mouse or the keyboard
// selects, and what a middle click pastes or Ctrl+C copies, is the path itself, never a line end.
TextEdit {
    id: pathText

    property string path
    // The path's lines at the width the card gives.
    readonly property var lines: OnboardingRules.pathLines(path, font, width)
    // The selected part of the path.
    readonly property string selectedPath: OnboardingRules.pathBetween(lines, selectionStart,
                                                                       selectionEnd)

    // As wide as the path on one line would like, whatever lines it is then cut into (its own
    // implicit width, its longest line, follows the width it is given).
    Layout.preferredWidth: oneLine.advanceWidth
    Layout.fillWidth: true
    text: lines.join("\n")
    textFormat: TextEdit.PlainText
    wrapMode: TextEdit.NoWrap
    readOnly: true
    selectByMouse: false
    selectByKeyboard: false
    font.family: "DejaVu Sans Mono"
    font.pixelSize: 10
    color: Theme.textSecondary

    function offerSelection() {
        if (selectedPath !== "")
            Platform.offerSelection(selectedPath)
    }

    Keys.onPressed: event => {
        if (event.matches(StandardKey.Copy)) {
            if (selectedPath !== "")
                Platform.copyText(selectedPath)
            event.accepted = true
        } else if (event.matches(StandardKey.SelectAll)) {
            selectAll()
            offerSelection()
            event.accepted = true
        }
    }

    TextMetrics {
        id: oneLine
        font: pathText.font
        text: pathText.path
    }

    MouseArea {
        property int anchorPosition: 0

        anchors.fill: parent
        cursorShape: Qt.IBeamCursor
        // A drag over the path selects it; the step's scroll view never takes it over.
        preventStealing: true
        onPressed: mouse => {
            pathText.forceActiveFocus()
            const at = pathText.positionAt(mouse.x, mouse.y)
            if (mouse.modifiers & Qt.ShiftModifier) {
                pathText.select(anchorPosition, at)
            } else {
                anchorPosition = at
                pathText.cursorPosition = at
            }
        }
        onPositionChanged: mouse => pathText.select(anchorPosition,
                                                    pathText.positionAt(mouse.x, mouse.y))
        onDoubleClicked: pathText.selectWord()
        onReleased: pathText.offerSelection()
    }
}
