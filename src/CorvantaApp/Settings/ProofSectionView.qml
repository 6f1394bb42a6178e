import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The proof-of-mining ledger in brief: integrity, covered range, proven difficulty, declared
// hashes; reveal the file or open the full ledger sheet.
ColumnLayout {
    id: view

    required property var session
    property bool showsFullLedger: false
    readonly property var verification: session.proofVerification
    readonly property string integrity: SettingsViewRules.ledgerIntegrity(verification,
                                                                          session.proofLogUnreadable)
    readonly property bool hasAnchors: integrity === "verified"
                                       && verification.firstAnchor !== undefined
                                       && verification.firstAnchor !== null
                                       && verification.lastAnchor !== undefined
                                       && verification.lastAnchor !== null
    readonly property string network: SettingsViewRules.networkInEffect(session.activeNetwork,
                                                                        session.selectedNetwork)

    spacing: 6

    ColumnLayout {
        objectName: "ledgerRows"
        Layout.fillWidth: true
        visible: view.integrity === "verified"
        spacing: 6
        SettingsRow {
            objectName: "integrityRow"
            Layout.fillWidth: true
            label: qsTr("Intégrité")
            readonly property bool whole: view.integrity === "verified"
                                          && SettingsViewRules.ledgerStatus(view.verification, view.session.proofLogUnreadable,
                                                                            view.session.proofSetAsideKind,
                                                                            view.session.proofLogSetAside,
                                                                            view.session.proofJournalRefusedLine).intact
            value: view.integrity !== "verified" ? ""
                   : SettingsViewRules.texts.ledgerIntegrityRow(view.verification,
                                                                view.session.proofSetAsideKind,
                                                                view.session.proofLogSetAside,
                                                                view.session.proofJournalRefusedLine)
            valueColor: whole ? Theme.successText : Theme.dangerText
        }
        SettingsRow {
            Layout.fillWidth: true
            visible: view.hasAnchors
            label: qsTr("Ancré du bloc")
            value: view.hasAnchors ? SettingsViewRules.count(view.verification.firstAnchor.height) : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            visible: view.hasAnchors
            label: qsTr("jusqu'au bloc")
            value: view.hasAnchors ? SettingsViewRules.count(view.verification.lastAnchor.height) : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            visible: view.hasAnchors
            label: qsTr("Blocs réseau couverts")
            value: view.hasAnchors
                   ? SettingsViewRules.count(view.verification.lastAnchor.height
                                             - view.verification.firstAnchor.height + 1)
                   : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            label: qsTr("Difficulté démontrée")
            value: view.integrity === "verified"
                   ? SettingsViewRules.difficulty(view.verification.bestDifficultyProven) : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            label: qsTr("Hachages déclarés")
            value: view.integrity === "verified"
                   ? SettingsViewRules.texts.declaredHashes(view.verification) : ""
        }
    }
    RowLayout {
        objectName: "unreadable"
        visible: view.integrity === "unreadable"
        spacing: 6
        SymbolIcon {
            name: "exclamationmark.triangle.fill"
            size: 11
            color: Theme.dangerText
        }
        Text {
            text: qsTr("REGISTRE ILLISIBLE")
            textFormat: Text.PlainText
            font.pixelSize: 11
            color: Theme.dangerText
        }
    }
    SettingsText {
        objectName: "noEntries"
        visible: view.integrity === "empty"
        text: qsTr("Aucune entrée pour l'instant — une ligne est écrite à chaque bloc du réseau, pendant le minage.")
    }
    RowLayout {
        spacing: 8
        SettingsButton {
            objectName: "revealButton"
            symbol: "folder"
            text: qsTr("Révéler le fichier")
            onClicked: Platform.revealFile(SettingsViewRules.proofLogFile(view.network))
        }
        SettingsButton {
            objectName: "fullLedgerButton"
            symbol: "list.bullet.rectangle"
            text: qsTr("Registre complet")
            onClicked: view.showsFullLedger = true
        }
    }
    Text {
        text: "corvanta-verify"
        textFormat: Text.PlainText
        font.family: "DejaVu Sans Mono"
        font.pixelSize: 10
        color: Theme.textSecondary
    }

    // Qt 6.4's linter reads an outer id inside a component as unqualified, and the bound-component
    // pragma that would settle it makes Loader refuse the component at run time.
    // qmllint disable unqualified
    Loader {
        active: view.showsFullLedger
        sourceComponent: ProofLedgerView {
            session: view.session
            onClosed: view.showsFullLedger = false
            Component.onCompleted: open()
        }
    }
    // qmllint enable unqualified
}
