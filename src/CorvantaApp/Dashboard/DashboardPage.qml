import QtQuick
import Corvanta

// The main window's dashboard: the content view wired to the shell.
ContentView {
    id: page

    property AppDelegate shell

    objectName: "dashboardPage"
    session: shell ? shell.session : null
    showInMenuBar: Prefs.showInMenuBar
    openAdvancedOnAppear: shell ? shell.openAdvancedOnAppear : false
    onOpenAdvancedConsumed: if (shell) shell.openAdvancedOnAppear = false
    onEnterMiniMode: shell.enterMiniMode()

    Connections {
        target: page.shell
        function onSettingsRequested() { page.openAdvancedPanel("") }
    }
}
