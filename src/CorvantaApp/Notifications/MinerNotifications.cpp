#include "Notifications/MinerNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

#include <algorithm>

#include "Localization/Formatting.h"
#include "Localization/Localization.h"

namespace corvanta {
namespace {

QDBusMessage notificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}

}  // namespace

MinerNotifications::MinerNotifications(QDBusConnection sessionBus, QObject* parent)
    : QObject(parent),
      bus_(std::move(sessionBus)),
      blocks_([this](const auto& latest) { showBlocks(latest); }, this),
      matured_([this](const auto& latest) { showMatured(latest); }, this) {}

void MinerNotifications::setBurstTimings(std::chrono::milliseconds updateInterval,
                                         std::chrono::milliseconds burstGap) {
    blocks_.setTimings(updateInterval, burstGap);
    matured_.setTimings(updateInterval, burstGap);
}

void MinerNotifications::requestAuthorizationIfNeeded() {
    if (askedCapabilities_) return;
    askedCapabilities_ = true;
    auto* call = new QDBusPendingCallWatcher(
        bus_.asyncCall(notificationsCall(QStringLiteral("GetCapabilities"))), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            &MinerNotifications::capabilitiesReceived);
}

void MinerNotifications::capabilitiesReceived(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusPendingReply<QStringList> reply = *call;
    if (reply.isError()) {
        // No server yet: ask again with the next notification (one may have started since).
        askedCapabilities_ = false;
    } else {
        const QStringList list = reply.value();
        capabilities_ = QSet<QString>(list.begin(), list.end());
    }
    for (const Notification& notification : std::exchange(waiting_, {})) post(notification);
}

void MinerNotifications::send(const QString& identifier, const QString& title,
                              const QString& body) {
    send(identifier, title, body, QUrl());
}

void MinerNotifications::send(const QString& identifier, const QString& title, const QString& body,
                              const QUrl& link) {
    // Without a bus nothing can be shown, and nothing is kept for later either.
    if (!bus_.isConnected()) return;
    if (!link.isEmpty() && !listening_) {
        listening_ =
            bus_.connect(QString(), QStringLiteral("/org/freedesktop/Notifications"),
                         QStringLiteral("org.freedesktop.Notifications"),
                         QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    }
    const Notification notification{identifier, title, body, link};
    if (!capabilities_) {
        // A server that does not answer must not make every block found wait here for ever.
        if (waiting_.size() >= waitingLimit) waiting_.erase(waiting_.begin());
        waiting_.push_back(notification);
        requestAuthorizationIfNeeded();
        return;
    }
    post(notification);
}

void MinerNotifications::post(const Notification& notification) {
    // The identifiers are kept in the order of their last use.
    if (const auto used =
            std::find(shownOrder_.begin(), shownOrder_.end(), notification.identifier);
        used != shownOrder_.end()) {
        shownOrder_.erase(used);
    } else {
        forgetOldestShown();
    }
    shownOrder_.push_back(notification.identifier);
    Shown& shown = shown_[notification.identifier];
    if (shown.inFlight) {
        // The server's id for this identifier is not known yet: the newer notification waits so
        // that it replaces the older one instead of standing beside it.
        shown.next = notification;
        return;
    }
    shown.inFlight = true;
    // A server whose capabilities are unknown may render markup: the body is escaped for it.
    const bool markup = !capabilities_ || capabilities_->contains(QStringLiteral("body-markup"));
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    call << QStringLiteral("Corvanta") << shown.serverId << QString() << notification.title
         << (markup ? escapedForMarkup(notification.body) : notification.body)
         << (notification.link.isEmpty()
                 ? QStringList()
                 : QStringList{QStringLiteral("default"),
                               Localization::shared().string(QStringLiteral("Ouvrir"))})
         << QVariantMap{{QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName()},
                        {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}}
         << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier = notification.identifier,
             link = notification.link](QDBusPendingCallWatcher* finished) {
                shown_[identifier].link = link;
                posted(identifier, finished);
            });
}

void MinerNotifications::forgetOldestShown() {
    // Each block found has an identifier of its own: a session that finds thousands must not
    // keep one entry each. Forgetting one long unused costs nothing: the server has closed its
    // notification by then. One still awaiting the server's answer is never forgotten.
    for (auto it = shownOrder_.begin();
         shown_.size() >= shownRemembered && it != shownOrder_.end();) {
        if (const auto found = shown_.find(*it); found != shown_.end()) {
            if (found->inFlight) {
                ++it;
                continue;
            }
            shown_.erase(found);
        }
        it = shownOrder_.erase(it);
    }
}

void MinerNotifications::posted(const QString& identifier, QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (!shown_.contains(identifier)) return;
    Shown& shown = shown_[identifier];
    shown.inFlight = false;
    if (!reply.isError()) shown.serverId = reply.value();
    if (auto next = std::exchange(shown.next, std::nullopt)) post(*next);
}

void MinerNotifications::notifyBlockFound(std::int64_t height, std::int64_t rewardSats) {
    send(QStringLiteral("block-found-%1").arg(height), Localization::shared().string("Bloc miné !"),
         L("Bloc %d accepté par le nœud — %@ en attente de maturité.", QString::number(height),
           Formatting::bitcoin(rewardSats)));
}

void MinerNotifications::notifyBlockFoundInBurst(std::int64_t height, std::int64_t rewardSats) {
    blocks_.add(height, rewardSats);
}

void MinerNotifications::notifyRewardMaturedInBurst(std::int64_t height, std::int64_t rewardSats) {
    matured_.add(height, rewardSats);
}

// One identifier for each kind of burst: each update replaces the notice shown.

void MinerNotifications::showBlocks(const NotificationBurst::Latest& latest) {
    if (latest.count <= 1) {
        send(QStringLiteral("block-found"), Localization::shared().string("Bloc miné !"),
             L("Bloc %d accepté par le nœud — %@ en attente de maturité.",
               QString::number(latest.height), Formatting::bitcoin(latest.amountSats)));
        return;
    }
    send(QStringLiteral("block-found"), Localization::shared().string("Blocs minés !"),
         L("%d blocs trouvés — le dernier à la hauteur %d", Formatting::integer(latest.count),
           Formatting::integer(latest.height)));
}

void MinerNotifications::showMatured(const NotificationBurst::Latest& latest) {
    if (latest.count <= 1) {
        send(QStringLiteral("reward-matured"), Localization::shared().string("Récompense mature"),
             L("Le bloc %d a atteint 100 confirmations — %@ désormais dépensables.",
               QString::number(latest.height), Formatting::bitcoin(latest.amountSats)));
        return;
    }
    send(QStringLiteral("reward-matured"), Localization::shared().string("Récompenses matures"),
         L("%d récompenses matures — la dernière à la hauteur %d",
           Formatting::integer(latest.count), Formatting::integer(latest.height)));
}

void MinerNotifications::notifyRewardMatured(std::int64_t height, std::int64_t rewardSats) {
    send(QStringLiteral("reward-matured-%1").arg(height),
         Localization::shared().string("Récompense mature"),
         L("Le bloc %d a atteint 100 confirmations — %@ désormais dépensables.",
           QString::number(height), Formatting::bitcoin(rewardSats)));
}

void MinerNotifications::actionInvoked(uint serverId, const QString& action) {
    if (action != QLatin1String("default") || serverId == 0) return;
    for (const Shown& shown : std::as_const(shown_)) {
        if (shown.serverId == serverId && !shown.link.isEmpty()) {
            emit linkActivated(shown.link);
            return;
        }
    }
}

QString MinerNotifications::escapedForMarkup(const QString& text) {
    QString escaped = text;
    escaped.replace(u'&', QLatin1String("&amp;"));
    escaped.replace(u'<', QLatin1String("&lt;"));
    escaped.replace(u'>', QLatin1String("&gt;"));
    return escaped;
}

}  // namespace corvanta
