#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "TestSupport.h"

namespace corvanta::testing {

// A dbus-daemon of the test's own, with no service activation (a call to a missing service
// fails at once instead of starting the desktop's real one). Stopped with the object.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    const QString& address() const { return address_; }
    // A new connection to the bus (one for the code under test, one for each fake service).
    QDBusConnection connect();

  private:
    TempDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList connections_;
};

// A connection that never reached a bus.
QDBusConnection disconnectedBus();

}  // namespace corvanta::testing
