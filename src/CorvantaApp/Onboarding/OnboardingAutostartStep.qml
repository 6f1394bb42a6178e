import QtQuick
import QtQuick.Layouts
import Corvanta

// Starting at login: showing the step registers the login item, the switch unregisters it. A
// refused registration is said under the cards; the flow goes on.
OnboardingLayout {
    id: step

    property bool enabled: true
    property bool launchAtLoginRefused: false
    // Asks the desktop; answers false when it refused. Replaceable for tests.
    property var setLaunchAtLogin: on => OnboardingRules.setLaunchAtLogin(on)

    function register(wish) {
        const answer = step.setLaunchAtLogin.call(step, wish)
        launchAtLoginRefused = wish && !answer
    }

    hero.assetName: "brain"
    hero.fallbackSymbol: "brain.head.profile"
    hero.tint: Theme.pink
    Component.onCompleted: register(enabled)
    onEnabledChanged: register(enabled)

    OnboardingTitle {
        source: qsTr("Miner **sans** y penser")
    }
    OnboardingBody {
        text: qsTr("Vos chances ne dépendent que du temps passé à miner. Une heure d'arrêt, ce sont des tirages que vous n'avez pas pris — et après chaque redémarrage, le nœud doit rattraper la chaîne avant de recommencer.")
    }
    OnboardingToggleCard {
        symbol: "arrow.triangle.2.circlepath"
        symbolTint: Theme.accent
        title: qsTr("Lancer au démarrage et reprendre le minage")
        subtitle: qsTr("Reprise automatique après un redémarrage.")
        isOn: step.enabled
        onToggled: on => step.enabled = on
    }
    OnboardingCard {
        symbol: "shield.fill"
        symbolTint: Theme.accent
        background: Theme.surfacePink
        OnboardingCardText {
            text: qsTr("Ouverture de session → le nœud démarre, rattrape la chaîne, le minage reprend. Sans ouvrir la fenêtre.")
        }
    }
    RowLayout {
        objectName: "refusalNotice"
        visible: step.launchAtLoginRefused
        Layout.fillWidth: true
        spacing: 6
        SymbolIcon {
            Layout.alignment: Qt.AlignTop
            name: "exclamationmark.triangle.fill"
            size: 13
            color: Theme.warningText
        }
        OnboardingCardText {
            text: qsTr("Le bureau a refusé le lancement à l'ouverture de session. Le minage reprendra quand même à l'ouverture de l'application.")
            color: Theme.warningText
        }
    }
}
