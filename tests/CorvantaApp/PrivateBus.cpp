#include "PrivateBus.h"

#include <QUuid>

namespace corvanta::testing {

PrivateBus::PrivateBus() {
    const auto config = dir_.path() / "bus.conf";
    writeText(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n"
              "  <type>session</type>\n"
              "  <listen>unix:dir=" +
                  dir_.path().string() +
                  "</listen>\n"
                  "  <auth>EXTERNAL</auth>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n"
                  "  </policy>\n"
                  "</busconfig>\n");
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments(
        {QStringLiteral("--config-file=") + QString::fromStdString(config.string()),
         QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    // Its complaint about the file limit (as root in a container) is no concern of the tests.
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.start();
    if (!daemon_.waitForStarted(5000)) return;
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : connections_) QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
}

QDBusConnection PrivateBus::connect() {
    const QString name = QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::Id128);
    connections_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

QDBusConnection disconnectedBus() {
    const QString name = QStringLiteral("nowhere-") + QUuid::createUuid().toString(QUuid::Id128);
    QDBusConnection bus =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), name);
    QDBusConnection::disconnectFromBus(name);
    return bus;
}

}  // namespace corvanta::testing
