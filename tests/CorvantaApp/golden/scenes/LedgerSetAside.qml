import QtQuick
import QtQuick.Controls
import QtQuick.Window
import Corvanta
import "../../fake"

// The full ledger sheet over the window, after an earlier ledger was set aside.
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
            // A ledger cut short, set aside at start; three entries made since.
            proofLogUnreadable: false
            proofLogSetAside: "/home/user/.local/share/Corvanta/proof/regtest.unreadable-1796601600.json"
            proofSetAsideKind: "ledgerAndJournal"
            proofVerification: ({ entriesChecked: 3, brokenChainAt: [], invalidWorkAt: [], bestDifficultyProven: 0, hashesReported: 3.1e9, hashesReportedText: "3100000000", firstAnchor: { height: 176 }, lastAnchor: { height: 178 }, isIntact: true })
            recentProofEntries: [
                { index: 0, networkHeight: 176, networkBlockHash: "3f1c2e1a3b9d4c7e9a2b00000000000f3f1c2e1a3b9d4c7e9a2b00000000000f", hashesReported: 1.0e9, hashesReportedText: "1000000000" },
                { index: 1, networkHeight: 177, networkBlockHash: "4a1c2e1a3b9d4c7e9a2b00000000000f3f1c2e1a3b9d4c7e9a2b00000000000f", hashesReported: 1.0e9, hashesReportedText: "1000000000" },
                { index: 2, networkHeight: 178, networkBlockHash: "5b1c2e1a3b9d4c7e9a2b00000000000f3f1c2e1a3b9d4c7e9a2b00000000000f", hashesReported: 1.1e9, hashesReportedText: "1100000000" }
            ]
        }
    }
}
