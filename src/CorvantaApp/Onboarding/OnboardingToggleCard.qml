import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// A card with a title, a subtitle and a switch; `toggled` reports each flip by the user.
OnboardingCard {
    id: card

    property string title
    property string subtitle
    property bool isOn
    signal toggled(bool on)

    background: Theme.cardBackground

    ColumnLayout {
        Layout.fillWidth: true
        spacing: 2
        Text {
            Layout.fillWidth: true
            text: card.title
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: 15
            font.bold: true
            color: Theme.textPrimary
        }
        OnboardingCardText {
            text: card.subtitle
        }
    }
    Item {
        Layout.preferredWidth: 8
    }
    Switch {
        objectName: "toggleCardSwitch"
        checked: card.isOn
        Accessible.name: card.title
        onToggled: {
            card.toggled(checked)
            // The switch shows the bound value again, whatever the receiver made of the flip.
            checked = Qt.binding(() => card.isOn)
        }
    }
}
