import QtQuick
import Corvanta
import "../../fake"

// The address step with a typed address, on mainnet.
OnboardingView {
    width: 900
    height: 860
    step: 1
    session: FakeSessionModel {
        selectedNetwork: "mainnet"
        payoutAddressInput: " bc1qnotanaddress"
    }
}
