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

// The tray's "check for updates": runs one check at a time and tells the user what it found. A
// newer release is a notification naming its version that opens its download page when clicked;
// every other outcome (up to date, network error, malformed feed, bad signature) is one line in
// the event log, and nothing else changes.
class UpdateNotifier : public QObject {
    Q_OBJECT

  public:
    using Log = std::function<void(const QString& line)>;
    using Open = std::function<void(const QUrl& page)>;

    // Notifies through org.freedesktop.Notifications on `sessionBus`.
    UpdateNotifier(UpdateCheck::Settings settings, const QDBusConnection& sessionBus, Log log,
                   Open open, QObject* parent = nullptr);
    ~UpdateNotifier() override;

    void check();
    // What a result shows; public for the tests.
    void present(const UpdateCheckResult& result);

  signals:
    // A check ended and was presented.
    void presented();

  private:
    UpdateCheck check_;
    std::unique_ptr<MinerNotifications> notifications_;
    Log log_;
};

}  // namespace corvanta
