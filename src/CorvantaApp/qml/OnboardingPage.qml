import QtQuick
import Corvanta

// The first-run flow in the main window; finishing marks onboarding complete and the window
// shows the dashboard.
Item {
    id: page

    property AppDelegate shell

    objectName: "onboardingPage"

    Loader {
        anchors.fill: parent
        active: page.shell !== null && page.shell.session !== null
        sourceComponent: OnboardingView {
            session: page.shell.session
            onFinished: page.shell.finishOnboarding()
        }
    }
}
