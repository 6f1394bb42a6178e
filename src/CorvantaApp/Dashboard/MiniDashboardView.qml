pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Layouts
import Corvanta

// The compact dashboard of mini mode (380 × 377): header, three tiles, the network pulse, the
// regime chips and a status footer. It acts only through its signals and the theme preference.
Rectangle {
    id: view

    property var session
    property double now: DashboardLogic.now()
    readonly property bool onScreen: visible && Window.window !== null && Window.window.visible
    readonly property bool isDarkTheme: Prefs.appTheme === "dark"
    readonly property bool syncing: session !== null && session.runState === 2
    readonly property var status: session
        ? DashboardLogic.texts.miniStatus(session.runState, session.isHashing, session.syncBlocks,
                                          session.syncHeaders, session.syncPercent,
                                          session.failureMessage, session.manuallyPaused,
                                          session.governorPaused, session.governorPauseReason)
        : DashboardLogic.texts.miniStatus(0, false, 0, 0, 0, "")
    readonly property var pulse: DashboardLogic.texts.pulse(
        session ? session.confirmedNetworkTipTimestamp : undefined, now)

    signal leaveMiniMode()
    signal toggleFloating()
    signal openSettings()

    objectName: "miniDashboardView"
    // The clock ticks as the view comes on screen, before its first frame.
    onOnScreenChanged: if (onScreen) now = DashboardLogic.now()
    implicitWidth: 380
    implicitHeight: 377
    color: Theme.background

    Timer {
        interval: 1000
        repeat: true
        running: view.onScreen
        onTriggered: view.now = DashboardLogic.now()
    }
    Connections {
        target: DashboardLogic
        function onFixedNowChanged() { view.now = DashboardLogic.now() }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        anchors.topMargin: 2
        anchors.bottomMargin: 10
        spacing: 9

        RowLayout {
            Layout.fillWidth: true
            spacing: 2
            Item {
                readonly property url wordmark: BrandImages.source("wordmark")
                implicitWidth: String(wordmark) !== ""
                               ? mark.implicitWidth * 38 / Math.max(mark.implicitHeight, 1)
                               : markText.implicitWidth
                implicitHeight: String(wordmark) !== "" ? 38 : markText.implicitHeight
                Image {
                    id: mark
                    anchors.fill: parent
                    visible: String(parent.wordmark) !== ""
                    source: parent.wordmark
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    mipmap: true
                    Accessible.name: "Corvanta"
                }
                Text {
                    id: markText
                    visible: !mark.visible
                    text: "Corvanta"
                    font.pixelSize: 13
                    font.weight: Font.Black
                    color: Theme.textPrimary
                }
            }
            Item { Layout.fillWidth: true }
            HeaderButton {
                objectName: "leaveButton"
                implicitWidth: 24
                implicitHeight: 24
                symbol: "arrow.up.left.and.arrow.down.right"
                tip: qsTr("Vue complète")
                onClicked: view.leaveMiniMode()
            }
            HeaderButton {
                objectName: "pinButton"
                implicitWidth: 24
                implicitHeight: 24
                symbol: Prefs.miniFloatsAboveOthers ? "pin.slash" : "pin.fill"
                tint: Prefs.miniFloatsAboveOthers ? Theme.accent : Theme.textSecondary
                tip: Prefs.miniFloatsAboveOthers ? qsTr("Laisser passer les autres fenêtres devant")
                                                 : qsTr("Garder au-dessus des autres fenêtres")
                onClicked: view.toggleFloating()
            }
            HeaderButton {
                objectName: "themeButton"
                implicitWidth: 24
                implicitHeight: 24
                symbol: view.isDarkTheme ? "sun.max.fill" : "moon.fill"
                tint: view.isDarkTheme ? Theme.accent : Theme.textSecondary
                tip: view.isDarkTheme ? qsTr("Passer en clair") : qsTr("Passer en sombre")
                onClicked: Prefs.appTheme = DashboardLogic.toggledTheme(Prefs.appTheme)
            }
            HeaderButton {
                objectName: "settingsButton"
                implicitWidth: 24
                implicitHeight: 24
                symbol: "gearshape"
                tip: qsTr("Réglages")
                onClicked: view.openSettings()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            MiniStatTile {
                objectName: "rateTile"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                tint: Theme.surfaceViolet
                accent: Theme.accent
                symbol: view.syncing ? "arrow.down.circle.fill" : "gauge.with.dots.needle.50percent"
                value: view.syncing ? DashboardLogic.fixed(view.session.syncPercent, 1) + " %"
                                    : DashboardLogic.fixed(view.session ? view.session.currentHashRateMHs : 0, 1)
                unit: view.syncing ? qsTr("Synchronisation") : "MH/s"
                caption: view.syncing ? qsTr("Le minage suivra") : qsTr("Débit de hachage")
            }
            MiniStatTile {
                objectName: "machineTile"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                tint: Theme.surfacePink
                accent: Theme.gaugeMachine
                symbol: "cpu"
                value: DashboardLogic.texts.miniMachineValue(view.session ? view.session.cpuUsage : undefined)
                unit: DashboardLogic.capitalized(qsTr("MACHINE"))
                caption: qsTr("Occupation")
            }
            MiniStatTile {
                objectName: "gainsTile"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                tint: Theme.surfaceMint
                accent: Theme.successText
                sticker: "bitcoin"
                value: view.session
                       ? DashboardLogic.texts.miniGainsValue(view.session.earnings,
                                                             view.session.scanCoversConfiguredAddress,
                                                             view.session.persistedHistoryTotalSats)
                       : "0.00"
                unit: "BTC"
                caption: qsTr("Gains")
            }
        }

        Rectangle {
            objectName: "miniPulse"
            Layout.fillWidth: true
            implicitHeight: pulseColumn.implicitHeight + 24
            radius: 16
            color: Theme.trackViolet
            border.width: 1
            border.color: Theme.cardBorder
            BrandSticker {
                anchors.top: parent.top
                anchors.right: parent.right
                anchors.margins: 12
                asset: "sparkle"
                size: 20
            }
            ColumnLayout {
                id: pulseColumn
                anchors.fill: parent
                anchors.margins: 12
                spacing: 6
                SectionLabel { title: qsTr("Pouls du réseau") }
                Row {
                    spacing: 8
                    Text {
                        id: miniElapsed
                        objectName: "miniElapsed"
                        text: view.pulse.elapsed
                        textFormat: Text.PlainText
                        font.pixelSize: 26
                        font.bold: true
                        font.family: "DejaVu Sans Mono"
                        color: Theme.textPrimary
                    }
                    Text {
                        anchors.baseline: miniElapsed.baseline
                        text: view.pulse.waiting ? qsTr("en attente du sommet réseau")
                                                 : qsTr("depuis le dernier bloc réseau")
                        textFormat: Text.PlainText
                        font.pixelSize: 10
                        color: Theme.textSecondary
                    }
                }
                Item {
                    id: miniBar
                    readonly property real barWidth: Math.max(width, 1)
                    Layout.fillWidth: true
                    implicitHeight: 7
                    Rectangle {
                        width: miniBar.barWidth
                        height: parent.height
                        radius: 3.5
                        color: Theme.cardBorder
                    }
                    Rectangle {
                        width: miniBar.barWidth * view.pulse.bar
                        height: parent.height
                        radius: 3.5
                        color: Theme.accentDim
                    }
                }
            }
        }

        Rectangle {
            objectName: "regimeRow"
            Layout.fillWidth: true
            implicitHeight: chips.implicitHeight + 16
            radius: 14
            color: Theme.cardBackground
            border.width: 1
            border.color: Theme.cardBorder
            RowLayout {
                id: chips
                anchors.fill: parent
                anchors.topMargin: 8
                anchors.bottomMargin: 8
                spacing: 0
                Repeater {
                    model: [
                        { symbol: "bolt.fill", tint: Theme.accent, name: "modeChip" },
                        { symbol: "clock", tint: Theme.textSecondary, name: "uptimeChip" },
                        { symbol: "person.2.fill", tint: Theme.successText, name: "workersChip" }
                    ]
                    delegate: RowLayout {
                        id: chipSlot

                        required property var modelData
                        required property int index
                        Layout.fillWidth: true
                        spacing: 0
                        Rectangle {
                            visible: chipSlot.index > 0
                            implicitWidth: 1
                            implicitHeight: 16
                            color: Theme.cardBorder
                        }
                        Item {
                            Layout.fillWidth: true
                            implicitHeight: chip.implicitHeight
                            Row {
                                id: chip
                                anchors.centerIn: parent
                                spacing: 5
                                SymbolIcon {
                                    anchors.verticalCenter: parent.verticalCenter
                                    name: chipSlot.modelData.symbol
                                    size: 11
                                    color: chipSlot.modelData.tint
                                }
                                Text {
                                    objectName: chipSlot.modelData.name
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: {
                                        const s = view.session
                                        if (chipSlot.modelData.name === "modeChip")
                                            return DashboardLogic.texts.miniModeLabel(s ? s.effectiveWorkerCount : undefined,
                                                                                      s ? s.powerMode : "balanced")
                                        if (chipSlot.modelData.name === "uptimeChip")
                                            return DashboardLogic.texts.miniUptimeLabel(s ? s.miningStartedAt : undefined,
                                                                                        view.now)
                                        return DashboardLogic.texts.miniWorkersLabel(s ? s.effectiveWorkerCount : undefined)
                                    }
                                    textFormat: Text.PlainText
                                    font.pixelSize: 11
                                    font.weight: Font.DemiBold
                                    color: chipSlot.modelData.tint
                                }
                            }
                        }
                    }
                }
            }
        }

        RowLayout {
            id: footer
            objectName: "miniFooter"
            Layout.fillWidth: true
            spacing: 7
            Rectangle {
                objectName: "statusDot"
                implicitWidth: 8
                implicitHeight: 8
                radius: 4
                color: Theme[view.status.colour]
            }
            // The status takes all the room it needs up to the whole row; the last-update text
            // has what is left and gives way first.
            Text {
                id: miniStatus
                objectName: "miniStatus"
                Layout.preferredWidth: Math.min(implicitWidth, Math.max(0, footer.width - 8 - 6
                                                                         - 3 * footer.spacing))
                text: view.status.label
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.pixelSize: 10
                font.weight: Font.Medium
                color: Theme.textPrimary

                TruncatedTextTip {
                    objectName: "miniStatusTip"
                    label: miniStatus
                }
            }
            Item { Layout.preferredWidth: 6 }
            Text {
                objectName: "miniLastUpdate"
                Layout.fillWidth: true
                Layout.preferredWidth: 0
                clip: true
                horizontalAlignment: Text.AlignRight
                text: DashboardLogic.texts.lastUpdateLabel(view.session ? view.session.chainStatusUpdatedAt : undefined,
                                                           view.now)
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.pixelSize: 10
                color: Theme.textSecondary
            }
        }
        Item { Layout.fillHeight: true }
    }
}
