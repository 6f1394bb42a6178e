import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// Versions, what the product is, the node's licence, and the links out.
ColumnLayout {
    id: view

    required property var session
    property bool licencesOpen: false

    spacing: 6

    SettingsRow {
        objectName: "versionRow"
        Layout.fillWidth: true
        label: "Corvanta"
        value: SettingsViewRules.appVersion
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Nœud embarqué")
        value: SettingsViewRules.nodeRelease
    }
    SettingsText {
        font.pixelSize: 10
        text: qsTr("Mineur solo natif du bureau Linux — aucun pool, aucun compte, aucun serveur : votre nœud, votre CPU, votre bloc.")
    }
    SettingsRow {
        Layout.fillWidth: true
        label: qsTr("Version du nœud")
        value: view.session.coreVersion === undefined || view.session.coreVersion === null
               ? "—" : String(view.session.coreVersion)
    }
    AbstractButton {
        objectName: "licencesToggle"
        contentItem: RowLayout {
            spacing: 4
            SymbolIcon {
                name: "chevron.right"
                size: 10
                color: Theme.textSecondary
                rotation: view.licencesOpen ? 90 : 0
            }
            Text {
                text: qsTr("Licences")
                textFormat: Text.PlainText
                font.pixelSize: 11
                color: Theme.textPrimary
            }
        }
        onClicked: view.licencesOpen = !view.licencesOpen
    }
    ColumnLayout {
        Layout.fillWidth: true
        Layout.topMargin: 6
        visible: view.licencesOpen
        spacing: 6
        Text {
            text: "Bitcoin Core"
            textFormat: Text.PlainText
            font.pixelSize: 10
            font.weight: Font.DemiBold
            color: Theme.textSecondary
        }
        TextEdit {
            objectName: "licence"
            Layout.fillWidth: true
            text: SettingsViewRules.nodeLicence
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.Wrap
            readOnly: true
            selectByMouse: true
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 9
            color: Theme.textSecondary
        }
    }
    SettingsDivider {}
    AbstractButton {
        contentItem: RowLayout {
            spacing: 6
            SymbolIcon {
                name: "lifepreserver.fill"
                size: 12
                color: Theme.accent
            }
            Text {
                text: qsTr("Support et idées")
                textFormat: Text.PlainText
                font.pixelSize: 11
                color: Theme.accent
            }
        }
        onClicked: Platform.openUrl(SettingsViewRules.supportUrl)
    }
    SettingsDivider {}
    AbstractButton {
        topPadding: 2
        contentItem: ColumnLayout {
            spacing: 4
            Item {
                implicitWidth: 150
                implicitHeight: 32
                BrandSticker {
                    anchors.verticalCenter: parent.verticalCenter
                    asset: "wordmark"
                    size: 150
                }
            }
            Text {
                text: String(SettingsViewRules.siteUrl).replace(/^[a-z]+:\/\//, "").replace(/\/.*$/, "").toLowerCase()
                textFormat: Text.PlainText
                font.pixelSize: 10
                font.weight: Font.DemiBold
                color: Theme.accent
            }
        }
        onClicked: Platform.openUrl(SettingsViewRules.siteUrl)
    }
}
