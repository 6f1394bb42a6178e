import QtQuick
import QtQuick.Window
import Corvanta

// The one main window. Its content is picked by the shell: onboarding, dashboard or mini
// dashboard. Closing it hides it; the application goes on.
Window {
    id: window

    required property AppDelegate shell

    title: "Corvanta"
    width: 900
    height: 860
    color: Theme.background

    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: window.shell.requestQuit()
    }

    Loader {
        id: content
        objectName: "content"
        anchors.fill: parent
        source: {
            switch (window.shell.content) {
            case "onboarding":
                return "OnboardingPage.qml"
            case "mini":
                return "MiniDashboardPage.qml"
            default:
                return "DashboardPage.qml"
            }
        }
        onLoaded: item.shell = window.shell
    }
}
