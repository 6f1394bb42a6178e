#pragma once

#include <QDBusConnection>

#include "corvanta/shared/MinerSnapshot.h"

namespace corvanta::widgetkit {

// The application's side of the widget host: asks a running host to reload every timeline.
// Fire and forget: the call never waits for an answer, and without a bus or without a host it
// does nothing. The host is never started from here.
class WidgetCenter {
  public:
    explicit WidgetCenter(QDBusConnection bus = QDBusConnection::sessionBus());

    void reloadAllTimelines() const;

  private:
    QDBusConnection bus_;
};

// One tick of the application's snapshot: writes it to the shared container, then, when
// `reloadTimelines` is set, asks the host to reload. In this order a host that reads at once
// sees this tick's snapshot rather than the previous one for a whole minute.
void publishWidgetSnapshot(const MinerSnapshot& snapshot, bool reloadTimelines,
                           const WidgetCenter& center);

}  // namespace corvanta::widgetkit
