pragma ComponentBehavior: Bound
import QtQuick
import Corvanta

// The day schedule as five rows of 144 ten-minute slots, painted by pressing in a row and
// dragging along it: the row pressed fixes the mode, only the column follows the pointer.
Column {
    id: view

    property var schedule: []
    property int currentSlot: 0
    // The widest mode name decides, so that none is cut in any language.
    readonly property real labelWidth: Math.max(62, Math.ceil(labels.implicitWidth) + 6)
    property real rowHeight: 17
    property real rowSpacing: 3
    // The stroke in progress: its mode and the slot it began at ("" and -1 between strokes).
    property string paintingRow: ""
    property int paintingAnchor: -1
    readonly property real gridHeight: 5 * rowHeight + 4 * rowSpacing
    readonly property color ecoColour: "#8FDCC0"
    readonly property color offColour: Theme.dark ? Qt.rgba(0.28, 0.28, 0.28, 1) : "#D6D2CC"

    signal paint(string mode, int from, int through)

    spacing: 6

    Row {
        width: parent.width

        Column {
            id: labels

            objectName: "scheduleLabels"
            width: view.labelWidth
            spacing: view.rowSpacing

            Repeater {
                model: [
                    { text: "Smart", colour: Theme.mint },
                    { text: "Max", colour: Theme.pink },
                    { text: qsTr("Équilibré"), colour: Theme.violet },
                    { text: qsTr("Éco"), colour: view.ecoColour },
                    { text: qsTr("Arrêt"), colour: Theme.textSecondary }
                ]
                delegate: Text {
                    required property var modelData
                    height: view.rowHeight
                    verticalAlignment: Text.AlignVCenter
                    text: modelData.text
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.pixelSize: 11
                    font.weight: Font.Black
                    color: modelData.colour
                }
            }
        }
        ScheduleGridItem {
            id: grid

            objectName: "scheduleGrid"
            width: parent.width - view.labelWidth
            height: view.gridHeight
            schedule: view.schedule
            currentSlot: view.currentSlot
            rowHeight: view.rowHeight
            rowSpacing: view.rowSpacing
            smartColor: Theme.mint
            maxColor: Theme.pink
            balancedColor: Theme.violet
            ecoColor: view.ecoColour
            offColor: view.offColour
            emptyColor: DashboardLogic.faded(Theme.cardBorder, 0.55)
            hourColor: Theme.textSecondary
            markerColor: Theme.textPrimary

            MouseArea {
                id: strokes

                property real startX: 0
                property real startY: 0

                function stroke(x) {
                    const current = DashboardLogic.gridColumn(x, width)
                    if (view.paintingRow === "") {
                        view.paintingRow = DashboardLogic.gridRowMode(startY, view.rowHeight,
                                                                      view.rowSpacing)
                        view.paintingAnchor = DashboardLogic.gridColumn(startX, width)
                    }
                    view.paint(view.paintingRow, view.paintingAnchor, current)
                }

                anchors.fill: parent
                preventStealing: true
                onPressed: mouse => {
                    startX = mouse.x
                    startY = mouse.y
                    stroke(mouse.x)
                }
                onPositionChanged: mouse => stroke(mouse.x)
                onReleased: {
                    view.paintingRow = ""
                    view.paintingAnchor = -1
                }
                onCanceled: {
                    view.paintingRow = ""
                    view.paintingAnchor = -1
                }
            }
        }
    }
    Item {
        x: view.labelWidth
        width: grid.width
        height: 12

        Repeater {
            model: 12
            delegate: Text {
                required property int index
                x: DashboardLogic.hourLabelCentre(index * 2, parent.width) - width / 2
                anchors.verticalCenter: parent.verticalCenter
                text: (index * 2 < 10 ? "0" : "") + (index * 2) + "h"
                textFormat: Text.PlainText
                font.pixelSize: 9
                font.weight: Font.Medium
                font.family: "DejaVu Sans Mono"
                color: Theme.textSecondary
            }
        }
    }
}
