import QtQuick

// A stand-in for the session model with its whole surface (a test holds the two side by side):
// every property settable, every operation recorded in `calls` in order, in the form
// "name(arg, …)". shutdownForTermination() answers at once unless `holdShutdown` is set, then
// finishShutdown() answers.
QtObject {
    id: model

    property var calls: []
    property bool holdShutdown: false
    property bool shutdownInProgress: false

    property string selectedNetwork: "mainnet"
    property string payoutAddressInput: ""
    property string powerMode: "balanced"
    property var advancedWorkerCount: undefined
    property bool allowMiningOnBattery: false
    property bool preventIdleSleepEnabled: false
    property bool usageStatisticsEnabled: false
    property int storageTarget: 20
    property bool manuallyPaused: false
    property bool governorPaused: false
    property string governorPauseReason: ""
    property bool scheduleEnabled: false
    property var schedule: []
    property int currentScheduleSlot: 0
    property var scheduleOverrideUntil: undefined
    property int runState: 0
    property real syncBlocks: 0
    property real syncHeaders: 0
    property real syncPercent: 0
    property string failureMessage: ""
    property var activeNetwork: undefined
    property var activePayout: undefined
    property var miningStartedAt: undefined
    property var sessionStartHeight: undefined
    property var chainStatus: undefined
    property var chainStatusUpdatedAt: undefined
    property var peerCount: undefined
    property var noPeersSince: undefined
    property string diskFullAlert: ""
    property var coreVersion: undefined
    property var networkTipTimestamp: undefined
    property var networkTipObservedAt: undefined
    property var networkHashesPerSecond: undefined
    property var templateHeight: undefined
    property var templateTransactionCount: undefined
    property var templateBits: undefined
    property real currentExtranonce: 0
    property string currentExtranonceText: "0"
    property int templatesReceived: 0
    property int templatesAbandoned: 0
    property int extranonceRotations: 0
    property var workLoadLatencies: []
    property var candidateValidation: undefined
    property real sessionHashes: 0
    property string sessionHashesText: "0"
    property real lifetimeHashes: 0
    property string lifetimeHashesText: "0"
    property real currentHashRateMHs: 0
    property var hashRateHistory: []
    property var effectiveWorkerCount: undefined
    property var bestDifficultySession: undefined
    property var bestDifficultyAllTime: undefined
    property var bestDifficultyNetwork: undefined
    property var blocksFound: []
    property var blockFoundPresentation: undefined
    property var persistedHistory: []
    property real persistedHistoryCount: 0
    property real persistedHistoryTotalSats: 0
    property var earnings: undefined
    property var earningsScanState: undefined
    property int proofEntryCount: 0
    property var proofVerification: undefined
    property var recentProofEntries: []
    property bool proofLogUnreadable: false
    property string proofLogSetAside: ""
    property int proofJournalRefusedLine: 0
    property string proofSetAsideKind: ""
    property string proofLogFile: ""
    property string settingsUnsavedFile: ""
    property var selfTestVerdict: undefined
    property var selfTestCheckedAt: undefined
    property var cpuUsage: undefined
    property string thermalState: "nominal"
    property ListModel eventLog: ListModel {}
    property bool isHashing: false
    property var freshChainStatus: undefined
    property int rpcLinkState: 0
    property var confirmedNetworkTipTimestamp: undefined
    property var currentCandidateValidation: undefined
    property bool payoutNeedsAttention: false
    property var payoutDivergence: undefined
    property bool scanCoversConfiguredAddress: false
    property var bestAttemptShareOfNetwork: undefined
    property bool scheduleIsDriving: false
    property bool isThrottledBelowRequestedMode: false
    property var workLoadStatistics: undefined

    signal terminationReady()

    function record(call) {
        model.calls = model.calls.concat([call])
    }
    function start() { record("start()") }
    function stop() { record("stop()") }
    function shutdownForTermination() {
        record("shutdownForTermination()")
        if (!model.holdShutdown) model.terminationReady()
    }
    function finishShutdown() { model.terminationReady() }
    function setManuallyPaused(paused) { record("setManuallyPaused(" + paused + ")") }
    function selectPowerModeManually(mode) { record("selectPowerModeManually(" + mode + ")") }
    function setScheduleMode(mode, from, through) {
        record("setScheduleMode(" + mode + ", " + from + ", " + through + ")")
    }
    function setScheduleEnabled(enabled) { record("setScheduleEnabled(" + enabled + ")") }
    function resumeSchedule() { record("resumeSchedule()") }
    function suspendScheduleUntilMidnight() { record("suspendScheduleUntilMidnight()") }
    function appliedPowerMode(effectiveWorkerCount, maxWorkers) {
        record("appliedPowerMode(" + effectiveWorkerCount + ", " + maxWorkers + ")")
        return undefined
    }
}
