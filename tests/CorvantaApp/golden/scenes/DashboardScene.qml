import QtQuick
import Corvanta

// The dashboard over a golden session at the fixed instant.
Item {
    id: scene

    property var configure: function(session) {}
    property alias session: goldenSession

    width: 900
    height: 860

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
        sourceComponent: ContentView { session: goldenSession }
    }
}
