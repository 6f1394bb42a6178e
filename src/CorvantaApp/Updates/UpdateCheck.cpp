#include "Updates/UpdateCheck.h"

#include <QtConcurrent/QtConcurrentRun>

#include <curl/curl.h>

#include <memory>

#include "Updates/Appcast.h"
#include "Updates/Ed25519.h"

namespace corvanta {
namespace {

constexpr qsizetype maximumFeedSize = 1 << 20;

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Sink {
    QByteArray body;
    bool tooLarge = false;
    const std::atomic<bool>* cancelled = nullptr;
};

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Sink*>(user)->cancelled->load() ? 1 : 0;
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    if (sink->body.size() + qsizetype(bytes) > maximumFeedSize) {
        sink->tooLarge = true;
        return 0;  // ends the transfer
    }
    sink->body.append(data, qsizetype(bytes));
    return bytes;
}

UpdateCheckResult failure(const QString& reason,
                          UpdateCheckResult::Failure why = UpdateCheckResult::Failure::untrusted) {
    UpdateCheckResult result;
    result.kind = UpdateCheckResult::Kind::failed;
    result.reason = reason;
    result.failure = why;
    return result;
}

}  // namespace

UpdateCheck::UpdateCheck(Settings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {
    connect(&watcher_, &QFutureWatcher<UpdateCheckResult>::finished, this,
            [this] { emit finished(watcher_.result()); });
}

UpdateCheck::~UpdateCheck() {
    cancelled_->store(true);
    watcher_.waitForFinished();
}

void UpdateCheck::start() {
    if (watcher_.isRunning()) return;
    watcher_.setFuture(QtConcurrent::run([settings = settings_, cancelled = cancelled_] {
        return evaluate(settings, download(settings, *cancelled));
    }));
}

FeedDownload UpdateCheck::download(const Settings& settings, const std::atomic<bool>& cancelled) {
    const std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) return {{}, QStringLiteral("the HTTP client could not start")};
    CURL* curl = handle.get();
    const QByteArray url = settings.feedURL.toUtf8();
    const QByteArray authorities = settings.certificateAuthorityFile.toLocal8Bit();
    Sink sink;
    sink.cancelled = &cancelled;
    char message[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(settings.timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
    if (!authorities.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, authorities.constData());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
    const CURLcode code = curl_easy_perform(curl);
    if (sink.tooLarge) return {{}, QStringLiteral("the feed is larger than 1 MiB")};
    if (code != CURLE_OK) {
        const QString detail = message[0] != '\0' ? QString::fromUtf8(message)
                                                  : QString::fromUtf8(curl_easy_strerror(code));
        // A server reached over a connection we refuse (a redirect to plain http, a certificate
        // that does not verify) is not a network outage: its answer is not trusted.
        const bool refused = code == CURLE_UNSUPPORTED_PROTOCOL ||
                             code == CURLE_PEER_FAILED_VERIFICATION ||
                             code == CURLE_SSL_CONNECT_ERROR || code == CURLE_SSL_CACERT_BADFILE;
        return {{},
                QStringLiteral("the feed could not be downloaded (%1)").arg(detail.trimmed()),
                !refused};
    }
    return {sink.body, {}};
}

UpdateCheckResult UpdateCheck::evaluate(const Settings& settings, const FeedDownload& download) {
    if (!download.error.isEmpty()) {
        return failure(download.error, download.unreachable
                                           ? UpdateCheckResult::Failure::unreachable
                                           : UpdateCheckResult::Failure::untrusted);
    }
    const AppcastParse feed = parseAppcast(download.body);
    if (!feed.error.isEmpty()) return failure(QStringLiteral("malformed feed: ") + feed.error);
    const auto newest = newestItem(feed.items, settings.systemVersion);
    if (!newest) {
        return failure(QStringLiteral("no release in the feed runs on system version ") +
                       settings.systemVersion);
    }
    const QByteArray key = QByteArray::fromBase64(settings.publicKey.toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (key.size() != 32) {
        return failure(QStringLiteral("the build's update key is not an Ed25519 public key"));
    }
    if (!verifyEd25519(key, newest->signedMessage(), newest->signature)) {
        return failure(
            QStringLiteral("the signature of release %1 does not verify").arg(newest->version));
    }
    const auto order = compareVersions(newest->version, settings.runningVersion);
    if (!order) {
        return failure(QStringLiteral("the running version %1 cannot be compared")
                           .arg(settings.runningVersion));
    }
    UpdateCheckResult result;
    result.version = newest->version;
    if (*order > 0) {
        result.kind = UpdateCheckResult::Kind::newer;
        result.page = QUrl(newest->downloadPage);
    } else {
        result.kind = UpdateCheckResult::Kind::current;
    }
    return result;
}

}  // namespace corvanta
