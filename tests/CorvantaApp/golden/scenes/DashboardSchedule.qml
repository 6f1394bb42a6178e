DashboardScene {
    configure: function(s) {
        s.scheduleEnabled = true
        s.scheduleIsDriving = false
        s.manuallyPaused = true
        s.isHashing = false
        s.effectiveWorkerCount = 3
        s.isThrottledBelowRequestedMode = true
        s.activeNetwork = "regtest"
    }
}
