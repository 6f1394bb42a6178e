import QtQuick
import QtQuick.Controls
import QtTest
import Corvanta
import "../fake"

// Whatever lies over the dashboard keeps the pointer to itself: clicks of every button, double
// clicks, drags, wheel turns and hover over the blank parts of the settings panel, of the
// block-found celebration and of the ledger sheet never reach the dashboard under them. Checked
// on the main window's real content at a grid of points across each overlay.
TestCase {
    id: testCase

    name: "Overlays"
    when: windowShown
    width: 900
    height: 860
    visible: true

    Component {
        id: sessionComponent
        FakeSessionModel {}
    }
    Component {
        id: windowComponent
        MainWindow {}
    }

    // Sessions outlive the windows made over them, as the application's does.
    property var sessions: []

    function cleanupTestCase() {
        sessions.forEach(s => s.destroy())
    }

    function init() {
        failOnWarning(/.?/)
        language.set("fr")
        harness.resetPrefs()
        harness.clearRecords()
        Prefs.onboardingCompleted = true
    }

    // Short enough that the dashboard scrolls, so that a wheel turn reaching it would show.
    function makeWindow() {
        const session = sessionComponent.createObject(testCase, {
            runState: 3,
            scheduleEnabled: true,
            schedule: new Array(144).fill("balanced")
        })
        sessions.push(session)
        const shell = harness.makeShell(session)
        const window = createTemporaryObject(windowComponent, testCase,
                                             { shell: shell, height: 640 })
        verify(window)
        window.show()
        waitForRendering(window.contentItem)
        harness.appear(shell)
        const dashboard = findChild(window.contentItem, "dashboardPage")
        verify(dashboard)
        return { session: session, shell: shell, window: window, dashboard: dashboard }
    }

    function named(root, name) {
        const found = findChild(root, name)
        verify(found, name)
        return found
    }

    // A frame drawn, so that what was laid out last is where it shows.
    function settle(app) {
        app.window.update()
        verify(waitForRendering(app.window.contentItem), "no frame drawn")
    }

    function openPanel(app, card) {
        app.dashboard.openAdvancedPanel("")
        const slot = named(app.dashboard, "settingsPanel")
        tryCompare(slot, "x", app.dashboard.width - slot.width)
        const panel = named(slot, "advancedPanel")
        if (card !== "") {
            mouseClick(named(named(panel, "card_" + card), "header"))
            tryVerify(() => !named(panel, "card_" + card).bodyMotion.running)
            settle(app)
        }
        return panel
    }

    // The panel with one card open, or none; a long event log, so that its end is reached.
    function panelOverlay(card) {
        return {
            tag: card === "" ? "settings panel" : "settings panel, " + card + " open",
            open: app => {
                for (let i = 0; i < 60; ++i)
                    app.session.eventLog.append({ timestamp: 1700000000 + i, message: "Ligne " + i })
                const panel = openPanel(app, card)
                return { root: panel, under: app.dashboard, exclude: "settingsPanel",
                         wholeWindow: false, shown: () => app.dashboard.advancedPanelOpen }
            }
        }
    }

    // Each overlay as the user brings it up; `root` is what it draws, `shown` whether it is still
    // up, `under` the part of the window that must not react, less the overlay's own subtree
    // named by `exclude`; `wholeWindow` where its ground covers the whole window.
    readonly property var overlays: [
        panelOverlay(""), panelOverlay("wallet"), panelOverlay("safety"), panelOverlay("node"),
        panelOverlay("cpu"), panelOverlay("ledger"), panelOverlay("hashes"),
        panelOverlay("menuBar"), panelOverlay("diagnostics"), panelOverlay("settings"),
        panelOverlay("about"),
        {
            tag: "block-found celebration",
            open: app => {
                app.session.blockFoundPresentation = { id: "a", height: 840000, hashHex: "00ab",
                                                       rewardSats: 312500000 }
                const layer = named(app.dashboard, "blockFoundLayer")
                tryCompare(layer, "opacity", 1)
                return { root: layer, under: app.dashboard, exclude: "blockFoundLayer",
                         wholeWindow: true, shown: () => app.session.blockFoundPresentation !== undefined }
            }
        },
        {
            tag: "ledger sheet over the settings panel",
            open: app => {
                const panel = openPanel(app, "ledger")
                mouseClick(named(panel, "fullLedgerButton"))
                // The sheet lives in the window's overlay, apart from the objects that made it:
                // found by what it draws, then climbed to the popup's own item.
                let sheet = null
                tryVerify(() => (sheet = itemNamed(app.window.contentItem, "sheetScroll")) !== null)
                while (sheet.parent.parent !== app.window.contentItem)
                    sheet = sheet.parent
                tryCompare(sheet, "opacity", 1)
                settle(app)
                // The sheet covers the panel too: all the dashboard, panel included, lies under.
                return { root: sheet, under: app.dashboard, exclude: "",
                         wholeWindow: true, shown: () => sheet.visible }
            }
        }
    ]

    // The pointer's ways of acting at a point; clicks only where the overlay shows nothing to
    // click, the wheel everywhere.
    readonly property var gestures: [
        { name: "left click", blankOnly: true, run: (w, x, y) => mouseClick(w, x, y, Qt.LeftButton) },
        { name: "right click", blankOnly: true, run: (w, x, y) => mouseClick(w, x, y, Qt.RightButton) },
        { name: "middle click", blankOnly: true, run: (w, x, y) => mouseClick(w, x, y, Qt.MiddleButton) },
        { name: "double click", blankOnly: true, run: (w, x, y) => mouseDoubleClickSequence(w, x, y) },
        {
            name: "drag", blankOnly: true, run: (w, x, y) => {
                mousePress(w, x, y)
                mouseMove(w, x + 14, y + 9, -1, Qt.LeftButton)
                mouseRelease(w, x + 14, y + 9)
            }
        },
        {
            name: "wheel", blankOnly: false, run: (w, x, y) => {
                mouseMove(w, x, y)
                mouseWheel(w, x, y, 0, -360)
                mouseWheel(w, x, y, 0, 120)
                mouseWheel(w, x, y, -120, 0)
            }
        }
    ]

    function test_nothing_under_an_overlay_reacts_data() {
        return overlays.map((o, i) => ({ tag: o.tag, index: i }))
    }

    function itemNamed(item, name) {
        if (item.objectName === name)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = itemNamed(item.children[i], name)
            if (found)
                return found
        }
        return null
    }

    // The topmost item under the scene point (x, y) within `item` that takes the pointer itself:
    // a button, a mouse area, a scroll bar, a text field. The overlay's own ground is no such
    // item: it is what takes the rest.
    function controlAt(item, x, y) {
        if (!item.visible || !item.enabled || item.opacity === 0)
            return null
        const p = item.mapFromItem(null, x, y)
        const inside = p.x >= 0 && p.y >= 0 && p.x < item.width && p.y < item.height
        if (item.clip && !inside)
            return null
        const kids = []
        for (let i = 0; i < item.children.length; ++i)
            kids.push({ k: item.children[i], i: i })
        kids.sort((a, b) => a.k.z - b.k.z || a.i - b.i)
        for (let i = kids.length - 1; i >= 0; --i) {
            const found = controlAt(kids[i].k, x, y)
            if (found)
                return found
        }
        const takesPointer = item.pressed !== undefined || item.cursorPosition !== undefined
        return inside && takesPointer && item.objectName !== "overlayGround" ? item : null
    }

    // Everything under the overlay that could show a reaction: a press, a click, a hover, a
    // scroll. `exclude` names the overlay's own subtree.
    function watch(root, exclude, log) {
        if (root.objectName === exclude && exclude !== "")
            return
        const name = root.objectName || String(root)
        if (typeof root.pressedChanged === "function")
            root.pressedChanged.connect(() => { if (root.pressed) log.push("pressed " + name) })
        // As on a desktop with a mouse, where controls light up under the pointer.
        if (root.hoverEnabled === false)
            root.hoverEnabled = true
        if (typeof root.hoveredChanged === "function")
            root.hoveredChanged.connect(() => { if (root.hovered) log.push("hovered " + name) })
        if (typeof root.containsMouseChanged === "function")
            root.containsMouseChanged.connect(() => { if (root.containsMouse) log.push("hovered " + name) })
        if (typeof root.clicked === "function")
            root.clicked.connect(() => log.push("clicked " + name))
        // A wheel turn sets a list moving at once and moves it frames later.
        if (typeof root.movingChanged === "function" && root.contentY !== undefined) {
            root.movingChanged.connect(() => { if (root.moving) log.push("scrolled " + name) })
            root.contentYChanged.connect(() => log.push("scrolled " + name))
        }
        for (let i = 0; i < root.children.length; ++i)
            watch(root.children[i], exclude, log)
    }

    function test_nothing_under_an_overlay_reacts(data) {
        const app = makeWindow()
        const w = app.window.contentItem
        // The pointer starts over the dashboard's own blank margin, away from every overlay.
        mouseMove(w, 2, app.window.height - 2)
        const overlay = overlays[data.index].open(app)
        const theme = Prefs.appTheme
        const calls = app.session.calls.length
        const log = []
        watch(overlay.under, overlay.exclude, log)

        const area = overlay.wholeWindow
                     ? Qt.rect(0, 0, app.window.width, app.window.height)
                     : overlay.root.mapToItem(null, 0, 0, overlay.root.width, overlay.root.height)
        const x0 = Math.max(0, Math.ceil(area.x))
        const y0 = Math.max(0, Math.ceil(area.y))
        const x1 = Math.min(app.window.width, area.x + area.width)
        const y1 = Math.min(app.window.height, area.y + area.height)
        // The header's buttons lie under each overlay: the grid must click over every one of them.
        const buttons = ["replayButton", "helpButton", "compactButton", "themeButton"]
        const missed = new Set(buttons)
        const over = (name, x, y) => {
            const b = named(app.dashboard, name)
            const p = b.mapFromItem(null, x, y)
            return p.x >= 0 && p.y >= 0 && p.x < b.width && p.y < b.height
        }
        const step = 20
        let blank = 0
        let points = 0
        for (let y = y0 + 5; y < y1 - 1; y += step) {
            for (let x = x0 + 5; x < x1 - 1; x += step) {
                ++points
                const isBlank = controlAt(overlay.root, x, y) === null
                if (isBlank) {
                    ++blank
                    buttons.filter(b => over(b, x, y)).forEach(b => missed.delete(b))
                }
                for (const gesture of gestures) {
                    if (gesture.blankOnly && !isBlank)
                        continue
                    gesture.run(w, x, y)
                    const where = gesture.name + " at " + x + "," + y + ": "
                    compare(log, [], where + "something under the overlay reacted")
                    verify(Prefs.onboardingCompleted, where + "the welcome screen came back")
                    compare(Prefs.appTheme, theme, where + "the theme switched")
                    compare(app.shell.content, "dashboard", where + "the view changed")
                    compare(app.session.calls.length, calls, where + "the session was asked something")
                    verify(overlay.shown(), where + "the overlay went")
                }
            }
        }
        // Most of each overlay is blank: the grid did click where it meant to.
        verify(blank > points / 4, blank + " blank points of " + points)
        compare(Array.from(missed), [], "header buttons under no blank point")
        console.info(data.tag + ": " + points + " points, " + blank + " blank")
    }
}
