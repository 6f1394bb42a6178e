import QtQuick
import QtQuick.Layouts
import Corvanta

// The session's internals: work loading, the engine self-test, workers, the template and the
// extranonce, and the event log below them. Read only.
ColumnLayout {
    id: view

    required property var session
    readonly property var selfTest: SettingsViewRules.texts.selfTest(session.selfTestVerdict, session.selfTestCheckedAt,
                                                                     Date.now() / 1000)

    spacing: 6

    SettingsRow {
        objectName: "workLoadRow"
        Layout.fillWidth: true
        label: qsTr("Chargement du travail")
        value: SettingsViewRules.texts.workLoad(view.session.workLoadStatistics)
    }
    SettingsRow {
        objectName: "selfTestRow"
        Layout.fillWidth: true
        label: qsTr("Autotest du moteur")
        value: view.selfTest.text
        valueColor: Theme[view.selfTest.colorRole]
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Workers actifs")
        value: SettingsViewRules.plainCount(view.session.effectiveWorkerCount)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Hauteur du template")
        value: SettingsViewRules.count(view.session.templateHeight)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Travail en cours")
        value: SettingsViewRules.texts.transactionCount(view.session.templateTransactionCount)
    }
    SettingsRow {
        objectName: "bitsRow"
        Layout.fillWidth: true
        label: qsTr("bits (brut)")
        value: SettingsViewRules.bits(view.session.templateBits)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Extranonce courant")
        value: view.session.currentExtranonceText
    }
    EventLogView {
        objectName: "eventLog"
        Layout.fillWidth: true
        Layout.preferredHeight: 160
        session: view.session
    }
}
