DashboardScene {
    // The overlay's fade and the icon's spring, played out.
    property int goldenSettleMs: 2500

    configure: function(s) {
        s.blockFoundPresentation = { id: "golden", height: 870013, hashHex: "00",
                                     rewardSats: 312500000 }
    }
}
