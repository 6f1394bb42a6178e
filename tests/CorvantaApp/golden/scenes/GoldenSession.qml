import QtQuick
import "../../fake"

// A session in full swing at a fixed instant: each scene changes what it shows differently.
FakeSessionModel {
    readonly property double at: 1700000000

    runState: 3
    isHashing: true
    activeNetwork: "mainnet"
    selectedNetwork: "mainnet"
    powerMode: "balanced"
    effectiveWorkerCount: 7
    currentHashRateMHs: 212.47
    miningStartedAt: new Date((at - 7530) * 1000)
    cpuUsage: ({ systemFraction: 0.625, processFraction: 0.42 })
    confirmedNetworkTipTimestamp: new Date((at - 263) * 1000)
    sessionStartHeight: 870000
    freshChainStatus: ({ chain: "main", blocks: 870012, headers: 870012 })
    chainStatusUpdatedAt: new Date((at - 45) * 1000)
    earnings: ({ matureSats: 312500000, immatureSats: 0 })
    scanCoversConfiguredAddress: true
    persistedHistory: [{ id: "a", height: 860000 }]
    persistedHistoryCount: 1
    currentCandidateValidation: ({ kind: "validated", height: 870013, transactionCount: 3412,
                                   reason: "" })
    schedule: {
        const slots = []
        for (let i = 0; i < 144; ++i)
            slots.push(i < 42 ? "eco" : i < 108 ? "smart" : i < 126 ? "max" : "off")
        return slots
    }
    currentScheduleSlot: 87
    scheduleIsDriving: true
}
