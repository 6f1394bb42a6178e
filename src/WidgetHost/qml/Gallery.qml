pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls

// The widget gallery: every widget the plug-ins offer with its name, description and sizes, each
// size previewed as it will look on the desktop, with a button that places it there.
Rectangle {
    id: gallery

    property var rows: []
    property bool full: false
    property string fullText
    property string addText

    signal chosen(string kind, string family)

    color: "#F4F1EA"

    Flickable {
        id: flick
        anchors.fill: parent
        contentHeight: column.implicitHeight + 48
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {}

        Column {
            id: column
            x: 24
            y: 24
            width: flick.width - 48
            spacing: 32

            Text {
                visible: gallery.full
                width: column.width
                text: gallery.fullText
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 13
                font.weight: Font.DemiBold
                color: "#8A5A00"
            }
            Repeater {
                model: gallery.rows
                delegate: Column {
                    id: row

                    required property var modelData

                    width: column.width
                    spacing: 6

                    Text {
                        text: row.modelData.name
                        textFormat: Text.PlainText
                        font.pixelSize: 17
                        font.weight: Font.Bold
                        color: "#171717"
                    }
                    Text {
                        width: row.width
                        text: row.modelData.description
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        font.pixelSize: 13
                        color: "#4A4744"
                    }
                    Text {
                        text: row.modelData.sizesText
                        textFormat: Text.PlainText
                        font.pixelSize: 12
                        color: "#77736F"
                    }
                    Flow {
                        width: row.width
                        topPadding: 6
                        spacing: 16

                        Repeater {
                            model: row.modelData.sizes
                            delegate: Column {
                                id: size

                                required property var modelData

                                spacing: 8

                                WidgetFrame {
                                    width: size.modelData.width
                                    height: size.modelData.height
                                    viewSource: size.modelData.viewSource
                                    content: size.modelData.content
                                }
                                Row {
                                    spacing: 10

                                    Button {
                                        objectName: "add " + row.modelData.kind + " " + size.modelData.family
                                        text: gallery.addText
                                        enabled: !gallery.full
                                        onClicked: gallery.chosen(row.modelData.kind, size.modelData.family)
                                    }
                                    Text {
                                        anchors.verticalCenter: parent.verticalCenter
                                        text: size.modelData.label
                                        textFormat: Text.PlainText
                                        font.pixelSize: 12
                                        color: "#77736F"
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
