#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

#include "Updates/UpdateCheck.h"

namespace corvanta {

class MinerNotifications;

// Runs update checks, one at a time, and tells the user what they found. A check the user started
// always answers: "up to date", a failure in words a user can act on, or the newer release with
// its download page. A check the program started itself stays quiet unless a newer release
// exists, which is a notification that opens its download page when clicked. Every outcome is
// also one line in the event log.
class UpdateNotifier : public QObject {
    Q_OBJECT

  public:
    using Log = std::function<void(const QString& line)>;
    using Open = std::function<void(const QUrl& page)>;
    // What a user-started check found, already translated; `page` is set for a newer release.
    struct Answer {
        enum class Kind { upToDate, failed, newer };
        Kind kind = Kind::failed;
        QString title;
        QString text;
        QUrl page;
    };
    using Show = std::function<void(const Answer& answer)>;

    // Notifies through org.freedesktop.Notifications on `sessionBus`; a user-started check's
    // answer goes to `show`.
    UpdateNotifier(UpdateCheck::Settings settings, const QDBusConnection& sessionBus, Log log,
                   Open open, Show show, QObject* parent = nullptr);
    ~UpdateNotifier() override;

    // A check the user asked for; while one runs, nothing more starts.
    void check();
    // A check the program starts on its own.
    void checkQuietly();
    bool isRunning() const { return running_; }
    // What a result shows; public for the tests.
    void present(const UpdateCheckResult& result, bool userInitiated);
    // The answer a user-started check gives for a result.
    static Answer answer(const UpdateCheckResult& result);

  signals:
    void runningChanged(bool running);
    // A check ended and was presented.
    void presented();

  private:
    void start(bool userInitiated);
    void finish(const UpdateCheckResult& result);

    UpdateCheck check_;
    std::unique_ptr<MinerNotifications> notifications_;
    Log log_;
    Show show_;
    bool running_ = false;
    bool userInitiated_ = false;
};

}  // namespace corvanta
