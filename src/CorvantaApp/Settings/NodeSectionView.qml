pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The link to the node, its chain while that status is fresh, peers, version, and the disk
// budget of the next node start (changeable only while no session runs).
ColumnLayout {
    id: view

    required property var session
    readonly property var link: SettingsViewRules.texts.rpcLink(session.rpcLinkState)
    readonly property var status: session.freshChainStatus
    readonly property bool hasStatus: status !== undefined && status !== null
    // Idle or failed.
    readonly property bool budgetEditable: session.runState === 0 || session.runState === 5

    spacing: 6

    SettingsRow {
        objectName: "rpcRow"
        Layout.fillWidth: true
        label: qsTr("Statut RPC")
        value: view.link.text
        valueColor: Theme[view.link.colorRole]
    }
    ColumnLayout {
        objectName: "chainRows"
        Layout.fillWidth: true
        visible: view.hasStatus
        spacing: 6
        SettingsRow {
            Layout.fillWidth: true
            label: qsTr("Chaîne")
            value: view.hasStatus ? view.status.chain : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            label: qsTr("Hauteur du nœud")
            value: view.hasStatus ? SettingsViewRules.count(view.status.blocks) : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            label: qsTr("Blocs")
            value: view.hasStatus
                   ? qsTr("%@ / %@ en-têtes")
                     .replace("%@", () => SettingsViewRules.count(view.status.blocks))
                     .replace("%@", () => SettingsViewRules.count(view.status.headers))
                   : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            label: qsTr("Taille sur disque")
            value: view.hasStatus ? SettingsViewRules.texts.sizeOnDisk(view.status.sizeOnDiskBytes) : ""
        }
        SettingsRow {
            Layout.fillWidth: true
            label: qsTr("Élagué")
            value: view.hasStatus && view.status.pruned ? qsTr("Oui") : qsTr("Non")
        }
        SettingsRow {
            objectName: "tipRow"
            Layout.fillWidth: true
            label: qsTr("Meilleur hachage (tip)")
            value: view.hasStatus ? SettingsViewRules.nodeHash(view.status.bestBlockHash) : ""
        }
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Pairs")
        value: SettingsViewRules.plainCount(view.session.peerCount)
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Version du nœud")
        value: view.session.coreVersion === undefined || view.session.coreVersion === null
               ? "—" : String(view.session.coreVersion)
    }
    SettingsDivider {}
    SettingsText {
        text: qsTr("Espace disque cible")
    }
    RowLayout {
        objectName: "budgetPicker"
        enabled: view.budgetEditable
        spacing: 0
        Repeater {
            model: [15, 20, 30]
            delegate: Button {
                required property int modelData
                objectName: "budget" + modelData
                text: qsTr("%d Go").replace("%d", modelData)
                checkable: true
                checked: view.session.storageTarget === modelData
                font.pixelSize: 11
                onClicked: {
                    view.session.storageTarget = modelData
                    checked = Qt.binding(() => view.session.storageTarget === modelData)
                }
            }
        }
    }
    SettingsText {
        font.pixelSize: 10
        text: qsTr("Dont %d Go incompressibles (chainstate, jamais élagué) — le reste borne les fichiers de blocs. Effectif au prochain démarrage du nœud.").replace("%d", "12")
    }
}
