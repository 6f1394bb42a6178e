#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

#include "HostFixture.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::host {
namespace {

namespace fs = std::filesystem;
using testing::linesOf;
using widgetkit::Timeline;
using widgetkit::TimelineEntry;
using widgetkit::TimelineReloadPolicy;
using widgetkit::WidgetFamily;

QStringList kinds(const std::vector<LoadedWidget>& widgets) {
    QStringList list;
    for (const auto& widget : widgets) list << widget.configuration.kind;
    return list;
}

class PluginFolder : public testing::QtTest {};

TEST_F(PluginFolder, ChecksEachFileByItsMetadataAndNeverMapsOneItSkips) {
    testing::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    const QString plugins = QStringLiteral(CORVANTA_TEST_PLUGIN_FOLDER);
    fs::create_symlink(CORVANTA_WIDGET_PLUGIN_FILE, dir.path() / "corvanta-widgets.so");
    fs::copy_file((plugins + "/WrongIidPlugin.so").toStdString(), dir.path() / "older.so");
    fs::copy_file((plugins + "/NoKindsPlugin.so").toStdString(), dir.path() / "nokinds.so");
    // A second copy of the widget plug-in: loading it would register its views' QML module
    // again, which aborts the process.
    fs::copy_file(CORVANTA_WIDGET_PLUGIN_FILE, dir.path() / "second-copy.so");
    fs::copy_file((plugins + "/UnloadablePlugin.so").toStdString(), dir.path() / "unloadable.so");
    testing::writeText(dir.path() / "broken.so", "not a library");
    testing::writeText(dir.path() / "notes.txt", "not a plug-in");

    const auto widgets = loadWidgets(folder, [] { return t0; });
    EXPECT_EQ(kinds(widgets), QStringList({"corvanta.widget.mining", "corvanta.widget.earnings"}));

    QFile maps(QStringLiteral("/proc/self/maps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    for (const char* skipped : {"/older.so", "/nokinds.so", "/second-copy.so"}) {
        EXPECT_FALSE(mapped.contains(QFile::encodeName(folder + skipped))) << skipped;
    }

    const QStringList log = linesOf("corvanta.widget-host").filter("skipped");
    ASSERT_EQ(log.size(), 5) << log.join('\n').toStdString();
    EXPECT_EQ(log[0],
              "skipped " + folder + "/broken.so - IID (none) instead of rigwell.WidgetBundle/1.0");
    EXPECT_EQ(log[1], "skipped " + folder + "/nokinds.so - its metadata lists no kinds");
    EXPECT_EQ(log[2],
              "skipped " + folder +
                  "/older.so - IID rigwell.WidgetBundle/0.9 instead of rigwell.WidgetBundle/1.0");
    EXPECT_EQ(log[3], "skipped " + folder +
                          "/second-copy.so - the widget corvanta.widget.mining is already offered "
                          "by " +
                          folder + "/corvanta-widgets.so");
    EXPECT_TRUE(log[4].startsWith("skipped " + folder + "/unloadable.so - "))
        << log[4].toStdString();
    EXPECT_TRUE(log[4].contains("corvanta_test_symbol_nobody_defines")) << log[4].toStdString();
}

TEST_F(Host, ShowsTwoInstancesOfTwoKindsAndStoresAMoveKeepingOtherKinds) {
    MinerSnapshot snapshot;
    snapshot.hashRateMHs = 8;
    snapshot.isRunning = true;
    snapshot.totalSats = 312'500'000;
    snapshot.blocksFound = 2;
    snapshot.capturedAt = referenceDate(t0.addSecs(-30));
    SharedContainer::write(snapshot);
    testing::writeText(file_, R"({"instances": [
        {"kind": "corvanta.widget.mining", "family": "medium", "x": 40, "y": 50},
        {"kind": "other.widget", "family": "small", "x": 0, "y": 0},
        {"kind": "corvanta.widget.earnings", "family": "small", "x": 300, "y": 60}]})");
    const auto host = startHost();

    ASSERT_EQ(host->shown().size(), 2u);
    const auto& mining = host->shown()[0];
    const auto& earnings = host->shown()[1];
    EXPECT_EQ(mining.window->geometry(), QRect(40, 50, 364, 170));
    EXPECT_EQ(earnings.window->geometry(), QRect(300, 60, 170, 170));
    EXPECT_TRUE(
        mining.window->flags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint));
    EXPECT_EQ(content(mining).value("rate").toString(), "8.00");
    EXPECT_FALSE(content(mining).value("small").toBool());
    EXPECT_EQ(content(earnings).value("amount").toString(), "3.12500000 BTC");
    EXPECT_TRUE(
        linesOf("corvanta.widget-host").contains("no widget other.widget in the small size"));

    earnings.window->setPosition(500, 420);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return testing::readText(file_).find("500") != std::string::npos; }));
    const auto stored = json::parse(testing::readText(file_)).at("instances");
    ASSERT_EQ(stored.size(), 3u) << stored.dump();
    EXPECT_EQ(stored[1].at("kind"), "other.widget");
    EXPECT_EQ(stored[0].at("x"), 40);
    EXPECT_EQ(stored[2].at("x"), 500);
    EXPECT_EQ(stored[2].at("y"), 420);
}

TEST_F(Host, WithoutUsableInstancesShowsOneSmallOfEachKindAndSetsABadFileAside) {
    {
        const auto host = startHost();
        ASSERT_EQ(host->shown().size(), 2u);
        EXPECT_EQ(host->instances()[0].kind, "corvanta.widget.mining");
        EXPECT_EQ(host->instances()[1].kind, "corvanta.widget.earnings");
        EXPECT_EQ(host->shown()[1].window->size(), QSize(170, 170));
        EXPECT_EQ(storedInstances(file_), QStringList({"corvanta.widget.mining small 24,24",
                                                       "corvanta.widget.earnings small 210,24"}))
            << "the defaults are the user's widgets from the start, also at the next login";
        // Stopped without a snapshot, and zero earnings.
        EXPECT_FALSE(content(host->shown()[0]).value("live").toBool());
        EXPECT_EQ(content(host->shown()[1]).value("amount").toString(), "0.00 BTC");
    }
    for (const char* bad :
         {"{\"instances\": [{\"kind\": 3}]}",
          "{\"instances\": [{\"kind\": \"a\", \"family\": \"large\", \"x\": 1, \"y\": 2}]}"}) {
        testing::writeText(file_, bad);
        const auto host = startHost();
        EXPECT_EQ(host->shown().size(), 2u) << bad;
        EXPECT_EQ(storedInstances(file_).size(), 2) << bad;
    }
    EXPECT_EQ(testing::readText(file_.string() + ".unreadable"),
              "{\"instances\": [{\"kind\": 3}]}");
    EXPECT_NE(testing::readText(file_.string() + ".unreadable-2").find("large"), std::string::npos);
}

// A provider that counts its calls and makes its timelines with `make`.
struct FakeProvider final : widgetkit::TimelineProvider {
    widgetkit::Clock clock;
    std::function<Timeline(QDateTime)> make;
    mutable int snapshots = 0;
    mutable int timelines = 0;

    TimelineEntry placeholder(const widgetkit::TimelineProviderContext&) const override {
        return {clock(), {}};
    }
    void getSnapshot(const widgetkit::TimelineProviderContext&,
                     const std::function<void(TimelineEntry)>& completion) const override {
        ++snapshots;
        completion({clock(), QStringLiteral("snapshot")});
    }
    void getTimeline(const widgetkit::TimelineProviderContext&,
                     const std::function<void(Timeline)>& completion) const override {
        ++timelines;
        completion(make(clock()));
    }
};

class Timelines : public testing::QtTest {
  protected:
    QDateTime now_ = t0;
    std::shared_ptr<FakeProvider> provider_ = std::make_shared<FakeProvider>();
    QStringList shown_;

    std::unique_ptr<TimelineRunner> runner(std::function<Timeline(QDateTime)> make) {
        provider_->clock = [this] { return now_; };
        provider_->make = std::move(make);
        widgetkit::WidgetConfiguration configuration{
            "test.widget",
            "",
            "",
            {WidgetFamily::systemSmall},
            provider_,
            {QUrl(), [](const TimelineEntry& entry, WidgetFamily) {
                 return QVariantMap{{"shown", entry.value.toString() + "@" +
                                                  QString::number(t0.secsTo(entry.date))}};
             }}};
        auto result = std::make_unique<TimelineRunner>(
            configuration, widgetkit::TimelineProviderContext{}, [this] { return now_; });
        QObject::connect(
            result.get(), &TimelineRunner::entryShown,
            [this](const QVariantMap& content) { shown_ << content["shown"].toString(); });
        return result;
    }
    void at(int seconds, TimelineRunner& runner) {
        now_ = t0.addMSecs(qint64(seconds) * 1000);
        runner.advance();
    }
};

TEST_F(Timelines, SnapshotFirstThenTheNextTimelineAtThePolicyDate) {
    const auto r = runner([](QDateTime now) {
        return Timeline{{{now, QStringLiteral("entry")}},
                        TimelineReloadPolicy::after(now.addSecs(60))};
    });
    r->start();
    EXPECT_EQ(provider_->snapshots, 1);
    EXPECT_EQ(provider_->timelines, 1);
    EXPECT_EQ(shown_, QStringList({"snapshot@0", "entry@0"}));
    EXPECT_EQ(r->nextWakeUp(), t0.addSecs(60));
    now_ = t0.addMSecs(59'999);
    r->advance();
    EXPECT_EQ(provider_->timelines, 1);
    at(60, *r);
    EXPECT_EQ(provider_->timelines, 2);
    EXPECT_EQ(shown_.last(), "entry@60");
    EXPECT_EQ(r->nextWakeUp(), t0.addSecs(120));
    EXPECT_EQ(provider_->snapshots, 1);
}

TEST_F(Timelines, EntriesShowAtTheirDatesAndAnEagerPolicyIsSpacedOut) {
    const auto r = runner([](QDateTime now) {
        return Timeline{{{now.addSecs(20), "c"}, {now, "a"}, {now.addSecs(10), "b"}},
                        TimelineReloadPolicy::atEnd()};
    });
    r->start();
    EXPECT_EQ(shown_, QStringList({"snapshot@0", "a@0"}));
    EXPECT_EQ(r->nextWakeUp(), t0.addSecs(10));
    at(15, *r);
    EXPECT_EQ(shown_.last(), "b@10");
    at(20, *r);  // the last entry, then a new timeline since the policy is atEnd
    EXPECT_EQ(shown_.mid(3), QStringList({"c@20", "a@20"}));
    EXPECT_EQ(provider_->timelines, 2);

    // A provider that asks to be asked again at once is asked again a second later, not at once.
    const auto eager = runner([](QDateTime now) {
        return Timeline{{{now, "x"}}, TimelineReloadPolicy::after(now.addSecs(-5))};
    });
    provider_->timelines = 0;
    eager->start();
    EXPECT_EQ(provider_->timelines, 1);
    EXPECT_EQ(eager->nextWakeUp(), now_.addSecs(1));
}

}  // namespace
}  // namespace corvanta::host
