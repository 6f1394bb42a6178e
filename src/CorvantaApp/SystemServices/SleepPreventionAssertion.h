#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

namespace corvanta {

// Keeps the machine from idle sleep while mining: a logind "idle" inhibitor lock, held as the
// file descriptor logind hands out. "idle" blocks only the automatic idle action; the user's own
// suspend and the lid still work. Without a system bus or logind there is no lock, silently.
// Every call is asynchronous; a lock that arrives after release() is closed at once.
class SleepPreventionAssertion : public QObject {
    Q_OBJECT

  public:
    explicit SleepPreventionAssertion(QDBusConnection systemBus, QObject* parent = nullptr);
    ~SleepPreventionAssertion() override;  // releases a held lock

    // Asks for the lock unless one is held or on its way.
    void acquire(const QString& reason = QStringLiteral("Corvanta"));
    void release();
    bool isHeld() const { return lock_.has_value(); }

  private:
    void received(QDBusPendingCallWatcher* call);

    QDBusConnection bus_;
    std::optional<QDBusUnixFileDescriptor> lock_;
    QDBusPendingCallWatcher* pending_ = nullptr;
    bool wanted_ = false;
};

}  // namespace corvanta
