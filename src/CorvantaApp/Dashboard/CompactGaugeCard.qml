import QtQuick
import QtQuick.Shapes
import Corvanta

// A wide, low card with one live quantity on a half-circle gauge: title, gauge, divider and a
// trailing area the caller fills. While active, a dot sweeps the arc once per `sweepPeriod`;
// only the dot ticks every frame, and only while it is shown.
Rectangle {
    id: card

    property string title
    property color tint: Theme.surfaceViolet
    property color accent: Theme.accent
    property real fraction: 0
    property var enclosingFraction: undefined
    property string lowerBound: "0"
    property string upperBound: "100"
    property bool isActive: false
    property real sweepPeriod: Infinity
    // The caller's own items, shown in place (they read the caller's state directly).
    property Item trailing
    property Item value
    property bool reduceMotion: Platform.reduceMotion
    // The gauge's two sweep anchors, read by the tests.
    readonly property alias anchorDate: gauge.anchorDate
    readonly property alias anchorPhase: gauge.anchorPhase
    readonly property alias dotShown: gauge.dotShown
    readonly property alias frames: gauge.frames

    implicitWidth: 420
    implicitHeight: 116
    radius: 18
    color: tint
    border.width: 1
    border.color: Theme.cardBorder

    Row {
        id: row

        // Beside the title, the divider and the spacing: the gauge keeps at least its dial's
        // width, and the trailing column takes what the card has left up to 128, so nothing
        // spills out of a narrow card.
        readonly property real shared: width - 74 - 1 - 3 * spacing
        readonly property real trailingWidth: Math.max(72, Math.min(shared - 136, 128))

        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 12
        anchors.bottomMargin: 12
        spacing: 14

        Text {
            width: 74
            anchors.verticalCenter: parent.verticalCenter
            text: card.title
            textFormat: Text.PlainText
            font.pixelSize: 10
            font.bold: true
            font.letterSpacing: 1.6
            color: Theme.textSecondary
            elide: Text.ElideRight
        }
        Item {
            width: Math.max(136, row.shared - row.trailingWidth)
            height: row.height

            Column {
                id: gauge

                readonly property real dialWidth: 132
                readonly property real stroke: 11
                readonly property real dialHeight: dialWidth * 0.5 + stroke * 0.5
                readonly property real radius: dialWidth * 0.458
                property double anchorDate: DashboardLogic.now()
                property real anchorPhase: 0
                // The period the anchors were counted at (set once, not bound).
                property real lastPeriod: Infinity
                property real phase: 0
                property int frames: 0
                readonly property bool dotShown: DashboardLogic.sweepDotShown(card.isActive,
                                                                             card.reduceMotion,
                                                                             card.sweepPeriod)

                function phaseAt(date, period) {
                    return DashboardLogic.sweepPhase(anchorPhase, date - anchorDate, period)
                }

                Component.onCompleted: lastPeriod = card.sweepPeriod
                anchors.centerIn: parent
                spacing: 2
                opacity: card.isActive ? 1 : 0.55

                Behavior on opacity { NumberAnimation { duration: 400; easing.type: Easing.InOutQuad } }

                Connections {
                    target: card
                    // The sweep goes on from where the dot stood, at the new speed.
                    function onSweepPeriodChanged() {
                        const t = DashboardLogic.now()
                        gauge.anchorPhase = gauge.phaseAt(t, gauge.lastPeriod)
                        gauge.anchorDate = t
                        gauge.lastPeriod = card.sweepPeriod
                    }
                }

                FrameAnimation {
                    running: gauge.dotShown && card.visible && card.Window.window !== null
                             && card.Window.window.visible
                    onTriggered: {
                        gauge.phase = gauge.phaseAt(DashboardLogic.now(), card.sweepPeriod)
                        gauge.frames += 1
                    }
                }

                Item {
                    id: dial

                    width: gauge.dialWidth
                    height: gauge.dialHeight

                    Shape {
                        anchors.fill: parent

                        SemicircleArc {
                            strokeColor: DashboardLogic.faded(Theme.cardBorder, 0.55)
                        }
                        SemicircleArc {
                            strokeColor: card.enclosingFraction === undefined
                                         ? "transparent"
                                         : DashboardLogic.faded(Theme.textSecondary, 0.42)
                            to: card.enclosingFraction === undefined
                                ? 0.0001 : DashboardLogic.arcClamp(card.enclosingFraction)
                        }
                        SemicircleArc {
                            strokeColor: card.accent
                            to: DashboardLogic.arcClamp(card.fraction)
                        }
                    }
                    Rectangle {
                        objectName: "sweepDot"
                        readonly property real angle: (gauge.phase * 180 - 180) * Math.PI / 180
                        visible: gauge.dotShown
                        width: gauge.stroke - 1
                        height: width
                        radius: width / 2
                        color: "white"
                        border.width: 2
                        border.color: card.accent
                        x: gauge.dialWidth / 2 + Math.cos(angle) * (gauge.dialWidth - gauge.stroke) / 2
                           - width / 2
                        y: gauge.dialHeight - gauge.stroke / 4
                           + Math.sin(angle) * (gauge.dialWidth - gauge.stroke) / 2 - height / 2
                    }
                    Item {
                        id: valueSlot

                        anchors.horizontalCenter: parent.horizontalCenter
                        anchors.bottom: parent.bottom
                        anchors.bottomMargin: -4
                        width: card.value ? card.value.width : 0
                        height: card.value ? card.value.height : 0
                    }
                    Binding {
                        target: card.value
                        property: "parent"
                        value: valueSlot
                    }
                }
                Item {
                    width: gauge.dialWidth + 4
                    height: lower.implicitHeight
                    anchors.horizontalCenter: parent.horizontalCenter

                    Text {
                        id: lower
                        text: card.lowerBound
                        textFormat: Text.PlainText
                        font.pixelSize: 9
                        font.weight: Font.DemiBold
                        color: Theme.textSecondary
                    }
                    Text {
                        anchors.right: parent.right
                        text: card.upperBound
                        textFormat: Text.PlainText
                        font.pixelSize: 9
                        font.weight: Font.DemiBold
                        color: Theme.textSecondary
                    }
                }
            }
        }
        Rectangle {
            width: 1
            height: 56
            anchors.verticalCenter: parent.verticalCenter
            color: Theme.cardBorder
        }
        Item {
            id: trailingSlot

            objectName: "trailingSlot"
            width: row.trailingWidth
            height: card.trailing ? card.trailing.height : 0
            anchors.verticalCenter: parent.verticalCenter
        }
        Binding {
            target: card.trailing
            property: "parent"
            value: trailingSlot
        }
        Binding {
            target: card.trailing
            property: "width"
            value: trailingSlot.width
        }
    }
}
