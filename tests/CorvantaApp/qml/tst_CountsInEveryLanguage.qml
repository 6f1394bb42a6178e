import QtQuick
import QtTest
import Corvanta
import "../fake"

// Every view that shows a count, in the six languages, at counts from none to six digits: no count
// written in singular and plural at once, no English text where the language says it otherwise,
// and every text that carries a count drawn whole.
TestCase {
    id: testCase

    name: "CountsInEveryLanguage"
    when: windowShown
    width: 900
    height: 1800
    visible: true

    readonly property var languages: ["fr", "en", "de", "es", "it", "pt"]
    readonly property var counts: [0, 1, 2, 1202, 123456]

    Component {
        id: sessionComponent
        FakeSessionModel {}
    }
    Component {
        id: dashboardComponent
        ContentView {
            width: 900
            height: 860
        }
    }
    Component {
        id: miniComponent
        MiniDashboardView {
            width: 380
            height: 377
        }
    }
    // The settings sections that show counts, at the width of the panel's cards.
    Component {
        id: safetyComponent
        WinningSafetyView { width: 340 }
    }
    Component {
        id: nodeComponent
        NodeSectionView { width: 340 }
    }
    Component {
        id: cpuComponent
        PowerSettingsView { width: 340 }
    }
    Component {
        id: diagnosticsComponent
        DiagnosticsSectionView { width: 340 }
    }

    // Sessions outlive the views made over them, as the application's does.
    property var sessions: []
    function cleanupTestCase() {
        sessions.forEach(s => s.destroy())
    }

    function init() {
        failOnWarning(/.?/)
        language.set("fr")
        DashboardLogic.fixedNow = 1700000000
        DashboardLogic.performanceCores = 10
        Prefs.onboardingCompleted = true
        harness.resetPrefs()
    }
    function cleanup() {
        language.set("fr")
        DashboardLogic.fixedNow = undefined
    }

    // A session mining with every count at `n`.
    function countedSession(n) {
        const session = sessionComponent.createObject(testCase)
        sessions.push(session)
        session.schedule = new Array(144).fill("balanced")
        session.selectedNetwork = "regtest"
        session.runState = 3
        session.isHashing = true
        session.miningStartedAt = 1700000000 - 3600
        session.rpcLinkState = 1
        session.peerCount = n
        session.sessionStartHeight = 800000
        session.freshChainStatus = { chain: "regtest", blocks: 800000 + n, headers: 800000 + n }
        session.chainStatus = session.freshChainStatus
        session.confirmedNetworkTipTimestamp = 1700000000 - 125
        session.templateHeight = 800001 + n
        session.templateTransactionCount = n
        session.effectiveWorkerCount = n
        session.advancedWorkerCount = Math.max(n, 1)
        session.isThrottledBelowRequestedMode = true
        session.proofEntryCount = n
        session.currentCandidateValidation = { kind: "validated", height: 800001 + n, transactionCount: n }
        session.persistedHistoryCount = n
        return session
    }

    // The visible texts under `item`.
    function visibleTexts(item, found) {
        if (!item || !item.visible)
            return found
        if (item.text !== undefined && typeof item.text === "string" && item.text !== ""
                && item.truncated !== undefined && item.contentWidth !== undefined)
            found.push(item)
        const children = item.children || []
        for (let i = 0; i < children.length; ++i)
            visibleTexts(children[i], found)
        return found
    }

    function check(view, code, n, where) {
        const number = String(n)
        let counted = 0
        for (const text of visibleTexts(view, [])) {
            const shown = text.text
            verify(!/\w\((s|es|en|e|n|i|a|ões)\)/.test(shown), where + " " + code + ": " + shown)
            const english = language.englishInstead(code, shown)
            verify(english === "", where + " " + code + ": English \"" + shown + "\" (" + english + ")")
            // The texts that carry the count: drawn whole, at every count.
            if (n >= 1202 && (shown.includes(number) || shown.includes(Number(n).toLocaleString("en-US")))) {
                ++counted
                verify(!text.truncated, where + " " + code + " cut: " + shown)
                verify(text.contentWidth <= text.width + 0.5,
                       where + " " + code + ": " + shown + " " + text.contentWidth + " > " + text.width)
            }
        }
        return counted
    }

    function test_dashboard_mini_dashboard_and_settings_count_in_every_language() {
        for (const n of counts) {
            const session = countedSession(n)
            const views = {
                dashboard: createTemporaryObject(dashboardComponent, testCase, { session: session }),
                mini: createTemporaryObject(miniComponent, testCase, { session: session, y: 860 }),
                safety: createTemporaryObject(safetyComponent, testCase, { session: session, x: 400, y: 860 }),
                node: createTemporaryObject(nodeComponent, testCase, { session: session, x: 400, y: 1160 }),
                cpu: createTemporaryObject(cpuComponent, testCase, { session: session, y: 1260 }),
                diagnostics: createTemporaryObject(diagnosticsComponent, testCase, { session: session, x: 400, y: 1460 })
            }
            for (const code of languages) {
                language.set(code)
                // Layouts place their items at the next polish, before the next frame.
                wait(50)
                let counted = 0
                for (const name in views) {
                    verify(views[name], name)
                    counted += check(views[name], code, n, name + " at " + n)
                }
                // The pulse's draws, the tray-like peers, transactions, workers and ledger entries.
                if (n >= 1202)
                    verify(counted >= 4, code + ": only " + counted + " texts carry " + n)
            }
        }
    }
}
