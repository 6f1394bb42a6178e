#include "corvanta/host/HostBus.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "corvanta/host/PluginFolder.h"

namespace corvanta::host {

HostBusAdaptor::HostBusAdaptor(std::function<void()> reloadAll,
                               std::function<void(const QString&)> reloadKind,
                               std::function<void()> openGallery, QObject* parent)
    : QObject(parent),
      reloadAll_(std::move(reloadAll)),
      reloadKind_(std::move(reloadKind)),
      openGallery_(std::move(openGallery)) {}

void HostBusAdaptor::ReloadAllTimelines() {
    reloadAll_();
}

void HostBusAdaptor::ReloadTimelines(const QString& kind) {
    reloadKind_(kind);
}

void HostBusAdaptor::OpenGallery() {
    // After the call has been answered: the caller never waits on a window being built.
    QMetaObject::invokeMethod(
        this, [this] { openGallery_(); }, Qt::QueuedConnection);
}

bool publishOnBus(QDBusConnection bus, HostBusAdaptor* adaptor, std::function<void()> nameTaken,
                  std::function<void()> inCharge) {
    if (!bus.isConnected()) {
        qCWarning(hostLog) << "no session bus: reloads are only made every minute";
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(widgetkit::hostBus::path), adaptor,
                            QDBusConnection::ExportAllSlots)) {
        qCWarning(hostLog) << "could not register the host's object:" << bus.lastError().message();
        return false;
    }
    // RequestName without waiting: the host never blocks on the bus.
    auto request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    constexpr uint doNotQueue = 4;
    request << QString::fromLatin1(widgetkit::hostBus::service) << doNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(request), adaptor);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, adaptor,
                     [watcher, nameTaken = std::move(nameTaken), inCharge = std::move(inCharge)] {
                         watcher->deleteLater();
                         const QDBusPendingReply<uint> reply = *watcher;
                         constexpr uint primaryOwner = 1;
                         if (reply.isError()) {
                             qCWarning(hostLog) << "could not take the host's bus name:"
                                                << reply.error().message();
                         } else if (reply.value() != primaryOwner) {
                             qCWarning(hostLog) << "another widget host is already running";
                             nameTaken();
                             return;
                         }
                         inCharge();
                     });
    return true;
}

}  // namespace corvanta::host
