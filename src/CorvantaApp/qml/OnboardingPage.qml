import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// Stand-in for the first-run onboarding.
Rectangle {
    id: page

    property AppDelegate shell

    objectName: "onboardingPage"
    color: Theme.onboardingCream

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 16

        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "Corvanta"
            font.pixelSize: 28
            font.weight: Font.Black
            color: Theme.textPrimary
        }
        Button {
            objectName: "finishButton"
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("Terminer")
            onClicked: page.shell.finishOnboarding()
        }
    }
}
