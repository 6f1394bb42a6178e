pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The CPU card: power mode, an optional worker-count override, the thermal state with what the
// miner does about it, battery and sleep switches. Every control acts on the session.
ColumnLayout {
    id: view

    required property var session
    readonly property int maxWorkers: SettingsViewRules.performanceCoreCount
    readonly property bool overridden: session.advancedWorkerCount !== undefined
                                       && session.advancedWorkerCount !== null
    readonly property string thermal: session.thermalState
    readonly property var segments: SettingsViewRules.texts.thermalSegments(thermal)

    // The same three effects as the dashboard's picker, in the same order.
    function choose(mode) {
        session.powerMode = mode
        session.setManuallyPaused(false)
        if (session.scheduleEnabled)
            session.suspendScheduleUntilMidnight()
    }
    function setOverride(on) {
        if (!on)
            session.advancedWorkerCount = undefined
        else if (!overridden)
            session.advancedWorkerCount = maxWorkers
    }

    spacing: 10

    SectionLabel {
        title: qsTr("Puissance")
    }
    RowLayout {
        spacing: 0
        Repeater {
            model: [{ mode: "eco", title: qsTr("Éco") }, { mode: "balanced", title: qsTr("Équilibré") },
                { mode: "max", title: "Max" }]
            delegate: Button {
                required property var modelData
                objectName: "mode_" + modelData.mode
                text: modelData.title
                checkable: true
                checked: view.session.powerMode === modelData.mode
                font.pixelSize: 11
                onClicked: {
                    view.choose(modelData.mode)
                    checked = Qt.binding(() => view.session.powerMode === modelData.mode)
                }
            }
        }
    }
    CheckBox {
        objectName: "overrideBox"
        text: qsTr("Réglage avancé du nombre de workers")
        font.pixelSize: 11
        checked: view.overridden
        onToggled: {
            view.setOverride(checked)
            checked = Qt.binding(() => view.overridden)
        }
    }
    RowLayout {
        visible: view.overridden
        spacing: 8
        SpinBox {
            objectName: "workerStepper"
            from: 1
            to: view.maxWorkers
            value: view.overridden ? view.session.advancedWorkerCount : view.maxWorkers
            editable: false
            onValueModified: view.session.advancedWorkerCount = value
        }
        SettingsText {
            Layout.fillWidth: false
            text: SettingsViewRules.texts.workerCount(view.overridden
                                                      ? view.session.advancedWorkerCount
                                                      : view.maxWorkers)
        }
    }
    SettingsDivider {}
    ColumnLayout {
        objectName: "thermalRow"
        Layout.fillWidth: true
        spacing: 6
        RowLayout {
            Layout.fillWidth: true
            SettingsText {
                text: qsTr("Température")
            }
            Text {
                objectName: "thermalTitle"
                text: SettingsViewRules.texts.thermalTitle(view.thermal)
                textFormat: Text.PlainText
                font.pixelSize: 11
                font.bold: true
                color: Theme[SettingsViewRules.thermalTitleColorRole(view.thermal)]
            }
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 3
            Repeater {
                model: view.segments
                delegate: Rectangle {
                    required property var modelData
                    Layout.fillWidth: true
                    implicitHeight: 6
                    radius: 3
                    color: Theme[modelData.colorRole]
                    Accessible.name: modelData.label
                }
            }
        }
        SettingsText {
            objectName: "thermalDetail"
            font.pixelSize: 10
            text: SettingsViewRules.texts.thermalDetail(view.thermal)
        }
    }
    SettingsDivider {}
    SettingsSwitch {
        objectName: "batterySwitch"
        label: qsTr("Miner sur batterie")
        isOn: view.session.allowMiningOnBattery
        onToggled: on => view.session.allowMiningOnBattery = on
    }
    SettingsSwitch {
        objectName: "sleepSwitch"
        label: qsTr("Empêcher la veille pendant le minage")
        isOn: view.session.preventIdleSleepEnabled
        onToggled: on => view.session.preventIdleSleepEnabled = on
    }
}
