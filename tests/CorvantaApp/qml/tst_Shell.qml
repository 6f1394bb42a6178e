import QtQuick
import QtQuick.Controls
import QtTest
import Corvanta
import "../fake"

// The main window's content over a stand-in session: which page shows, what its buttons ask of
// the session and the shell, and the theme following the preference at once.
TestCase {
    id: testCase

    name: "Shell"
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

    function init() {
        failOnWarning(/.?/)
        language.set("fr")
        harness.resetPrefs()
    }

    function makeWindow() {
        const session = createTemporaryObject(sessionComponent, testCase)
        const shell = harness.makeShell(session)
        const window = createTemporaryObject(windowComponent, testCase, {shell: shell})
        verify(window)
        window.show()
        waitForRendering(window.contentItem)
        harness.appear(shell)
        return {session: session, shell: shell, window: window}
    }

    function page(window, name) {
        return findChild(window.contentItem, name)
    }

    function test_content_follows_onboarding_and_mini_mode() {
        const app = makeWindow()
        verify(page(app.window, "onboardingPage"))
        compare(app.session.calls, [])
        page(app.window, "onboardingView").finish()
        tryVerify(function() { return page(app.window, "dashboardPage") !== null })
        compare(Prefs.onboardingCompleted, true)
        // The flow starts the session once; the dashboard that follows starts nothing more,
        // though the stand-in stays idle (as a start that failed would leave it failed).
        compare(app.session.calls, ["start()"])

        app.session.runState = 3
        mouseClick(page(app.window, "compactButton"))
        tryVerify(function() { return page(app.window, "miniDashboardPage") !== null })
        compare(page(app.window, "miniDashboardPage").implicitWidth, 380)
        compare(app.session.calls, ["start()"])

        // The mini dashboard's settings button: back to the dashboard, its panel open.
        mouseClick(page(app.window, "settingsButton"))
        tryVerify(function() { return page(app.window, "dashboardPage") !== null })
        tryVerify(function() { return page(app.window, "settingsPanel").visible })
        compare(app.shell.openAdvancedOnAppear, false)
    }

    function test_tray_settings_open_the_panel_of_a_dashboard_already_shown() {
        Prefs.onboardingCompleted = true
        const app = makeWindow()
        verify(!page(app.window, "settingsPanel").visible)
        const opens = harness.windowOpens
        app.shell.openSettings()
        verify(page(app.window, "settingsPanel").visible)
        compare(harness.windowOpens, opens + 1)
    }

    function test_theme_switch_blends_unless_the_desktop_asks_for_less_motion() {
        Prefs.onboardingCompleted = true
        const app = makeWindow()
        tryVerify(() => String(app.window.color) === "#fffdf7")
        mouseClick(page(app.window, "themeButton"))
        compare(Prefs.appTheme, "dark")
        compare(page(app.window, "themeButton").text, "Passer en clair")
        // A quarter of a second from one palette to the other, passing between the two.
        compare(Theme.switchDuration, 250)
        verify(String(app.window.color) !== "#151219")
        tryVerify(() => String(app.window.color) === "#151219")
        compare(String(Theme.cardBackground), "#221d2b")
        // In mini mode too; and the desktop's wish for less motion switches at once, live.
        Prefs.miniMode = true
        tryVerify(function() { return page(app.window, "miniDashboardPage") !== null })
        harness.setReduceMotion(true)
        mouseClick(page(app.window, "themeButton"))
        compare(Theme.switchDuration, 0)
        compare(String(app.window.color), "#fffdf7")
        harness.setReduceMotion(false)
        mouseClick(page(app.window, "themeButton"))
        compare(Theme.switchDuration, 250)
        tryVerify(() => String(app.window.color) === "#151219")
        Prefs.appTheme = "Dark"
        compare(Theme.dark, false)
    }

    Component {
        id: componentsComponent
        Column {
            property alias section: section
            property alias row: row
            property alias plain: plain
            property alias unknownSymbol: unknownSymbol
            property alias symbol: symbol
            property alias missingSticker: missingSticker
            property alias sticker: sticker
            width: 400
            SectionLabel { id: section; title: "Puissance" }
            InfoRow { id: row; width: 400; label: "Gains"; value: "<b>0.00 BTC</b>" }
            PlainLabel { id: plain; width: 400; text: "<i>node said</i> &amp; more" }
            SymbolIcon { id: unknownSymbol; name: "no.such.symbol" }
            SymbolIcon { id: symbol; name: "bitcoinsign.circle.fill"; size: 20 }
            BrandSticker { id: missingSticker; asset: "no-such-image" }
            BrandSticker { id: sticker; asset: "shield"; size: 44 }
        }
    }

    function test_components_show_what_they_are_given() {
        const c = createTemporaryObject(componentsComponent, testCase)
        compare(c.section.text, "PUISSANCE")
        compare(c.section.textFormat, Text.PlainText)
        // Untrusted text is never read as markup.
        compare(c.plain.textFormat, Text.PlainText)
        compare(c.plain.text, "<i>node said</i> &amp; more")
        verify(c.plain.implicitWidth > 150)
        compare(c.unknownSymbol.visible, false)
        compare(c.symbol.visible, true)
        compare(c.symbol.implicitWidth, 20)
        compare(c.missingSticker.implicitWidth, 0)
        compare(c.sticker.implicitWidth, 44)
    }
}
