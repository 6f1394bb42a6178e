DashboardScene {
    configure: function(s) {
        s.payoutNeedsAttention = true
        s.earnings = undefined
        s.persistedHistoryTotalSats = 0
        s.persistedHistory = []
        s.persistedHistoryCount = 0
        s.currentCandidateValidation = { kind: "unavailable", height: 870013,
                                          transactionCount: 0, reason: "timeout" }
    }
}
