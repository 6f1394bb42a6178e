#include "corvanta/widgetkit/WidgetCenter.h"

#include <QDBusMessage>

#include "corvanta/shared/SharedContainer.h"
#include "corvanta/widgetkit/HostBus.h"

namespace corvanta::widgetkit {

WidgetCenter::WidgetCenter(QDBusConnection bus) : bus_(std::move(bus)) {}

void WidgetCenter::reloadAllTimelines() const {
    if (!bus_.isConnected()) return;
    auto message = QDBusMessage::createMethodCall(hostBus::service, hostBus::path,
                                                  hostBus::interface, hostBus::reloadAll);
    // The host starts with the desktop session; the bus must not start one on our behalf.
    message.setAutoStartService(false);
    // send() does not wait for the reply; an error reply (no host) is dropped by the bus library.
    bus_.send(message);
}

void publishWidgetSnapshot(const MinerSnapshot& snapshot, bool reloadTimelines,
                           const WidgetCenter& center) {
    SharedContainer::write(snapshot);
    if (reloadTimelines) center.reloadAllTimelines();
}

}  // namespace corvanta::widgetkit
