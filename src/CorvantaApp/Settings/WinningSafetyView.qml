import QtQuick
import QtQuick.Layouts
import Corvanta

// What protects a found block's reward: three rows checked live against the session, three
// guarantees that always hold.
ColumnLayout {
    id: view

    required property var session
    readonly property var addressRow: SettingsViewRules.texts.addressSafety(session.selectedNetwork, session.payoutAddressInput)
    readonly property var candidateRow: SettingsViewRules.texts.candidateSafety(session.currentCandidateValidation,
                                                                                session.runState)
    readonly property var proofRow: SettingsViewRules.texts.proofSafety(session.proofLogUnreadable, session.proofEntryCount)

    component SafetyRow: RowLayout {
        id: row

        property string symbol
        property color tint
        property string title
        property string detail

        Layout.fillWidth: true
        spacing: 8
        Item {
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 16
            Layout.preferredHeight: 14
            SymbolIcon {
                anchors.centerIn: parent
                name: row.symbol
                size: 12
                color: row.tint
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.title
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 11
                font.weight: Font.DemiBold
                color: Theme.textPrimary
            }
            SettingsText {
                objectName: "detail"
                font.pixelSize: 10
                text: row.detail
            }
        }
    }
    component GroupLabel: Text {
        textFormat: Text.PlainText
        font.pixelSize: 10
        font.weight: Font.Black
        color: Theme.textSecondary
    }

    spacing: 12

    SettingsText {
        text: qsTr("Ce qui protège votre récompense, du bloc trouvé à l'argent reçu.")
    }
    ColumnLayout {
        Layout.fillWidth: true
        spacing: 8
        GroupLabel {
            text: qsTr("Contrôlé en direct").toUpperCase()
        }
        SafetyRow {
            objectName: "addressRow"
            symbol: view.addressRow.symbol
            tint: Theme[view.addressRow.colorRole]
            title: qsTr("L'adresse qui recevra la récompense")
            detail: view.addressRow.detail
        }
        SafetyRow {
            objectName: "candidateRow"
            symbol: view.candidateRow.symbol
            tint: Theme[view.candidateRow.colorRole]
            title: qsTr("Le bloc en préparation est accepté par le réseau")
            detail: view.candidateRow.detail
        }
        SafetyRow {
            objectName: "proofRow"
            symbol: view.proofRow.symbol
            tint: Theme[view.proofRow.colorRole]
            title: qsTr("Une trace écrite de tout ce qui a été miné")
            detail: view.proofRow.detail
        }
    }
    SettingsDivider {}
    ColumnLayout {
        Layout.fillWidth: true
        spacing: 8
        GroupLabel {
            text: qsTr("Toujours actif").toUpperCase()
        }
        SafetyRow {
            symbol: "lock.shield.fill"
            tint: Theme.violet
            title: qsTr("La récompense vous est attribuée")
            detail: qsTr("La transaction de récompense est construite à chaque bloc pour votre adresse, et pour elle seule.")
        }
        SafetyRow {
            symbol: "lock.shield.fill"
            tint: Theme.violet
            title: qsTr("Le travail suit toujours le dernier bloc")
            detail: qsTr("Dès qu'un bloc apparaît sur le réseau, le travail en cours est abandonné : on ne mine jamais sur une chaîne dépassée.")
        }
        SafetyRow {
            symbol: "lock.shield.fill"
            tint: Theme.violet
            title: qsTr("Une solution est revérifiée avant d'être envoyée")
            detail: qsTr("Le bloc gagnant est recalculé et recontrôlé avant l'envoi, puis conservé sur disque et réenvoyé tant que le réseau n'a pas confirmé l'avoir accepté.")
        }
    }
}
