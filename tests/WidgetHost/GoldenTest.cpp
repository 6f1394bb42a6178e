// Screens of both widgets rendered by the host's --render mode against reviewed baselines.
// CORVANTA_UPDATE_GOLDENS=1 writes the baselines anew instead (look at each before committing);
// on a mismatch the actual image and a diff stay in the build's golden-failures folder.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <limits>

#include "GoldenImage.h"
#include "HostTestSupport.h"
#include "corvanta/shared/SharedContainer.h"

namespace corvanta {
namespace {

const QDateTime renderedAt = QDateTime::fromString("2026-12-06T22:00:00Z", Qt::ISODate);

ReferenceDate secondsBefore(double seconds) {
    return {renderedAt.toMSecsSinceEpoch() / 1000.0 - ReferenceDate::secondsFromUnixEpoch -
            seconds};
}

struct Scene {
    const char* name;
    const char* kind;
    const char* family;
    std::optional<MinerSnapshot> snapshot;
};

void PrintTo(const Scene& scene, std::ostream* out) {
    *out << scene.name;
}

MinerSnapshot live(std::optional<std::string> mode, double sinceBlock, bool paused = false,
                   double rate = 274.5) {
    return {.hashRateMHs = rate,
            .isRunning = true,
            .isPaused = paused,
            .appliedMode = mode,
            .secondsSinceNetworkBlock = sinceBlock,
            .totalSats = 0,
            .blocksFound = 0,
            .capturedAt = secondsBefore(30),
            .language = std::nullopt,
            .writerProcessID = std::nullopt,
            .updateIntervalSeconds = std::nullopt};
}

MinerSnapshot earned(std::int64_t sats, std::int64_t blocks, double age) {
    MinerSnapshot snapshot;
    snapshot.totalSats = sats;
    snapshot.blocksFound = blocks;
    snapshot.capturedAt = secondsBefore(age);
    return snapshot;
}

const Scene scenes[] = {
    {"mining-small-live", "corvanta.widget.mining", "small", live("max", 3725)},
    {"mining-medium-live", "corvanta.widget.mining", "medium", live("eco", 42)},
    {"mining-small-stopped", "corvanta.widget.mining", "small", std::nullopt},
    {"mining-medium-stopped", "corvanta.widget.mining", "medium", earned(0, 0, 30)},
    {"mining-small-paused", "corvanta.widget.mining", "small", live("balanced", 125, true)},
    {"mining-medium-paused", "corvanta.widget.mining", "medium", live(std::nullopt, 59.9, true)},
    {"earnings-small", "corvanta.widget.earnings", "small", earned(312'500'000, 2, 30)},
    {"earnings-medium", "corvanta.widget.earnings", "medium", earned(1, 1, 3 * 86400)},
    // Figures too wide for the widget are cut, never drawn past its edge; 1e300 s has no label.
    {"mining-small-extreme", "corvanta.widget.mining", "small", live("max", 1e300, false, 1e300)},
    {"earnings-small-extreme", "corvanta.widget.earnings", "small",
     earned(std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max(),
            30)},
};

using testing::differingShare;

struct RenderResult {
    int exitCode;
    QString errors;
};

// Runs the host's render mode over the data folder `dir`/data, in French, off screen.
RenderResult render(const std::filesystem::path& dir, const QStringList& arguments,
                    const QString& plugins = QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path()) {
    QProcess host;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
    environment.insert("CORVANTA_WIDGET_PLUGINS", plugins);
    environment.insert("LANGUAGE", "fr");
    environment.insert("LC_ALL", "C.UTF-8");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_SCALE_FACTOR", "1");
    host.setProcessEnvironment(environment);
    host.start(CORVANTA_WIDGET_HOST, arguments);
    if (!host.waitForFinished(30000)) return {-1, "the host did not finish"};
    return {host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1,
            QString::fromUtf8(host.readAllStandardError())};
}

TEST(RenderCommand, RefusesBadArgumentsWithAClearErrorAndWritesNothing) {
    testing::TempDir dir;
    const QString out = QString::fromStdString((dir.path() / "out.png").string());
    const struct {
        QStringList arguments;
        const char* error;
    } cases[] = {
        {{"--render", "corvanta.widget.mining", "--family", "large", "--out", out},
         "--family must be small or medium"},
        {{"--render", "corvanta.widget.mining"}, "--out is required"},
        {{"--render", "corvanta.widget.mining", "--out", out, "--now", "2026-12-06T22:00:00"},
         "--now 2026-12-06T22:00:00 is not an ISO 8601 date with a zone"},
        {{"--render", "corvanta.widget.mining", "--out", out, "--now", "yesterday"},
         "--now yesterday is not an ISO 8601 date with a zone"},
        // Beyond what the clock's time points hold.
        {{"--render", "corvanta.widget.mining", "--out", out, "--now", "9999-12-31T23:59:59Z"},
         "--now 9999-12-31T23:59:59Z is not an ISO 8601 date with a zone, from "
         "1677-09-21T00:12:44Z to 2262-04-11T23:47:16Z"},
        {{"--render", "corvanta.widget.earnings", "--out", out, "--now", "1677-09-21T00:12:43Z"},
         "--now 1677-09-21T00:12:43Z is not an ISO 8601 date with a zone"},
        {{"--render", "other.widget", "--out", out}, "no plug-in offers the widget other.widget"},
        {{"--render", "corvanta.widget.mining", "--out",
          QString::fromStdString((dir.path() / "missing" / "out.png").string())},
         "cannot write"},
    };
    for (const auto& c : cases) {
        const auto [exitCode, errors] = render(dir.path(), c.arguments);
        EXPECT_EQ(exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("corvanta-widget-host: ") + c.error))
            << errors.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out)) << c.arguments.join(' ').toStdString();
    }
}

TEST(RenderCommand, RendersAtTheClocksLastDateAndWithASecondCopyOfThePluginSkipped) {
    testing::TempDir dir;
    const auto plugins = dir.path() / "plugins";
    std::filesystem::create_directories(plugins);
    std::filesystem::copy_file(CORVANTA_WIDGET_PLUGIN_FILE, plugins / "a-corvanta-widgets.so");
    std::filesystem::copy_file(CORVANTA_WIDGET_PLUGIN_FILE, plugins / "b-corvanta-widgets.so");
    const QString out = QString::fromStdString((dir.path() / "out.png").string());
    const auto [exitCode, errors] = render(
        dir.path(),
        {"--render", "corvanta.widget.mining", "--out", out, "--now", "2262-04-11T23:47:16Z"},
        QString::fromStdString(plugins.string()));
    EXPECT_EQ(exitCode, 0) << errors.toStdString();
    const QStringList skipped = errors.split('\n').filter("skipped");
    ASSERT_EQ(skipped.size(), 1) << errors.toStdString();
    EXPECT_TRUE(
        skipped[0].contains("b-corvanta-widgets.so - the widget corvanta.widget.mining "
                            "is already offered by"))
        << skipped[0].toStdString();
    EXPECT_FALSE(QImage(out).isNull());
}

class Golden : public ::testing::TestWithParam<Scene> {};

TEST_P(Golden, RenderMatchesTheBaseline) {
    const Scene& scene = GetParam();
    testing::TempDir dir;
    const auto container = dir.path() / "data" / SharedContainer::appGroup;
    if (scene.snapshot) SharedContainer::write(*scene.snapshot, container);
    const QString out = QString::fromStdString((dir.path() / "actual.png").string());

    const auto [exitCode, errors] =
        render(dir.path(), {"--render", scene.kind, "--family", scene.family, "--out", out, "--now",
                            renderedAt.toString(Qt::ISODate)});
    ASSERT_EQ(exitCode, 0) << errors.toStdString();
    for (const QString& line : errors.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.startsWith("corvanta.widget-host: ") ||
                    line.startsWith("rigwell.widgets.timeline: "))
            << "unexpected message: " << line.toStdString();
    }

    const QImage actual(out);
    ASSERT_FALSE(actual.isNull());
    const QString baseline = QStringLiteral(CORVANTA_GOLDEN_FOLDER "/%1.png").arg(scene.name);
    if (qEnvironmentVariable("CORVANTA_UPDATE_GOLDENS") == "1") {
        ASSERT_TRUE(actual.save(baseline)) << baseline.toStdString();
        GTEST_SKIP() << "baseline written: " << baseline.toStdString();
    }
    const QImage expected(baseline);
    ASSERT_FALSE(expected.isNull()) << "no baseline " << baseline.toStdString();
    QImage diff;
    const double share = differingShare(actual, expected, diff);
    if (share > 0.005) {
        QDir().mkpath(CORVANTA_GOLDEN_FAILURES);
        const QString prefix = QStringLiteral(CORVANTA_GOLDEN_FAILURES "/%1").arg(scene.name);
        actual.save(prefix + "-actual.png");
        if (!diff.isNull()) diff.save(prefix + "-diff.png");
        ADD_FAILURE() << scene.name << ": " << share * 100 << " % of the pixels differ; see "
                      << prefix.toStdString() << "-actual.png and -diff.png";
    }
}

INSTANTIATE_TEST_SUITE_P(Widgets, Golden, ::testing::ValuesIn(scenes), [](const auto& info) {
    QString name = info.param.name;
    return name.remove('-').toStdString();
});

}  // namespace
}  // namespace corvanta
