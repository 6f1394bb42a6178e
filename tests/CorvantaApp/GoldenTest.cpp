// Screens of the theme's pieces and the brand stickers, light and dark, rendered off screen at a
// fixed size against reviewed baselines. CORVANTA_UPDATE_GOLDENS=1 writes the baselines anew
// instead (look at each before committing); on a mismatch the actual image and a diff stay in
// the build's golden-failures folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>

#include "AppTestEnvironment.h"
#include "GoldenImage.h"
#include "LanguageScope.h"
#include "Shell/CorvantaApp.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"
#include "TestSupport.h"

namespace corvanta {
namespace {

using testing::differingShare;

QImage render(const QString& scene, bool dark) {
    const testing::TempDir dir;
    // The views' texts in the language of their keys, whatever the machine's.
    const testing::LanguageScope french(AppLanguage::french);
    loadBundledFonts();
    Prefs prefs{Preferences(QString::fromStdString((dir.path() / "prefs.ini").string()))};
    prefs.setAppTheme(dark ? "dark" : "light");
    QQuickView view;
    view.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
    Prefs::attach(*view.engine(), prefs);
    // A desktop that is asked nothing.
    Platform platform(Platform::Hooks{}, nullptr);
    Platform::attach(*view.engine(), platform);
    view.setColor(Qt::black);
    view.setSource(QUrl::fromLocalFile(QStringLiteral(CORVANTA_GOLDEN_FOLDER "/scenes/") + scene +
                                       QStringLiteral(".qml")));
    if (view.status() != QQuickView::Ready) return {};
    // A scene sets its own size on its root item; 480 × 360 otherwise.
    const QQuickItem* root = view.rootObject();
    const bool sized = root != nullptr && root->width() > 0 && root->height() > 0;
    view.resize(sized ? QSize(int(root->width()), int(root->height())) : QSize(480, 360));
    view.show();
    bool drawn = false;
    QObject::connect(&view, &QQuickWindow::frameSwapped, [&] { drawn = true; });
    testing::waitUntil([&] { return drawn; });
    // A scene with an entrance animation names how long it takes to settle.
    if (const int settle = root != nullptr ? root->property("goldenSettleMs").toInt() : 0;
        settle > 0) {
        QTest::qWait(settle);
    }
    return view.grabWindow();
}

class Golden : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(Golden, RenderMatchesTheBaseline) {
    const auto [scene, dark] = GetParam();
    const QString name = QString::fromLatin1(scene) + (dark ? "-dark" : "-light");
    const QImage actual = render(scene, dark);
    ASSERT_FALSE(actual.isNull()) << "the scene " << scene << " did not load";
    const QString baseline = QStringLiteral(CORVANTA_GOLDEN_FOLDER "/") + name + ".png";
    if (qEnvironmentVariable("CORVANTA_UPDATE_GOLDENS") == QLatin1String("1")) {
        ASSERT_TRUE(actual.save(baseline)) << baseline.toStdString();
        GTEST_SKIP() << "wrote " << baseline.toStdString() << ": look at it before committing";
    }
    const QImage expected(baseline);
    ASSERT_FALSE(expected.isNull()) << "no baseline " << baseline.toStdString();
    QImage diff;
    const double share = differingShare(actual, expected, diff);
    if (share > 0.005) {
        const QString failures = QStringLiteral(CORVANTA_GOLDEN_FAILURES);
        QDir().mkpath(failures);
        actual.save(failures + "/" + name + "-actual.png");
        if (!diff.isNull()) diff.save(failures + "/" + name + "-diff.png");
    }
    EXPECT_LE(share, 0.005) << name.toStdString() << ": " << share * 100
                            << " % of the pixels differ; see " CORVANTA_GOLDEN_FAILURES;
}

INSTANTIATE_TEST_SUITE_P(
    Shell, Golden,
    ::testing::Values(std::pair{"Components", false}, std::pair{"Components", true},
                      std::pair{"Stickers", false}, std::pair{"Stickers", true},
                      std::pair{"OnboardingIntro", false},
                      std::pair{"OnboardingAddressValid", false},
                      std::pair{"OnboardingAddressInvalid", false},
                      std::pair{"OnboardingSmart", false}, std::pair{"OnboardingAutostart", false},
                      std::pair{"OnboardingAwake", false}, std::pair{"PanelWallet", false},
                      std::pair{"PanelWallet", true}, std::pair{"PanelDiagnostics", false},
                      std::pair{"LedgerIntact", false}, std::pair{"LedgerAltered", false},
                      std::pair{"LedgerUnreadable", false}, std::pair{"LedgerSetAside", false},
                      std::pair{"LedgerJournalRefused", false}),
    [](const auto& info) {
        return std::string(info.param.first) + (info.param.second ? "Dark" : "Light");
    });

INSTANTIATE_TEST_SUITE_P(
    Dashboard, Golden,
    ::testing::Values(std::pair{"DashboardMining", false}, std::pair{"DashboardMining", true},
                      std::pair{"DashboardSyncing", false}, std::pair{"DashboardFailed", false},
                      std::pair{"DashboardPayoutAlert", false},
                      std::pair{"DashboardSchedule", false},
                      std::pair{"DashboardBlockFound", false}, std::pair{"MiniMining", false},
                      std::pair{"MiniMining", true}, std::pair{"MiniSyncing", false}),
    [](const auto& info) {
        return std::string(info.param.first) + (info.param.second ? "Dark" : "Light");
    });

// The comparison itself: a small change passes, a real one fails.
TEST(GoldenCompare, ToleratesNoiseAndCatchesChanges) {
    QImage base(100, 100, QImage::Format_ARGB32);
    base.fill(qRgb(100, 100, 100));
    QImage noisy = base;
    for (int x = 0; x < 100; ++x) noisy.setPixel(x, 0, qRgb(108, 92, 100));
    QImage diff;
    EXPECT_EQ(differingShare(noisy, base, diff), 0.0);
    QImage changed = base;
    for (int x = 0; x < 60; ++x) changed.setPixel(x, 5, qRgb(109, 100, 100));
    EXPECT_NEAR(differingShare(changed, base, diff), 0.006, 1e-9);
    EXPECT_EQ(diff.pixel(0, 5), qRgb(255, 0, 0));
    EXPECT_EQ(differingShare(base.scaled(50, 50), base, diff), 1.0);
}

}  // namespace
}  // namespace corvanta
