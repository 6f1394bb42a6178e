pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Corvanta

// Pause and the three power modes, with the captions that say why the machine is not mining the
// way the user asked. The applied mode is lit; the requested one, when lower, only outlined.
Column {
    id: picker

    property var session
    readonly property var state: session
        ? DashboardLogic.texts.picker(session.runState, session.powerMode, session.manuallyPaused,
                                      session.governorPaused, session.effectiveWorkerCount,
                                      session.isThrottledBelowRequestedMode)
        : ({ lit: "", pauseLit: false, pauseEnabled: false, throttle: "" })

    function choose(mode) {
        session.powerMode = mode
        session.setManuallyPaused(false)
        if (session.scheduleEnabled)
            session.suspendScheduleUntilMidnight()
    }

    spacing: 6

    Row {
        id: controls

        width: Math.min(320, picker.width > 0 ? picker.width : 320)
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 8

        AbstractButton {
            id: pauseButton

            objectName: "pauseButton"
            width: 42
            height: 34
            focusPolicy: Qt.NoFocus
            enabled: picker.state.pauseEnabled
            opacity: enabled ? 1 : 0.4
            ToolTip.visible: hovered
            ToolTip.text: picker.session && picker.session.manuallyPaused
                          ? qsTr("Reprendre le minage") : qsTr("Mettre le minage en pause")
            onClicked: picker.session.setManuallyPaused(!picker.session.manuallyPaused)

            background: Rectangle {
                radius: 10
                color: picker.state.pauseLit ? Theme.accent : "transparent"
                border.width: 1
                border.color: picker.state.pauseLit ? Theme.accent : Theme.cardBorder
            }
            contentItem: Item {
                SymbolIcon {
                    anchors.centerIn: parent
                    name: picker.session && picker.session.manuallyPaused ? "play.fill" : "pause.fill"
                    size: 14
                    color: picker.state.pauseLit ? "white" : Theme.textSecondary
                }
            }
        }
        Row {
            id: segments

            readonly property real segmentWidth: (controls.width - pauseButton.width
                                                  - controls.spacing - 2 * spacing) / 3
            spacing: 4

            Repeater {
                model: [
                    { mode: "eco", title: qsTr("Éco") },
                    { mode: "balanced", title: qsTr("Équilibré") },
                    { mode: "max", title: "Max" }
                ]
                delegate: AbstractButton {
                    id: segment

                    required property var modelData
                    readonly property bool lit: picker.state.lit === modelData.mode
                    readonly property bool requestedOnly: !lit && picker.session !== null
                                                          && picker.session.powerMode === modelData.mode

                    objectName: "segment_" + modelData.mode
                    width: segments.segmentWidth
                    height: 34
                    focusPolicy: Qt.NoFocus
                    ToolTip.visible: hovered
                    ToolTip.text: requestedOnly
                        ? qsTr("Régime demandé — la machine tient un régime plus bas en ce moment")
                        : modelData.title
                    onClicked: picker.choose(modelData.mode)

                    background: Rectangle {
                        radius: 10
                        color: segment.lit ? Theme.accent : "transparent"
                        border.width: segment.requestedOnly ? 2 : 1
                        border.color: segment.requestedOnly ? Theme.accent : Theme.cardBorder
                    }
                    contentItem: Text {
                        text: segment.modelData.title
                        textFormat: Text.PlainText
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        // A long name ("Ausgewogen") shrinks rather than being cut.
                        fontSizeMode: Text.HorizontalFit
                        minimumPixelSize: 9
                        elide: Text.ElideRight
                        font.pixelSize: 14
                        font.weight: segment.lit || segment.requestedOnly ? Font.Black : Font.Medium
                        color: segment.lit ? "white"
                                           : segment.requestedOnly ? Theme.accent : Theme.textPrimary
                    }
                }
            }
        }
    }
    Text {
        objectName: "throttleCaption"
        anchors.horizontalCenter: parent.horizontalCenter
        visible: text !== ""
        text: picker.state.throttle
        textFormat: Text.PlainText
        font.pixelSize: 10
        font.weight: Font.Medium
        color: Theme.warningText
    }
    Text {
        objectName: "scheduleCaption"
        readonly property bool driving: picker.session !== null && picker.session.scheduleIsDriving
        anchors.horizontalCenter: parent.horizontalCenter
        visible: picker.session !== null && picker.session.scheduleEnabled
        text: driving ? qsTr("Régime piloté par le planning")
                      : qsTr("Choix manuel — planning suspendu jusqu'à minuit")
        textFormat: Text.PlainText
        font.pixelSize: 10
        font.weight: Font.Medium
        color: driving ? Theme.textSecondary : Theme.warningText
    }
    Text {
        objectName: "pauseCaption"
        readonly property bool manual: picker.session !== null && picker.session.manuallyPaused
        anchors.horizontalCenter: parent.horizontalCenter
        visible: text !== ""
        text: picker.session !== null
              ? DashboardLogic.texts.pauseCaption(picker.session.manuallyPaused,
                                                  picker.session.governorPaused,
                                                  picker.session.governorPauseReason)
              : ""
        textFormat: Text.PlainText
        font.pixelSize: 11
        font.weight: Font.DemiBold
        color: manual ? Theme.accent : Theme.warningText
    }
}
