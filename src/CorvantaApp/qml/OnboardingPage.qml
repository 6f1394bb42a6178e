import QtQuick
import QtQuick.Controls
import Corvanta

// Stand-in for the first-run onboarding.
Rectangle {
    id: page

    property AppDelegate shell

    objectName: "onboardingPage"
    color: Theme.onboardingCream

    Column {
        anchors.centerIn: parent
        spacing: 16

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Corvanta"
            font.pixelSize: 28
            font.weight: Font.Black
            color: Theme.textPrimary
        }
        Button {
            objectName: "finishButton"
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Terminer")
            onClicked: page.shell.finishOnboarding()
        }
    }
}
