import QtQuick
import Corvanta

// A step's illustration: the brand image of that name, else its symbol on a tinted disc.
Item {
    id: hero

    property string assetName
    property string fallbackSymbol
    property color tint: Theme.accent
    property real size: 210
    readonly property url imageSource: BrandImages.source(assetName)
    readonly property bool showsImage: String(imageSource) !== ""

    implicitWidth: size
    implicitHeight: size
    Accessible.ignored: true

    Image {
        anchors.fill: parent
        visible: hero.showsImage
        source: hero.imageSource
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
    }
    Rectangle {
        objectName: "heroFallback"
        anchors.fill: parent
        visible: !hero.showsImage
        radius: width / 2
        color: Qt.rgba(hero.tint.r, hero.tint.g, hero.tint.b, 0.14)

        SymbolIcon {
            anchors.centerIn: parent
            name: hero.fallbackSymbol
            size: hero.size * 0.42
            color: hero.tint
        }
    }
}
