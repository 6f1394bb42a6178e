import QtQuick
import QtQuick.Layouts
import Corvanta

// A bordered row: an optional symbol in a 26-point column, then the content.
Rectangle {
    id: card

    property string symbol
    property color symbolTint: Theme.accent
    property color background: Theme.cardBackground
    default property alias content: row.data

    Layout.fillWidth: true
    implicitHeight: row.implicitHeight + 28
    implicitWidth: row.implicitWidth + 28
    radius: 14
    color: background
    border.width: 1
    border.color: Theme.cardBorder

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 14
        spacing: 12

        Item {
            visible: card.symbol !== ""
            Layout.preferredWidth: 26
            Layout.preferredHeight: 19
            SymbolIcon {
                anchors.centerIn: parent
                name: card.symbol
                size: 19
                color: card.symbolTint
            }
        }
    }
}
