import QtQuick
import QtTest
import Corvanta
import "../fake"

TestCase {
    id: testCase

    name: "MiniDashboard"
    when: windowShown
    width: 380
    height: 377
    visible: true

    Component {
        id: sessionComponent
        FakeSessionModel {}
    }
    Component {
        id: viewComponent
        MiniDashboardView {
            width: 380
            height: 377
        }
    }

    property var session
    property var view

    function init() {
        failOnWarning(/.?/)
        language.set("fr")
        DashboardLogic.fixedNow = 1700000000
        DashboardLogic.performanceCores = 12
        Prefs.appTheme = "light"
        Prefs.miniFloatsAboveOthers = true
        session = createTemporaryObject(sessionComponent, testCase)
        view = createTemporaryObject(viewComponent, testCase, { session: session })
        waitForRendering(view)
    }
    function cleanup() {
        DashboardLogic.fixedNow = undefined
    }
    function child(name) {
        const found = findChild(view, name)
        verify(found, name)
        return found
    }

    function test_pin_only_asks_the_shell() {
        let toggles = 0
        view.toggleFloating.connect(() => toggles += 1)
        const pin = child("pinButton")
        compare(pin.symbol, "pin.slash")
        mouseClick(pin)
        compare(toggles, 1)
        verify(Prefs.miniFloatsAboveOthers)
        Prefs.miniFloatsAboveOthers = false
        compare(pin.symbol, "pin.fill")
        compare(pin.tip, "Garder au-dessus des autres fenêtres")
    }

    function test_header_actions() {
        let leaves = 0
        let settings = 0
        view.leaveMiniMode.connect(() => leaves += 1)
        view.openSettings.connect(() => settings += 1)
        mouseClick(child("leaveButton"))
        mouseClick(child("settingsButton"))
        compare([leaves, settings], [1, 1])
        Prefs.appTheme = ""
        mouseClick(child("themeButton"))
        compare(Prefs.appTheme, "dark")
        compare(child("themeButton").symbol, "sun.max.fill")
    }

    function test_a_cut_status_shows_the_whole_failure_on_hover() {
        const failure = "Le démarrage a échoué — Un nœud Bitcoin semble déjà tourner sur ce "
                      + "dossier de données (/home/u/.local/share/Corvanta/node/regtest)."
        session.runState = 5
        session.failureMessage = failure
        const label = child("miniStatus")
        const tip = child("miniStatusTip")
        tryVerify(() => label.truncated)
        mouseMove(label, label.width / 2, label.height / 2)
        tryVerify(() => tip.popup.visible)
        compare(tip.popup.text, failure)
        compare(tip.popup.contentItem.textFormat, Text.PlainText)
        mouseMove(view, 5, 5)
        tryVerify(() => !tip.popup.visible)
    }

    function test_tiles_chips_and_footer() {
        session.currentHashRateMHs = 12.345
        session.cpuUsage = { systemFraction: 0.5, processFraction: 1.2 }
        session.earnings = { matureSats: 100, immatureSats: 50 }
        session.scanCoversConfiguredAddress = true
        session.effectiveWorkerCount = 4
        session.miningStartedAt = new Date((1700000000 - 3725) * 1000)
        session.runState = 3
        session.isHashing = false
        const values = ["rateTile", "machineTile", "gainsTile"].map(n => findChild(child(n), "tileValue").text)
        compare(values, ["12.3", "120 %", "0.00000150"])
        compare(child("modeChip").text, "Éco")
        compare(child("workersChip").text, "4 workers")
        compare(child("uptimeChip").text, "1h 02m")
        compare(child("miniStatus").text, "En pause")
        compare(child("statusDot").color, Theme.warningText)
        session.governorPaused = true
        session.governorPauseReason = "Mining en pause — planning horaire"
        compare(child("miniStatus").text, "En pause par le planning")
        session.governorPaused = false
        session.governorPauseReason = ""

        session.runState = 2
        session.syncBlocks = 1234
        session.syncHeaders = 5678
        session.syncPercent = 12.34
        compare(child("miniStatus").text, "Synchronisation 1,234/5,678 — 12.3 %")
        compare(findChild(child("rateTile"), "tileValue").text, "12.3 %")

        session.runState = 5
        session.failureMessage = "<b>échec</b>"
        compare(child("miniStatus").text, "<b>échec</b>")
        compare(child("statusDot").color, Theme.dangerText)
    }
    function test_footer_gives_the_status_the_room_the_last_update_leaves() {
        const footer = child("miniFooter")
        const status = child("miniStatus")
        const lastUpdate = child("miniLastUpdate")
        session.runState = 5
        session.failureMessage = "Le nœud n'a pas démarré : le dossier de données est verrouillé par un autre programme"
        // No refresh yet: the last-update text is empty and the status has the whole row.
        compare(lastUpdate.text, "")
        waitForRendering(footer)
        verify(status.implicitWidth > footer.width)
        fuzzyCompare(status.width, footer.width - 8 - 6 - 3 * footer.spacing, 1)
        verify(status.truncated)

        // Both long: the last-update text gives way first, the status keeps its room.
        session.chainStatusUpdatedAt = new Date((1700000000 - 125) * 1000)
        verify(lastUpdate.text !== "")
        waitForRendering(footer)
        fuzzyCompare(status.width, footer.width - 8 - 6 - 3 * footer.spacing, 1)
        compare(lastUpdate.width, 0)

        // A short status leaves the rest to the last-update text, shown whole.
        session.runState = 3
        session.isHashing = true
        waitForRendering(footer)
        compare(status.width, status.implicitWidth)
        verify(!lastUpdate.truncated)
        verify(lastUpdate.width >= lastUpdate.implicitWidth)
    }

    // Hidden, the one-second clock stops; shown again, the figures must not start from the time
    // it stopped at, not even for the first frame.
    function test_the_clock_ticks_as_the_view_comes_back() {
        view.visible = false
        DashboardLogic.fixedNow = 1700000070
        view.now = 0
        view.visible = true
        compare(view.now, 1700000070)
    }
}
