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
        payoutAddressInput: " bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"
    }
}
