#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "Notifications/NotificationBurst.h"

class QDBusPendingCallWatcher;

namespace corvanta {

// Desktop notifications through org.freedesktop.Notifications on the session bus. Every call is
// asynchronous and nothing waits for the server; without one, notifications are dropped
// silently. A notification sent again under the same identifier replaces the one shown (the
// server's id goes back as replaces_id). Bodies are plain text: when the server renders markup
// ("body-markup"), "&", "<" and ">" are escaped, so node output shows as written.
class MinerNotifications : public QObject {
    Q_OBJECT

  public:
    explicit MinerNotifications(QDBusConnection sessionBus, QObject* parent = nullptr);

    // Asks the server once for its capabilities; notifications sent before the answer wait for
    // it. Without an answer the body is escaped as for markup, and the next one asks again.
    void requestAuthorizationIfNeeded();
    void send(const QString& identifier, const QString& title, const QString& body);
    // A notification that opens `link` when clicked (its default action): linkActivated() says so.
    void send(const QString& identifier, const QString& title, const QString& body,
              const QUrl& link);
    // A block of its own, at once: a mainnet block is news by itself.
    void notifyBlockFound(std::int64_t height, std::int64_t rewardSats);
    void notifyRewardMatured(std::int64_t height, std::int64_t rewardSats);
    // The same on a test network, where blocks come by the hundred: one notice for the blocks
    // and one for the rewards, each counting its burst ("3 blocs trouvés — le dernier à la
    // hauteur N") and updated in place (NotificationBurst).
    void notifyBlockFoundInBurst(std::int64_t height, std::int64_t rewardSats);
    void notifyRewardMaturedInBurst(std::int64_t height, std::int64_t rewardSats);
    void setBurstTimings(std::chrono::milliseconds updateInterval,
                         std::chrono::milliseconds burstGap);

    static QString escapedForMarkup(const QString& text);

  signals:
    void linkActivated(const QUrl& link);

  private slots:
    void actionInvoked(uint serverId, const QString& action);

  private:
    struct Notification {
        QString identifier;
        QString title;
        QString body;
        QUrl link;  // empty: no action
    };
    struct Shown {
        uint serverId = 0;
        QUrl link;  // of the notification the server shows under serverId
        bool inFlight = false;
        std::optional<Notification> next;  // a newer one, sent once the server has answered
    };

    void capabilitiesReceived(QDBusPendingCallWatcher* call);
    void post(const Notification& notification);
    void posted(const QString& identifier, QDBusPendingCallWatcher* call);
    void forgetOldestShown();
    void showBlocks(const NotificationBurst::Latest& latest);
    void showMatured(const NotificationBurst::Latest& latest);

    // The newest identifiers whose server id is kept, so that their next notification replaces
    // the one shown.
    static constexpr qsizetype shownRemembered = 64;
    // The newest notifications kept while the server's capabilities are awaited.
    static constexpr std::size_t waitingLimit = 16;

    QDBusConnection bus_;
    std::optional<QSet<QString>> capabilities_;
    bool askedCapabilities_ = false;
    bool listening_ = false;
    std::vector<Notification> waiting_;  // for the capabilities
    QHash<QString, Shown> shown_;
    NotificationBurst blocks_;
    NotificationBurst matured_;
    std::deque<QString> shownOrder_;  // the identifiers of shown_, least recently used first
};

}  // namespace corvanta
