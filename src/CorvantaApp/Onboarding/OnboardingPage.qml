pragma ComponentBehavior: Bound
import QtQuick
import Corvanta

// The first-run flow in the main window; finishing marks onboarding complete and the window
// shows the dashboard.
Item {
    id: page

    property AppDelegate shell

    objectName: "onboardingPage"

    // The flow, made once there is a session. A repeater rather than a loader: Qt 6.4's Loader
    // refuses components bound to this file's ids.
    Repeater {
        model: page.shell !== null && page.shell.session !== null ? 1 : 0
        delegate: OnboardingView {
            anchors.fill: parent
            session: page.shell.session
            onFinished: page.shell.finishOnboarding()
        }
    }
}
