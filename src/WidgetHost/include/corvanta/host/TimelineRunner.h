#pragma once

#include <QObject>
#include <QTimer>
#include <optional>

#include "corvanta/widgetkit/WidgetBundle.h"

namespace corvanta::host {

// Drives one widget instance through its provider: the snapshot entry first, then timelines,
// each entry shown at its date and the next timeline asked for at the policy's date.
class TimelineRunner : public QObject {
    Q_OBJECT

  public:
    // A timeline asked for sooner after the previous one is asked for this long after it.
    static constexpr int minimumRequestSpacingSeconds = 1;

    TimelineRunner(widgetkit::WidgetConfiguration configuration,
                   widgetkit::TimelineProviderContext context, widgetkit::Clock clock,
                   QObject* parent = nullptr);

    void start();
    // Asks for a new timeline now.
    void reload();
    // Brings the widget up to the clock's now: the latest entry due is shown, and a new timeline
    // is asked for once the policy's date has come; then the timer is set for what comes next.
    void advance();

    // The next date at which `advance` has something to do; none when nothing is scheduled.
    std::optional<QDateTime> nextWakeUp() const;
    const std::optional<widgetkit::TimelineEntry>& shownEntry() const { return shown_; }
    const widgetkit::WidgetConfiguration& configuration() const { return configuration_; }
    const widgetkit::TimelineProviderContext& context() const { return context_; }

  signals:
    void entryShown(const QVariantMap& content);

  private:
    void show(const widgetkit::TimelineEntry& entry);
    void accept(widgetkit::Timeline timeline);
    void arm();

    widgetkit::WidgetConfiguration configuration_;
    widgetkit::TimelineProviderContext context_;
    widgetkit::Clock clock_;
    // Entries of the current timeline not shown yet, in date order.
    QList<widgetkit::TimelineEntry> pending_;
    std::optional<QDateTime> nextRequest_;
    QDateTime requestedAt_;
    std::optional<widgetkit::TimelineEntry> shown_;
    QTimer timer_;
};

}  // namespace corvanta::host
