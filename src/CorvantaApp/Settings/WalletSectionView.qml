import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The payout address: locked while hashing, with a notice when the running session still pays
// another address; the network it belongs to, the last earnings scan, and a copy button.
ColumnLayout {
    id: view

    required property var session
    property bool copied: false
    readonly property string network: SettingsViewRules.networkInEffect(session.activeNetwork,
                                                                        session.selectedNetwork)
    readonly property var scan: session.earningsScanState
    readonly property string lastScanLabel: scan !== undefined && scan !== null
                                            && scan.kind === "completed"
                                            ? SettingsViewRules.time(scan.completedAt)
                                            : qsTr("Jamais scanné")
    readonly property bool diverges: session.payoutDivergence !== undefined
                                     && session.payoutDivergence !== null

    spacing: 10

    TextField {
        objectName: "addressField"
        Layout.fillWidth: true
        text: view.session.payoutAddressInput
        placeholderText: "bc1q… / tb1q… / bcrt1q…"
        font.family: "DejaVu Sans Mono"
        font.pixelSize: 11
        enabled: !view.session.isHashing
        onTextEdited: view.session.payoutAddressInput = text
    }
    RowLayout {
        objectName: "notice"
        Layout.fillWidth: true
        visible: view.session.isHashing || view.diverges
        spacing: 6
        SymbolIcon {
            Layout.alignment: Qt.AlignTop
            name: view.session.isHashing ? "lock.fill" : "exclamationmark.triangle.fill"
            size: 11
            color: Theme.warningText
        }
        SettingsText {
            objectName: "noticeText"
            font.pixelSize: 10
            color: Theme.warningText
            text: view.session.isHashing
                  ? qsTr("Mettez le minage en pause ou arrêtez-le pour modifier l'adresse.")
                  : view.diverges
                    ? qsTr("La session en cours paie encore %@. Arrêtez puis redémarrez le minage pour utiliser la nouvelle adresse.").replace("%@", () => String(view.session.payoutDivergence))
                    : ""
        }
    }
    SettingsRow {
        objectName: "networkRow"
        Layout.fillWidth: true
        label: qsTr("Réseau")
        value: view.network
    }
    SettingsRow {
        objectName: "lastScanRow"
        Layout.fillWidth: true
        label: qsTr("Dernière vérification")
        value: view.lastScanLabel
        valueColor: Theme.textSecondary
    }
    SettingsButton {
        objectName: "copyButton"
        symbol: "doc.on.doc"
        text: view.copied ? qsTr("Copié") : qsTr("Copier l'adresse")
        onClicked: {
            Platform.copyText(view.session.payoutAddressInput)
            view.copied = true
        }
    }
    SettingsText {
        font.pixelSize: 10
        text: qsTr("Corvanta ne demandera jamais votre seed ni vos clés privées.")
    }
}
