import QtQuick
import QtQuick.Layouts
import Corvanta

// Keeping the machine awake while mining: the switch is the session's own setting.
OnboardingLayout {
    id: step

    required property var session

    hero.assetName: "energy"
    hero.fallbackSymbol: "bolt.fill"
    hero.tint: Theme.sunny

    OnboardingTitle {
        source: qsTr("Un ordinateur en veille **ne mine pas**")
    }
    OnboardingBody {
        text: qsTr("Quand l'ordinateur se met en veille tout seul, le minage s'arrête — et au réveil le nœud doit rattraper la chaîne avant de reprendre. Ce sont des tirages perdus deux fois.")
    }
    OnboardingToggleCard {
        symbol: "zzz"
        symbolTint: Theme.accent
        title: qsTr("Empêcher la veille pendant le minage")
        subtitle: qsTr("Recommandé — sinon le minage s'arrête à chaque mise en veille.")
        isOn: step.session.preventIdleSleepEnabled
        onToggled: on => step.session.preventIdleSleepEnabled = on
    }
    OnboardingCard {
        symbol: "hand.raised.fill"
        symbolTint: Theme.accent
        background: Theme.surfaceViolet
        OnboardingCardText {
            text: qsTr("Fermer le capot ou choisir « Mettre en veille » continue de fonctionner. Seule la veille automatique est empêchée, et seulement pendant le minage.")
        }
    }
    OnboardingCard {
        symbol: "display"
        symbolTint: Theme.textSecondary
        OnboardingCardText {
            text: qsTr("L'écran, lui, s'éteint normalement : c'est le système qui reste éveillé, pas l'affichage.")
        }
    }
}
