#include "MenuBar/TrayPresence.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QTimer>

namespace corvanta {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// Whether a host is registered with the watcher.
QDBusMessage hostQuestion() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

}  // namespace

TrayPresence::Probes TrayPresence::desktopProbes() {
    Probes probes;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        probes.xembedTray = x11SystemTrayOwned;
    }
    return probes;
}

TrayPresence::TrayPresence(QDBusConnection sessionBus, Probes probes, QObject* parent)
    : QObject(parent), bus_(std::move(sessionBus)), probes_(std::move(probes)) {
    if (bus_.isConnected()) {
        serviceWatcher_ = new QDBusServiceWatcher(kWatcherService, bus_,
                                                  QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(serviceWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& owner) {
                    if (owner.isEmpty()) {
                        ++askSerial_;
                        setStatusNotifierHost(false);
                    } else {
                        askWatcher();
                    }
                });
        // A host may register with a watcher that is already there.
        bus_.connect(kWatcherService, kWatcherPath, kWatcherService,
                     QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(askWatcherSlot()));
        bus_.connect(kWatcherService, kWatcherPath, kWatcherService,
                     QStringLiteral("StatusNotifierHostUnregistered"), this,
                     SLOT(askWatcherSlot()));
        askWatcher();
    }
    if (probes_.xembedTray) {
        xembedTray_ = probes_.xembedTray();
        xembedTimer_ = new QTimer(this);
        xembedTimer_->setInterval(probes_.xembedIntervalMs);
        connect(xembedTimer_, &QTimer::timeout, this, &TrayPresence::pollXEmbed);
        xembedTimer_->start();
    }
}

TrayPresence::~TrayPresence() = default;

void TrayPresence::askWatcherSlot() {
    askWatcher();
}

void TrayPresence::askWatcher() {
    const int serial = ++askSerial_;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(hostQuestion()), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call, serial] {
        call->deleteLater();
        if (serial != askSerial_) return;
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // No watcher, or one that cannot say: no host to show an item.
        setStatusNotifierHost(!reply.isError() && reply.value().variant().toBool());
    });
}

TrayItemKind TrayPresence::kindToMakeNow() const {
    if (!bus_.isConnected()) return TrayItemKind::xembed;
    // Qt blocks on the same question when it makes the item; a watcher that does not answer
    // soon hosts nothing.
    constexpr int kAnswerWithinMs = 2000;
    const QDBusMessage reply = bus_.call(hostQuestion(), QDBus::Block, kAnswerWithinMs);
    const bool host =
        reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
        qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
    return host ? TrayItemKind::statusNotifierItem : TrayItemKind::xembed;
}

void TrayPresence::setStatusNotifierHost(bool present) {
    if (statusNotifierHost_ == present) return;
    statusNotifierHost_ = present;
    emit changed();
}

void TrayPresence::pollXEmbed() {
    const bool present = probes_.xembedTray();
    if (present == xembedTray_) return;
    xembedTray_ = present;
    emit changed();
}

}  // namespace corvanta
