import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// Stand-in for the dashboard: the run state, the hash rate and the shell's actions.
Rectangle {
    id: page

    property AppDelegate shell
    // The session model, or a stand-in with its surface.
    readonly property var session: shell ? shell.session : null
    readonly property bool stopped: !session || session.runState === 0 || session.runState === 5
    property bool settingsOpen: false

    objectName: "dashboardPage"
    color: Theme.background

    function consumeSettingsRequest() {
        if (page.shell && page.shell.openAdvancedOnAppear) {
            page.shell.openAdvancedOnAppear = false
            page.settingsOpen = true
        }
    }

    function openSettings() {
        page.settingsOpen = true
    }

    onShellChanged: {
        // The shell asks again while the dashboard is on screen.
        if (page.shell) page.shell.settingsRequested.connect(page.openSettings)
        consumeSettingsRequest()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 9
            Text {
                text: "Corvanta"
                font.pixelSize: 15
                font.weight: Font.Black
                color: Theme.textPrimary
            }
            Item { Layout.fillWidth: true }
            Button {
                objectName: "replayButton"
                text: qsTr("Revoir l'écran de bienvenue")
                onClicked: page.shell.replayOnboarding()
            }
            Button {
                objectName: "compactButton"
                text: qsTr("Vue compacte")
                onClicked: page.shell.enterMiniMode()
            }
            Button {
                objectName: "themeButton"
                text: Theme.dark ? qsTr("Passer en clair") : qsTr("Passer en sombre")
                onClicked: Prefs.appTheme = Theme.dark ? "light" : "dark"
            }
        }
        CardBackground {
            Layout.fillWidth: true
            ColumnLayout {
                width: parent.width
                InfoRow {
                    Layout.fillWidth: true
                    label: "MH/s"
                    value: page.session ? page.session.currentHashRateMHs.toFixed(2) : "0.00"
                }
                Button {
                    objectName: "startStopButton"
                    text: page.stopped ? qsTr("Démarrer le minage") : qsTr("Arrêter le minage")
                    onClicked: page.stopped ? page.session.start() : page.session.stop()
                }
            }
        }
        CardBackground {
            objectName: "settingsPanel"
            visible: page.settingsOpen
            Layout.fillWidth: true
            SectionLabel { title: qsTr("Réglages") }
        }
        Item { Layout.fillHeight: true }
    }
}
