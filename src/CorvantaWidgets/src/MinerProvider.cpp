#include "corvanta/widgets/MinerProvider.h"

#include "corvanta/shared/SharedContainer.h"

namespace corvanta::widgets {

Q_LOGGING_CATEGORY(widgetLog, "rigwell.widgets.timeline")

namespace {

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

}  // namespace

SnapshotSource SnapshotSource::sharedContainer() {
    return {[] { return SharedContainer::snapshotURL(); }, [] { return SharedContainer::read(); }};
}

MinerProvider::MinerProvider(widgetkit::Clock clock, SnapshotSource source)
    : clock_(std::move(clock)), source_(std::move(source)) {}

widgetkit::TimelineEntry MinerProvider::placeholder(
    const widgetkit::TimelineProviderContext&) const {
    const QDateTime now = clock_();
    const MinerSnapshot madeUp{
        .hashRateMHs = 274.5,
        .isRunning = true,
        .isPaused = false,
        .appliedMode = "max",
        .secondsSinceNetworkBlock = 320,
        .totalSats = 0,
        .blocksFound = 0,
        .capturedAt = ReferenceDate::from(timePoint(now)),
    };
    return timelineEntry({now, madeUp});
}

void MinerProvider::getSnapshot(
    const widgetkit::TimelineProviderContext& context,
    const std::function<void(widgetkit::TimelineEntry)>& completion) const {
    const auto snapshot = source_.read();
    qCInfo(widgetLog).noquote() << QStringLiteral("instantané demandé — aperçu=%1 lu=%2")
                                       .arg(boolText(context.isPreview), boolText(bool(snapshot)));
    // A preview shows the real file too, never the placeholder.
    completion(timelineEntry({clock_(), snapshot}));
}

void MinerProvider::getTimeline(const widgetkit::TimelineProviderContext&,
                                const std::function<void(widgetkit::Timeline)>& completion) const {
    const QDateTime now = clock_();
    const auto url = source_.snapshotURL();
    const QString pathText =
        url ? QString::fromStdString(url->string()) : QStringLiteral("aucun conteneur");
    const auto snapshot = source_.read();
    const double rate = snapshot ? snapshot->hashRateMHs : -1.0;
    qCInfo(widgetLog).noquote() << QStringLiteral("timeline demandé — conteneur=%1 lu=%2 débit=%3")
                                       .arg(pathText, boolText(bool(snapshot)),
                                            QString::asprintf("%f", rate));
    completion({{timelineEntry({now, snapshot})},
                widgetkit::TimelineReloadPolicy::after(now.addSecs(reloadSeconds))});
}

}  // namespace corvanta::widgets
