import QtQuick
import Corvanta
import "../../fake"

// The first-run flow on one of its steps, over a stand-in session on regtest.
OnboardingView {
    width: 900
    height: 860
    step: 2
    session: FakeSessionModel { selectedNetwork: "regtest" }
    setLaunchAtLogin: on => true
}
