import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The payout address, typed straight into the session, judged at every keystroke.
OnboardingLayout {
    id: step

    required property var session
    readonly property var state: OnboardingRules.texts.addressState(session.selectedNetwork,
                                                                    session.payoutAddressInput)
    readonly property bool isValid: state.isValid
    readonly property color hintColor: Theme[state.colorRole]

    hero.assetName: "wallet"
    hero.fallbackSymbol: "wallet.pass.fill"
    hero.tint: Theme.violet

    OnboardingTitle {
        source: qsTr("Où envoyer votre **récompense** ?")
    }
    OnboardingBody {
        text: qsTr("Un bloc trouvé paie 3,125 BTC. Sans adresse, Corvanta n'a nulle part où les verser.")
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: box.implicitHeight + 24
        radius: 12
        color: Theme.cardBackground
        border.width: 1
        border.color: Theme.cardBorder

        RowLayout {
            id: box
            anchors.fill: parent
            anchors.leftMargin: 14
            anchors.rightMargin: 14
            anchors.topMargin: 12
            anchors.bottomMargin: 12
            spacing: 10

            TextField {
                objectName: "addressField"
                Layout.fillWidth: true
                // The stored text is kept exactly as typed.
                text: step.session.payoutAddressInput
                placeholderText: qsTr("bc1q… ou bc1p…")
                font.family: "DejaVu Sans Mono"
                font.pixelSize: 13
                color: Theme.textPrimary
                placeholderTextColor: Theme.textSecondary
                background: null
                padding: 0
                onTextEdited: step.session.payoutAddressInput = text
            }
            SymbolIcon {
                objectName: "addressStatusIcon"
                name: step.isValid ? "checkmark.circle.fill" : "exclamationmark.circle.fill"
                size: 17
                color: step.isValid ? Theme.successText : Theme.dangerText
            }
        }
    }
    OnboardingCard {
        symbol: step.isValid ? "checkmark.shield.fill" : "exclamationmark.triangle.fill"
        symbolTint: step.hintColor
        background: Qt.rgba(Theme.cardBackground.r, Theme.cardBackground.g,
                            Theme.cardBackground.b, 0.6)
        OnboardingCardText {
            objectName: "addressHint"
            text: step.state.hint
            color: step.hintColor
        }
    }
    RowLayout {
        Layout.fillWidth: true
        spacing: 6
        SymbolIcon {
            Layout.alignment: Qt.AlignTop
            name: "lock.shield.fill"
            size: 13
            color: Theme.accent
        }
        OnboardingCardText {
            text: qsTr("Elle ne sert qu'à recevoir. Corvanta ne vous demandera jamais votre phrase de récupération ni vos clés privées.")
            color: Theme.accent
        }
    }
    ColumnLayout {
        Layout.fillWidth: true
        spacing: 2
        OnboardingCardText {
            text: qsTr("Pas encore de portefeuille ? BlueWallet en crée un en deux minutes, gratuitement — vous seul détenez les clés.")
        }
        Text {
            objectName: "walletLink"
            text: qsTr("bluewallet.io")
            textFormat: Text.PlainText
            font.pixelSize: 11
            font.underline: linkArea.containsMouse
            color: Theme.accent
            MouseArea {
                id: linkArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: Platform.openUrl("https://bluewallet.io")
            }
        }
    }
}
