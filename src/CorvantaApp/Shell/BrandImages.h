#pragma once

#include <QtQml/qqmlregistration.h>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

namespace corvanta {

// The brand images, named by their file in the app's "Resources" folder.
enum class BrandAsset {
    energy,
    cloud,
    sparkle,
    bitcoin,
    gift,
    shield,
    mainnetBadge,
    mainnet,
    wordmark,
    mark
};

inline constexpr std::array<BrandAsset, 10> kAllBrandAssets = {
    BrandAsset::energy,   BrandAsset::cloud,  BrandAsset::sparkle,      BrandAsset::bitcoin,
    BrandAsset::gift,     BrandAsset::shield, BrandAsset::mainnetBadge, BrandAsset::mainnet,
    BrandAsset::wordmark, BrandAsset::mark};

// The file name without extension: "sparkle", "badge-mainnet"…
QString rawValue(BrandAsset asset);
// Exactly one of the ten file names (case-sensitive); anything else gives nullopt.
std::optional<BrandAsset> brandAsset(const QString& rawValue);

// The resource "Resources/<name>.png" of the app, decoded; nothing when it is missing or does
// not decode. Loaded again at every call.
std::optional<QImage> brandImage(const QString& name);
std::optional<QImage> image(BrandAsset asset);

// For QML: where BrandSticker finds an image.
class BrandImages : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    using QObject::QObject;
    // The image's qrc URL when brandImage(name) has one, else an empty URL.
    Q_INVOKABLE QUrl source(const QString& name) const;
};

}  // namespace corvanta
