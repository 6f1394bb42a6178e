import QtQuick
import QtQuick.Layouts
import Corvanta

// What the application is, where its data lives and roughly what the node takes on disk.
OnboardingLayout {
    hero.assetName: "coin"
    hero.fallbackSymbol: "bitcoinsign.circle.fill"
    hero.tint: Theme.bitcoinOrange

    OnboardingTitle {
        source: qsTr("Bienvenue sur **Corvanta**")
    }
    OnboardingBody {
        text: qsTr("Un mineur Bitcoin solo, natif du bureau Linux. Corvanta fait tourner son propre nœud, construit ses propres blocs et minera directement pour vous — sans pool, sans intermédiaire, sans compte à créer.")
    }
    RowLayout {
        Layout.fillWidth: true
        spacing: 10

        OnboardingCard {
            symbol: "internaldrive.fill"
            symbolTint: Theme.textSecondary
            OnboardingCardText {
                text: qsTr("Environ 15 Go sur ce disque, l'essentiel étant la chaîne d'état.")
                color: Theme.textPrimary
            }
        }
        OnboardingCard {
            symbol: "folder.fill"
            symbolTint: Theme.sunny
            OnboardingPathText {
                objectName: "supportDirectory"
                path: OnboardingRules.supportDirectory()
            }
        }
    }
}
