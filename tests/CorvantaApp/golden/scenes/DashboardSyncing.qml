DashboardScene {
    configure: function(s) {
        s.runState = 2
        s.syncBlocks = 512345
        s.syncHeaders = 870012
        s.syncPercent = 37.44
        s.currentHashRateMHs = 0
        s.miningStartedAt = undefined
        s.currentCandidateValidation = undefined
        s.sessionStartHeight = undefined
    }
}
