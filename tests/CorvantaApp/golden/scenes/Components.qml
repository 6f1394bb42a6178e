import QtQuick
import QtQuick.Layouts
import Corvanta

// The theme's shared pieces on the window background.
Rectangle {
    width: 480
    height: 360
    color: Theme.background

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 12

        SectionLabel { title: "Puissance" }
        CardBackground {
            Layout.fillWidth: true
            ColumnLayout {
                width: 408
                spacing: 6
                InfoRow { Layout.fillWidth: true; label: "Débit de hachage"; value: "274.50 MH/s" }
                InfoRow { Layout.fillWidth: true; label: "Gains"; value: "0.00 BTC"; valueColor: Theme.successText }
                InfoRow { Layout.fillWidth: true; label: "Nœud"; value: "Sans réponse"; valueColor: Theme.dangerText }
            }
        }
        CardBackground {
            Layout.fillWidth: true
            accentColor: Theme.accent
            PlainLabel {
                width: 408
                text: "<b>bad-txns</b> & a reason from the node, shown as it came"
            }
        }
        Row {
            spacing: 10
            Repeater {
                model: ["bitcoinsign.circle", "bitcoinsign.circle.fill",
                        "arrow.triangle.2.circlepath.circle", "exclamationmark.triangle.fill",
                        "hammer", "cpu", "pin.slash", "sun.max.fill", "moon.fill", "gearshape"]
                SymbolIcon { name: modelData; size: 24; color: Theme.accent }
            }
        }
        Row {
            spacing: 6
            Repeater {
                model: [Theme.violet, Theme.pink, Theme.mint, Theme.sunny, Theme.bitcoinOrange,
                        Theme.surfaceViolet, Theme.surfacePink, Theme.surfaceMint, Theme.surfaceSunny,
                        Theme.warning, Theme.danger, Theme.textSecondary]
                Rectangle { width: 28; height: 20; radius: 4; color: modelData }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
