import QtQuick
import Corvanta

// One brand image at `size` × `size`, proportions kept. A missing image shows nothing and takes
// no space.
Item {
    id: sticker

    property string asset
    property real size: 38
    readonly property url imageSource: BrandImages.source(sticker.asset)

    visible: String(sticker.imageSource) !== ""
    implicitWidth: visible ? size : 0
    implicitHeight: visible ? size : 0
    Accessible.ignored: true

    Image {
        anchors.fill: parent
        source: sticker.imageSource
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
    }
}
