#include "corvanta/host/TimelineRunner.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace corvanta::host {

TimelineRunner::TimelineRunner(widgetkit::WidgetConfiguration configuration,
                               widgetkit::TimelineProviderContext context, widgetkit::Clock clock,
                               QObject* parent)
    : QObject(parent),
      configuration_(std::move(configuration)),
      context_(context),
      clock_(std::move(clock)) {
    timer_.setSingleShot(true);
    // A coarse timer may fire seconds late on a one-minute interval.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TimelineRunner::advance);
}

void TimelineRunner::start() {
    configuration_.provider->getSnapshot(context_,
                                         [this](widgetkit::TimelineEntry entry) { show(entry); });
    reload();
}

void TimelineRunner::reload() {
    requestedAt_ = clock_();
    configuration_.provider->getTimeline(
        context_, [this](widgetkit::Timeline timeline) { accept(std::move(timeline)); });
}

void TimelineRunner::accept(widgetkit::Timeline timeline) {
    nextRequest_ = timeline.nextRequestDate();
    // A provider that asks for its next timeline at once would otherwise keep the host busy.
    const QDateTime earliest = requestedAt_.addSecs(minimumRequestSpacingSeconds);
    if (nextRequest_ && *nextRequest_ < earliest) nextRequest_ = earliest;
    // In date order; entries of the same date keep the provider's order.
    std::vector<qsizetype> order(static_cast<std::size_t>(timeline.entries.size()));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const auto& dateA = timeline.entries[a].date;
        const auto& dateB = timeline.entries[b].date;
        return dateA < dateB || (dateA == dateB && a < b);
    });
    pending_.clear();
    for (const qsizetype index : order) pending_.append(timeline.entries[index]);
    advance();
}

void TimelineRunner::advance() {
    const QDateTime now = clock_();
    std::optional<widgetkit::TimelineEntry> due;
    while (!pending_.isEmpty() && pending_.first().date <= now) due = pending_.takeFirst();
    if (due) show(*due);
    if (nextRequest_ && *nextRequest_ <= now) {
        nextRequest_.reset();
        reload();  // ends in advance() again, which arms the timer
        return;
    }
    arm();
}

std::optional<QDateTime> TimelineRunner::nextWakeUp() const {
    std::optional<QDateTime> next = nextRequest_;
    if (!pending_.isEmpty() && (!next || pending_.first().date < *next)) {
        next = pending_.first().date;
    }
    return next;
}

void TimelineRunner::arm() {
    const auto next = nextWakeUp();
    if (!next) {
        timer_.stop();
        return;
    }
    const qint64 delay = std::clamp<qint64>(clock_().msecsTo(*next), 0, 24LL * 3600 * 1000);
    timer_.start(static_cast<int>(delay));
}

void TimelineRunner::show(const widgetkit::TimelineEntry& entry) {
    shown_ = entry;
    emit entryShown(configuration_.view.content(entry, context_.family));
}

}  // namespace corvanta::host
