import QtQuick
import QtQuick.Layouts
import Corvanta

// The tray item and the Dock preference. The tray follows its preference at once; the Dock
// preference is stored for the shell's activation rule (without a Dock on Linux, nothing shows).
ColumnLayout {
    id: view

    property bool showInMenuBar
    // Read once, when the view is built; afterwards only the switch changes it.
    property bool showDockIcon: true

    Component.onCompleted: showDockIcon = Prefs.showDockIcon
    spacing: 8

    SettingsSwitch {
        objectName: "menuBarSwitch"
        label: qsTr("Afficher dans la Menu Bar")
        isOn: Prefs.showInMenuBar
        onToggled: on => Prefs.showInMenuBar = on
    }
    SettingsSwitch {
        objectName: "hashRateSwitch"
        label: qsTr("Afficher le hashrate dans la Menu Bar")
        isOn: Prefs.showHashRateInMenuBar
        switchEnabled: Prefs.showInMenuBar
        onToggled: on => Prefs.showHashRateInMenuBar = on
    }
    SettingsSwitch {
        objectName: "dockSwitch"
        label: qsTr("Masquer l'icône du Dock")
        isOn: !view.showDockIcon
        onToggled: on => {
            view.showDockIcon = !on
            Prefs.showDockIcon = view.showDockIcon
        }
    }
    SettingsText {
        font.pixelSize: 10
        text: qsTr("L'icône réapparaît tant que cette fenêtre est ouverte, pour que ⌘Tab puisse la retrouver. Fenêtre fermée, il ne reste que la Menu Bar.")
    }
    SettingsText {
        font.pixelSize: 10
        text: qsTr("Fermer la fenêtre n'arrête ni le minage, ni le nœud, ni l'application.")
    }
}
