#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>

namespace corvanta {

// What one check found.
struct UpdateCheckResult {
    enum class Kind {
        newer,    // `version` is newer than the running one; `page` is its download page
        current,  // the feed's newest release is not newer than the running one
        failed,   // `reason` says why (network, malformed feed, signature)
    };
    // Why a check failed, as far as the user can act on it: the server was not reached (no
    // network, no answer, refused redirect), or what came back cannot be trusted or read.
    enum class Failure { unreachable, untrusted };
    Kind kind = Kind::failed;
    QString version;
    QUrl page;
    QString reason;  // for the event log, in English
    Failure failure = Failure::unreachable;
};

// The feed's body, or why there is none.
struct FeedDownload {
    QByteArray body;
    QString error;  // empty on success
    // The transfer itself failed (rather than what it brought).
    bool unreachable = false;
};

// Checks the update feed: downloads it over HTTPS, takes the newest release this system can run,
// verifies its Ed25519 signature with the build's key, and compares it with the running version.
// The download runs on a worker thread; the result arrives on this object's thread.
class UpdateCheck : public QObject {
    Q_OBJECT

  public:
    struct Settings {
        QString feedURL;
        // Base64 of the 32-byte Ed25519 public key.
        QString publicKey;
        QString runningVersion;
        // The system's version, compared with a release's minimum system version.
        QString systemVersion;
        // Certificates to trust instead of the system's (for a test server); empty: the
        // system's store. Verification is never switched off.
        QString certificateAuthorityFile;
        int timeoutSeconds = 30;
    };

    explicit UpdateCheck(Settings settings, QObject* parent = nullptr);
    ~UpdateCheck() override;

    // Starts a check; while one runs, a second start does nothing.
    void start();
    bool isRunning() const { return watcher_.isRunning(); }

    // The feed's bytes over HTTPS only (redirects too), at most 1 MiB, with the given trust.
    // Ends early, as an error, once `cancelled` holds.
    static FeedDownload download(const Settings& settings, const std::atomic<bool>& cancelled);
    // The verdict on a downloaded feed.
    static UpdateCheckResult evaluate(const Settings& settings, const FeedDownload& download);

  signals:
    void finished(const corvanta::UpdateCheckResult& result);

  private:
    Settings settings_;
    // Set when this object goes: a running download ends within a fraction of a second.
    std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
    QFutureWatcher<UpdateCheckResult> watcher_;
};

}  // namespace corvanta
