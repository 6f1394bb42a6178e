import QtQuick
import Corvanta

// The main window's mini dashboard: the compact view wired to the shell.
MiniDashboardView {
    property AppDelegate shell

    objectName: "miniDashboardPage"
    session: shell ? shell.session : null
    onLeaveMiniMode: shell.leaveMiniMode()
    onToggleFloating: shell.toggleFloating()
    onOpenSettings: shell.openSettingsFromMini()
}
