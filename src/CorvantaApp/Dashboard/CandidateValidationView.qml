import QtQuick
import QtQuick.Layouts
import Corvanta

// The node's verdict on the block being hashed. The node's reasons are shown as plain text;
// only the validated line is styled, from three runs the view logic split, each escaped.
Rectangle {
    id: card

    property var validation: undefined
    readonly property var verdict: DashboardLogic.texts.candidate(validation)

    function escaped(text) {
        return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
    }

    implicitWidth: 600
    implicitHeight: row.implicitHeight + 28
    radius: 16
    color: Theme.surfaceSunny
    border.width: 1
    border.color: Theme.cardBorder

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        Item {
            Layout.alignment: Qt.AlignTop
            implicitWidth: card.verdict.kind === "rejected" || card.verdict.kind === "unavailable"
                           ? 18 : 44
            implicitHeight: implicitWidth
            BrandSticker {
                visible: card.verdict.kind === "none" || card.verdict.kind === "validated"
                asset: "shield"
                size: 44
            }
            SymbolIcon {
                visible: card.verdict.kind === "rejected" || card.verdict.kind === "unavailable"
                name: card.verdict.kind === "rejected" ? "exclamationmark.triangle.fill"
                                                       : "questionmark.circle.fill"
                size: 15
                color: card.verdict.kind === "rejected" ? Theme.dangerText : Theme.warningText
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            spacing: 3

            Text {
                text: qsTr("Bloc candidat")
                textFormat: Text.PlainText
                font.pixelSize: 12
                font.weight: Font.DemiBold
                color: Theme.textPrimary
            }
            Text {
                objectName: "candidateDetail"
                Layout.fillWidth: true
                visible: card.verdict.kind !== "validated"
                text: card.verdict.text !== undefined ? card.verdict.text : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 11
                color: card.verdict.kind === "rejected" ? Theme.dangerText
                     : card.verdict.kind === "unavailable" ? Theme.warningText
                     : Theme.textSecondary
            }
            Text {
                objectName: "candidateValidated"
                Layout.fillWidth: true
                visible: card.verdict.kind === "validated"
                textFormat: Text.StyledText
                wrapMode: Text.Wrap
                font.pixelSize: 11
                color: Theme.successText
                text: visible ? card.escaped(card.verdict.before)
                                + "<font color=\"" + Theme.accent + "\"><b>"
                                + card.escaped(card.verdict.count) + "</b></font>"
                                + card.escaped(card.verdict.after)
                              : ""
            }
        }
    }
}
