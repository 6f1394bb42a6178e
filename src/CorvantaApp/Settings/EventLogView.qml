import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The session's event log, oldest first, following its newest line whenever the number of lines
// changes (an append, or the trim that keeps the newest 500), not when first shown. Lines are
// shown exactly as written, never read as markup.
CardBackground {
    id: card

    required property var session
    readonly property int lineCount: session ? session.eventLog.count : 0
    // The log is followed from its first change on, never when the card first shows.
    property bool following: false

    // Brings the last line against the bottom edge, with a short ease-out unless the desktop
    // asks for less motion.
    function followNewest() {
        if (list.count === 0)
            return
        const from = list.contentY
        list.positionViewAtEnd()
        if (Platform.reduceMotion || from === list.contentY)
            return
        follow.to = list.contentY
        list.contentY = from
        follow.restart()
    }

    accentColor: Theme.cardBorder
    onLineCountChanged: if (following) followLater.restart()
    Component.onCompleted: following = true

    // Follows once the view has laid out the changed lines, and once for several changes.
    Timer {
        id: followLater
        interval: 0
        onTriggered: card.followNewest()
    }

    ColumnLayout {
        width: card.width - 32
        height: card.height - 32
        spacing: 8

        SectionLabel {
            title: qsTr("Journal")
        }
        ListView {
            id: list

            NumberAnimation on contentY {
                id: follow
                running: false
                duration: 150
                easing.type: Easing.OutQuad
            }

            objectName: "logList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 2
            model: card.session ? card.session.eventLog : null
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
            delegate: RowLayout {
                id: line

                required property var timestamp
                required property string message
                width: ListView.view.width
                spacing: 8
                Text {
                    Layout.alignment: Qt.AlignTop
                    text: SettingsViewRules.time(line.timestamp)
                    textFormat: Text.PlainText
                    font.family: "DejaVu Sans Mono"
                    font.pixelSize: 12
                    color: Theme.textSecondary
                }
                Text {
                    Layout.fillWidth: true
                    text: line.message
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.family: "DejaVu Sans Mono"
                    font.pixelSize: 12
                    color: Theme.textPrimary
                }
            }
        }
    }
}
