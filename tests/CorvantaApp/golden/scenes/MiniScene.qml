import QtQuick
import Corvanta

// The mini dashboard over a golden session at the fixed instant.
Item {
    id: scene

    property var configure: function(session) {}

    width: 380
    height: 377

    GoldenSession { id: goldenSession }

    Component.onCompleted: {
        DashboardLogic.fixedNow = goldenSession.at
        DashboardLogic.performanceCores = 10
        scene.configure(goldenSession)
        loader.active = true
    }

    Loader {
        id: loader
        anchors.fill: parent
        active: false
        sourceComponent: MiniDashboardView { session: goldenSession }
    }
}
