pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Corvanta

// The dashboard: header, gauges, power mode and schedule, pulse and gains, the node's verdict,
// the review prompt and the bottom bar, with the advanced panel and the block-found
// celebration over them. Every figure comes from the session; every action goes to it, to the
// preferences or out through the signals.
Rectangle {
    id: view

    property var session
    property bool showInMenuBar: true
    // A one-shot request to open the advanced panel when the dashboard comes on screen.
    property bool openAdvancedOnAppear: false
    property bool advancedPanelOpen: false
    // The section the panel is asked to open at; "" for none.
    property string advancedPanelSection: ""
    // The dashboard's one-second clock (seconds since 1970).
    property double now: DashboardLogic.now()
    readonly property bool onScreen: visible && Window.window !== null && Window.window.visible
    readonly property bool isDarkTheme: Prefs.appTheme === "dark"
    readonly property int runState: session ? session.runState : 0
    readonly property var cpu: DashboardLogic.texts.machine(session ? session.cpuUsage : undefined)
    readonly property bool showsReviewPrompt: DashboardLogic.showsReviewPrompt(
        advancedPanelOpen, session !== null && session.payoutNeedsAttention,
        Prefs.firstLaunchAt, Prefs.reviewPromptAnswered, now)
    readonly property var presentation: session ? session.blockFoundPresentation : undefined

    // How links leave the application; tests replace it.
    property var openLink: url => Platform.openUrl(url)
    // The celebration's own wait before it dismisses itself, in milliseconds.
    property int blockFoundWait: 30000

    signal enterMiniMode()
    signal openAdvancedConsumed()

    function openAdvancedPanel(section) {
        advancedPanelSection = section
        advancedPanelOpen = true
    }
    function closeAdvancedPanel() {
        advancedPanelOpen = false
        advancedPanelSection = ""
    }
    function consumeOpenRequest() {
        if (!openAdvancedOnAppear || !onScreen)
            return
        // The owner of the request clears it (the flag is bound to it).
        openAdvancedConsumed()
        advancedPanel.animate = false
        advancedPanelOpen = true
        advancedPanel.animate = true
    }
    function answerReview(yes) {
        Prefs.reviewPromptAnswered = true
        // A replaceable function value, called as one.
        const open = openLink
        open(yes ? DashboardLogic.reviewLink() : DashboardLogic.supportLink())
    }
    // Clears the celebration it was shown for, and no newer one.
    function dismissBlockFound(presentationId) {
        const current = session ? session.blockFoundPresentation : undefined
        if (current && String(current.id) === presentationId)
            session.blockFoundPresentation = undefined
    }

    objectName: "contentView"
    color: Theme.background
    implicitWidth: 900
    implicitHeight: 860

    // Later, not inside the change: consuming writes the flag back to its owner.
    // The clock ticks as the dashboard comes on screen, before its first frame: the counters
    // read while it was hidden are stale by as long as it was.
    onOnScreenChanged: {
        if (onScreen) now = DashboardLogic.now()
        consumeLater.restart()
    }
    onOpenAdvancedOnAppearChanged: consumeLater.restart()
    Component.onCompleted: consumeOpenRequest()

    Timer {
        id: consumeLater

        interval: 0
        onTriggered: view.consumeOpenRequest()
    }

    Timer {
        objectName: "secondClock"
        interval: 1000
        repeat: true
        running: view.onScreen
        onTriggered: view.now = DashboardLogic.now()
    }
    Connections {
        target: DashboardLogic
        function onFixedNowChanged() { view.now = DashboardLogic.now() }
    }

    ScrollView {
        id: scroll

        anchors.fill: parent
        contentWidth: availableWidth
        ScrollBar.vertical.policy: ScrollBar.AsNeeded

        ColumnLayout {
            id: column

            x: 28
            y: 16
            width: scroll.availableWidth - 56
            spacing: 12

            // Header.
            RowLayout {
                Layout.fillWidth: true
                spacing: 9

                Item {
                    readonly property url wordmark: BrandImages.source("wordmark")
                    implicitWidth: String(wordmark) !== ""
                                   ? wordmarkImage.implicitWidth * 68 / Math.max(wordmarkImage.implicitHeight, 1)
                                   : wordmarkText.implicitWidth
                    implicitHeight: String(wordmark) !== "" ? 68 : wordmarkText.implicitHeight
                    Image {
                        id: wordmarkImage
                        anchors.fill: parent
                        visible: String(parent.wordmark) !== ""
                        source: parent.wordmark
                        fillMode: Image.PreserveAspectFit
                        smooth: true
                        mipmap: true
                        Accessible.name: "Corvanta"
                    }
                    Text {
                        id: wordmarkText
                        visible: !wordmarkImage.visible
                        text: "Corvanta"
                        font.pixelSize: 15
                        font.weight: Font.Black
                        color: Theme.textPrimary
                    }
                }
                Item { Layout.fillWidth: true }
                // One slot for the two badges: the row lays out the slot, whose size follows
                // the badge shown, rather than two siblings that swap visibility (Qt 6.4's row
                // then leaves a badge that appears where a hidden item sat).
                Item {
                    id: badgeSlot
                    readonly property bool alert: view.session !== null
                                                  && view.session.payoutNeedsAttention
                    implicitWidth: alert ? payoutBadge.implicitWidth : networkBadge.implicitWidth
                    implicitHeight: alert ? payoutBadge.implicitHeight : networkBadge.implicitHeight
                    PayoutAlertBadgeView {
                        id: payoutBadge
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        visible: badgeSlot.alert
                        onClicked: view.openAdvancedPanel("wallet")
                    }
                    NetworkBadgeView {
                        id: networkBadge
                        objectName: "networkBadge"
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        visible: !badgeSlot.alert
                        network: {
                            if (!view.session)
                                return "mainnet"
                            const active = view.session.activeNetwork
                            return active !== undefined && active !== null && active !== ""
                                   ? active : view.session.selectedNetwork
                        }
                    }
                }
                HeaderButton {
                    objectName: "replayButton"
                    symbol: "arrow.trianglehead.counterclockwise"
                    tip: qsTr("Revoir l'écran de bienvenue")
                    onClicked: Prefs.onboardingCompleted = false
                }
                HeaderButton {
                    objectName: "helpButton"
                    symbol: "questionmark.circle"
                    tip: qsTr("Aide")
                }
                HeaderButton {
                    objectName: "compactButton"
                    symbol: "arrow.down.right.and.arrow.up.left"
                    tip: qsTr("Vue compacte")
                    onClicked: view.enterMiniMode()
                }
                HeaderButton {
                    objectName: "themeButton"
                    symbol: view.isDarkTheme ? "sun.max.fill" : "moon.fill"
                    tint: view.isDarkTheme ? Theme.accent : Theme.textSecondary
                    tip: view.isDarkTheme ? qsTr("Passer en clair") : qsTr("Passer en sombre")
                    onClicked: Prefs.appTheme = DashboardLogic.toggledTheme(Prefs.appTheme)
                }
            }

            // A found block could not be written: said where the user looks, until there is room.
            Rectangle {
                objectName: "diskFullAlert"
                visible: view.session !== null && view.session.diskFullAlert !== ""
                Layout.fillWidth: true
                implicitHeight: diskFullText.implicitHeight + 16
                radius: 10
                color: "transparent"
                border.color: Theme.danger
                border.width: 1
                Text {
                    id: diskFullText
                    objectName: "diskFullText"
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.margins: 10
                    text: view.session ? view.session.diskFullAlert : ""
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                    color: Theme.dangerText
                }
            }

            // Gauges.
            RowLayout {
                Layout.fillWidth: true
                spacing: 16

                SyncProgressCard {
                    objectName: "syncCard"
                    visible: view.runState === 2
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    blocks: view.session ? view.session.syncBlocks : 0
                    headers: view.session ? view.session.syncHeaders : 0
                    percent: view.session ? view.session.syncPercent : 0
                    lacksPeers: view.session !== null
                                && DashboardLogic.lacksPeers(view.session.noPeersSince, view.now)
                }
                CompactGaugeCard {
                    id: hashrateCard

                    readonly property real rate: view.session ? view.session.currentHashRateMHs : 0

                    objectName: "hashrateCard"
                    visible: view.runState !== 2
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    title: qsTr("HASHRATE")
                    tint: Theme.surfaceViolet
                    accent: Theme.accent
                    fraction: DashboardLogic.hashRateFraction(rate)
                    lowerBound: "0"
                    upperBound: "320"
                    isActive: view.runState === 3
                    sweepPeriod: DashboardLogic.sweepPeriod(rate)
                    trailing: Column {
                        spacing: 3
                        SymbolIcon { name: "hammer"; size: 15; color: Theme.textSecondary }
                        Row {
                            spacing: 5
                            width: parent.width
                            Rectangle {
                                y: 5
                                width: 7
                                height: 7
                                radius: 3.5
                                color: view.runState !== 3 ? Theme.textSecondary
                                       : view.session && view.session.isHashing ? Theme.successText
                                       : Theme.warningText
                            }
                            Text {
                                id: statusLabel
                                objectName: "statusLabel"
                                width: parent.width - 12
                                text: view.session
                                      ? DashboardLogic.texts.statusLine(view.runState,
                                                                        view.session.failureMessage,
                                                                        view.session.manuallyPaused,
                                                                        view.session.governorPaused,
                                                                        view.session.governorPauseReason)
                                      : DashboardLogic.texts.statusLabel(view.runState, "")
                                textFormat: Text.PlainText
                                wrapMode: Text.Wrap
                                maximumLineCount: 2
                                elide: Text.ElideRight
                                // A word wider than a narrow column ("programación") makes the
                                // line a little smaller rather than being split or cut.
                                font.pixelSize: longestWord.advanceWidth > width
                                                ? Math.max(9, Math.floor(12 * (width - 4) / longestWord.advanceWidth))
                                                : 12
                                font.bold: true
                                color: Theme.textPrimary

                                TextMetrics {
                                    id: longestWord
                                    font.pixelSize: 12
                                    font.bold: true
                                    text: statusLabel.text.split(" ").reduce(
                                              (longest, word) => word.length > longest.length ? word : longest, "")
                                }
                                TruncatedTextTip {
                                    objectName: "statusTip"
                                    label: statusLabel
                                }
                            }
                        }
                        Text {
                            objectName: "uptimeLine"
                            readonly property var started: view.session ? view.session.miningStartedAt : undefined
                            width: parent.width
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 8
                            visible: started !== undefined && started !== null
                            text: visible ? DashboardLogic.texts.uptimeLine(started, view.now) : ""
                            textFormat: Text.PlainText
                            font.pixelSize: 11
                            font.weight: Font.Medium
                            font.family: "DejaVu Sans Mono"
                            color: Theme.textSecondary
                        }
                    }
                    value: Column {
                        spacing: -1
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            width: Math.min(implicitWidth, 108)
                            text: DashboardLogic.fixed(hashrateCard.rate, 2)
                            textFormat: Text.PlainText
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 12
                            font.pixelSize: 24
                            font.weight: Font.Black
                            font.family: "DejaVu Sans Mono"
                            color: Theme.textPrimary
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "MH/s"
                            font.pixelSize: 12
                            font.bold: true
                            color: Theme.accent
                        }
                    }
                }
                CompactGaugeCard {
                    objectName: "machineCard"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    title: qsTr("MACHINE")
                    tint: Theme.surfacePink
                    accent: Theme.gaugeMachine
                    fraction: view.cpu.fraction
                    enclosingFraction: view.cpu.enclosing
                    lowerBound: "0"
                    upperBound: "100"
                    isActive: view.cpu.sampled
                    sweepPeriod: Infinity
                    trailing: Column {
                        spacing: 3
                        SymbolIcon { name: "cpu"; size: 15; color: Theme.textSecondary }
                        Text {
                            width: parent.width
                            wrapMode: Text.Wrap
                            maximumLineCount: 2
                            visible: !view.cpu.sampled
                            text: qsTr("mesure en cours…")
                            textFormat: Text.PlainText
                            font.pixelSize: 11
                            font.weight: Font.Medium
                            color: Theme.textSecondary
                        }
                        Text {
                            width: parent.width
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 8
                            visible: view.cpu.sampled
                            text: view.cpu.busy
                            textFormat: Text.PlainText
                            font.pixelSize: 12
                            font.bold: true
                            font.family: "DejaVu Sans Mono"
                            color: Theme.textPrimary
                        }
                        Text {
                            width: parent.width
                            fontSizeMode: Text.HorizontalFit
                            minimumPixelSize: 8
                            visible: view.cpu.sampled
                            text: view.cpu.free
                            textFormat: Text.PlainText
                            font.pixelSize: 11
                            font.weight: Font.Medium
                            font.family: "DejaVu Sans Mono"
                            color: Theme.textSecondary
                        }
                    }
                    value: Text {
                        text: view.cpu.value
                        textFormat: Text.PlainText
                        font.pixelSize: 24
                        font.weight: Font.Black
                        font.family: "DejaVu Sans Mono"
                        color: Theme.textPrimary
                    }
                }
            }

            // Power mode and the schedule switch.
            Rectangle {
                Layout.fillWidth: true
                implicitHeight: powerRow.implicitHeight + 32
                radius: 18
                color: Theme.cardBackground
                border.width: 1
                border.color: Theme.cardBorder

                RowLayout {
                    id: powerRow
                    anchors.fill: parent
                    anchors.margins: 16
                    spacing: 12
                    PowerModePickerView {
                        objectName: "powerModePicker"
                        Layout.preferredWidth: 320
                        session: view.session
                    }
                    Item { Layout.fillWidth: true; Layout.minimumWidth: 8 }
                    Switch {
                        objectName: "scheduleToggle"
                        focusPolicy: Qt.NoFocus
                        checked: view.session !== null && view.session.scheduleEnabled
                        text: qsTr("Planifier le mode sur la journée")
                        font.pixelSize: 11
                        font.weight: Font.Medium
                        palette.windowText: Theme.textSecondary
                        onToggled: {
                            const wanted = checked
                            // The session decides; the switch shows what it holds.
                            checked = Qt.binding(() => view.session !== null && view.session.scheduleEnabled)
                            view.session.setScheduleEnabled(wanted)
                        }
                    }
                }
            }

            // The schedule panel.
            ColumnLayout {
                objectName: "schedulePanel"
                Layout.fillWidth: true
                spacing: 8
                visible: view.session !== null && view.session.scheduleEnabled

                ScheduleGridView {
                    objectName: "scheduleGridView"
                    Layout.fillWidth: true
                    schedule: view.session ? view.session.schedule : []
                    currentSlot: view.session ? view.session.currentScheduleSlot : 0
                    rowHeight: 17
                    rowSpacing: 3
                    onPaint: (mode, from, through) => view.session.setScheduleMode(mode, from, through)
                }
                RowLayout {
                    Layout.alignment: Qt.AlignHCenter
                    spacing: 8
                    Text {
                        text: qsTr("Une case = 10 minutes. Cliquez, ou glissez pour peindre une plage.")
                        textFormat: Text.PlainText
                        font.pixelSize: 9
                        color: Theme.textSecondary
                    }
                    AbstractButton {
                        objectName: "resumeScheduleButton"
                        visible: view.session !== null && !view.session.scheduleIsDriving
                        focusPolicy: Qt.NoFocus
                        onClicked: view.session.resumeSchedule()
                        contentItem: Text {
                            text: qsTr("Reprendre le planning")
                            textFormat: Text.PlainText
                            font.pixelSize: 9
                            font.weight: Font.DemiBold
                            color: Theme.accent
                        }
                    }
                }
            }

            // Pulse and gains.
            RowLayout {
                Layout.fillWidth: true
                spacing: 16

                NetworkPulseView {
                    objectName: "networkPulse"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.fillHeight: true
                    lastBlockTimestamp: view.session ? view.session.confirmedNetworkTipTimestamp : undefined
                    draws: DashboardLogic.texts.draws(view.session ? view.session.sessionStartHeight : undefined,
                                                      view.session ? view.session.freshChainStatus : undefined)
                    now: view.now
                }
                Rectangle {
                    objectName: "gainsCard"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    Layout.alignment: Qt.AlignTop
                    implicitHeight: gainsRow.implicitHeight + 32
                    radius: 18
                    color: Theme.surfaceMint
                    border.width: 1
                    border.color: Theme.cardBorder

                    RowLayout {
                        id: gainsRow
                        anchors.fill: parent
                        anchors.margins: 16
                        spacing: 10
                        ColumnLayout {
                            Layout.alignment: Qt.AlignTop
                            Layout.fillWidth: true
                            spacing: 6
                            RowLayout {
                                spacing: 6
                                BrandSticker { asset: "bitcoin"; size: 32 }
                                SectionLabel { title: qsTr("Gains") }
                            }
                            Text {
                                objectName: "gainsAmount"
                                Layout.fillWidth: true
                                text: view.session
                                      ? DashboardLogic.texts.gainsAmount(view.session.earnings,
                                                                         view.session.scanCoversConfiguredAddress,
                                                                         view.session.persistedHistoryTotalSats)
                                      : "0.00 BTC"
                                textFormat: Text.PlainText
                                fontSizeMode: Text.HorizontalFit
                                minimumPixelSize: 17
                                font.pixelSize: 28
                                font.bold: true
                                color: Theme.successText
                            }
                            Text {
                                objectName: "blocksFoundSubtitle"
                                text: DashboardLogic.texts.blocksFoundSubtitle(view.session ? view.session.persistedHistoryCount : 0)
                                textFormat: Text.PlainText
                                font.pixelSize: 11
                                color: Theme.textSecondary
                            }
                        }
                        Item { Layout.minimumWidth: 12; Layout.fillWidth: true }
                        BrandSticker { Layout.alignment: Qt.AlignTop; asset: "gift"; size: 74 }
                    }
                }
            }

            CandidateValidationView {
                objectName: "candidateCard"
                Layout.fillWidth: true
                validation: view.session ? view.session.currentCandidateValidation : undefined
            }

            ReviewPromptView {
                objectName: "reviewPrompt"
                Layout.fillWidth: true
                visible: opacity > 0
                opacity: view.showsReviewPrompt ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 200 } }
                onAnswer: yes => view.answerReview(yes)
                onDismiss: Prefs.reviewPromptAnswered = true
            }

            // Bottom bar.
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 2
                Layout.bottomMargin: 16
                spacing: 8

                AbstractButton {
                    objectName: "advancedButton"
                    focusPolicy: Qt.NoFocus
                    leftPadding: 11
                    rightPadding: 11
                    topPadding: 7
                    bottomPadding: 7
                    onClicked: view.advancedPanelOpen = !view.advancedPanelOpen
                    background: Rectangle {
                        radius: 10
                        color: "transparent"
                        border.width: view.advancedPanelOpen ? 2 : 1
                        border.color: DashboardLogic.faded(Theme.accent, view.advancedPanelOpen ? 0.9 : 0.35)
                    }
                    contentItem: Row {
                        spacing: 5
                        SymbolIcon {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "sidebar.right"
                            size: 17
                            color: Theme.accent
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: qsTr("Avancé")
                            textFormat: Text.PlainText
                            font.pixelSize: 11
                            font.weight: Font.DemiBold
                            color: Theme.accent
                        }
                    }
                }
                Item { Layout.fillWidth: true; Layout.minimumWidth: 8 }
                Text {
                    objectName: "lastUpdateLabel"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    text: DashboardLogic.texts.lastUpdateLabel(view.session ? view.session.chainStatusUpdatedAt : undefined,
                                                               view.now)
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: 11
                    color: Theme.textSecondary
                }
            }
        }
    }

    // The advanced panel, over the right-hand side. It is built when it is asked for and gone
    // once it has slid out, so its cards start closed and it reads the section to open once.
    Item {
        id: advancedPanel

        property bool animate: true
        // 0 off screen, 1 fully in; only this moves, so a resize never slides the panel.
        property real slide: view.advancedPanelOpen ? 1 : 0

        objectName: "settingsPanel"
        width: 380
        height: view.height
        // The shadow reaches 24 to the left: off screen means past it too.
        x: view.width + 24 - (width + 24) * slide
        visible: view.advancedPanelOpen || slide > 0
        Behavior on slide {
            enabled: advancedPanel.animate
            NumberAnimation { duration: 220; easing.type: Easing.OutQuad }
        }

        SoftShadow {
            z: -1
            x: -6
            width: parent.width
            height: parent.height
            cornerRadius: 0
            spread: 18
            strength: 0.18
        }
        // At most one panel, made while shown. A repeater rather than a loader: Qt 6.4's Loader
        // refuses components bound to this file's ids.
        Repeater {
            model: advancedPanel.visible && view.session !== null ? 1 : 0
            delegate: AdvancedPanel {
                anchors.fill: parent
                session: view.session
                initialSection: view.advancedPanelSection
                onClose: view.closeAdvancedPanel()
            }
        }
    }

    // The celebration, only while the dashboard is on screen. It comes in and leaves with a
    // fade and a scale from 0.96, eased out over 0.2 s; leaving, it shows the block it was shown
    // for. A dashboard that leaves the screen drops it at once: nobody sees it go.
    Item {
        id: celebrationLayer

        readonly property bool shown: view.presentation !== undefined && view.presentation !== null
                                      && view.onScreen
        property var lastPresentation
        // 1 while a card is up: from its showing until it has faded out. A showing that begins
        // while the last card leaves gets a card of its own, with its own wait.
        property int cards: 0
        readonly property bool animated: !Platform.reduceMotion
        // The motion its coming and going runs, for whoever checks it.
        readonly property alias motion: celebrationMotion

        objectName: "blockFoundLayer"
        anchors.fill: parent
        visible: opacity > 0
        opacity: shown ? 1 : 0
        scale: shown ? 1 : 0.96
        Component.onCompleted: {
            lastPresentation = view.presentation
            cards = shown ? 1 : 0
        }
        onShownChanged: {
            if (shown) {
                lastPresentation = view.presentation
                cards = 0
                cards = 1
            } else if (!view.onScreen) {
                cards = 0
            }
        }
        onVisibleChanged: {
            if (!visible && !shown)
                cards = 0
        }
        Behavior on opacity {
            enabled: celebrationLayer.animated
            NumberAnimation { id: celebrationMotion; duration: 200; easing.type: Easing.OutQuad }
        }
        Behavior on scale {
            enabled: celebrationLayer.animated
            NumberAnimation { duration: 200; easing.type: Easing.OutQuad }
        }

        Connections {
            target: view
            // A newer block replaces the one shown.
            function onPresentationChanged() {
                if (celebrationLayer.shown)
                    celebrationLayer.lastPresentation = view.presentation
            }
        }
        // A repeater rather than a loader: Qt 6.4's Loader refuses components bound to this
        // file's ids.
        Repeater {
            id: celebration

            objectName: "blockFoundOverlay"
            model: celebrationLayer.cards
            delegate: Item {
                anchors.fill: parent
                // The backdrop takes the pointer: only the card's own dismissal ends it.
                OverlaySurface {
                    anchors.fill: parent
                    color: Qt.rgba(0, 0, 0, 0.35)
                }
                BlockFoundView {
                    objectName: "blockFoundView"
                    anchors.fill: parent
                    presentation: celebrationLayer.lastPresentation
                    dismissAfter: view.blockFoundWait
                    onDismiss: id => view.dismissBlockFound(id)
                }
            }
        }
    }
}
