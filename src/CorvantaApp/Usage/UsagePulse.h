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

// The anonymous daily usage count. Its one system field is the macOS major version, so on Linux
// no pulse is ever valid: the session hands the reporter no version, make() refuses and nothing
// is sent. The code stays so the opt-out and the bookkeeping keep their meaning.
struct UsagePulse {
    QString installId;
    QString appVersion;
    int macosMajor = 0;
    bool operator==(const UsagePulse&) const = default;

    // Absent unless installId is a UUID, appVersion is exactly three dot-separated decimal
    // numbers and macosMajor lies in 13…40.
    static std::optional<UsagePulse> make(const QString& installId, const QString& appVersion,
                                          int macosMajor);
    // {"installId":…,"appVersion":…,"macosMajor":…}, compact, in that order.
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

struct OperatingSystemVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
};
// The macOS version the pulse reports: none on Linux.
std::optional<OperatingSystemVersion> macOSVersion();

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

    // `preferences` must outlive the reporter.
    explicit UsagePulseReporter(Preferences& preferences, Clock now = nullptr,
                                PulseTransport transport = nullptr, QObject* parent = nullptr);
    ~UsagePulseReporter() override;

    // Returns at once; may start sending today's pulse. A 204 or 4xx answer marks the UTC day as
    // sent, anything else leaves it to the next call.
    void noteMiningActive(bool enabled, const std::optional<QString>& appVersion,
                          const std::optional<OperatingSystemVersion>& osVersion);
    bool hasPostInFlight() const { return inFlight_ > 0; }

    static std::optional<int> post(const UsagePulse& pulse, const PulseTransport& transport);
    static int curlTransport(const PulseRequest& request);
    static QString endpoint();

  private:
    Preferences& preferences_;
    Clock now_;
    PulseTransport transport_;
    std::unique_ptr<QThreadPool> pool_;
    int inFlight_ = 0;
};

}  // namespace corvanta
