import QtQuick
import Corvanta

// Says that the settings file takes no change, naming it, for as long as it does not (`file` is
// empty otherwise). `sentence` is the translated text, "%@" standing for the file.
Rectangle {
    id: notice

    property string file: ""
    property string sentence: ""

    visible: file !== ""
    implicitHeight: visible ? noticeText.implicitHeight + 20 : 0
    radius: 14
    color: Theme.cardBackground
    border.width: 1
    border.color: Theme.warning

    Text {
        id: noticeText
        objectName: "settingsUnsavedText"
        x: 12
        y: 10
        width: parent.width - 24
        text: notice.sentence.replace("%@", () => notice.file)
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        font.pixelSize: 11
        color: Theme.warningText
    }
}
