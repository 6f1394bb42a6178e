#include "Usage/UsagePulse.h"

#include <QFile>
#include <QFutureWatcher>
#include <QHash>
#include <QRegularExpression>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <curl/curl.h>

#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>

#include "SystemServices/AppInfo.h"
#include "corvanta/support/Uuid.h"

namespace corvanta {
namespace {

const QString kInstallIdKey = QStringLiteral("rigwell.usageInstallId");
const QString kLastSentDayKey = QStringLiteral("rigwell.usageLastSentDay");

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::size_t discardBody(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

}  // namespace

std::optional<UsagePulse> UsagePulse::make(const QString& installId, const QString& appVersion,
                                           const QString& osName, int osMajor) {
    static const QRegularExpression version(QStringLiteral("\\A\\d+\\.\\d+\\.\\d+\\z"));
    static const QRegularExpression name(QStringLiteral("\\A[a-z0-9._-]{1,64}\\z"));
    if (!isUuid(installId.toStdString())) return std::nullopt;
    if (!version.match(appVersion).hasMatch()) return std::nullopt;
    if (!name.match(osName).hasMatch()) return std::nullopt;
    if (osMajor < 0 || osMajor > 9999) return std::nullopt;
    return UsagePulse{installId, appVersion, osName, osMajor};
}

std::string UsagePulse::json() const {
    nlohmann::ordered_json object;
    object["installId"] = installId.toStdString();
    object["appVersion"] = appVersion.toStdString();
    object["osName"] = osName.toStdString();
    object["osMajor"] = osMajor;
    return object.dump();
}

QString UsagePulseDay::key(std::chrono::system_clock::time_point instant) {
    const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(instant)};
    return QStringLiteral("%1-%2-%3")
        .arg(int(day.year()), 4, 10, QLatin1Char('0'))
        .arg(unsigned(day.month()), 2, 10, QLatin1Char('0'))
        .arg(unsigned(day.day()), 2, 10, QLatin1Char('0'));
}

QString UsagePulseIdentity::current(Preferences& preferences) {
    if (const auto stored = preferences.string(kInstallIdKey);
        stored && isUuid(stored->toStdString())) {
        return *stored;
    }
    const QString made = QString::fromStdString(makeUuid());
    preferences.setString(kInstallIdKey, made);
    return made;
}

void UsagePulseIdentity::forget(Preferences& preferences) {
    preferences.remove(kInstallIdKey);
    preferences.remove(kLastSentDayKey);
}

std::optional<OperatingSystem> parseOsRelease(const QString& text) {
    // Shell-style assignments; values may be quoted. Only ID and VERSION_ID matter here.
    QHash<QString, QString> values;
    for (const QString& line : text.split(u'\n')) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || line.startsWith(u'#')) continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front()) {
            value = value.mid(1, value.size() - 2);
        }
        values.insert(line.left(equals).trimmed(), value);
    }
    const QString id = values.value(QStringLiteral("ID"));
    if (id.isEmpty()) return std::nullopt;
    static const QRegularExpression leadingNumber(QStringLiteral("\\A\\d{1,4}(?!\\d)"));
    const auto major = leadingNumber.match(values.value(QStringLiteral("VERSION_ID")));
    return OperatingSystem{id, major.hasMatch() ? major.captured().toInt() : 0};
}

std::optional<OperatingSystem> operatingSystem() {
    // Read once: the status poller asks on every tick while mining.
    static const std::optional<OperatingSystem> system = []() -> std::optional<OperatingSystem> {
        for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
            QFile file(QString::fromLatin1(path));
            if (file.open(QIODevice::ReadOnly)) {
                return parseOsRelease(QString::fromUtf8(file.readAll()));
            }
        }
        return std::nullopt;
    }();
    return system;
}

UsagePulseReporter::UsagePulseReporter(Preferences& preferences, QObject* parent)
    : UsagePulseReporter(preferences, buildEndpoint(), nullptr, nullptr, parent) {}

UsagePulseReporter::UsagePulseReporter(Preferences& preferences, std::optional<QString> endpoint,
                                       Clock now, PulseTransport transport, QObject* parent)
    : QObject(parent),
      preferences_(preferences),
      endpoint_(std::move(endpoint)),
      now_(now ? std::move(now) : Clock([] { return std::chrono::system_clock::now(); })),
      transport_(transport ? std::move(transport) : PulseTransport(&curlTransport)),
      pool_(std::make_unique<QThreadPool>()) {
    pool_->setMaxThreadCount(2);
}

UsagePulseReporter::~UsagePulseReporter() {
    // A post still under way ends within its 10 s timeout; its answer is then dropped.
    pool_->waitForDone();
}

void UsagePulseReporter::noteMiningActive(bool enabled, const std::optional<QString>& appVersion,
                                          const std::optional<OperatingSystem>& system) {
    // A build without an endpoint has no count to take part in: no identifier is made.
    if (!endpoint_) return;
    const QString today = UsagePulseDay::key(now_());
    if (!enabled) return;
    if (preferences_.string(kLastSentDayKey) == today) return;
    if (!system) return;
    const QString installId = UsagePulseIdentity::current(preferences_);
    const auto pulse =
        UsagePulse::make(installId, appVersion.value_or(QString()), system->name, system->major);
    if (!pulse) return;

    ++inFlight_;
    auto* watcher = new QFutureWatcher<std::optional<int>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, today] {
        watcher->deleteLater();
        --inFlight_;
        const std::optional<int> status = watcher->result();
        if (status && (*status == 204 || (*status >= 400 && *status <= 499))) {
            preferences_.setString(kLastSentDayKey, today);
        }
    });
    watcher->setFuture(QtConcurrent::run(
        pool_.get(), [pulse = *pulse, endpoint = *endpoint_, transport = transport_] {
            return post(pulse, endpoint, transport);
        }));
}

std::optional<int> UsagePulseReporter::post(const UsagePulse& pulse, const QString& endpoint,
                                            const PulseTransport& transport) {
    PulseRequest request;
    request.url = endpoint.toStdString();
    request.headers = {{"Content-Type", "application/json"},
                       {"User-Agent", "Corvanta"},
                       {"Accept-Language", "en"}};
    request.body = pulse.json();
    request.timeoutSeconds = 10;
    try {
        return transport(request);
    } catch (...) {
        return std::nullopt;
    }
}

int UsagePulseReporter::curlTransport(const PulseRequest& request) {
    const std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) throw std::runtime_error("curl_easy_init failed");
    std::unique_ptr<curl_slist, CurlDeleter> headers;
    for (const auto& [name, value] : request.headers) {
        curl_slist* extended = curl_slist_append(headers.get(), (name + ": " + value).c_str());
        if (extended == nullptr) throw std::runtime_error("out of memory");
        headers.release();
        headers.reset(extended);
    }
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(request.timeoutSeconds * 1000));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discardBody);
    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) throw std::runtime_error(curl_easy_strerror(result));
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status > 0 ? int(status) : -1;
}

std::optional<QString> UsagePulseReporter::buildEndpoint() {
    return infoValue(QStringLiteral("CRVUsageEndpoint"));
}

}  // namespace corvanta
