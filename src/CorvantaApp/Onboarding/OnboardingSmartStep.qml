import QtQuick
import QtQuick.Layouts
import Corvanta

// Mining that steps aside: showing the step puts the whole day on the smart mode and turns the
// schedule on; the switch turns the schedule off and on again.
OnboardingLayout {
    id: step

    required property var session
    property bool enabled: true

    function apply(on) {
        if (on) {
            session.setScheduleMode("smart", 0, 143)
            session.setScheduleEnabled(true)
        } else {
            session.setScheduleEnabled(false)
        }
    }

    hero.assetName: "gauge"
    hero.fallbackSymbol: "gauge.with.needle.fill"
    hero.tint: Theme.violet
    Component.onCompleted: apply(enabled)
    onEnabledChanged: apply(enabled)

    OnboardingTitle {
        source: qsTr("Miner **sans** ralentir votre ordinateur")
    }
    OnboardingBody {
        text: qsTr("Sans lui, il faut choisir : miner, ou travailler. Le mode Smart prend tout le processeur quand la machine est libre, et rend ce qu'il faut dès qu'un autre logiciel en réclame — puis reprend trois minutes après.")
    }
    OnboardingToggleCard {
        symbol: "leaf.fill"
        symbolTint: Theme.mint
        title: qsTr("Miner en mode Smart toute la journée")
        subtitle: qsTr("S'adapte automatiquement à votre usage.")
        isOn: step.enabled
        onToggled: on => step.enabled = on
    }
    OnboardingCard {
        symbol: "bolt.fill"
        symbolTint: Theme.sunny
        background: Theme.surfaceSunny
        OnboardingCardText {
            text: qsTr("Vous gardez la main : Éco, Équilibré et Max restent à un clic, et le planning horaire se règle plus tard.")
        }
    }
}
