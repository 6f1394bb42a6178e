#pragma once

#include <QLoggingCategory>
#include <filesystem>
#include <functional>
#include <optional>

#include "corvanta/shared/MinerSnapshot.h"
#include "corvanta/widgetkit/Timeline.h"
#include "corvanta/widgets/MinerEntry.h"

namespace corvanta::widgets {

// The widgets' log: "rigwell.widgets" / "timeline".
Q_DECLARE_LOGGING_CATEGORY(widgetLog)

// Where the provider finds the snapshot: the shared container unless a test says otherwise.
struct SnapshotSource {
    std::function<std::optional<std::filesystem::path>()> snapshotURL;
    std::function<std::optional<MinerSnapshot>()> read;

    static SnapshotSource sharedContainer();
};

// The one provider of both widgets. It keeps no state between calls: every call reads the file
// afresh.
class MinerProvider final : public widgetkit::TimelineProvider {
  public:
    // A new timeline is asked for this long after each one.
    static constexpr int reloadSeconds = 60;

    explicit MinerProvider(widgetkit::Clock clock,
                           SnapshotSource source = SnapshotSource::sharedContainer());

    widgetkit::TimelineEntry placeholder(
        const widgetkit::TimelineProviderContext& context) const override;
    void getSnapshot(
        const widgetkit::TimelineProviderContext& context,
        const std::function<void(widgetkit::TimelineEntry)>& completion) const override;
    void getTimeline(const widgetkit::TimelineProviderContext& context,
                     const std::function<void(widgetkit::Timeline)>& completion) const override;

  private:
    widgetkit::Clock clock_;
    SnapshotSource source_;
};

}  // namespace corvanta::widgets
