import QtQuick
import QtQuick.Layouts
import Corvanta

// A step: its text column on the left, taking what the hero leaves, and the hero on the right.
RowLayout {
    id: layout

    property alias hero: heroItem
    default property alias content: column.data

    spacing: 26

    ColumnLayout {
        id: column
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignTop
        spacing: 14
    }
    OnboardingHero {
        id: heroItem
        Layout.alignment: Qt.AlignVCenter
    }
}
