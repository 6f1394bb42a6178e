import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The full proof-of-mining ledger, over the whole window: what the ledger proves kept apart
// from what the program only declares, the latest entries, and how to check it all without us.
Popup {
    id: sheet

    required property var session
    property bool copied: false
    readonly property var verification: session.proofVerification
    readonly property bool hasVerification: verification !== undefined && verification !== null
    readonly property string integrity: SettingsViewRules.ledgerIntegrity(verification,
                                                                          session.proofLogUnreadable)
    readonly property bool hasAnchors: hasVerification && verification.firstAnchor !== undefined
                                       && verification.firstAnchor !== null
                                       && verification.lastAnchor !== undefined
                                       && verification.lastAnchor !== null
    readonly property var declared: SettingsViewRules.texts.declaredCheck(verification)
    readonly property string network: SettingsViewRules.networkInEffect(session.activeNetwork,
                                                                        session.selectedNetwork)
    readonly property var entries: session.recentProofEntries
    // Which files were set aside or refused, from which line, what the figures count, and the
    // checker command that reads what was set aside.
    readonly property string story: SettingsViewRules.texts.ledgerStoryCaption(
                                        session.proofSetAsideKind, session.proofLogSetAside,
                                        session.proofJournalRefusedLine, session.proofLogFile)

    // The captions with no row in the translation table are shown as written.
    component Caption: Text {
        Layout.fillWidth: true
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        font.pixelSize: 11
        color: Theme.textSecondary
    }
    component Card: CardBackground {
        id: card
        property string title
        default property alias rows: column.data
        property alias spacing: column.spacing
        Layout.fillWidth: true
        implicitHeight: column.implicitHeight + 32
        ColumnLayout {
            id: column
            width: card.width - 32
            spacing: 10
            SectionLabel {
                title: card.title
            }
        }
    }

    objectName: "proofLedgerSheet"
    parent: Overlay.overlay
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    padding: 0
    width: Math.min(560, parent ? parent.width : 560)
    height: Math.min(640, parent ? parent.height : 640)
    x: parent ? (parent.width - width) / 2 : 0
    y: parent ? (parent.height - height) / 2 : 0
    background: Rectangle {
        color: Theme.background
        radius: 10
        border.width: 1
        border.color: Theme.cardBorder
    }

    // Placed in the content item rather than replacing it: the popup builds a replacement late,
    // and the ids inside must exist from the start.
    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 20
            Text {
                text: qsTr("Registre de minage")
                textFormat: Text.PlainText
                font.pixelSize: 17
                font.bold: true
                color: Theme.textPrimary
            }
            Item { Layout.fillWidth: true }
            Button {
                objectName: "closeSheetButton"
                text: qsTr("Fermer")
                onClicked: sheet.close()
            }
        }
        SettingsDivider {}
        ScrollView {
            id: scroller
            objectName: "sheetScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            // The padding around the cards scrolls with them.
            contentHeight: cards.implicitHeight + 40

            ColumnLayout {
                id: cards
                x: 20
                y: 20
                width: scroller.availableWidth - 40
                spacing: 16

                Card {
                    objectName: "integrityCard"
                    title: qsTr("Intégrité")

                    RowLayout {
                        objectName: "status"
                        visible: sheet.integrity !== "empty"
                        spacing: 8
                        readonly property var status: SettingsViewRules.texts.ledgerStatus(
                                                          sheet.verification, sheet.session.proofLogUnreadable,
                                                          sheet.session.proofSetAsideKind,
                                                          sheet.session.proofLogSetAside,
                                                          sheet.session.proofJournalRefusedLine)
                        SymbolIcon {
                            // Beside the first line, however many the headline wraps to.
                            Layout.alignment: Qt.AlignTop
                            Layout.topMargin: 2
                            name: parent.status.intact ? "checkmark.seal.fill" : "exclamationmark.triangle.fill"
                            color: parent.status.intact ? Theme.successText : Theme.dangerText
                            size: 14
                        }
                        Text {
                            objectName: "statusText"
                            Layout.fillWidth: true
                            text: parent.status.text
                            textFormat: Text.PlainText
                            wrapMode: Text.Wrap
                            font.pixelSize: 13
                            font.weight: Font.DemiBold
                            color: parent.status.colorRole ? Theme[parent.status.colorRole] : Theme.textPrimary
                        }
                    }
                    Caption {
                        objectName: "storyCaption"
                        visible: sheet.story !== ""
                        text: sheet.story
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        visible: sheet.integrity === "verified"
                        label: qsTr("Entrées")
                        value: sheet.integrity === "verified" ? String(sheet.verification.entriesChecked) : ""
                    }
                    SettingsRow {
                        objectName: "refusedLineRow"
                        Layout.fillWidth: true
                        visible: sheet.session.proofJournalRefusedLine > 0
                        label: qsTr("Ligne du journal refusée")
                        value: String(sheet.session.proofJournalRefusedLine)
                        valueColor: Theme.dangerText
                    }
                    SettingsRow {
                        objectName: "brokenRow"
                        Layout.fillWidth: true
                        visible: sheet.integrity === "verified" && sheet.verification.brokenChainAt.length > 0
                        label: qsTr("Chaînage rompu")
                        value: visible ? qsTr("entrées %@").replace("%@", () => SettingsViewRules.firstIndices(sheet.verification.brokenChainAt)) : ""
                        valueColor: Theme.dangerText
                    }
                    SettingsRow {
                        objectName: "invalidRow"
                        Layout.fillWidth: true
                        visible: sheet.integrity === "verified" && sheet.verification.invalidWorkAt.length > 0
                        label: qsTr("En-têtes invalides")
                        value: visible ? qsTr("entrées %@").replace("%@", () => SettingsViewRules.firstIndices(sheet.verification.invalidWorkAt)) : ""
                        valueColor: Theme.dangerText
                    }
                    Caption {
                        objectName: "unreadableCaption"
                        visible: sheet.integrity === "unreadable" && sheet.story === ""
                        text: SettingsViewRules.texts.unreadableLedgerCaption()
                    }
                    Caption {
                        visible: sheet.integrity === "empty"
                        text: qsTr("Aucune entrée pour l'instant — une ligne est écrite à chaque bloc du réseau, pendant le minage.")
                    }
                }
                Card {
                    title: qsTr("Ce qui est prouvé")
                    SettingsRow {
                        Layout.fillWidth: true
                        visible: sheet.hasAnchors
                        label: qsTr("Ancré du bloc")
                        value: sheet.hasAnchors ? String(sheet.verification.firstAnchor.height) : ""
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        visible: sheet.hasAnchors
                        label: qsTr("jusqu'au bloc")
                        value: sheet.hasAnchors ? String(sheet.verification.lastAnchor.height) : ""
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        visible: sheet.hasAnchors
                        label: qsTr("Blocs réseau couverts")
                        value: sheet.hasAnchors ? String(sheet.verification.lastAnchor.height - sheet.verification.firstAnchor.height + 1) : ""
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        visible: sheet.hasAnchors
                        label: qsTr("Difficulté démontrée")
                        value: sheet.hasAnchors ? SettingsViewRules.difficulty(sheet.verification.bestDifficultyProven) : ""
                    }
                    Caption {
                        text: qsTr("Chaque entrée cite le hash d'un vrai bloc Bitcoin, imprévisible avant qu'il n'existe : le registre n'a pas pu être écrit à l'avance. Et l'en-tête conservé se recalcule — sa difficulté est du travail constaté, pas déclaré.")
                    }
                }
                Card {
                    title: qsTr("Ce qui est seulement déclaré")
                    SettingsRow {
                        Layout.fillWidth: true
                        visible: sheet.hasVerification
                        label: qsTr("Hachages déclarés")
                        value: sheet.hasVerification ? SettingsViewRules.texts.declaredHashes(sheet.verification) : ""
                    }
                    SettingsRow {
                        Layout.fillWidth: true
                        visible: sheet.declared.text !== undefined
                        label: qsTr("Attendus d'après la preuve")
                        value: sheet.declared.expected ?? ""
                    }
                    SettingsRow {
                        objectName: "crossCheckRow"
                        Layout.fillWidth: true
                        visible: sheet.declared.text !== undefined
                        label: qsTr("Recoupement")
                        value: sheet.declared.text ?? ""
                        valueColor: Theme[sheet.declared.colorRole ?? "textPrimary"]
                    }
                    Caption {
                        text: qsTr("Le nombre de hachages est une déclaration de ce programme : aucun registre local ne peut le prouver. Il est en revanche recoupé avec la difficulté démontrée — un compteur gonflé de plusieurs ordres de grandeur se verrait ici.")
                    }
                }
                Card {
                    title: qsTr("Dernières entrées")
                    spacing: 8
                    Caption {
                        visible: sheet.entries.length === 0
                        text: "—"
                    }
                    Repeater {
                        objectName: "entryRows"
                        model: sheet.entries.slice().reverse()
                        delegate: RowLayout {
                            id: entry

                            required property var modelData
                            Layout.fillWidth: true
                            spacing: 10
                            Text {
                                text: String(entry.modelData.networkHeight)
                                textFormat: Text.PlainText
                                font.family: "DejaVu Sans Mono"
                                font.pixelSize: 11
                                font.weight: Font.DemiBold
                                color: Theme.textPrimary
                            }
                            Text {
                                text: SettingsViewRules.ledgerHash(entry.modelData.networkBlockHash)
                                textFormat: Text.PlainText
                                font.family: "DejaVu Sans Mono"
                                font.pixelSize: 11
                                color: Theme.textSecondary
                            }
                            Item { Layout.fillWidth: true }
                            Text {
                                text: SettingsViewRules.hashCount(entry.modelData.hashesReportedText)
                                textFormat: Text.PlainText
                                font.family: "DejaVu Sans Mono"
                                font.pixelSize: 11
                                color: Theme.textSecondary
                            }
                        }
                    }
                }
                Card {
                    title: qsTr("Vérifier sans cet écran")
                    Caption {
                        text: qsTr("Tout ce qui précède est calculé par l'application elle-même. Pour le vérifier sans lui faire confiance, l'outil en ligne de commande relit le fichier et refait chaque calcul.")
                    }
                    Rectangle {
                        implicitWidth: command.implicitWidth + 16
                        implicitHeight: command.implicitHeight + 8
                        radius: 5
                        color: Qt.rgba(Theme.cardBorder.r, Theme.cardBorder.g, Theme.cardBorder.b, 0.35)
                        Text {
                            id: command
                            anchors.centerIn: parent
                            text: "corvanta-verify"
                            textFormat: Text.PlainText
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 12
                            color: Theme.textPrimary
                        }
                    }
                    RowLayout {
                        spacing: 10
                        SettingsButton {
                            objectName: "sheetRevealButton"
                            symbol: "folder"
                            text: qsTr("Révéler le fichier")
                            onClicked: Platform.revealFile(SettingsViewRules.proofLogFile(sheet.network))
                        }
                        SettingsButton {
                            objectName: "copyPathButton"
                            symbol: "doc.on.doc"
                            text: sheet.copied ? qsTr("Copié") : qsTr("Copier le chemin")
                            onClicked: {
                                // The file's path, not a URL.
                                Platform.copyText(SettingsViewRules.proofLogFile(sheet.network))
                                sheet.copied = true
                            }
                        }
                    }
                }
            }
        }
    }
}
