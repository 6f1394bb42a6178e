import QtQuick
import QtQuick.Layouts
import Corvanta

Rectangle {
    Layout.fillWidth: true
    implicitHeight: 1
    color: Theme.cardBorder
}
