import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The settings side panel: a 380-wide column of one collapsible card per section, at most one
// open. The presenter builds it when settings are asked for, names the card to open first
// (`initialSection`, read once when the panel appears) and removes it on `close`. It lies over
// the dashboard: the pointer anywhere over it, blank or not, reaches nothing underneath.
OverlaySurface {
    id: panel

    required property var session
    property bool showInMenuBar: Prefs.showInMenuBar
    // "wallet", "safety", "node", "cpu", "ledger", "hashes", "menuBar", "diagnostics",
    // "settings", "about", or "" for none.
    property string initialSection
    signal close()
    property string expanded

    readonly property var sections: [
        { id: "wallet", symbol: "wallet.pass.fill", view: walletView },
        { id: "safety", symbol: "shield.lefthalf.filled", view: safetyView },
        { id: "node", symbol: "server.rack", view: nodeView },
        { id: "cpu", symbol: "cpu", view: cpuView },
        { id: "ledger", symbol: "checkmark.seal.fill", view: ledgerView },
        { id: "hashes", symbol: "number", view: hashesView },
        { id: "menuBar", symbol: "menubar.rectangle", view: menuBarView },
        { id: "diagnostics", symbol: "stethoscope", view: diagnosticsView },
        { id: "settings", symbol: "gearshape.fill", view: generalView },
        { id: "about", symbol: "info.circle", view: aboutView }
    ]
    // Apart from the cards, so that a language change re-titles them without rebuilding any.
    // "CPU" reads the same in every language.
    readonly property var titles: [qsTr("Portefeuille"), qsTr("Winning Safety"),
        qsTr("Nœud Bitcoin"), "CPU", qsTr("Registre de minage"), qsTr("Hachages"),
        qsTr("Zone de notification"), qsTr("Diagnostic"), qsTr("Réglages"), qsTr("À propos")]

    // Only the user's own opening and closing move; the card the panel appears with is open.
    property bool userToggled: false

    function toggle(section) {
        userToggled = true
        expanded = expanded === section ? "" : section
    }

    objectName: "advancedPanel"
    implicitWidth: 380
    width: 380
    color: Theme.sidebarBackground
    Component.onCompleted: expanded = initialSection

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 16
            Text {
                text: qsTr("Avancé")
                textFormat: Text.PlainText
                font.pixelSize: 16
                font.weight: Font.Black
                color: Theme.textPrimary
            }
            Item { Layout.fillWidth: true }
            AbstractButton {
                objectName: "closeButton"
                focusPolicy: Qt.NoFocus
                implicitWidth: 20
                implicitHeight: 20
                contentItem: SymbolIcon {
                    name: "xmark"
                    size: 12
                    color: Theme.textSecondary
                }
                onClicked: panel.close()
            }
        }
        SettingsDivider {}
        ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            // The padding around the cards scrolls with them.
            contentHeight: cards.implicitHeight + 32

            ColumnLayout {
                id: cards
                x: 16
                y: 16
                width: scroller.availableWidth - 32
                spacing: 10

                // Changes the settings file will not take are said where they are made, for as
                // long as they hold only in memory.
                SettingsUnsavedNotice {
                    objectName: "settingsUnsavedNotice"
                    Layout.fillWidth: true
                    file: panel.session && panel.session.settingsUnsavedFile
                          ? panel.session.settingsUnsavedFile : ""
                    sentence: qsTr("Les réglages ne peuvent pas être enregistrés dans %@ : ce qui est changé ici vaut jusqu'à la fermeture de Corvanta.")
                }

                // Qt 6.4's linter reads an outer id inside a component as unqualified, and the
                // bound-component pragma that would settle it makes Loader refuse the component at
                // run time.
                // qmllint disable unqualified
                Repeater {
                    model: panel.sections
                    delegate: Rectangle {
                        id: card

                        required property var modelData
                        required property int index
                        readonly property bool open: panel.expanded === card.modelData.id
                        // The motion of its body, for whoever checks it.
                        readonly property alias bodyMotion: bodyMotion

                        objectName: "card_" + modelData.id
                        Layout.fillWidth: true
                        // The body unfolds and folds away over 0.18 s, eased out; it is kept
                        // while it folds away.
                        implicitHeight: open ? header.implicitHeight + body.implicitHeight + 12
                                             : header.implicitHeight
                        clip: true
                        Behavior on implicitHeight {
                            enabled: panel.userToggled && !Platform.reduceMotion
                            NumberAnimation {
                                id: bodyMotion
                                duration: 180
                                easing.type: Easing.OutQuad
                            }
                        }
                        radius: 14
                        color: Theme.cardBackground
                        border.width: 1
                        border.color: Theme.cardBorder

                        ColumnLayout {
                            id: cardColumn
                            width: parent.width
                            spacing: 0

                            AbstractButton {
                                id: header
                                objectName: "header"
                                Layout.fillWidth: true
                                focusPolicy: Qt.NoFocus
                                topPadding: 11
                                bottomPadding: 11
                                leftPadding: 12
                                rightPadding: 12
                                contentItem: RowLayout {
                                    spacing: 10
                                    Item {
                                        Layout.preferredWidth: 20
                                        Layout.preferredHeight: 14
                                        SymbolIcon {
                                            anchors.centerIn: parent
                                            name: card.modelData.symbol
                                            size: 14
                                            color: Theme.accent
                                        }
                                    }
                                    Text {
                                        objectName: "title"
                                        text: panel.titles[card.index]
                                        textFormat: Text.PlainText
                                        font.pixelSize: 13
                                        font.weight: Font.DemiBold
                                        color: Theme.textPrimary
                                    }
                                    Item { Layout.fillWidth: true }
                                    SymbolIcon {
                                        name: "chevron.right"
                                        size: 10
                                        color: Theme.textSecondary
                                        rotation: card.open ? 90 : 0
                                        Behavior on rotation {
                                            enabled: !Platform.reduceMotion
                                            NumberAnimation { duration: 180; easing.type: Easing.OutQuad }
                                        }
                                    }
                                }
                                onClicked: panel.toggle(card.modelData.id)
                            }
                            Loader {
                                id: body
                                objectName: "body"
                                Layout.fillWidth: true
                                Layout.leftMargin: 12
                                Layout.rightMargin: 12
                                Layout.bottomMargin: active ? 12 : 0
                                active: card.open || bodyMotion.running
                                visible: active
                                opacity: card.open ? 1 : 0
                                sourceComponent: card.modelData.view
                                Behavior on opacity {
                                    enabled: panel.userToggled && !Platform.reduceMotion
                                    NumberAnimation { duration: 180; easing.type: Easing.OutQuad }
                                }
                            }
                        }
                    }
                }
                // qmllint enable unqualified
            }
        }
    }

    // qmllint disable unqualified
    Component {
        id: walletView
        WalletSectionView { session: panel.session }
    }
    Component {
        id: safetyView
        WinningSafetyView { session: panel.session }
    }
    Component {
        id: nodeView
        NodeSectionView { session: panel.session }
    }
    Component {
        id: cpuView
        PowerSettingsView { session: panel.session }
    }
    Component {
        id: ledgerView
        ProofSectionView { session: panel.session }
    }
    Component {
        id: hashesView
        HashesSectionView { session: panel.session }
    }
    Component {
        id: menuBarView
        MenuBarSectionView { showInMenuBar: panel.showInMenuBar }
    }
    Component {
        id: diagnosticsView
        DiagnosticsSectionView { session: panel.session }
    }
    Component {
        id: generalView
        GeneralSettingsSectionView { session: panel.session }
    }
    Component {
        id: aboutView
        AboutSectionView { session: panel.session }
    }
    // qmllint enable unqualified
}
