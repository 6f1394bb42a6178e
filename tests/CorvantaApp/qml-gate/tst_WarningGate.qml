import QtQuick
import QtTest

// Passes its checks but warns: the run must fail, or the QML tests' warning gate has rotted.
TestCase {
    name: "WarningGate"

    function init() {
        failOnWarning(/.?/)
    }

    function test_a_warning_fails_the_run() {
        console.warn("a warning the gate must catch")
        verify(true)
    }
}
