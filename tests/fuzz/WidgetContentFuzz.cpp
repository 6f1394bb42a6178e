// What the widgets show for any snapshot file at any date of their clock. The input is a date line
// (read as the host's --now reads it) and the snapshot file's text; the clock is also set to the
// instant of the input's first eight bytes, anywhere in what a date holds, as a clock that escaped
// the host's checks would be. Nothing overflows, and each provider call completes with one entry.

#include <QLoggingCategory>
#include <cstring>

#include "FuzzSupport.h"
#include "corvanta/widgets/EarningsView.h"
#include "corvanta/widgets/MinerProvider.h"
#include "corvanta/widgets/MiningStatusView.h"

using namespace corvanta;
using widgetkit::WidgetFamily;

namespace {

void showEverywhere(const widgets::MinerEntry& entry) {
    fuzz::expect(!widgets::miningStatus::isLive(entry) || entry.snapshot.has_value(),
                 "live without a snapshot");
    for (const auto family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium}) {
        widgets::miningStatus::content(entry, family, widgets::Language::english);
    }
    widgets::earnings::content(entry, widgets::Language::german);
}

void provideAt(const QDateTime& date, const std::optional<MinerSnapshot>& snapshot) {
    const widgets::MinerProvider provider(
        [date] { return date; },
        {[] { return std::optional<std::filesystem::path>("/fuzz/miner-snapshot.json"); },
         [&snapshot] { return snapshot; }});
    const widgetkit::TimelineProviderContext context{WidgetFamily::systemMedium, true, {}};
    int calls = 0;
    provider.getTimeline(context, [&](widgetkit::Timeline timeline) {
        ++calls;
        fuzz::expect(timeline.entries.size() == 1, "a timeline of other than one entry");
        showEverywhere(widgets::minerEntry(timeline.entries.first()));
    });
    provider.getSnapshot(context, [&](widgetkit::TimelineEntry entry) {
        ++calls;
        showEverywhere(widgets::minerEntry(entry));
    });
    fuzz::expect(calls == 2, "a provider call did not complete once");
    showEverywhere(widgets::minerEntry(provider.placeholder(context)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("rigwell.widgets.timeline.info=false"));
        return true;
    }();
    (void)quiet;
    const std::string_view text = fuzz::textOf(data, size);
    const auto lineEnd = text.find('\n');
    const std::string_view dateText = text.substr(0, lineEnd);
    const std::string_view snapshotText =
        lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
    const auto snapshot = MinerSnapshot::decodeJSON(snapshotText);

    const auto date =
        widgetkit::parseClockDate(QString::fromUtf8(dateText.data(), qsizetype(dateText.size())));
    if (date) {
        fuzz::expect(widgetkit::withinClockRange(*date), "accepted a date beyond the clock");
        provideAt(*date, snapshot);
    }
    qint64 milliseconds = 0;
    std::memcpy(&milliseconds, data, std::min(size, sizeof milliseconds));
    provideAt(QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC), snapshot);
    return 0;
}
