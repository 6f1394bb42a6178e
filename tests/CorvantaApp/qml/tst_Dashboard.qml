import QtQuick
import QtTest
import Corvanta
import "../fake"

TestCase {
    id: testCase

    name: "Dashboard"
    when: windowShown
    width: 900
    height: 860
    visible: true

    Component {
        id: sessionComponent
        FakeSessionModel {}
    }
    Component {
        id: viewComponent
        ContentView {
            width: 900
            height: 860
        }
    }

    property var session
    property var view

    function init() {
        failOnWarning(/.?/)
        language.set("fr")
        DashboardLogic.fixedNow = 1700000000
        DashboardLogic.performanceCores = 10
        Prefs.appTheme = "light"
        Prefs.firstLaunchAt = 0
        Prefs.reviewPromptAnswered = false
        Prefs.onboardingCompleted = true
        session = createTemporaryObject(sessionComponent, testCase)
        session.schedule = new Array(144).fill("balanced")
    }
    function cleanup() {
        DashboardLogic.fixedNow = undefined
    }
    function makeView(properties) {
        const props = Object.assign({ session: session }, properties || {})
        view = createTemporaryObject(viewComponent, testCase, props)
        verify(view)
        waitForRendering(view)
        return view
    }
    function child(name) {
        const found = findChild(view, name)
        verify(found, name)
        return found
    }
    function calls() { return session.calls.filter(c => !c.startsWith("appliedPowerMode")) }

    // --- power-mode picker -----------------------------------------------------------------

    function test_segment_tap_sets_mode_ends_pause_and_suspends_only_a_schedule() {
        session.runState = 3
        makeView()
        mouseClick(child("segment_eco"))
        compare(session.powerMode, "eco")
        compare(calls(), ["setManuallyPaused(false)"])

        session.calls = []
        session.scheduleEnabled = true
        // Tapping the segment already requested still acts.
        mouseClick(child("segment_eco"))
        compare(calls(), ["setManuallyPaused(false)", "suspendScheduleUntilMidnight()"])
    }

    function test_pause_is_disabled_while_idle_or_failed() {
        makeView()
        const pause = child("pauseButton")
        for (const state of [0, 5]) {
            session.runState = state
            verify(!pause.enabled)
            fuzzyCompare(pause.opacity, 0.4, 0.001)
            mouseClick(pause)
            compare(calls(), [])
        }
        session.runState = 3
        verify(pause.enabled)
        mouseClick(pause)
        compare(calls(), ["setManuallyPaused(true)"])
    }

    function test_lit_segment_follows_workers_and_pauses() {
        session.runState = 3
        session.powerMode = "balanced"
        session.effectiveWorkerCount = 3
        session.isThrottledBelowRequestedMode = true
        makeView()
        verify(child("segment_eco").lit)
        verify(child("segment_balanced").requestedOnly)
        compare(child("throttleCaption").text, "Régime réel : 3 workers sur 10")
        session.governorPaused = true
        verify(!child("segment_eco").lit)
        compare(child("pauseCaption").text, "Minage en pause — voir CPU")
    }

    // --- schedule ------------------------------------------------------------------------------

    function gridPoint(column, row) {
        const grid = child("scheduleGrid")
        const colW = grid.width / 144
        return { grid: grid, x: colW * (column + 0.5), y: row * 20 + 8 }
    }

    function test_grid_click_and_drags_paint_from_their_anchor() {
        session.scheduleEnabled = true
        session.scheduleIsDriving = true
        makeView()
        // One click: one slot, in the row pressed (max).
        let p = gridPoint(40, 1)
        mouseClick(p.grid, p.x, p.y)
        compare(calls(), ["setScheduleMode(max, 40, 40)"])

        // "Arrêt" from column 10, right then left of the anchor; the row stays off.
        session.calls = []
        p = gridPoint(10, 4)
        mousePress(p.grid, p.x, p.y)
        mouseMove(p.grid, gridPoint(15, 4).x, p.y)
        mouseMove(p.grid, gridPoint(7, 1).x, gridPoint(7, 1).y)
        mouseRelease(p.grid, gridPoint(7, 1).x, gridPoint(7, 1).y)
        const stroke = calls()
        compare(stroke[0], "setScheduleMode(off, 10, 10)")
        verify(stroke.indexOf("setScheduleMode(off, 10, 15)") >= 0, stroke)
        compare(stroke[stroke.length - 1], "setScheduleMode(off, 10, 7)")

        // Eco dragged down into the off row keeps painting eco.
        session.calls = []
        p = gridPoint(50, 3)
        mousePress(p.grid, p.x, p.y)
        mouseMove(p.grid, gridPoint(52, 4).x, gridPoint(52, 4).y)
        mouseRelease(p.grid, gridPoint(52, 4).x, gridPoint(52, 4).y)
        verify(calls().every(c => c.startsWith("setScheduleMode(eco, 50")), calls())

        // Past both ends the column clamps.
        session.calls = []
        p = gridPoint(100, 0)
        mousePress(p.grid, p.x, p.y)
        mouseMove(p.grid, p.grid.width + 40, p.y)
        mouseMove(p.grid, -40, p.y)
        mouseRelease(p.grid, -40, p.y)
        const ends = calls()
        verify(ends.indexOf("setScheduleMode(smart, 100, 143)") >= 0, ends)
        compare(ends[ends.length - 1], "setScheduleMode(smart, 100, 0)")
    }

    function test_toggle_asks_the_session_and_resume_follows_driving() {
        makeView()
        verify(!child("schedulePanel").visible)
        const toggle = child("scheduleToggle")
        mouseClick(toggle)
        compare(calls(), ["setScheduleEnabled(true)"])
        // The switch shows what the session holds, not what was clicked.
        verify(!toggle.checked)
        session.scheduleEnabled = true
        verify(toggle.checked)
        verify(child("schedulePanel").visible)
        session.scheduleIsDriving = false
        const resume = child("resumeScheduleButton")
        verify(resume.visible)
        session.calls = []
        mouseClick(resume)
        compare(calls(), ["resumeSchedule()"])
        session.scheduleIsDriving = true
        verify(!resume.visible)
    }

    // --- advanced panel ------------------------------------------------------------------------

    function test_open_request_is_consumed_once() {
        let consumed = 0
        makeView()
        // The owner of the flag clears it, as the shell does.
        view.openAdvancedConsumed.connect(() => { consumed += 1; view.openAdvancedOnAppear = false })
        view.visible = false
        view.openAdvancedOnAppear = true
        wait(20)
        verify(!view.advancedPanelOpen)
        view.visible = true
        tryVerify(() => view.advancedPanelOpen)
        compare(child("settingsPanel").x, view.width - child("settingsPanel").width)
        compare(view.advancedPanelSection, "")
        compare(consumed, 1)
        view.advancedPanelOpen = false
        view.visible = false
        view.visible = true
        wait(20)
        verify(!view.advancedPanelOpen)
        // A request arriving while shown opens it too.
        view.openAdvancedOnAppear = true
        tryVerify(() => view.advancedPanelOpen)
        compare(consumed, 2)
        verify(!view.openAdvancedOnAppear)
    }

    function test_badge_close_and_button_keep_or_forget_the_section() {
        session.payoutNeedsAttention = true
        makeView()
        verify(!child("networkBadge").visible)
        mouseClick(child("payoutAlertBadge"))
        verify(view.advancedPanelOpen)
        compare(view.advancedPanelSection, "wallet")
        // The advanced button closes and keeps the section…
        mouseClick(child("advancedButton"))
        verify(!view.advancedPanelOpen)
        compare(view.advancedPanelSection, "wallet")
        mouseClick(child("advancedButton"))
        verify(view.advancedPanelOpen)
        tryCompare(child("settingsPanel"), "x", view.width - child("settingsPanel").width)
        // …the panel's own close forgets it.
        mouseClick(child("closeButton"))
        verify(!view.advancedPanelOpen)
        compare(view.advancedPanelSection, "")
        // Slid out, the panel is gone with its cards.
        tryVerify(() => !child("settingsPanel").visible)
        verify(!findChild(view, "advancedPanel"))
    }

    // --- header and review ----------------------------------------------------------------

    function test_header_buttons() {
        Prefs.appTheme = "sepia"
        makeView()
        const themeBefore = Prefs.appTheme
        mouseClick(child("helpButton"))
        compare(Prefs.appTheme, themeBefore)
        verify(Prefs.onboardingCompleted)
        compare(calls(), [])
        verify(!view.advancedPanelOpen)

        mouseClick(child("themeButton"))
        compare(Prefs.appTheme, "dark")
        mouseClick(child("themeButton"))
        compare(Prefs.appTheme, "light")

        let mini = 0
        view.enterMiniMode.connect(() => mini += 1)
        mouseClick(child("compactButton"))
        compare(mini, 1)

        mouseClick(child("replayButton"))
        verify(!Prefs.onboardingCompleted)
    }

    function test_review_answers_store_the_flag_before_opening_their_link() {
        Prefs.firstLaunchAt = 1700000000 - 86400
        makeView()
        const opened = []
        view.openLink = url => opened.push([String(url), Prefs.reviewPromptAnswered])
        const prompt = child("reviewPrompt")
        verify(prompt.visible)
        prompt.answer(true)
        compare(opened, [[String(DashboardLogic.reviewLink()), true]])
        tryCompare(prompt, "visible", false)

        Prefs.reviewPromptAnswered = false
        tryCompare(prompt, "visible", true)
        prompt.answer(false)
        compare(opened[1], [String(DashboardLogic.supportLink()), true])

        Prefs.reviewPromptAnswered = false
        tryCompare(prompt, "visible", true)
        prompt.dismiss()
        verify(Prefs.reviewPromptAnswered)
        compare(opened.length, 2)
    }

    // --- block found ---------------------------------------------------------------------------

    function presentation(id, height) {
        return { id: id, height: height, hashHex: "00ab", rewardSats: 312500000 }
    }

    function test_close_clears_only_its_presentation() {
        session.blockFoundPresentation = presentation("a", 840000)
        makeView({ blockFoundWait: 60000 })
        const card = findChild(view, "blockFoundView")
        verify(card)
        compare(findChild(card, "blockHeight").text, "Hauteur 840,000")
        compare(findChild(card, "blockReward").text, "3.12500000 BTC")
        // A newer block replaces the one shown: the card follows it, and a dismissal naming
        // the first one leaves the newer celebration alone.
        session.blockFoundPresentation = presentation("b", 840001)
        view.dismissBlockFound("a")
        verify(session.blockFoundPresentation !== undefined)
        mouseClick(findChild(card, "closeButton"))
        compare(session.blockFoundPresentation, undefined)
        tryVerify(() => findChild(view, "blockFoundView") === null)
    }

    function test_the_celebration_comes_and_goes_with_a_fade_and_a_scale() {
        makeView({ blockFoundWait: 60000 })
        const layer = child("blockFoundLayer")
        const motion = layer.motion
        compare(motion.duration, 200)
        compare(motion.easing.type, Easing.OutQuad)
        session.blockFoundPresentation = presentation("a", 840000)
        verify(motion.running)
        verify(layer.scale < 1)
        tryCompare(layer, "opacity", 1)
        compare(layer.scale, 1)
        // Leaving, it still shows the block it was shown for, then goes.
        mouseClick(findChild(findChild(view, "blockFoundView"), "closeButton"))
        compare(session.blockFoundPresentation, undefined)
        verify(motion.running)
        compare(findChild(findChild(view, "blockFoundView"), "blockHeight").text, "Hauteur 840,000")
        tryVerify(() => findChild(view, "blockFoundView") === null)
        compare(layer.visible, false)
        // Less motion: in and out at once.
        harness.setReduceMotion(true)
        session.blockFoundPresentation = presentation("b", 840001)
        compare(layer.opacity, 1)
        verify(findChild(view, "blockFoundView"))
        session.blockFoundPresentation = undefined
        compare(layer.opacity, 0)
        compare(findChild(view, "blockFoundView"), null)
        harness.setReduceMotion(false)
    }

    function test_own_wait_dismisses_and_leaving_the_screen_does_not() {
        session.blockFoundPresentation = presentation("a", 1)
        makeView({ blockFoundWait: 100 })
        tryCompare(session, "blockFoundPresentation", undefined, 10000)

        session.blockFoundPresentation = presentation("c", 2)
        verify(findChild(view, "blockFoundView"))
        view.visible = false
        wait(300)
        verify(session.blockFoundPresentation !== undefined)
        view.visible = true
        tryVerify(() => findChild(view, "blockFoundView") !== null)
    }

    // --- untrusted text -------------------------------------------------------------------

    function test_node_reason_and_failure_are_plain_text() {
        session.currentCandidateValidation = { kind: "rejected", height: 1, transactionCount: 0,
                                               reason: "<b>bad-txns</b>" }
        session.runState = 5
        session.failureMessage = "<i>disk</i> & full"
        makeView()
        const detail = child("candidateDetail")
        compare(detail.textFormat, Text.PlainText)
        verify(detail.text.indexOf("<b>bad-txns</b>") >= 0)
        compare(child("statusLabel").text, "<i>disk</i> & full")
        compare(child("statusLabel").textFormat, Text.PlainText)

        session.currentCandidateValidation = { kind: "validated", height: 1,
                                               transactionCount: 12345, reason: "" }
        const validated = child("candidateValidated")
        verify(validated.text.indexOf("12,345 transactions") >= 0)
    }

    function test_a_cut_status_line_shows_the_whole_text_on_hover() {
        const failure = "Le démarrage a échoué — Un nœud Bitcoin semble déjà tourner sur ce "
                      + "dossier de données (/home/u/.local/share/Corvanta/node/regtest). <b>Quittez</b> "
                      + "toute autre instance de Corvanta ou de bitcoind, puis relancez."
        session.runState = 5
        session.failureMessage = failure
        makeView()
        const label = child("statusLabel")
        const tip = child("statusTip")
        verify(label.truncated)
        verify(!tip.popup.visible)
        mouseMove(label, label.width / 2, label.height / 2)
        tryVerify(() => tip.popup.visible)
        compare(tip.popup.text, failure)
        compare(tip.popup.contentItem.textFormat, Text.PlainText)
        mouseMove(view, 5, 5)
        tryVerify(() => !tip.popup.visible)

        // A line shown whole has nothing more to show.
        session.runState = 3
        verify(!label.truncated)
        mouseMove(label, 5, 5)
        verify(!tip.popup.visible)
    }

    function test_sync_card_replaces_the_hash_rate_card() {
        session.runState = 2
        session.syncBlocks = 1234
        session.syncHeaders = 5000
        session.syncPercent = 99.96
        makeView()
        verify(child("syncCard").visible)
        verify(!child("hashrateCard").visible)
        compare(child("syncPercent").text, "100.0 %")
    }

    function test_status_line_and_caption_name_who_paused() {
        session.runState = 3
        session.isHashing = true
        makeView()
        compare(child("statusLabel").text, "Minage en cours")
        verify(!child("pauseCaption").visible)

        session.isHashing = false
        session.manuallyPaused = true
        session.governorPaused = true
        session.governorPauseReason = "Mining en pause — demandé"
        compare(child("statusLabel").text, "En pause")
        compare(child("pauseCaption").text, "Minage en pause — le nœud reste debout")

        session.manuallyPaused = false
        session.governorPauseReason = "Mining en pause — planning horaire"
        compare(child("statusLabel").text, "En pause par le planning")
        compare(child("pauseCaption").text, "Minage en pause par le planning")

        session.governorPauseReason = "Mining en pause — sur batterie"
        compare(child("statusLabel").text, "En pause")
        compare(child("pauseCaption").text, "Mining en pause — sur batterie")
    }

    function test_sync_card_says_when_the_node_has_no_peer() {
        session.runState = 2
        session.noPeersSince = 1700000000 - 29
        makeView()
        const text = child("syncExplanation")
        compare(text.text, "Téléchargement de la chaîne. Le minage démarrera tout seul.")
        DashboardLogic.fixedNow = 1700000001
        compare(text.text, "Aucun pair — cet ordinateur est-il en ligne ?")
        session.noPeersSince = undefined  // a peer came
        compare(text.text, "Téléchargement de la chaîne. Le minage démarrera tout seul.")
    }

    function test_a_full_disk_is_said_on_the_dashboard_until_it_is_lifted() {
        session.runState = 3
        makeView()
        const alert = child("diskFullAlert")
        verify(!alert.visible)
        session.diskFullAlert = "Impossible d'écrire dans /tmp/h : disque plein."
        verify(alert.visible)
        compare(child("diskFullText").text, "Impossible d'écrire dans /tmp/h : disque plein.")
        session.diskFullAlert = ""
        verify(!alert.visible)
    }

    // At the smallest window every language's texts stay inside their cards, whole.
    function test_texts_fit_at_the_minimum_window_in_every_language() {
        session.runState = 3
        session.isHashing = false
        session.governorPaused = true
        session.governorPauseReason = "Mining en pause — planning horaire"
        session.miningStartedAt = 1700000000 - 3 * 3600
        session.cpuUsage = { systemFraction: 0.42, processFraction: 0.3 }
        session.scheduleEnabled = true
        makeView({ width: 820, height: 560 })
        for (const code of ["fr", "en", "de", "es", "it", "pt"]) {
            language.set(code)
            waitForRendering(view)
            for (const name of ["hashrateCard", "machineCard"]) {
                const card = child(name)
                const slot = findChild(card, "trailingSlot")
                const right = slot.mapToItem(card, slot.width, 0).x
                verify(right <= card.width - 16, code + " " + name + " spills: " + right)
            }
            const status = child("statusLabel")
            verify(!status.truncated, code + ": " + status.text + " " + status.width + " " + status.lineCount + " " + status.implicitWidth)
            verify(status.lineCount <= 2)
            const uptime = child("uptimeLine")
            verify(uptime.contentWidth <= uptime.width + 0.5, code + ": " + uptime.text)
            for (const mode of ["eco", "balanced", "max"]) {
                const label = child("segment_" + mode).contentItem
                verify(!label.truncated, code + ": " + label.text)
                verify(label.contentWidth <= label.width + 0.5, code + ": " + label.text)
            }
            const grid = child("scheduleGridView")
            const labels = child("scheduleLabels")
            for (let i = 0; i < labels.children.length; ++i) {
                const label = labels.children[i]
                if (label.text !== undefined)
                    verify(label.implicitWidth <= grid.labelWidth, code + ": " + label.text)
            }
        }
    }

    // --- frames ------------------------------------------------------------------------------

    function test_only_a_running_gauge_ticks_every_frame() {
        makeView()
        const gauge = child("hashrateCard")
        const machine = child("machineCard")
        wait(300)
        compare(gauge.frames, 0)  // idle: no per-frame callback at all
        session.runState = 3
        session.currentHashRateMHs = 200
        verify(gauge.dotShown)
        tryVerify(() => gauge.frames > 5)
        compare(machine.frames, 0)  // a card that never sweeps never ticks
        view.visible = false
        verify(comesToRest(() => gauge.frames), "still ticking while hidden")
        view.visible = true
        gauge.reduceMotion = true
        verify(!gauge.dotShown)
        verify(comesToRest(() => gauge.frames), "still ticking with reduced motion")
    }

    // True once count() has stayed the same for 0.3 s, within a generous limit: what stopped
    // comes to rest however late the frame already under way arrives on a loaded machine.
    function comesToRest(count) {
        let last = count()
        let quietSince = Date.now()
        const deadline = Date.now() + 30000
        while (Date.now() < deadline) {
            wait(10)
            const now = count()
            if (now !== last) {
                last = now
                quietSince = Date.now()
            } else if (Date.now() - quietSince >= 300) {
                return true
            }
        }
        return false
    }

    function test_period_change_reanchors_with_the_phase_reached() {
        session.runState = 3
        session.currentHashRateMHs = 4294.967295  // a sweep a second
        makeView()
        const gauge = child("hashrateCard")
        const anchored = gauge.anchorDate
        DashboardLogic.fixedNow = anchored + 2.25
        session.currentHashRateMHs = 4294.967295  // the same period: no re-anchoring
        compare(gauge.anchorDate, anchored)
        session.currentHashRateMHs = 2147.4836475  // two seconds a sweep
        compare(gauge.anchorDate, anchored + 2.25)
        fuzzyCompare(gauge.anchorPhase, 0.25, 1e-9)
    }

    function test_confetti_stops_with_reduce_motion_or_a_hidden_window() {
        session.blockFoundPresentation = presentation("z", 5)
        makeView({ blockFoundWait: 60000 })
        const confetti = findChild(view, "confetti")
        verify(confetti)
        tryVerify(() => confetti.frames > 3)
        findChild(view, "blockFoundView").reduceMotion = true
        verify(!confetti.running)
        verify(comesToRest(() => confetti.frames), "the confetti goes on falling")
    }

    // Hidden, the one-second clock stops; shown again, the figures must not start from the time
    // it stopped at, not even for the first frame.
    function test_the_clock_ticks_as_the_view_comes_back() {
        makeView()
        view.visible = false
        DashboardLogic.fixedNow = 1700000070
        view.now = 0
        view.visible = true
        compare(view.now, 1700000070)
    }
}
