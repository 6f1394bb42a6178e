#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>

#include "corvanta/widgetkit/HostBus.h"

namespace corvanta::host {

// The host's object on the session bus. Calls only queue work: they return at once.
class HostBusAdaptor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "rigwell.WidgetHost")

  public:
    HostBusAdaptor(std::function<void()> reloadAll, std::function<void(const QString&)> reloadKind,
                   std::function<void()> openGallery, QObject* parent = nullptr);

  public slots:
    void ReloadAllTimelines();
    void ReloadTimelines(const QString& kind);
    // The user asked the application for the gallery.
    void OpenGallery();

  private:
    std::function<void()> reloadAll_;
    std::function<void(const QString&)> reloadKind_;
    std::function<void()> openGallery_;
};

// Registers the adaptor on `bus` and asks for the host's name without waiting for the answer;
// later `nameTaken` runs if another host already owns it, else `inCharge` (the name is this
// host's, or the bus could not say). False when there is no bus: then neither runs.
bool publishOnBus(
    QDBusConnection bus, HostBusAdaptor* adaptor, std::function<void()> nameTaken,
    std::function<void()> inCharge = [] {});

}  // namespace corvanta::host
