import QtQuick
import QtQuick.Controls
import QtQuick.Window
import Corvanta
import "../../fake"

// The full ledger sheet over the window.
Rectangle {
    id: scene

    // Opened once the scene is in its window.
    readonly property var window: Window.window

    onWindowChanged: if (window) sheet.open()
    width: 640
    height: 720
    color: Theme.background

    ProofLedgerView {
        id: sheet
        parent: scene
        session: FakeSessionModel {
            proofLogUnreadable: true
            proofVerification: undefined
            recentProofEntries: [
                { index: 40, networkHeight: 850040, networkBlockHash: "00000000000000000001a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e6f7", hashesReported: 1.2e14, hashesReportedText: "120000000000000" },
                { index: 41, networkHeight: 850041, networkBlockHash: "short-hash-17char", hashesReported: 999, hashesReportedText: "999" }
            ]
        }
    }
}
