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
            // The journal's line 44 was refused: the entries before it are shown, none after.
            proofLogUnreadable: false
            proofJournalRefusedLine: 44
            proofLogFile: "/home/user/.local/share/Corvanta/proof/mainnet.json"
            proofVerification: ({ entriesChecked: 42, brokenChainAt: [], invalidWorkAt: [], bestDifficultyProven: 1234567, hashesReported: 5.3e15, hashesReportedText: "5300000000000000", firstAnchor: { height: 850000 }, lastAnchor: { height: 850041 }, isIntact: true })
            recentProofEntries: [
                { index: 40, networkHeight: 850040, networkBlockHash: "00000000000000000001a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e6f7", hashesReported: 1.2e14, hashesReportedText: "120000000000000" },
                { index: 41, networkHeight: 850041, networkBlockHash: "short-hash-17char", hashesReported: 999, hashesReportedText: "999" }
            ]
        }
    }
}
