import QtQuick
import Corvanta
import "../../fake"

// The diagnostics card with its event log, scrolled to the newest line.
Rectangle {
    width: 420
    height: 900
    color: Theme.background

    AdvancedPanel {
        anchors.right: parent.right
        height: parent.height
        initialSection: "diagnostics"
        session: FakeSessionModel {
            id: session
            workLoadStatistics: ({ average: 12.4, p95: 30, maximum: 41 })
            selfTestVerdict: ({ passed: false, reason: "digest mismatch <b>raw</b>" })
            effectiveWorkerCount: 6
            templateHeight: 903412
            templateTransactionCount: 2841
            templateBits: 0x17034219
            currentExtranonceText: "42"
            Component.onCompleted: {
                const start = Date.UTC(2026, 0, 2, 9, 5, 7)
                const lines = ["Démarrage du nœud…", "Nœud prêt", "Minage démarré (6 workers)",
                               "<i>node says:</i> template 903412, a long line that wraps onto a second line beside the time",
                               "Nouveau bloc du réseau 903413"]
                for (let i = 0; i < lines.length; ++i)
                    eventLog.append({ timestamp: new Date(start + i * 61000), message: lines[i] })
            }
        }
    }
}
