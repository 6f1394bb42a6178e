import QtQuick
import QtQuick.Controls
import Corvanta

// The celebration of a block this miner found: height and reward over confetti. It asks to be
// dismissed by "Fermer" or by its own wait, each time for the presentation it first came up
// with; leaving the screen dismisses nothing.
Item {
    id: view

    property var presentation
    // The wait before the card dismisses itself, in milliseconds.
    property int dismissAfter: 30000
    property bool reduceMotion: Platform.reduceMotion
    property bool appeared: false
    readonly property var figures: DashboardLogic.texts.blockFound(presentation)

    // Names the presentation on the card at the moment, so it clears that one and no other.
    signal dismiss(string presentationId)

    function shownId() {
        return presentation && presentation.id !== undefined ? String(presentation.id) : ""
    }

    Component.onCompleted: {
        appeared = true
        wait.start()
    }

    Timer {
        id: wait
        objectName: "dismissWait"
        interval: view.dismissAfter
        onTriggered: view.dismiss(view.shownId())
    }

    ConfettiItem {
        objectName: "confetti"
        anchors.fill: parent
        visible: !view.reduceMotion
        running: visible && view.Window.window !== null && view.Window.window.visible
        fixedTime: DashboardLogic.fixedNow
        accent: Theme.accent
        success: Theme.successText
    }

    SoftShadow {
        anchors.fill: card
        color: Theme.accent
        strength: 0.35
        spread: 30
        cornerRadius: 16
    }
    Rectangle {
        id: card

        anchors.centerIn: parent
        width: 340
        height: column.implicitHeight + 56
        radius: 16
        color: Theme.cardBackground
        border.width: 1.5
        border.color: DashboardLogic.faded(Theme.accent, 0.5)

        Column {
            id: column

            anchors.centerIn: parent
            width: parent.width - 56
            spacing: 18

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 10
                scale: view.appeared ? 1 : 0.3
                rotation: view.appeared ? 0 : -25
                opacity: view.appeared ? 1 : 0
                Behavior on scale { SpringAnimation { spring: 5; damping: 0.3 } }
                Behavior on rotation { SpringAnimation { spring: 5; damping: 0.3 } }
                Behavior on opacity { NumberAnimation { duration: 300 } }

                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "party.popper.fill"
                    size: 46
                    color: Theme.bitcoinOrange
                    transform: Scale { xScale: -1; origin.x: 23 }
                }
                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "sparkles"
                    size: 34
                    color: Theme.accent
                }
                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "party.popper.fill"
                    size: 46
                    color: Theme.bitcoinOrange
                }
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Bloc trouvé !")
                textFormat: Text.PlainText
                font.pixelSize: 24
                font.bold: true
                color: Theme.textPrimary
            }
            Column {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 4
                Text {
                    objectName: "blockHeight"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: view.figures.height
                    textFormat: Text.PlainText
                    font.pixelSize: 14
                    color: Theme.textSecondary
                }
                Text {
                    objectName: "blockReward"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: view.figures.reward
                    textFormat: Text.PlainText
                    font.pixelSize: 28
                    font.bold: true
                    color: Theme.successText
                }
            }
            Text {
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: qsTr("Accepté par le nœud — récompense suivie jusqu'à maturité (100 confirmations).")
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 11
                color: Theme.textSecondary
            }
            Button {
                id: closeButton

                objectName: "closeButton"
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Fermer")
                leftPadding: 18
                rightPadding: 18
                background: Rectangle {
                    radius: 8
                    color: closeButton.down ? Qt.darker(Theme.accent, 1.15) : Theme.accent
                }
                contentItem: Text {
                    text: closeButton.text
                    textFormat: Text.PlainText
                    font.pixelSize: 13
                    font.weight: Font.DemiBold
                    color: "white"
                    horizontalAlignment: Text.AlignHCenter
                }
                onClicked: {
                    wait.stop()
                    view.dismiss(view.shownId())
                }
            }
        }
    }
}
