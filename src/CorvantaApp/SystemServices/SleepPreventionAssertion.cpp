#include "SystemServices/SleepPreventionAssertion.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace corvanta {

SleepPreventionAssertion::SleepPreventionAssertion(QDBusConnection systemBus, QObject* parent)
    : QObject(parent), bus_(std::move(systemBus)) {}

// The held descriptor closes with the object; a call still in flight dies with its watcher, and
// its late reply is discarded, descriptor and all.
SleepPreventionAssertion::~SleepPreventionAssertion() = default;

void SleepPreventionAssertion::acquire(const QString& reason) {
    wanted_ = true;
    if (lock_ || pending_ != nullptr || !bus_.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("idle") << QStringLiteral("Corvanta") << reason
         << QStringLiteral("block");
    pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this,
            &SleepPreventionAssertion::received);
}

void SleepPreventionAssertion::release() {
    wanted_ = false;
    lock_.reset();
}

void SleepPreventionAssertion::received(QDBusPendingCallWatcher* call) {
    pending_ = nullptr;
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    // The reply message holds its own copy of the descriptor: let it go with the watcher.
    call->deleteLater();
    if (reply.isError() || !reply.value().isValid()) return;
    if (!wanted_) return;  // released while the call was on its way
    lock_ = reply.value();
}

}  // namespace corvanta
