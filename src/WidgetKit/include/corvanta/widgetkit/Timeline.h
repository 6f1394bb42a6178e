#pragma once

#include <QDateTime>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

namespace corvanta::widgetkit {

enum class WidgetFamily { systemSmall, systemMedium };

// "small" / "medium", the names the host's files and command line use.
QString familyName(WidgetFamily family);
std::optional<WidgetFamily> familyNamed(const QString& name);
// The size the host gives a widget of this family, in device-independent pixels.
QSizeF familySize(WidgetFamily family);

// What a provider is told about the widget it provides for.
struct TimelineProviderContext {
    WidgetFamily family = WidgetFamily::systemSmall;
    // The host shows the widget as a preview (a gallery), not on the desktop.
    bool isPreview = false;
    QSizeF displaySize;
};

// One state of a widget at one date. `value` belongs to the provider and the widget's view:
// the host only keeps it and hands it back.
struct TimelineEntry {
    QDateTime date;
    QVariant value;
};

// When the host asks for the next timeline.
struct TimelineReloadPolicy {
    enum class Kind { atEnd, after, never };
    Kind kind = Kind::atEnd;
    QDateTime date;  // for `after` only

    static TimelineReloadPolicy atEnd() { return {Kind::atEnd, {}}; }
    static TimelineReloadPolicy after(QDateTime date) { return {Kind::after, std::move(date)}; }
    static TimelineReloadPolicy never() { return {Kind::never, {}}; }
};

struct Timeline {
    QList<TimelineEntry> entries;
    TimelineReloadPolicy policy;

    // When the host should ask again: the policy's date, the latest entry's date for atEnd, none
    // for never (nor for atEnd without entries).
    std::optional<QDateTime> nextRequestDate() const;
};

// Each operation runs on the caller's thread and calls its completion exactly once before it
// returns.
class TimelineProvider {
  public:
    virtual ~TimelineProvider() = default;
    // An entry with made-up content, for when nothing real may be read.
    virtual TimelineEntry placeholder(const TimelineProviderContext& context) const = 0;
    virtual void getSnapshot(const TimelineProviderContext& context,
                             const std::function<void(TimelineEntry)>& completion) const = 0;
    virtual void getTimeline(const TimelineProviderContext& context,
                             const std::function<void(Timeline)>& completion) const = 0;
};

// The clock a host lends its providers: the current date, or a fixed one for renders and tests.
// Its dates lie within what a std::chrono::system_clock time point holds (nanosecond ticks, 1677
// to 2262), so providers can turn them into instants.
using Clock = std::function<QDateTime()>;

// A valid date within the range above.
bool withinClockRange(const QDateTime& date);
// An ISO 8601 date with its zone ("2026-12-06T22:00:00Z", "2026-12-06T23:00:00.250+01:00")
// within the range above, as a fixed clock's date; none for anything else.
std::optional<QDateTime> parseClockDate(const QString& text);

}  // namespace corvanta::widgetkit
