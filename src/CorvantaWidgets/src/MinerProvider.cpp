#include "corvanta/widgets/MinerProvider.h"

#include "corvanta/shared/SharedContainer.h"

namespace corvanta::widgets {

Q_LOGGING_CATEGORY(widgetLog, "rigwell.widgets.timeline")

namespace {

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// The host's clock counts whole milliseconds. A snapshot written within the millisecond in which
// it is read (the host follows each write at once) would look written after the entry, from the
// future, and show a running miner as stopped; its entry is dated at the next millisecond.
QDateTime entryDate(const QDateTime& now, const std::optional<MinerSnapshot>& snapshot) {
    if (!snapshot) return now;
    const double ahead = snapshot->capturedAt.secondsSinceReferenceDate -
                         ReferenceDate::from(timePoint(now)).secondsSinceReferenceDate;
    return ahead > 0 && ahead < 0.001 ? now.addMSecs(1) : now;
}

// A snapshot left behind by an application that has ended (killed, crashed, its session gone)
// shows a stopped miner at once, not a live one until it grows stale.
std::optional<MinerSnapshot> shown(const std::optional<MinerSnapshot>& read) {
    if (!read) return read;
    return read->seenByReader();
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
        .language = std::nullopt,
        .writerProcessID = std::nullopt,
        .updateIntervalSeconds = std::nullopt,
    };
    return timelineEntry({now, madeUp});
}

void MinerProvider::getSnapshot(
    const widgetkit::TimelineProviderContext& context,
    const std::function<void(widgetkit::TimelineEntry)>& completion) const {
    const auto snapshot = shown(source_.read());
    qCInfo(widgetLog).noquote() << QStringLiteral("instantané demandé — aperçu=%1 lu=%2")
                                       .arg(boolText(context.isPreview), boolText(bool(snapshot)));
    // A preview shows the real file too, never the placeholder.
    completion(timelineEntry({entryDate(clock_(), snapshot), snapshot}));
}

void MinerProvider::getTimeline(const widgetkit::TimelineProviderContext&,
                                const std::function<void(widgetkit::Timeline)>& completion) const {
    const QDateTime now = clock_();
    const auto url = source_.snapshotURL();
    const QString pathText =
        url ? QString::fromStdString(url->string()) : QStringLiteral("aucun conteneur");
    const auto snapshot = shown(source_.read());
    const double rate = snapshot ? snapshot->hashRateMHs : -1.0;
    qCInfo(widgetLog).noquote() << QStringLiteral("timeline demandé — conteneur=%1 lu=%2 débit=%3")
                                       .arg(pathText, boolText(bool(snapshot)),
                                            QString::asprintf("%f", rate));
    const QDateTime date = entryDate(now, snapshot);
    completion({{timelineEntry({date, snapshot})},
                widgetkit::TimelineReloadPolicy::after(date.addSecs(reloadSeconds))});
}

}  // namespace corvanta::widgets
