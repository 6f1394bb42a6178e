import QtQuick
import QtQuick.Controls
import QtTest
import Corvanta
import "../fake"

// The settings panel over a stand-in session: which card is open, what each control writes,
// when controls are locked, the language switch, the event log following its newest line, and
// the ledger sheet's file actions.
TestCase {
    id: testCase

    name: "AdvancedPanel"
    when: windowShown
    // Tall enough for the lowest card's controls to take clicks.
    width: 900
    height: 1800
    visible: true

    Component {
        id: sessionComponent
        FakeSessionModel {}
    }
    Component {
        id: panelComponent
        AdvancedPanel {
            height: testCase.height
        }
    }

    // Sessions outlive the views made over them, as the application's does.
    property var sessions: []

    function makeSession(properties) {
        const session = sessionComponent.createObject(testCase, properties || {})
        sessions.push(session)
        return session
    }
    function cleanupTestCase() {
        sessions.forEach(s => s.destroy())
    }

    function init() {
        failOnWarning(/.?/)
        language.set("fr")
        harness.resetPrefs()
        harness.clearRecords()
    }
    function cleanup() {
        language.set("fr")
    }

    function makePanel(sessionProperties, panelProperties) {
        const session = makeSession(sessionProperties)
        const properties = Object.assign({ session: session }, panelProperties || {})
        const panel = createTemporaryObject(panelComponent, testCase, properties)
        verify(panel)
        waitForRendering(panel)
        return { session: session, panel: panel }
    }
    function card(panel, id) {
        return findChild(panel, "card_" + id)
    }
    function body(panel, id) {
        return findChild(card(panel, id), "body").item
    }
    function open(panel, id) {
        if (panel.expanded !== id)
            mouseClick(findChild(card(panel, id), "header"))
        compare(panel.expanded, id)
        // Unfolded and at rest, so what the body holds is where it is drawn: the motion can end
        // before the body's layout has settled, and the card then grows again.
        restingHeight(card(panel, id))
        return body(panel, id)
    }
    function flip(item, name) {
        const control = findChild(item, name)
        verify(control, name)
        const sw = findChild(control, "switch") || control
        mouseClick(sw)
        return sw
    }

    function test_oneCardAtATimeAndTheInitialSectionOnlyOnAppearance() {
        const made = makePanel({}, {})
        compare(made.panel.expanded, "")
        open(made.panel, "node")
        open(made.panel, "cpu")
        tryCompare(findChild(card(made.panel, "node"), "body"), "item", null)
        mouseClick(findChild(card(made.panel, "cpu"), "header"))
        compare(made.panel.expanded, "")
        made.panel.initialSection = "wallet"
        compare(made.panel.expanded, "", "a later initial section opens nothing")

        const shown = makePanel({}, { initialSection: "wallet" })
        compare(shown.panel.expanded, "wallet")
        verify(body(shown.panel, "wallet"))
        let closes = 0
        shown.panel.close.connect(() => ++closes)
        mouseClick(findChild(shown.panel, "closeButton"))
        compare(closes, 1)
    }

    // A card's height once its body has laid out: unchanged, and no motion, across a frame drawn
    // after the motion ended. On a loaded machine the body's layout can settle only after the
    // motion has run out, and the card then grows to it.
    function restingHeight(card) {
        let last = -1
        for (let frames = 0; frames < 100; ++frames) {
            tryVerify(() => !card.bodyMotion.running)
            if (card.height === last)
                return last
            last = card.height
            card.Window.window.update()
            verify(waitForRendering(card), "no frame drawn")
        }
        fail("the card's height never came to rest: " + card.height)
    }

    function test_aCardUnfoldsAndFoldsAwayUnlessTheDesktopAsksForLessMotion() {
        const made = makePanel({}, { initialSection: "wallet" })
        // The card the panel appears with is simply open.
        compare(card(made.panel, "wallet").bodyMotion.running, false)
        const general = card(made.panel, "settings")
        const motion = general.bodyMotion
        const closedHeight = general.height
        mouseClick(findChild(general, "header"))
        compare(motion.duration, 180)
        compare(motion.easing.type, Easing.OutQuad)
        verify(body(made.panel, "settings"))
        tryVerify(() => motion.running || general.height > closedHeight + 100)
        const openHeight = restingHeight(general)
        verify(openHeight > closedHeight + 100)
        // Folding away keeps the body until the card is closed, then drops it.
        mouseClick(findChild(general, "header"))
        verify(motion.running)
        verify(body(made.panel, "settings"))
        tryCompare(findChild(general, "body"), "item", null)
        tryCompare(general, "height", closedHeight)

        harness.setReduceMotion(true)
        mouseClick(findChild(general, "header"))
        verify(!motion.running)
        tryCompare(general, "height", openHeight)
        mouseClick(findChild(general, "header"))
        verify(!motion.running)
        compare(body(made.panel, "settings"), null)
        tryCompare(general, "height", closedHeight)
    }

    function test_walletLockDivergenceAndCopy() {
        const made = makePanel({ payoutAddressInput: " bc1qabc\n", isHashing: true,
                                 payoutDivergence: "bc1qold" }, {})
        let wallet = open(made.panel, "wallet")
        verify(!findChild(wallet, "addressField").enabled)
        compare(findChild(wallet, "noticeText").text,
                "Mettez le minage en pause ou arrêtez-le pour modifier l'adresse.")
        made.session.isHashing = false
        verify(findChild(wallet, "addressField").enabled)
        compare(findChild(wallet, "noticeText").text,
                "La session en cours paie encore bc1qold. Arrêtez puis redémarrez le minage pour utiliser la nouvelle adresse.")
        made.session.payoutDivergence = undefined
        verify(!findChild(wallet, "notice").visible)

        compare(findChild(wallet, "networkRow").value, "mainnet")
        made.session.activeNetwork = "signet"
        compare(findChild(wallet, "networkRow").value, "signet")
        compare(findChild(wallet, "lastScanRow").value, "Jamais scanné")

        const copy = findChild(wallet, "copyButton")
        compare(copy.text, "Copier l'adresse")
        mouseClick(copy)
        compare(harness.copiedTexts, [" bc1qabc\n"])
        compare(copy.text, "Copié")
        // Closing and reopening the card builds a fresh body.
        open(made.panel, "node")
        wallet = open(made.panel, "wallet")
        compare(findChild(wallet, "copyButton").text, "Copier l'adresse")
    }

    function test_nodeBudgetOnlyWhileNoSessionRuns() {
        const made = makePanel({ storageTarget: 20 }, {})
        const node = open(made.panel, "node")
        for (const [runState, editable] of [[0, true], [1, false], [2, false], [3, false],
                                            [4, false], [5, true]]) {
            made.session.runState = runState
            compare(findChild(node, "budgetPicker").enabled, editable, "run state " + runState)
        }
        mouseClick(findChild(node, "budget30"))
        compare(made.session.storageTarget, 30)
        verify(findChild(node, "budget30").checked && !findChild(node, "budget20").checked)
        verify(!findChild(node, "chainRows").visible)
        compare(findChild(node, "rpcRow").value, "Déconnecté")
        made.session.rpcLinkState = 1
        made.session.freshChainStatus = { chain: "regtest", blocks: 1000, headers: 1005,
            sizeOnDiskBytes: 12884901888, pruned: true, bestBlockHash: "ab".repeat(32) }
        verify(findChild(node, "chainRows").visible)
        compare(findChild(node, "tipRow").value, "abababababab…abababab")
    }

    function test_workerOverrideAndPowerMode() {
        const made = makePanel({ scheduleEnabled: true }, {})
        const cpu = open(made.panel, "cpu")
        const max = SettingsViewRules.performanceCoreCount
        const box = findChild(cpu, "overrideBox")
        verify(!box.checked)
        verify(!findChild(cpu, "workerStepper").visible)
        mouseClick(box)
        compare(made.session.advancedWorkerCount, max)
        const stepper = findChild(cpu, "workerStepper")
        verify(stepper.visible)
        compare(stepper.from, 1)
        compare(stepper.to, Math.max(max, 1))
        made.session.advancedWorkerCount = 1
        mouseClick(box)
        compare(made.session.advancedWorkerCount, undefined)
        verify(!findChild(cpu, "workerStepper").visible)

        mouseClick(findChild(cpu, "mode_eco"))
        compare(made.session.powerMode, "eco")
        compare(made.session.calls, ["setManuallyPaused(false)", "suspendScheduleUntilMidnight()"])

        made.session.thermalState = "serious"
        compare(findChild(cpu, "thermalTitle").text, "Chaude")
    }

    function test_menuBarSwitches() {
        const made = makePanel({}, {})
        const section = open(made.panel, "menuBar")
        compare(findChild(section, "dockSwitch"), null, "the desktop has no Dock to hide")

        Prefs.showHashRateInMenuBar = true
        flip(section, "menuBarSwitch")
        compare(Prefs.showInMenuBar, false)
        const hashRate = findChild(findChild(section, "hashRateSwitch"), "switch")
        verify(!hashRate.enabled)
        verify(hashRate.checked, "the stored value is kept")
        compare(Prefs.showHashRateInMenuBar, true)
        flip(section, "menuBarSwitch")
        verify(hashRate.enabled)
    }

    function test_generalSettingsLoginLanguageAndData() {
        const made = makePanel({ selectedNetwork: "regtest" }, {})
        const general = open(made.panel, "settings")
        const answers = []
        general.setLaunchAtLogin = on => { answers.push(on); return false }
        const login = flip(general, "loginSwitch")
        compare(answers, [true])
        verify(!login.checked, "a refusal springs the switch back")
        general.setLaunchAtLogin = on => true
        flip(general, "loginSwitch")
        verify(login.checked)

        // This build names no usage endpoint: no count is offered, nor explained.
        verify(!SettingsViewRules.usageCountOffered)
        verify(!findChild(general, "usageSwitch").visible)
        verify(!findChild(general, "usageCaption").visible)

        verify(findChild(general, "dataDirectory").text.endsWith("regtest"))
        mouseClick(findChild(general, "revealDataButton"))
        made.session.activeNetwork = "signet"
        mouseClick(findChild(general, "revealDataButton"))
        compare(harness.revealedFiles.length, 2)
        verify(harness.revealedFiles[0].endsWith("regtest"))
        verify(harness.revealedFiles[1].endsWith("signet"), "the session's network wins")

        const picker = findChild(general, "languagePicker")
        picker.activated(5)
        compare(SettingsViewRules.language, "de")
        const title = findChild(card(made.panel, "wallet"), "title")
        compare(title.text, language.translation("de", "Portefeuille"))
        compare(findChild(card(made.panel, "cpu"), "title").text, "CPU")
        compare(picker.currentText, "Deutsch")
        verify(made.panel.expanded === "settings", "the open card stays open")
    }

    function test_eventLogFollowsItsNewestLineAfterAppendAndTrim() {
        const made = makePanel({}, {})
        for (let i = 0; i < 40; ++i)
            made.session.eventLog.append({ timestamp: new Date(), message: "line " + i })
        const diagnostics = open(made.panel, "diagnostics")
        const list = findChild(diagnostics, "logList")
        waitForRendering(list)
        compare(list.contentY, list.originY, "not scrolled when first shown")
        made.session.eventLog.append({ timestamp: new Date(), message: "<b>newest</b>" })
        tryVerify(() => list.atYEnd, 10000, "scrolled to the last line")
        // The trim from 1,001 to 500 lines, as the session does it: one removal.
        list.positionViewAtBeginning()
        for (let i = 41; i < 1001; ++i)
            made.session.eventLog.append({ timestamp: new Date(), message: "line " + i })
        made.session.eventLog.remove(0, 501)
        compare(made.session.eventLog.count, 500)
        list.positionViewAtBeginning()
        made.session.eventLog.append({ timestamp: new Date(), message: "after trim" })
        tryVerify(() => list.atYEnd, 10000, "scrolled after the trim")
    }

    function test_ledgerSheetActsOnTheNetworkInEffect() {
        const made = makePanel({ selectedNetwork: "regtest", activeNetwork: "signet",
            proofLogUnreadable: true,
            proofVerification: { entriesChecked: 3, brokenChainAt: [3, 4, 5, 6, 7, 8, 9],
                invalidWorkAt: [], bestDifficultyProven: 1, hashesReported: 4294967296,
                hashesReportedText: "4294967296", firstAnchor: { height: 100 },
                lastAnchor: { height: 102 }, isIntact: false } }, {})
        const ledger = open(made.panel, "ledger")
        verify(findChild(ledger, "ledgerRows").visible, "verified wins over unreadable")
        compare(findChild(ledger, "integrityRow").value, "3 · ALTÉRÉ")
        mouseClick(findChild(ledger, "revealButton"))
        verify(harness.revealedFiles[0].endsWith("signet.json"))
        mouseClick(findChild(ledger, "fullLedgerButton"))
        const sheet = findChild(ledger, "proofLedgerSheet")
        verify(sheet)
        tryVerify(() => sheet.opened)
        verify(sheet.width <= 560 && sheet.height <= 640)
        compare(findChild(sheet.contentItem, "brokenRow").value, "entrées 3, 4, 5, 6, 7, 8")
        compare(findChild(sheet.contentItem, "crossCheckRow").value, "×1.00 — cohérent")
        const flick = findChild(sheet.contentItem, "sheetScroll").contentItem
        const copy = findChild(sheet.contentItem, "copyPathButton")
        // Scrolled to the bottom of the sheet, where the file actions are.
        tryVerify(() => {
            flick.contentY = Math.max(0, flick.contentHeight - flick.height)
            return copy.mapToItem(sheet.contentItem, 0, copy.height).y <= sheet.height
        })
        waitForRendering(flick)
        mouseClick(copy)
        compare(harness.copiedTexts.length, 1)
        verify(harness.copiedTexts[0].startsWith("/"), "a path, not a URL")
        verify(harness.copiedTexts[0].endsWith("signet.json"))
        compare(copy.text, "Copié")
        mouseClick(findChild(sheet.contentItem, "closeSheetButton"))
        tryVerify(() => !ledger.showsFullLedger)
    }

    // A suspect cross-check is the headline and the section's word, never a green "intact"; what
    // was set aside is told with the command that reads it, and follows the session as it changes.
    function test_ledgerSheetHeadlineFollowsTheChecker() {
        const made = makePanel({ selectedNetwork: "regtest",
            proofVerification: { entriesChecked: 3, brokenChainAt: [], invalidWorkAt: [],
                bestDifficultyProven: 1, hashesReported: 1.8446744073709552e19,
                hashesReportedText: "18446744073709551615", firstAnchor: { height: 100 },
                lastAnchor: { height: 102 }, isIntact: true } }, {})
        const ledger = open(made.panel, "ledger")
        const row = findChild(ledger, "integrityRow")
        compare(row.value, "3 · SUSPECT")
        compare(row.valueColor, Theme.dangerText)
        mouseClick(findChild(ledger, "fullLedgerButton"))
        const sheet = findChild(ledger, "proofLedgerSheet")
        tryVerify(() => sheet.opened)
        const status = findChild(sheet.contentItem, "statusText")
        compare(status.text, "SUSPECT : les hachages déclarés sortent de la plage que la preuve permet")
        compare(status.color, Theme.dangerText)
        verify(!findChild(sheet.contentItem, "storyCaption").visible)

        const aside = "/tmp/proof/regtest.unreadable-1796601600.json"
        made.session.proofLogSetAside = aside
        made.session.proofSetAsideKind = "journalRefused"
        made.session.proofJournalRefusedLine = 5
        compare(status.text, "JOURNAL ENDOMMAGÉ : aucune entrée n'est comptée à partir de la ligne refusée")
        const caption = findChild(sheet.contentItem, "storyCaption")
        verify(caption.visible)
        verify(caption.text.startsWith("La ligne 5 du journal a été refusée"), caption.text)
        verify(caption.text.endsWith("Pour le vérifier : corvanta-verify " + aside), caption.text)
        compare(findChild(sheet.contentItem, "refusedLineRow").value, "5")
        compare(row.value, "3 · JOURNAL ENDOMMAGÉ")
        mouseClick(findChild(sheet.contentItem, "closeSheetButton"))
        tryVerify(() => !ledger.showsFullLedger)
    }

    function test_safetyRowsFollowTheSession() {
        const made = makePanel({ selectedNetwork: "regtest", runState: 0 }, {})
        const safety = open(made.panel, "safety")
        const detail = name => findChild(findChild(safety, name), "detail").text
        compare(detail("candidateRow"), "Contrôlé dès que le minage démarre.")
        made.session.runState = 2
        compare(detail("candidateRow"), "En attente du premier candidat.")
        made.session.currentCandidateValidation = { kind: "rejected", reason: "<i>bad</i>" }
        compare(detail("candidateRow"), "<i>bad</i>")
        made.session.proofEntryCount = 4
        compare(detail("proofRow"), "4 entrées enregistrées sur disque.")
    }

    function test_settingsThatCannotBeSavedAreSaidAboveTheCards() {
        const fine = makePanel()
        verify(!findChild(fine.panel, "settingsUnsavedNotice").visible)

        const file = "/home/ana/.config/Corvanta/Corvanta.conf"
        const made = makePanel({ settingsUnsavedFile: file }, { initialSection: "settings" })
        const notice = findChild(made.panel, "settingsUnsavedNotice")
        verify(notice.visible)
        const text = findChild(notice, "settingsUnsavedText")
        verify(text.text.indexOf(file) >= 0, text.text)
        verify(text.text.indexOf("%@") < 0, text.text)
        // Above the cards, whole, and in the panel's language.
        const first = card(made.panel, "wallet")
        verify(notice.mapToItem(made.panel, 0, 0).y + notice.height <= first.mapToItem(made.panel, 0, 0).y)
        verify(text.lineCount >= 2 && text.height <= notice.height, "drawn whole")
        language.set("en")
        tryVerify(() => text.text.startsWith("Settings cannot be saved to " + file), 5000, text.text)
    }

    function test_theNoticeGoesOnceASaveGoesThrough() {
        const made = makePanel({ settingsUnsavedFile: "/home/ana/.config/Corvanta/Corvanta.conf" },
                               { initialSection: "settings" })
        const notice = findChild(made.panel, "settingsUnsavedNotice")
        verify(notice.visible)
        const below = card(made.panel, "wallet").mapToItem(made.panel, 0, 0).y
        made.session.settingsUnsavedFile = ""
        verify(!notice.visible)
        tryVerify(() => card(made.panel, "wallet").mapToItem(made.panel, 0, 0).y < below,
                  5000, "the cards take its place")
    }
}
