import QtQuick
import Corvanta
import "../../fake"

// The settings panel with the wallet card open, during a paused session that still pays an
// earlier address.
Rectangle {
    width: 420
    height: 760
    color: Theme.background

    AdvancedPanel {
        anchors.right: parent.right
        height: parent.height
        initialSection: "wallet"
        session: FakeSessionModel {
            selectedNetwork: "mainnet"
            activeNetwork: "mainnet"
            payoutAddressInput: "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"
            payoutDivergence: "bc1qar0srrr7xfkvy5l643lydnw9re59gtzzwf5mdq"
        }
    }
}
