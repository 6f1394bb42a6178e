// Every word a widget shows, drawn in the language asked for: each widget rendered in English and
// in German, its visible texts read back from the drawn view.
#include <sys/stat.h>

#include <QQuickItem>
#include <QTest>

#include "HostFixture.h"
#include "corvanta/widgets/EarningsView.h"
#include "corvanta/widgets/MiningStatusView.h"

namespace corvanta::host {
namespace {

using widgetkit::Language;
using widgetkit::WidgetFamily;

// The texts drawn by the visible text items under `item`, in tree order; the icon font's
// glyphs are not words.
void collectTexts(QQuickItem* item, QStringList& texts) {
    if (!item->isVisible()) return;
    if (item->inherits("QQuickText")) {
        const QString text = item->property("text").toString();
        const bool icon =
            !text.isEmpty() && text.front().unicode() >= 0xe000 && text.front().unicode() < 0xf900;
        if (!text.isEmpty() && !icon) texts << text;
    }
    for (QQuickItem* child : item->childItems()) collectTexts(child, texts);
}

QStringList drawnTexts(const LoadedWidget& widget, WidgetFamily family,
                       const QVariantMap& content) {
    WidgetWindow window(widget.configuration.view.source, family,
                        WidgetWindow::Placement::offscreen);
    window.setContent(content);
    window.show();
    EXPECT_FALSE(window.grabWindow().isNull());
    QStringList texts;
    if (QQuickItem* view = window.viewItem()) collectTexts(view, texts);
    return texts;
}

class Languages : public testing::QtTest {};

TEST_F(Languages, EachWidgetDrawsEveryWordInTheLanguageAsked) {
    const auto widgets = corvantaWidgets();
    ASSERT_EQ(widgets.size(), 2u);
    MinerSnapshot live;
    live.isRunning = true;
    live.hashRateMHs = 12.5;
    live.appliedMode = "max";
    live.secondsSinceNetworkBlock = 125;
    live.totalSats = 312'500'000;
    live.blocksFound = 2;
    live.capturedAt = referenceDate(t0.addSecs(-5));
    const widgets::MinerEntry running{t0, live}, none{t0, std::nullopt};
    auto one = live;
    one.blocksFound = 1;
    const widgets::MinerEntry oneBlock{t0, one};

    const struct {
        Language language;
        QStringList stopped, running, earnings, earningsOfOne;
    } cases[] = {
        {Language::english,
         {"HASHRATE", "Stopped", "Open Corvanta to resume."},
         {"HASHRATE", "12.50", "MH/s", "2m 5s", "MAX"},
         {"EARNINGS", "3.12500000 BTC", "2 blocks found"},
         {"EARNINGS", "3.12500000 BTC", "1 block found"}},
        {Language::german,
         {"HASHRATE", "Gestoppt", "Öffne Corvanta, um fortzufahren."},
         {"HASHRATE", "12.50", "MH/s", "2m 5s", "MAX"},
         {"ERTRÄGE", "3.12500000 BTC", "2 Blöcke gefunden"},
         {"ERTRÄGE", "3.12500000 BTC", "1 Block gefunden"}},
    };
    const LoadedWidget& mining = widgets[0];
    const LoadedWidget& earnings = widgets[1];
    ASSERT_EQ(mining.configuration.kind, widgets::miningStatus::kind);
    ASSERT_EQ(earnings.configuration.kind, widgets::earnings::kind);
    for (const auto& c : cases) {
        for (const WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium}) {
            EXPECT_EQ(drawnTexts(mining, family,
                                 widgets::miningStatus::content(none, family, c.language)),
                      c.stopped);
            EXPECT_EQ(drawnTexts(mining, family,
                                 widgets::miningStatus::content(running, family, c.language)),
                      c.running);
            EXPECT_EQ(drawnTexts(earnings, family, widgets::earnings::content(running, c.language)),
                      c.earnings);
            EXPECT_EQ(
                drawnTexts(earnings, family, widgets::earnings::content(oneBlock, c.language)),
                c.earningsOfOne);
        }
    }
}

TEST(StoredLanguage, OnlyTheApplicationsChoiceInItsGeneralGroupCounts) {
    EXPECT_EQ(widgetkit::storedLanguage("[General]\nrigwell.language=de\n"), Language::german);
    EXPECT_EQ(widgetkit::storedLanguage("[General]\r\nrigwell.powerMode=max\r\n"
                                        "rigwell.language = it \r\n"),
              Language::italian);
    EXPECT_EQ(widgetkit::storedLanguage("[Other]\nrigwell.language=de\n"), std::nullopt);
    EXPECT_EQ(widgetkit::storedLanguage("[General]\nrigwell.language=de-CH\n"), std::nullopt);
    EXPECT_EQ(widgetkit::storedLanguage("[General]\nrigwell.languages=de\n"), std::nullopt);
    EXPECT_EQ(widgetkit::storedLanguage(""), std::nullopt);
}

TEST_F(Languages, ThePlugInFollowsTheLanguageChosenInTheApplicationAsItChanges) {
    const auto widgets = corvantaWidgets();
    ASSERT_EQ(widgets.size(), 2u);
    const auto settings = widgetkit::appSettingsFile();
    MinerSnapshot snapshot;
    snapshot.blocksFound = 3;
    const auto entry = widgets::timelineEntry({t0, snapshot});
    const auto blocks = [&] {
        return widgets[1]
            .configuration.view.content(entry, WidgetFamily::systemSmall)
            .value("blocks")
            .toString();
    };
    testing::writeText(settings, "[General]\nrigwell.language=de\n");
    EXPECT_EQ(blocks(), "3 Blöcke gefunden");
    EXPECT_EQ(widgets[1].bundle->localized("Gains"), "Erträge");
    testing::writeText(settings, "[General]\nrigwell.language=fr\n");
    EXPECT_EQ(blocks(), "3 blocs trouvés");
    // Something odd in its place is never waited on: the system's language then.
    std::filesystem::remove(settings);
    ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
    EXPECT_EQ(widgetkit::chosenLanguage(), widgetkit::systemLanguage());
    std::filesystem::remove(settings);
}

}  // namespace
}  // namespace corvanta::host
