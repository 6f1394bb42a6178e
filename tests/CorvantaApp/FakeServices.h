#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace corvanta::testing {

// A notification server: records each Notify and answers with a new id, or the replaced one.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    struct Notification {
        QString appName;
        uint replacesId = 0;
        QString summary;
        QString body;
        QVariantMap hints;
        uint id = 0;
    };

    // Serves on `bus` under the well-known name.
    bool serve(QDBusConnection bus) {
        return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    QStringList capabilities{QStringLiteral("body")};
    int capabilityRequests = 0;
    std::vector<Notification> received;

  public slots:
    QStringList GetCapabilities() {
        ++capabilityRequests;
        return capabilities;
    }
    uint Notify(const QString& appName, uint replacesId, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        const uint id = replacesId != 0 ? replacesId : nextId_++;
        received.push_back({appName, replacesId, summary, body, hints, id});
        return id;
    }

  private:
    uint nextId_ = 1;
};

// logind's Inhibit: hands out the write end of a pipe and watches the read end, which sees the
// end of the file once every copy of the lock is closed. With `holdReplies` the answer waits
// for answerHeld().
class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    ~FakeLogind() override {
        for (const int fd : readEnds_) ::close(fd);
    }

    bool serve(QDBusConnection bus) {
        bus_ = bus;
        return bus.registerObject(QStringLiteral("/org/freedesktop/login1"), this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QStringLiteral("org.freedesktop.login1"));
    }

    bool holdReplies = false;
    QStringList lastArguments;
    int calls() const { return int(readEnds_.size()); }

    // The number of locks handed out whose every copy is closed.
    int released() const {
        int count = 0;
        for (const int fd : readEnds_) {
            pollfd entry{fd, POLLIN, 0};
            char byte;
            if (::poll(&entry, 1, 0) == 1 && ::read(fd, &byte, 1) == 0) ++count;
        }
        return count;
    }

    void answerHeld() {
        if (!held_) return;
        bus_.send(held_->createReply(QVariant::fromValue(heldLock_)));
        held_.reset();
        heldLock_ = QDBusUnixFileDescriptor();
    }

  public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        lastArguments = {what, who, why, mode};
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return {};
        readEnds_.push_back(ends[0]);
        QDBusUnixFileDescriptor lock(ends[1]);  // keeps a copy of its own
        ::close(ends[1]);
        if (holdReplies) {
            setDelayedReply(true);
            held_ = message();
            heldLock_ = lock;
            return {};
        }
        return lock;
    }

  private:
    QDBusConnection bus_{QString()};
    std::vector<int> readEnds_;
    std::optional<QDBusMessage> held_;
    QDBusUnixFileDescriptor heldLock_;
};

// The settings portal: answers Read from its table, and announces a change with SettingChanged
// as the real portal does.
class FakePortalSettings : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

  public:
    bool serve(QDBusConnection bus) {
        bus_ = bus;
        return bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }

    // Stores the value and tells the bus.
    void change(const QString& group, const QString& key, const QVariant& value) {
        values[group + '/' + key] = value;
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"));
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        bus_.send(signal);
    }

    QVariantMap values;

  public slots:
    // The portal wraps the value twice.
    QDBusVariant Read(const QString& group, const QString& key) {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(values.value(group + '/' + key))));
    }

  private:
    QDBusConnection bus_{QString()};
};

}  // namespace corvanta::testing
