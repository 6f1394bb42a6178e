import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The first-run flow: brand header, progress dots, the current step and the footer. Each step
// is made anew when its turn comes, so its own switches start over; what it set lives in the
// session and the system. "Terminer" starts the session, then hands over to the presenter.
Rectangle {
    id: flow

    required property var session
    // Once the session was asked to start: the presenter marks onboarding complete.
    signal finished()
    // Registers the login item; false when the desktop refused. Replaceable for tests.
    property var setLaunchAtLogin: on => OnboardingRules.setLaunchAtLogin(on)
    property int step: 0
    property bool opened: false
    // The motions of a change of step, for whoever checks them.
    readonly property alias backgroundMotion: backgroundMotion
    readonly property alias stepMotion: stepEntrance
    readonly property int lastStep: 4
    readonly property var backgrounds: [Theme.onboardingCream, Theme.onboardingLavender,
        Theme.onboardingMint, Theme.onboardingBlush, Theme.onboardingLavender]
    readonly property bool canAdvance: session !== null
                                       && OnboardingRules.canAdvance(step, session.selectedNetwork,
                                                                     session.payoutAddressInput)

    function goBack() {
        if (step > 0)
            step -= 1
    }
    function goForward() {
        if (step < lastStep)
            step += 1
    }
    function finish() {
        session.start()
        finished()
    }

    objectName: "onboardingView"
    color: backgrounds[step]
    // Background, dots and step area change together over a quarter of a second; the step
    // the flow opens on is simply there.
    Component.onCompleted: opened = true
    onStepChanged: {
        stepEntrance.stop()
        const moves = opened && !Platform.reduceMotion
        stepLoader.opacity = moves ? 0 : 1
        if (moves)
            stepEntrance.start()
    }

    Behavior on color {
        enabled: !Platform.reduceMotion
        ColorAnimation { id: backgroundMotion; duration: 250; easing.type: Easing.InOutQuad }
    }

    // The new step fades in where the old one was.
    NumberAnimation {
        id: stepEntrance
        objectName: "stepMotion"
        target: stepLoader
        property: "opacity"
        from: 0
        to: 1
        duration: 250
        easing.type: Easing.InOutQuad
    }

    ColumnLayout {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Math.min(880, flow.width)
        spacing: 0

        Item {
            Layout.fillWidth: true
            Layout.topMargin: 26
            Layout.preferredHeight: 78
            BrandSticker {
                anchors.centerIn: parent
                asset: "wordmark"
                size: 250
            }
        }
        Row {
            objectName: "progressDots"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 14
            spacing: 9
            Repeater {
                model: flow.lastStep + 1
                Rectangle {
                    required property int index
                    // The motion of its change, for whoever checks it.
                    readonly property alias motion: dotMotion
                    objectName: "dot" + index
                    width: 9
                    height: 9
                    radius: 4.5
                    color: Theme.accent
                    // qmllint disable unqualified
                    opacity: index <= flow.step ? 1.0 : 0.22
                    // qmllint enable unqualified
                    Behavior on opacity {
                        enabled: !Platform.reduceMotion
                        NumberAnimation { id: dotMotion; duration: 250; easing.type: Easing.InOutQuad }
                    }
                }
            }
        }
        // A new user whose settings cannot be kept learns it before answering anything.
        SettingsUnsavedNotice {
            objectName: "onboardingUnsavedNotice"
            Layout.fillWidth: true
            Layout.leftMargin: 44
            Layout.rightMargin: 44
            Layout.topMargin: 14
            file: flow.step === 0 && flow.session && flow.session.settingsUnsavedFile
                  ? flow.session.settingsUnsavedFile : ""
            sentence: qsTr("Les réglages ne peuvent pas être enregistrés dans %@ : les réponses données ici valent jusqu'à la fermeture de Corvanta, et ces questions reviendront au prochain démarrage.")
        }
        ScrollView {
            id: scroller
            objectName: "stepArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            contentHeight: stepLoader.height + 24
            ScrollBar.vertical.policy: ScrollBar.AsNeeded

            Loader {
                id: stepLoader
                objectName: "stepLoader"
                x: 44
                y: 24
                width: scroller.availableWidth - 88
                height: stepLoader.item ? (stepLoader.item as Item).implicitHeight : 0
                sourceComponent: [introStep, addressStep, smartStep, autostartStep,
                    awakeStep][flow.step]
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 44
            Layout.rightMargin: 44
            Layout.bottomMargin: 30
            Layout.topMargin: 8

            OnboardingSecondaryButton {
                objectName: "backButton"
                visible: flow.step > 0
                text: qsTr("Précédent")
                onClicked: flow.goBack()
            }
            Item { Layout.fillWidth: true }
            OnboardingPrimaryButton {
                objectName: "nextButton"
                visible: flow.step < flow.lastStep
                enabled: flow.canAdvance
                opacity: enabled ? (pressed ? 0.82 : 1.0) : 0.45
                text: qsTr("Suivant")
                symbol: "arrow.right"
                onClicked: flow.goForward()
            }
            OnboardingPrimaryButton {
                objectName: "finishButton"
                visible: flow.step === flow.lastStep
                text: qsTr("Terminer")
                symbol: "sparkles"
                onClicked: flow.finish()
            }
        }
    }

    Component {
        id: introStep
        OnboardingIntroStep {}
    }
    // Qt 6.4's linter reads an outer id inside a component as unqualified, and the bound-component
    // pragma that would settle it makes Loader refuse the component at run time.
    // qmllint disable unqualified
    Component {
        id: addressStep
        OnboardingAddressStep { session: flow.session }
    }
    Component {
        id: smartStep
        OnboardingSmartStep { session: flow.session }
    }
    Component {
        id: autostartStep
        OnboardingAutostartStep { setLaunchAtLogin: flow.setLaunchAtLogin }
    }
    Component {
        id: awakeStep
        OnboardingAwakeStep { session: flow.session }
    }
    // qmllint enable unqualified
}
