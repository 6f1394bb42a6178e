import QtQuick
import QtQuick.Controls
import QtTest
import Corvanta
import "../fake"

// The first-run flow over a stand-in session: the address gate, the navigation, what finishing
// calls and in which order, and what the smart and autostart steps apply and when.
TestCase {
    id: testCase

    readonly property string mainnetAddress: "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"

    name: "Onboarding"
    when: windowShown
    width: 900
    height: 860
    visible: true

    Component {
        id: sessionComponent
        FakeSessionModel {}
    }
    Component {
        id: flowComponent
        OnboardingView {
            anchors.fill: parent
        }
    }

    TextMetrics {
        id: nameWidth
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
    }
    function cleanup() {
        harness.setSupportDirectory("")
    }

    function makeFlow(properties) {
        const session = makeSession(properties)
        const refusals = { answer: true, wishes: [] }
        const flow = createTemporaryObject(flowComponent, testCase, {
            session: session,
            setLaunchAtLogin: on => { refusals.wishes.push(on); return refusals.answer }
        })
        verify(flow)
        waitForRendering(flow)
        return { session: session, flow: flow, login: refusals }
    }
    function button(flow, name) {
        return findChild(flow, name)
    }
    function goTo(flow, step) {
        while (flow.step < step) {
            const next = button(flow, "nextButton")
            verify(next.enabled, "Suivant is enabled on step " + flow.step)
            mouseClick(next)
        }
    }
    function stepItem(flow) {
        return findChild(flow, "stepLoader").item
    }
    function toggleCardSwitch(flow) {
        const control = findChild(stepItem(flow), "toggleCardSwitch")
        verify(control)
        mouseClick(control)
        return control
    }

    function test_addressGateAndNavigation() {
        const made = makeFlow({ selectedNetwork: "mainnet" })
        const flow = made.flow
        verify(!button(flow, "backButton").visible, "no Précédent on the intro")
        compare(button(flow, "nextButton").text, "Suivant")
        goTo(flow, 1)
        verify(button(flow, "backButton").visible)
        const next = button(flow, "nextButton")
        verify(!next.enabled)
        compare(next.opacity, 0.45)
        mouseClick(next)
        compare(flow.step, 1, "held on the address step")

        const field = findChild(stepItem(flow), "addressField")
        made.session.payoutAddressInput = " \n "
        verify(!next.enabled, "blanks are empty")
        made.session.payoutAddressInput = "  " + mainnetAddress + "\n"
        verify(next.enabled)
        compare(next.opacity, 1.0)
        compare(findChild(stepItem(flow), "addressHint").text, "Adresse valide.")
        compare(field.text, "  " + mainnetAddress + "\n", "the field keeps what was typed")
        made.session.payoutAddressInput = "tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sl5k7"
        verify(!next.enabled, "another network's address holds the user")
        verify(findChild(stepItem(flow), "addressHint").text.startsWith("Adresse de paiement invalide : "))

        made.session.selectedNetwork = "regtest"
        made.session.payoutAddressInput = ""
        verify(next.enabled, "empty passes on regtest")
        compare(findChild(stepItem(flow), "addressHint").text, "Vide toléré en regtest.")

        mouseClick(button(flow, "backButton"))
        compare(flow.step, 0)
        verify(!button(flow, "backButton").visible)
        tryVerify(() => Qt.colorEqual(flow.color, Theme.onboardingCream))
    }

    function test_aLanguageChangeTranslatesTheShownHintAtOnce() {
        const made = makeFlow({ selectedNetwork: "regtest" })
        goTo(made.flow, 1)
        const hint = findChild(stepItem(made.flow), "addressHint")
        compare(hint.text, "Vide toléré en regtest.")
        language.set("de")
        compare(hint.text, language.translation("de", "Vide toléré en regtest."))
        compare(button(made.flow, "backButton").text, language.translation("de", "Précédent"))
        language.set("fr")
    }

    function test_typingWritesTheSessionAsTyped() {
        const made = makeFlow({ selectedNetwork: "mainnet" })
        goTo(made.flow, 1)
        const field = findChild(stepItem(made.flow), "addressField")
        field.forceActiveFocus()
        keyClick(Qt.Key_Space)
        keyClick(Qt.Key_B)
        compare(made.session.payoutAddressInput, " b")
    }

    function test_finishStartsThenHandsOverWhateverTheRunState() {
        for (const runState of [0, 3, 5]) {
            const made = makeFlow({ selectedNetwork: "regtest", runState: runState })
            const order = []
            made.flow.finished.connect(() => order.push(made.session.calls.slice()))
            goTo(made.flow, 4)
            verify(!button(made.flow, "nextButton").visible)
            const finish = button(made.flow, "finishButton")
            verify(finish.visible && finish.enabled)
            compare(finish.text, "Terminer")
            mouseClick(finish)
            compare(order.length, 1, "onFinished once")
            compare(order[0][order[0].length - 1], "start()", "start() came before onFinished")
        }
    }

    function test_smartStepAppliesOnAppearanceAndEachFlipOnly() {
        const made = makeFlow({ selectedNetwork: "regtest" })
        goTo(made.flow, 2)
        compare(made.session.calls, ["setScheduleMode(smart, 0, 143)", "setScheduleEnabled(true)"])
        const control = toggleCardSwitch(made.flow)
        verify(!control.checked)
        compare(made.session.calls.slice(2), ["setScheduleEnabled(false)"])
        toggleCardSwitch(made.flow)
        compare(made.session.calls.slice(3),
                ["setScheduleMode(smart, 0, 143)", "setScheduleEnabled(true)"])
        toggleCardSwitch(made.flow)
        // Away and back: the switch starts over, on, and the schedule is applied again.
        mouseClick(button(made.flow, "nextButton"))
        mouseClick(button(made.flow, "backButton"))
        verify(findChild(stepItem(made.flow), "toggleCardSwitch").checked)
        compare(made.session.calls.slice(6),
                ["setScheduleMode(smart, 0, 143)", "setScheduleEnabled(true)"])
    }

    function test_autostartNoticeOnlyWhenRegisteringWasRefused() {
        const made = makeFlow({ selectedNetwork: "regtest" })
        made.login.answer = false
        goTo(made.flow, 3)
        compare(made.login.wishes, [true])
        verify(findChild(stepItem(made.flow), "refusalNotice").visible)
        // A refused unregistration shows nothing and clears the notice.
        toggleCardSwitch(made.flow)
        compare(made.login.wishes, [true, false])
        verify(!findChild(stepItem(made.flow), "refusalNotice").visible)
        made.login.answer = true
        mouseClick(button(made.flow, "backButton"))
        mouseClick(button(made.flow, "nextButton"))
        compare(made.login.wishes, [true, false, true])
        verify(findChild(stepItem(made.flow), "toggleCardSwitch").checked)
        verify(!findChild(stepItem(made.flow), "refusalNotice").visible)
    }

    function test_awakeSwitchIsTheSessionsSetting() {
        const made = makeFlow({ selectedNetwork: "regtest", preventIdleSleepEnabled: true })
        goTo(made.flow, 4)
        const control = findChild(stepItem(made.flow), "toggleCardSwitch")
        verify(control.checked)
        mouseClick(control)
        verify(!made.session.preventIdleSleepEnabled)
        made.session.preventIdleSleepEnabled = true
        verify(control.checked, "follows a change made elsewhere")
    }

    function test_progressDotsAndBackgrounds() {
        const made = makeFlow({ selectedNetwork: "regtest" })
        const colors = [Theme.onboardingCream, Theme.onboardingLavender, Theme.onboardingMint,
                        Theme.onboardingBlush, Theme.onboardingLavender]
        for (let step = 0; step <= 4; ++step) {
            goTo(made.flow, step)
            tryVerify(() => Qt.colorEqual(made.flow.color, colors[step]), 10000, "step " + step)
            for (let i = 0; i < 5; ++i)
                tryCompare(findChild(made.flow, "dot" + i), "opacity", i <= step ? 1.0 : 0.22)
        }
    }

    function test_a_change_of_step_moves_background_dots_and_step_area_together() {
        const made = makeFlow({ selectedNetwork: "regtest" })
        const stepArea = findChild(made.flow, "stepLoader")
        const dot = findChild(made.flow, "dot1")
        compare(stepArea.opacity, 1)
        mouseClick(findChild(made.flow, "nextButton"))
        // Each of the three runs a quarter of a second, eased in and out, and has begun.
        const motions = { background: made.flow.backgroundMotion, dot: dot.motion,
                          step: made.flow.stepMotion }
        for (const name in motions) {
            compare(motions[name].duration, 250, name)
            compare(motions[name].easing.type, Easing.InOutQuad, name)
        }
        verify(motions.step.running)
        verify(stepArea.opacity < 1)
        verify(dot.opacity < 1)
        tryCompare(stepArea, "opacity", 1)
        tryCompare(dot, "opacity", 1)

        // Less motion, asked while the flow is on screen: the next step is there at once.
        harness.setReduceMotion(true)
        mouseClick(findChild(made.flow, "backButton"))
        compare(stepArea.opacity, 1)
        compare(dot.opacity, 0.22)
        verify(Qt.colorEqual(made.flow.color, Theme.onboardingCream))
        harness.setReduceMotion(false)
    }

    // The lines of a text item as laid out: where each character lands.
    function laidOutLines(item) {
        const lines = []
        let line = ""
        let top = undefined
        for (let i = 0; i < item.text.length; ++i) {
            const y = item.positionToRectangle(i).y
            if (top !== undefined && y !== top) {
                lines.push(line)
                line = ""
            }
            top = y
            line += item.text[i]
        }
        lines.push(line)
        return lines
    }

    readonly property string longName:
        "Archives de la famille Müller-Lefèvre, photos très anciennes et lettres (1950s)"

    function test_theDataFolderWrapsAtItsSeparators_data() {
        return [
            { tag: "a long home", path: "/home/marguerite_delacroix_de_la_fontaine/.local/share/Corvanta" },
            { tag: "a deep support folder", path: "/srv/corvanta/installations/workstation_seventeen/support/Corvanta" },
            { tag: "names with breaks of their own", path: "/home/marguerite.delacroix-fontaine/workstation.seventeen/sandbox/.local/share/Corvanta" },
            { tag: "odd characters", path: "/srv/x1/y.2/a_b/c+d (e)/f?g/jean-pierre.dupont/Corvanta" },
            { tag: "spaces and accents", path: "/home/Répertoire personnel de Jean-Pierre Müller/Documents de travail/très long terme/Corvanta" },
            { tag: "accents as combining marks", path: "/home/Re\u0301pertoire de Jose\u0301 Nu\u0301n\u0303ez/Corvanta" },
            { tag: "a name of 79 characters", path: "/home/Répertoire personnel/" + longName + "/.local/share/Corvanta" },
            { tag: "a name wider than the card", path: "/home/" + "x".repeat(120) + "/.local/share/Corvanta" }
        ]
    }
    function test_theDataFolderWrapsAtItsSeparators(data) {
        compare(longName.length, 79)
        harness.setSupportDirectory(data.path)
        const made = makeFlow()
        harness.setSupportDirectory("")
        const path = findChild(made.flow, "supportDirectory")
        verify(path)
        const lines = laidOutLines(path).map(line => line.replace("\n", ""))
        verify(lines.length > 1, "the path takes more than one line: " + JSON.stringify(lines))
        compare(lines, path.lines, "drawn on the lines laid out for it")
        compare(lines.join(""), data.path)
        nameWidth.font = path.font
        let lineStart = 0
        for (let i = 0; i < lines.length; ++i) {
            // Within the width, but for a separator that ends it.
            const inked = lines[i].endsWith("/") ? lines[i].length - 1 : lines[i].length
            verify(path.positionToRectangle(lineStart + inked).x <= path.width,
                   "line " + i + " fits: " + JSON.stringify(lines))
            lineStart += lines[i].length + 1
            if (i + 1 === lines.length || lines[i].endsWith("/"))
                continue
            // Inside a name only when that name alone is wider than a line.
            nameWidth.text = lines[i].split("/").pop() + lines[i + 1].split("/")[0]
            verify(nameWidth.advanceWidth > path.width, "line " + i + " ends inside \""
                   + nameWidth.text + "\": " + JSON.stringify(lines))
        }
    }

    function test_theDataFolderIsSelectedAndCopiedAsThePathItself_data() {
        return test_theDataFolderWrapsAtItsSeparators_data()
    }
    function test_theDataFolderIsSelectedAndCopiedAsThePathItself(data) {
        harness.setSupportDirectory(data.path)
        const made = makeFlow()
        harness.setSupportDirectory("")
        const path = findChild(made.flow, "supportDirectory")
        harness.clearRecords()

        // Dragged over with the mouse, from its first character to its last: the selection a
        // middle click pastes is the path.
        mouseDrag(path, 0, 1, path.width - 1, path.height - 2)
        compare(harness.offeredSelections, [data.path])
        // Copied, it is the path itself.
        keySequence(StandardKey.Copy)
        compare(harness.copiedTexts, [data.path])

        // A part across a line end: that part of the path, without the line end.
        harness.clearRecords()
        const secondLine = path.positionToRectangle(path.lines[0].length + 1)
        mouseDrag(path, path.width / 2, 1, 0, secondLine.y + 1)
        compare(harness.offeredSelections.length, 1)
        const part = harness.offeredSelections[0]
        verify(part.length > 0 && data.path.includes(part), JSON.stringify(part))
        compare(part.length, path.selectionEnd - path.selectionStart - 1)

        // Every character, by the keyboard; a click elsewhere leaves nothing selected to offer.
        harness.clearRecords()
        keySequence(StandardKey.SelectAll)
        keySequence(StandardKey.Copy)
        compare(harness.offeredSelections, [data.path])
        compare(harness.copiedTexts, [data.path])
        mouseClick(path, 1, 1)
        keySequence(StandardKey.Copy)
        compare(harness.offeredSelections, [data.path])
        compare(harness.copiedTexts, [data.path])
    }

    // A new user whose settings cannot be kept learns it on the first screen, above its step,
    // whole, in the flow's language; the notice goes with the problem.
    function test_settingsThatCannotBeKeptAreSaidOnTheFirstScreen() {
        const fine = makeFlow()
        verify(!findChild(fine.flow, "onboardingUnsavedNotice").visible)

        const file = "/home/ana/.config/Corvanta/Corvanta.conf"
        const made = makeFlow({ settingsUnsavedFile: file })
        const notice = findChild(made.flow, "onboardingUnsavedNotice")
        const text = findChild(notice, "settingsUnsavedText")
        verify(notice.visible)
        compare(text.text, "Les réglages ne peuvent pas être enregistrés dans " + file
                + " : les réponses données ici valent jusqu'à la fermeture de Corvanta, et ces questions reviendront au prochain démarrage.")
        const area = findChild(made.flow, "stepArea")
        verify(notice.mapToItem(made.flow, 0, 0).y + notice.height <= area.mapToItem(made.flow, 0, 0).y,
               "above the step")
        verify(text.height <= notice.height && notice.width <= made.flow.width, "drawn whole")

        goTo(made.flow, 1)
        verify(!notice.visible, "said before the first step, not over the others")
        mouseClick(button(made.flow, "backButton"))
        verify(notice.visible)

        language.set("en")
        tryVerify(() => text.text.startsWith("Settings cannot be saved to " + file + ": the answers"), 5000, text.text)
        language.set("de")
        tryVerify(() => text.text.startsWith("Die Einstellungen können nicht in " + file), 5000, text.text)

        made.session.settingsUnsavedFile = ""
        verify(!notice.visible, "gone once a save went through")
    }
}
