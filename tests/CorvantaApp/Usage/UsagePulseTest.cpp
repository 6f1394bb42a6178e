#include <gtest/gtest.h>

#include <atomic>

#include "AppTestEnvironment.h"
#include "TestHttpServer.h"
#include "TestSupport.h"
#include "Usage/UsagePulse.h"

namespace corvanta {
namespace {

using namespace std::chrono;
using testing::TempDir;

const QString kId = "0E7A1A64-9B3B-4C2E-8F4E-2B7E5D1C9A10";

system_clock::time_point utc(int y, unsigned m, unsigned d, int h, int min) {
    return sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(min);
}

TEST(UsagePulse, ValidityEdges) {
    EXPECT_TRUE(UsagePulse::make(kId, "10.20.30", "debian", 12));
    EXPECT_TRUE(UsagePulse::make(kId.toLower(), "0.1.0", "opensuse-tumbleweed", 0));
    EXPECT_TRUE(UsagePulse::make(kId, "0.1.0", "rhel", 9999));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2", "debian", 12));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2.3-beta", "debian", 12));
    EXPECT_FALSE(UsagePulse::make(kId, " 1.2.3", "debian", 12));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2.3\n", "debian", 12));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2.3", "debian", -1));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2.3", "debian", 10000));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2.3", "", 12));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2.3", "Debian GNU/Linux", 12));
    EXPECT_FALSE(UsagePulse::make(kId, "1.2.3", QString(65, u'a'), 12));
    EXPECT_FALSE(UsagePulse::make("not-a-uuid", "1.2.3", "debian", 12));
    EXPECT_EQ(UsagePulse::make(kId, "1.2.3", "fedora", 41)->json(),
              R"({"installId":"0E7A1A64-9B3B-4C2E-8F4E-2B7E5D1C9A10","appVersion":"1.2.3",)"
              R"("osName":"fedora","osMajor":41})");
}

TEST(UsagePulse, TheSystemComesFromOsRelease) {
    const auto debian = parseOsRelease(
        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
        "VERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\nID=debian\n");
    ASSERT_TRUE(debian);
    EXPECT_EQ(debian->name, "debian");
    EXPECT_EQ(debian->major, 12);
    const auto ubuntu = parseOsRelease("ID='ubuntu'\nVERSION_ID='24.04'\n# ID=other\n");
    ASSERT_TRUE(ubuntu);
    EXPECT_EQ(ubuntu->name, "ubuntu");
    EXPECT_EQ(ubuntu->major, 24);
    // A rolling release has no version: the major is 0, and the pulse still valid.
    const auto arch = parseOsRelease("NAME=\"Arch Linux\"\nID=arch\nBUILD_ID=rolling\n");
    ASSERT_TRUE(arch);
    EXPECT_EQ(arch->major, 0);
    EXPECT_TRUE(UsagePulse::make(kId, "1.2.3", arch->name, arch->major));
    EXPECT_EQ(parseOsRelease("ID=x\nVERSION_ID=123456\n")->major, 0);
    EXPECT_EQ(parseOsRelease("NAME=Linux\nVERSION_ID=3\n"), std::nullopt);
    EXPECT_EQ(parseOsRelease(""), std::nullopt);
    // This machine has one.
    EXPECT_TRUE(operatingSystem());
}

TEST(UsagePulse, DayKeysAreUtcDays) {
    EXPECT_EQ(UsagePulseDay::key(utc(2026, 1, 2, 23, 30)), "2026-01-02");
    EXPECT_EQ(UsagePulseDay::key(utc(2026, 1, 3, 0, 0)), "2026-01-03");
    EXPECT_EQ(UsagePulseDay::key(utc(1970, 1, 1, 0, 0)), "1970-01-01");
    // 23:30 in Paris on 31 December is already the next year in UTC.
    EXPECT_EQ(UsagePulseDay::key(utc(2025, 12, 31, 22, 30) + hours(1) + minutes(30)), "2026-01-01");
}

TEST(UsagePulse, IdentityIsKeptWhenValidAndReplacedOtherwise) {
    const TempDir dir;
    Preferences preferences(QString::fromStdString((dir.path() / "p.conf").string()));
    preferences.setString("rigwell.usageInstallId", kId.toLower());
    EXPECT_EQ(UsagePulseIdentity::current(preferences), kId.toLower());
    preferences.setString("rigwell.usageInstallId", "junk");
    const QString made = UsagePulseIdentity::current(preferences);
    EXPECT_NE(made, "junk");
    EXPECT_EQ(made, made.toUpper());
    EXPECT_TRUE(UsagePulse::make(made, "1.0.0", "debian", 12));
    EXPECT_EQ(UsagePulseIdentity::current(preferences), made);

    preferences.setString("rigwell.usageLastSentDay", "2026-01-01");
    UsagePulseIdentity::forget(preferences);
    EXPECT_FALSE(preferences.contains("rigwell.usageInstallId"));
    EXPECT_FALSE(preferences.contains("rigwell.usageLastSentDay"));
}

// A reporter whose transport answers a fixed status and counts its calls.
struct Reporting {
    TempDir dir;
    Preferences preferences{QString::fromStdString((dir.path() / "p.conf").string())};
    std::atomic<int> status{204};
    std::atomic<int> sends{0};
    system_clock::time_point now = utc(2026, 5, 6, 7, 8);
    UsagePulseReporter reporter{preferences, QStringLiteral("https://usage.example/api/pulse"),
                                [this] { return now; },
                                [this](const PulseRequest&) {
                                    ++sends;
                                    if (status < 0) throw std::runtime_error("unreachable");
                                    return status.load();
                                }};

    void noteActive(bool enabled = true, std::optional<QString> version = "1.2.3",
                    std::optional<OperatingSystem> os = OperatingSystem{"debian", 12}) {
        reporter.noteMiningActive(enabled, version, os);
        EXPECT_TRUE(testing::waitUntil([&] { return !reporter.hasPostInFlight(); }));
    }
    std::optional<QString> lastDay() const {
        return preferences.string("rigwell.usageLastSentDay");
    }
};

TEST(UsagePulse, OnlyA204OrAClientErrorMarksTheDaySent) {
    struct Case {
        int status;
        bool stored;
    };
    for (const Case c : {Case{200, false}, Case{204, true}, Case{400, true}, Case{404, true},
                         Case{499, true}, Case{500, false}, Case{301, false}, Case{-1, false}}) {
        Reporting r;
        r.status = c.status;
        r.noteActive();
        EXPECT_EQ(r.sends, 1) << c.status;
        EXPECT_EQ(r.lastDay(), c.stored ? std::optional<QString>("2026-05-06") : std::nullopt)
            << c.status;
        // A day not stored is tried again at the next call; a stored one is not.
        r.noteActive();
        EXPECT_EQ(r.sends, c.stored ? 1 : 2) << c.status;
    }
}

TEST(UsagePulse, NothingIsSentWhenDisabledOrInvalid) {
    Reporting r;
    r.noteActive(false);
    EXPECT_FALSE(r.preferences.contains("rigwell.usageInstallId"));
    r.noteActive(true, std::nullopt);
    r.noteActive(true, "1.2.3", OperatingSystem{"Debian", 12});
    r.noteActive(true, "1.2.3", std::nullopt);
    EXPECT_EQ(r.sends, 0);
    EXPECT_EQ(r.lastDay(), std::nullopt);

    // The next UTC day is a new day.
    r.noteActive();
    r.now += hours(17);
    r.noteActive();
    EXPECT_EQ(r.sends, 2);
    EXPECT_EQ(r.lastDay(), "2026-05-07");
}

TEST(UsagePulse, ABuildWithoutEndpointStoresAndSendsNothing) {
    const TempDir dir;
    Preferences preferences(QString::fromStdString((dir.path() / "p.conf").string()));
    int sends = 0;
    UsagePulseReporter reporter(preferences, std::nullopt, nullptr, [&](const PulseRequest&) {
        ++sends;
        return 204;
    });
    reporter.noteMiningActive(true, "1.2.3", OperatingSystem{"debian", 12});
    EXPECT_FALSE(reporter.hasPostInFlight());
    EXPECT_EQ(sends, 0);
    EXPECT_FALSE(preferences.contains("rigwell.usageInstallId"));
    EXPECT_FALSE(preferences.contains("rigwell.usageLastSentDay"));
    // This build names none.
    EXPECT_EQ(UsagePulseReporter::buildEndpoint(), std::nullopt);
}

TEST(UsagePulse, TheCurlTransportPostsTheJsonAndReturnsTheStatus) {
    testing::TestHttpServer server([](const auto&, std::stop_token) {
        return testing::TestHttpServer::Reply{404, ""};
    });
    PulseRequest request;
    request.url = server.endpoint() + "api/pulse";
    request.headers = {{"Content-Type", "application/json"}, {"User-Agent", "Corvanta"}};
    request.body = R"({"installId":"x"})";
    request.timeoutSeconds = 10;
    EXPECT_EQ(UsagePulseReporter::curlTransport(request), 404);
    const auto received = server.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].requestLine, "POST /api/pulse HTTP/1.1");
    EXPECT_EQ(received[0].header("Content-Type"), "application/json");
    EXPECT_EQ(received[0].header("User-Agent"), "Corvanta");
    EXPECT_EQ(received[0].body, request.body);

    // Nobody listening: the transport throws and post() reports no status.
    request.url = "http://127.0.0.1:" + std::to_string(testing::unusedLoopbackPort()) + "/";
    EXPECT_THROW(UsagePulseReporter::curlTransport(request), std::runtime_error);
    PulseRequest seen;
    const auto pulse = *UsagePulse::make(kId, "1.2.3", "debian", 12);
    EXPECT_EQ(UsagePulseReporter::post(pulse, "https://usage.example/api/pulse",
                                       [&](const PulseRequest& r) -> int {
                                           seen = r;
                                           throw std::runtime_error("down");
                                       }),
              std::nullopt);
    EXPECT_EQ(seen.url, "https://usage.example/api/pulse");
    EXPECT_EQ(seen.body, pulse.json());
    EXPECT_EQ(seen.timeoutSeconds, 10);
    EXPECT_EQ(seen.headers, (std::vector<std::pair<std::string, std::string>>{
                                {"Content-Type", "application/json"},
                                {"User-Agent", "Corvanta"},
                                {"Accept-Language", "en"}}));
}

// The pulse is an ordinary web request: it goes through the user's proxy.
TEST(UsagePulse, TheCurlTransportGoesThroughTheUsersProxy) {
    testing::TestHttpServer proxy([](const auto&, std::stop_token) {
        return testing::TestHttpServer::Reply{204, ""};
    });
    const QByteArray savedProxy = qgetenv("http_proxy");
    const QByteArray savedNoProxy = qgetenv("no_proxy");
    qputenv("http_proxy", QByteArray::fromStdString(proxy.endpoint()));
    qunsetenv("no_proxy");
    PulseRequest request;
    request.url = "http://usage.invalid/api/pulse";
    request.body = "{}";
    const int status = UsagePulseReporter::curlTransport(request);
    savedProxy.isNull() ? qunsetenv("http_proxy") : qputenv("http_proxy", savedProxy);
    if (!savedNoProxy.isNull()) qputenv("no_proxy", savedNoProxy);
    EXPECT_EQ(status, 204);
    const auto received = proxy.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].requestLine, "POST http://usage.invalid/api/pulse HTTP/1.1");
}

}  // namespace
}  // namespace corvanta
