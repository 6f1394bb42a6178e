DashboardScene {
    configure: function(s) {
        s.runState = 5
        s.failureMessage = "Le nœud s'est arrêté : <b>espace disque insuffisant</b> dans le dossier des données, libérez au moins 20 Go puis relancez."
        s.currentHashRateMHs = 0
        s.miningStartedAt = undefined
        s.currentCandidateValidation = { kind: "rejected", height: 870013, transactionCount: 0,
                                          reason: "bad-txns-<b>inputs</b>-missingorspent" }
    }
}
