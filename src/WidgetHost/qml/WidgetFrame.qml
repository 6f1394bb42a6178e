import QtQuick

// What the host draws around every widget: a rounded translucent card with the widget's view
// inside its margins.
Item {
    id: frame

    property url viewSource
    property var content: ({})

    Rectangle {
        anchors.fill: parent
        radius: 22
        color: "#EBFFFDF7"
        border.color: "#1A171717"
        border.width: 1
    }
    Loader {
        id: loader
        anchors.fill: parent
        anchors.margins: 16
        source: frame.viewSource
    }
    Binding {
        target: loader.item
        property: "content"
        value: frame.content
        when: loader.status === Loader.Ready
    }
}
