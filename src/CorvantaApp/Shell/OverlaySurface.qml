import QtQuick

// The ground of anything laid over the window's content (a side panel, a backdrop): it takes every
// press, release, click, double click, wheel turn and hover that reaches it, so nothing drawn
// underneath reacts to a pointer that is over it. Its own children lie above that ground and keep
// their events; what they leave (blank header space, the gaps between rows, a list scrolled to
// its end) stops here instead of reaching the page below.
Rectangle {
    MouseArea {
        objectName: "overlayGround"
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
        // Hover too: a button underneath would otherwise light up and show its tooltip.
        hoverEnabled: true
        // Without a shape of its own, the shape of whatever lies underneath would show through.
        cursorShape: Qt.ArrowCursor
        onWheel: wheel => wheel.accepted = true
    }
}
