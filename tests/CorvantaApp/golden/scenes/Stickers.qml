import QtQuick
import Corvanta

// Every brand image as a sticker, on the window background.
Rectangle {
    width: 480
    height: 360
    color: Theme.background

    Grid {
        anchors.centerIn: parent
        columns: 5
        spacing: 16
        Repeater {
            model: ["energy", "cloud", "sparkle", "bitcoin", "gift", "shield", "badge-mainnet",
                    "mainnet", "wordmark", "mark", "coin", "wallet", "gauge", "brain"]
            BrandSticker { asset: modelData; size: 72 }
        }
    }
}
