#include "Shell/BrandImages.h"

namespace corvanta {
namespace {

QString resourcePath(const QString& name) {
    return QStringLiteral(":/qt/qml/Corvanta/Resources/") + name + QStringLiteral(".png");
}

}  // namespace

QString rawValue(BrandAsset asset) {
    switch (asset) {
        case BrandAsset::energy:
            return QStringLiteral("energy");
        case BrandAsset::cloud:
            return QStringLiteral("cloud");
        case BrandAsset::sparkle:
            return QStringLiteral("sparkle");
        case BrandAsset::bitcoin:
            return QStringLiteral("bitcoin");
        case BrandAsset::gift:
            return QStringLiteral("gift");
        case BrandAsset::shield:
            return QStringLiteral("shield");
        case BrandAsset::mainnetBadge:
            return QStringLiteral("badge-mainnet");
        case BrandAsset::mainnet:
            return QStringLiteral("mainnet");
        case BrandAsset::wordmark:
            return QStringLiteral("wordmark");
        case BrandAsset::mark:
            return QStringLiteral("mark");
    }
    return {};
}

std::optional<BrandAsset> brandAsset(const QString& text) {
    for (const BrandAsset asset : kAllBrandAssets) {
        if (rawValue(asset) == text) return asset;
    }
    return std::nullopt;
}

std::optional<QImage> brandImage(const QString& name) {
    QImage loaded;
    if (!loaded.load(resourcePath(name), "PNG")) return std::nullopt;
    return loaded;
}

std::optional<QImage> image(BrandAsset asset) {
    return brandImage(rawValue(asset));
}

QUrl BrandImages::source(const QString& name) const {
    if (!brandImage(name)) return {};
    return QUrl(QStringLiteral("qrc") + resourcePath(name));
}

}  // namespace corvanta
