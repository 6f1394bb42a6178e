import QtQuick
import QtQuick.Controls
import Corvanta

// One of the header's round icon buttons: a symbol with a tooltip, never focused.
AbstractButton {
    id: button

    property string symbol
    property color tint: Theme.textSecondary
    property string tip

    implicitWidth: 26
    implicitHeight: 26
    text: tip
    focusPolicy: Qt.NoFocus
    ToolTip.visible: hovered
    ToolTip.text: tip
    Accessible.name: tip

    contentItem: Item {
        SymbolIcon {
            anchors.centerIn: parent
            name: button.symbol
            size: 13
            color: button.tint
        }
    }
    background: Item {}
}
