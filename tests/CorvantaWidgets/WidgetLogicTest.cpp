#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QStringList>
#include <cmath>
#include <limits>

#include "TestSupport.h"
#include "corvanta/shared/BrandPalette.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/IsoDate.h"
#include "corvanta/widgets/EarningsView.h"
#include "corvanta/widgets/MinerProvider.h"
#include "corvanta/widgets/MiningStatusView.h"
#include "corvanta/widgets/WidgetColors.h"

namespace corvanta::widgets {
namespace {

namespace fs = std::filesystem;
using widgetkit::Timeline;
using widgetkit::TimelineEntry;
using widgetkit::TimelineProviderContext;
using widgetkit::WidgetFamily;

const QDateTime now = QDateTime::fromString("2026-12-06T22:00:00Z", Qt::ISODate);

MinerSnapshot running(double age = 10) {
    return {.hashRateMHs = 12.5,
            .isRunning = true,
            .isPaused = false,
            .appliedMode = "eco",
            .secondsSinceNetworkBlock = 125,
            .totalSats = 0,
            .blocksFound = 0,
            .capturedAt = ReferenceDate::from(timePoint(now.addMSecs(qint64(-age * 1000)))),
            .language = std::nullopt,
            .writerProcessID = std::nullopt,
            .updateIntervalSeconds = std::nullopt};
}

// Every message of the widgets' log while it lives.
class LogCapture {
  public:
    LogCapture() {
        lines().clear();
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& text) {
                if (QLatin1String(context.category) == QLatin1String("rigwell.widgets.timeline")) {
                    lines() << text;
                }
            });
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    static QStringList& lines() {
        static QStringList captured;
        return captured;
    }

  private:
    QtMessageHandler previous_;
};

// The provider over a temporary data folder, as the widget program finds it.
class Provider : public ::testing::Test {
  protected:
    testing::TempDir dir_;
    testing::ScopedEnv dataHome_{"XDG_DATA_HOME", dir_.path().string()};
    const fs::path file_ = dir_.path() / "H3VQ8ZT5LM.group.rigwell" / "miner-snapshot.json";
    const MinerProvider provider_{[] { return now; }};
    LogCapture log_;

    Timeline timeline(const MinerProvider& provider) {
        std::optional<Timeline> result;
        int calls = 0;
        provider.getTimeline({}, [&](Timeline t) {
            result = std::move(t);
            ++calls;
        });
        EXPECT_EQ(calls, 1) << "completes once, before returning";
        return result.value_or(Timeline{});
    }
    MinerEntry snapshotEntry(bool preview) {
        std::optional<TimelineEntry> result;
        provider_.getSnapshot({WidgetFamily::systemSmall, preview, {}},
                              [&](TimelineEntry entry) { result = entry; });
        return minerEntry(result.value());
    }
};

TEST_F(Provider, TimelineHoldsOneEntryAtNowAndAsksAgainAMinuteLater) {
    SharedContainer::write(running());
    const Timeline t = timeline(provider_);
    ASSERT_EQ(t.entries.size(), 1);
    EXPECT_EQ(t.entries[0].date, now);
    EXPECT_EQ(minerEntry(t.entries[0]).snapshot, running());
    EXPECT_EQ(t.nextRequestDate(), now.addSecs(60));
}

TEST_F(Provider, ASnapshotWrittenWithinTheMillisecondOfItsReadingIsLiveNotFromTheFuture) {
    // The clock reads whole milliseconds; the snapshot was captured 0.4 ms into this one.
    auto justWritten = running();
    justWritten.capturedAt = {ReferenceDate::from(timePoint(now)).secondsSinceReferenceDate +
                              0.0004};
    SharedContainer::write(justWritten);
    const Timeline t = timeline(provider_);
    ASSERT_EQ(t.entries.size(), 1);
    EXPECT_TRUE(miningStatus::isLive(minerEntry(t.entries[0])));
    EXPECT_EQ(t.entries[0].date, now.addMSecs(1));
    EXPECT_TRUE(miningStatus::isLive(snapshotEntry(false)));
    // A whole second ahead is a snapshot from the future: stopped, dated now.
    SharedContainer::write(running(-1));
    EXPECT_FALSE(miningStatus::isLive(snapshotEntry(false)));
    EXPECT_EQ(timeline(provider_).entries[0].date, now);
}

TEST_F(Provider, AWriterThatEndedOrFellSilentShowsStoppedBothWidgetsKeepingItsCounts) {
    auto written = running(2);
    written.blocksFound = 2;
    written.updateIntervalSeconds = 1;
    written.writerProcessID = std::int64_t(::getpid());
    SharedContainer::write(written);
    EXPECT_TRUE(miningStatus::isLive(minerEntry(timeline(provider_).entries[0])));

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    written.writerProcessID = child;
    SharedContainer::write(written);
    const MinerEntry ended = minerEntry(timeline(provider_).entries[0]);
    EXPECT_FALSE(miningStatus::isLive(ended));
    EXPECT_FALSE(miningStatus::isLive(snapshotEntry(false)));
    ASSERT_TRUE(ended.snapshot.has_value());
    EXPECT_EQ(earnings::content(ended, widgetkit::Language::english).value("blocks"),
              "2 blocks found");

    // Alive but silent for longer than its interval and the grace: stopped as well.
    written.writerProcessID = std::int64_t(::getpid());
    written.capturedAt = ReferenceDate::from(timePoint(now.addSecs(-7)));
    SharedContainer::write(written);
    EXPECT_FALSE(miningStatus::isLive(minerEntry(timeline(provider_).entries[0])));
    written.capturedAt = ReferenceDate::from(timePoint(now.addSecs(-5)));
    SharedContainer::write(written);
    EXPECT_TRUE(miningStatus::isLive(minerEntry(timeline(provider_).entries[0])));
}

TEST_F(Provider, LogLinesNameTheContainerWhetherAFileWasReadAndTheRate) {
    const MinerProvider noContainer{
        [] { return now; },
        {[] { return std::optional<fs::path>(); }, [] { return std::optional<MinerSnapshot>(); }}};
    timeline(noContainer);
    timeline(provider_);
    SharedContainer::write(running());
    timeline(provider_);
    // A file of the wrong shape reads as no snapshot.
    writeFileAtomically(file_, R"({"hashRateMHs": 1, "isRunning": "yes"})");
    const Timeline wrongShape = timeline(provider_);
    const QString path = QString::fromStdString(file_.string());
    EXPECT_EQ(LogCapture::lines(),
              QStringList({"timeline demandé — conteneur=aucun conteneur lu=false débit=-1.000000",
                           "timeline demandé — conteneur=" + path + " lu=false débit=-1.000000",
                           "timeline demandé — conteneur=" + path + " lu=true débit=12.500000",
                           "timeline demandé — conteneur=" + path + " lu=false débit=-1.000000"}));
    EXPECT_FALSE(minerEntry(wrongShape.entries.value(0)).snapshot);
}

TEST_F(Provider, SnapshotRequestsReadTheRealFileEvenForAPreview) {
    EXPECT_FALSE(snapshotEntry(true).snapshot) << "no file: no snapshot, not the placeholder";
    SharedContainer::write(running());
    const MinerEntry preview = snapshotEntry(true);
    EXPECT_EQ(preview.date, now);
    EXPECT_EQ(preview.snapshot, running());
    EXPECT_EQ(snapshotEntry(false).snapshot, running());
    EXPECT_EQ(LogCapture::lines(), QStringList({"instantané demandé — aperçu=true lu=false",
                                                "instantané demandé — aperçu=true lu=true",
                                                "instantané demandé — aperçu=false lu=true"}));
}

TEST_F(Provider, PlaceholderIsMadeUpAndReadsNothing) {
    SharedContainer::write(running());
    const MinerEntry entry = minerEntry(provider_.placeholder({}));
    EXPECT_EQ(entry.date, now);
    EXPECT_EQ(entry.snapshot, (MinerSnapshot{.hashRateMHs = 274.5,
                                             .isRunning = true,
                                             .isPaused = false,
                                             .appliedMode = "max",
                                             .secondsSinceNetworkBlock = 320,
                                             .totalSats = 0,
                                             .blocksFound = 0,
                                             .capturedAt = ReferenceDate::from(timePoint(now)),
                                             .language = std::nullopt,
                                             .writerProcessID = std::nullopt,
                                             .updateIntervalSeconds = std::nullopt}));
    EXPECT_TRUE(LogCapture::lines().isEmpty());
}

TEST(MiningStatus, LiveForFiveMinutesOfARunningMinerWhetherPausedOrNot) {
    struct Case {
        const char* what;
        std::optional<MinerSnapshot> snapshot;
        bool live;
    };
    auto stopped = running();
    stopped.isRunning = false;
    auto paused = running();
    paused.isPaused = true;
    const Case cases[] = {
        {"300 s old", running(300), true},
        {"301 s old", running(301), false},
        {"captured after the entry", running(-1), false},
        {"not running", stopped, false},
        {"paused", paused, true},
        {"no snapshot", std::nullopt, false},
    };
    for (const Case& c : cases) {
        const MinerEntry entry{now, c.snapshot};
        EXPECT_EQ(miningStatus::isLive(entry), c.live) << c.what;
        const QVariantMap content =
            miningStatus::content(entry, WidgetFamily::systemSmall, Language::french);
        EXPECT_EQ(content.value("live").toBool(), c.live) << c.what;
        EXPECT_EQ(content.value("stoppedTitle").toString(), c.live ? "" : "À l'arrêt") << c.what;
    }
}

TEST(MiningStatus, ElapsedTextAndNoLabelForValuesNoIntegerHolds) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double seconds;
        std::optional<QString> text;
    } cases[] = {
        {-5, "0s"},
        {59.9, "59s"},
        {60, "1m 0s"},
        {3599, "59m 59s"},
        {3600, "1h 0m"},
        {3725, "1h 2m"},
        {9.2e18, "2555555555555555h 33m"},
        {std::nan(""), std::nullopt},
        {inf, std::nullopt},
        {-inf, std::nullopt},
        {1e300, std::nullopt},
        {-1e300, std::nullopt},
        {0x1p63, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(miningStatus::elapsedText(c.seconds), c.text) << c.seconds;
    }
    auto snapshot = running();
    snapshot.secondsSinceNetworkBlock = inf;
    const auto content =
        miningStatus::content({now, snapshot}, WidgetFamily::systemMedium, Language::french);
    EXPECT_FALSE(content.value("hasElapsed").toBool());
    EXPECT_EQ(content.value("rate").toString(), "12.50");
}

TEST(MiningStatus, BadgeShowsPauseFirstThenTheExactModeName) {
    const struct {
        std::optional<std::string> mode;
        bool paused;
        QString text;
        QColor colour;
    } cases[] = {
        {"eco", false, "ECO", colors::brandMint()},
        {"balanced", false, "BALANCED", colors::brandViolet()},
        {"max", false, "MAX", colors::brandPink()},
        {"Max", false, "—", colors::brandSecondary()},
        {std::nullopt, false, "—", colors::brandSecondary()},
        {"max", true, "PAUSE", colors::brandWarningText()},
    };
    for (const auto& c : cases) {
        auto snapshot = running();
        snapshot.appliedMode = c.mode;
        snapshot.isPaused = c.paused;
        const auto badge = miningStatus::modeBadge(snapshot);
        EXPECT_EQ(badge.text, c.text) << c.mode.value_or("absent");
        EXPECT_EQ(badge.colour, c.colour) << c.mode.value_or("absent");
    }
}

TEST(Earnings, AmountAndBlockCountWithAndWithoutASnapshot) {
    const struct {
        std::optional<std::int64_t> sats;
        std::int64_t blocks;
        QString amount;
        QString count;
        QString countInEnglish;
    } cases[] = {
        {std::nullopt, 0, "0.00 BTC", "0 bloc trouvé", "0 blocks found"},
        {0, 0, "0.00 BTC", "0 bloc trouvé", "0 blocks found"},
        {1, 1, "0.00000001 BTC", "1 bloc trouvé", "1 block found"},
        {312'500'000, 2, "3.12500000 BTC", "2 blocs trouvés", "2 blocks found"},
        // Every satoshi as written, also past the 2^53 a double holds exactly.
        {2'100'000'000'000'000, 1202, "21000000.00000000 BTC", "1202 blocs trouvés",
         "1202 blocks found"},
        {std::numeric_limits<std::int64_t>::max(), 123456, "92233720368.54775807 BTC",
         "123456 blocs trouvés", "123456 blocks found"},
        {-1, 0, "-0.00000001 BTC", "0 bloc trouvé", "0 blocks found"},
    };
    for (const auto& c : cases) {
        std::optional<MinerSnapshot> snapshot;
        if (c.sats) {
            // Days old: the earnings widget applies no freshness test.
            snapshot = running(3 * 86400);
            snapshot->totalSats = *c.sats;
            snapshot->blocksFound = c.blocks;
        }
        const MinerEntry entry{now, snapshot};
        EXPECT_EQ(earnings::amountText(entry), c.amount);
        EXPECT_EQ(earnings::blockCountText(entry, Language::french), c.count);
        EXPECT_EQ(earnings::blockCountText(entry, Language::english), c.countInEnglish);
    }
}

TEST(ClockDates, OnlyZonedDatesWithinTheTimePointRangeAreAClocksDates) {
    EXPECT_EQ(widgetkit::parseClockDate("2026-12-06T23:00:00.250+01:00"), now.addMSecs(250));
    EXPECT_EQ(widgetkit::parseClockDate("2262-04-11T23:47:16Z")->toSecsSinceEpoch(),
              latestWholeSeconds().time_since_epoch().count());
    EXPECT_EQ(widgetkit::parseClockDate("1677-09-21T00:12:44Z")->toSecsSinceEpoch(),
              earliestWholeSeconds().time_since_epoch().count());
    for (const char* refused :
         {"9999-12-31T23:59:59Z", "2262-04-11T23:47:17Z", "1677-09-21T00:12:43Z",
          "0001-01-01T00:00:00Z", "2026-12-06T22:00:00", "yesterday", ""}) {
        EXPECT_FALSE(widgetkit::parseClockDate(refused)) << refused;
    }
}

TEST(ClockDates, DatesBeyondTheClockAreClampedNotOverflowedAndShowAsStopped) {
    const QDateTime farFuture = QDateTime::fromString("9999-12-31T23:59:59Z", Qt::ISODate);
    const QDateTime farPast = QDateTime::fromString("0100-01-01T00:00:00Z", Qt::ISODate);
    EXPECT_EQ(timePoint(farFuture), latestWholeSeconds());
    EXPECT_EQ(timePoint(farPast), earliestWholeSeconds());
    EXPECT_EQ(timePoint(QDateTime()), earliestWholeSeconds());
    EXPECT_EQ(timePoint(now),
              std::chrono::system_clock::time_point(std::chrono::seconds(now.toSecsSinceEpoch())));

    // A provider lent such a clock still answers: its made-up entry is live at its own date, and
    // a snapshot of today is not fresh then.
    testing::TempDir dir;
    const testing::ScopedEnv dataHome{"XDG_DATA_HOME", dir.path().string()};
    SharedContainer::write(running());
    for (const QDateTime& date : {farFuture, farPast}) {
        const MinerProvider provider{[date] { return date; }};
        EXPECT_TRUE(miningStatus::isLive(minerEntry(provider.placeholder({}))));
        provider.getTimeline({}, [&](Timeline timeline) {
            const MinerEntry entry = minerEntry(timeline.entries.value(0));
            EXPECT_EQ(entry.snapshot, running());
            EXPECT_FALSE(miningStatus::isLive(entry));
        });
    }
}

TEST(WidgetTexts, LanguageFromTheSystemListAndKeysShownAsWrittenWithoutAnEntry) {
    EXPECT_EQ(resolveLanguage({"ja_JP", "de-CH", "fr"}), Language::german);
    EXPECT_EQ(resolveLanguage({"PT_br"}), Language::portuguese);
    EXPECT_EQ(resolveLanguage({"C"}), Language::english);
    EXPECT_EQ(resolveLanguage({}), Language::english);
    EXPECT_EQ(localizedString("À l'arrêt", Language::german), "Gestoppt");
    EXPECT_EQ(localizedString("À l'arrêt", Language::french), "À l'arrêt");
    EXPECT_EQ(localizedString("HASHRATE", Language::spanish), "HASHRATE");
    EXPECT_EQ(localizedString("not a key", Language::italian), "not a key");
    EXPECT_EQ(earnings::content({now, std::nullopt}, Language::english).value("header"),
              "EARNINGS");
    EXPECT_EQ(earnings::content({now, std::nullopt}, Language::french).value("header"), "GAINS");
}

TEST(WidgetColours, SameValuesAsTheSharedPalette) {
    const std::pair<const QColor&, std::uint32_t> pairs[] = {
        {colors::brandViolet(), BrandPalette::violet},
        {colors::brandPink(), BrandPalette::pink},
        {colors::brandMint(), BrandPalette::mint},
        {colors::brandSuccessText(), BrandPalette::successText},
        {colors::brandWarningText(), BrandPalette::warningText},
        {colors::brandSecondary(), BrandPalette::textSecondary},
    };
    for (const auto& [colour, rgb] : pairs) {
        EXPECT_EQ(colour.rgba(), 0xFF000000u | rgb);
    }
}

}  // namespace
}  // namespace corvanta::widgets
