import QtQuick
import QtQuick.Layouts
import Corvanta

// The work counters of the session and of all time; read only.
ColumnLayout {
    id: view

    required property var session
    readonly property bool hasBest: session.bestDifficultyAllTime !== undefined
                                    && session.bestDifficultyAllTime !== null
    readonly property bool hasNetwork: session.bestDifficultyNetwork !== undefined
                                       && session.bestDifficultyNetwork !== null

    spacing: 6

    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Hachages — session")
        value: SettingsViewRules.hashCount(view.session.sessionHashesText)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Hachages — depuis toujours")
        value: SettingsViewRules.hashCount(view.session.lifetimeHashesText)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Meilleure tentative")
        value: SettingsViewRules.texts.oneIn(view.session.bestAttemptShareOfNetwork)
    }
    SettingsRow {
        objectName: "bestRow"
        Layout.fillWidth: true
        visible: view.hasBest
        label: qsTr("Difficulté")
        value: view.hasBest ? SettingsViewRules.difficulty(view.session.bestDifficultyAllTime) : ""
    }
    SettingsRow {
        objectName: "networkRow"
        Layout.fillWidth: true
        visible: view.hasNetwork
        label: qsTr("Difficulté réseau")
        value: view.hasNetwork ? SettingsViewRules.difficulty(view.session.bestDifficultyNetwork) : ""
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Templates reçus")
        value: String(view.session.templatesReceived)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Templates abandonnés")
        value: String(view.session.templatesAbandoned)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Rotations d'extranonce")
        value: String(view.session.extranonceRotations)
    }
}
