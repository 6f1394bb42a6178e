#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SystemServices/Preferences.h"

class QThreadPool;

namespace corvanta {

// The anonymous daily usage count: an installation identifier, the application's version and
// the system's name and major version, nothing about mining. Sent only by a build that names its
// endpoint; without one nothing is stored or sent.
struct UsagePulse {
    QString installId;
    QString appVersion;
    QString osName;
    int osMajor = 0;
    bool operator==(const UsagePulse&) const = default;

    // Absent unless installId is a UUID, appVersion is exactly three dot-separated decimal
    // numbers, osName is an os-release ID (1 to 64 of a-z, 0-9, ".", "_", "-") and osMajor lies
    // in 0…9999 (0: a system without version numbers, such as a rolling release).
    static std::optional<UsagePulse> make(const QString& installId, const QString& appVersion,
                                          const QString& osName, int osMajor);
    // {"installId":…,"appVersion":…,"osName":…,"osMajor":…}, compact, in that order.
    std::string json() const;
};

namespace UsagePulseDay {
// "yyyy-mm-dd" of the instant's UTC day.
QString key(std::chrono::system_clock::time_point instant);
}  // namespace UsagePulseDay

namespace UsagePulseIdentity {
// "rigwell.usageInstallId" when it holds a UUID, else a new upper-case one, stored.
QString current(Preferences& preferences);
// The opt-out: removes the identifier and the last day sent.
void forget(Preferences& preferences);
}  // namespace UsagePulseIdentity

struct OperatingSystem {
    QString name;   // os-release ID: "debian", "fedora"…
    int major = 0;  // the leading number of VERSION_ID, 0 when there is none
};
// The system an os-release text describes; nullopt without an ID.
std::optional<OperatingSystem> parseOsRelease(const QString& text);
// This system, from /etc/os-release or else /usr/lib/os-release (read once); nullopt when
// neither reads.
std::optional<OperatingSystem> operatingSystem();

struct PulseRequest {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    double timeoutSeconds = 10;
};
// Sends a request and returns the HTTP status (-1 without one); throws when nothing could be
// sent. Called on a worker thread.
using PulseTransport = std::function<int(const PulseRequest&)>;

class UsagePulseReporter : public QObject {
    Q_OBJECT

  public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // `preferences` must outlive the reporter. Without an endpoint it never sends, reads or
    // stores anything.
    UsagePulseReporter(Preferences& preferences, std::optional<QString> endpoint,
                       Clock now = nullptr, PulseTransport transport = nullptr,
                       QObject* parent = nullptr);
    // The build's endpoint.
    explicit UsagePulseReporter(Preferences& preferences, QObject* parent = nullptr);
    ~UsagePulseReporter() override;

    // Returns at once; may start sending today's pulse. A 204 or 4xx answer marks the UTC day as
    // sent, anything else leaves it to the next call.
    void noteMiningActive(bool enabled, const std::optional<QString>& appVersion,
                          const std::optional<OperatingSystem>& system);
    bool hasPostInFlight() const { return inFlight_ > 0; }

    static std::optional<int> post(const UsagePulse& pulse, const QString& endpoint,
                                   const PulseTransport& transport);
    // Through the user's proxy settings (the usual *_proxy variables), like any other web request.
    static int curlTransport(const PulseRequest& request);
    // The address the build names ("CRVUsageEndpoint"), nullopt when it names none.
    static std::optional<QString> buildEndpoint();

  private:
    Preferences& preferences_;
    std::optional<QString> endpoint_;
    Clock now_;
    PulseTransport transport_;
    std::unique_ptr<QThreadPool> pool_;
    int inFlight_ = 0;
};

}  // namespace corvanta
