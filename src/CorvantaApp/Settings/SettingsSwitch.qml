import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// A small labelled switch showing `isOn`; `toggled` reports the user's flip, and the switch
// then shows `isOn` again, whatever the receiver made of it.
RowLayout {
    id: row

    property string label
    property bool isOn
    property alias switchEnabled: control.enabled
    signal toggled(bool on)

    Layout.fillWidth: true
    spacing: 8

    Text {
        Layout.fillWidth: true
        text: row.label
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        font.pixelSize: 12
        color: Theme.textPrimary
        opacity: control.enabled ? 1 : 0.5
    }
    Switch {
        id: control
        objectName: "switch"
        checked: row.isOn
        Accessible.name: row.label
        onToggled: {
            row.toggled(checked)
            checked = Qt.binding(() => row.isOn)
        }
    }
}
