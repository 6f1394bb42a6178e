import QtQuick
import QtQuick.Layouts
import Corvanta

// The tray item's preferences, followed at once. The desktop has no Dock, so the Dock icon
// preference has no switch here; a stored value is still read by the shell's activation rule.
ColumnLayout {
    id: view

    property bool showInMenuBar
    spacing: 8

    SettingsSwitch {
        objectName: "menuBarSwitch"
        label: qsTr("Afficher dans la zone de notification")
        isOn: Prefs.showInMenuBar
        onToggled: on => Prefs.showInMenuBar = on
    }
    SettingsSwitch {
        objectName: "hashRateSwitch"
        label: qsTr("Afficher le hashrate dans la zone de notification")
        isOn: Prefs.showHashRateInMenuBar
        switchEnabled: Prefs.showInMenuBar
        onToggled: on => Prefs.showHashRateInMenuBar = on
    }
    SettingsText {
        font.pixelSize: 10
        text: qsTr("Fermer la fenêtre n'arrête ni le minage, ni le nœud, ni l'application.")
    }
}
