// Every word a widget shows, drawn in the language asked for: each widget rendered in English and
// in German, its visible texts read back from the drawn view.
#include <sys/stat.h>

#include <QQuickItem>
#include <QTest>
#include <cstdlib>

#include "HostFixture.h"
#include "corvanta/host/HostStrings.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/widgets/EarningsView.h"
#include "corvanta/widgets/MiningStatusView.h"

namespace corvanta::host {
namespace {

namespace fs = std::filesystem;
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
         {"HASHRATE", "Gestoppt", "Öffnen Sie Corvanta, um fortzufahren."},
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

TEST(PublishedLanguage, OnlyOneOfTheSixCodesInTheApplicationsSnapshotCounts) {
    EXPECT_EQ(widgetkit::languageCoded("de"), Language::german);
    EXPECT_EQ(widgetkit::languageCoded("it"), Language::italian);
    EXPECT_EQ(widgetkit::languageCoded("de-CH"), std::nullopt);
    EXPECT_EQ(widgetkit::languageCoded("DE"), std::nullopt);
    EXPECT_EQ(widgetkit::languageCoded(""), std::nullopt);
    MinerSnapshot snapshot;
    snapshot.language = "pt";
    EXPECT_EQ(widgetkit::chosenLanguage(snapshot), Language::portuguese);
    snapshot.language = "nl";
    EXPECT_EQ(widgetkit::chosenLanguage(snapshot), widgetkit::systemLanguage());
    snapshot.language.reset();
    EXPECT_EQ(widgetkit::chosenLanguage(snapshot), widgetkit::systemLanguage());
    EXPECT_EQ(widgetkit::chosenLanguage(std::nullopt), widgetkit::systemLanguage());
}

TEST_F(Languages, ThePlugInFollowsTheLanguageTheApplicationPublishesAsItChanges) {
    const auto widgets = corvantaWidgets();
    ASSERT_EQ(widgets.size(), 2u);
    MinerSnapshot snapshot;
    snapshot.blocksFound = 3;
    const auto blocks = [&] {
        return widgets[1]
            .configuration.view
            .content(widgets::timelineEntry({t0, snapshot}), WidgetFamily::systemSmall)
            .value("blocks")
            .toString();
    };
    snapshot.language = "de";
    SharedContainer::write(snapshot);
    EXPECT_EQ(blocks(), "3 Blöcke gefunden");
    EXPECT_EQ(widgets[1].bundle->localized("Gains"), "Erträge");
    snapshot.language = "fr";
    SharedContainer::write(snapshot);
    EXPECT_EQ(blocks(), "3 blocs trouvés");
    EXPECT_EQ(widgets[1].bundle->localized("Gains"), "Gains");
    // The application's settings are not the widgets' to read: a language stored there alone
    // changes nothing.
    testing::writeText(fs::path(std::getenv("XDG_CONFIG_HOME")) / "Corvanta" / "Corvanta.conf",
                       "[General]\nrigwell.language=de\n");
    EXPECT_EQ(widgets[1].bundle->localized("Gains"), "Gains");
    // Something odd in the snapshot's place is never waited on: the system's language then.
    const auto file = *SharedContainer::snapshotURL();
    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(widgetkit::chosenLanguage(), widgetkit::systemLanguage());
    fs::remove(file);
}

TEST_F(Languages, TheHostsOwnTextsAddressTheUserAsTheApplicationDoes) {
    // German formally ("Sie"), as every text of the application does.
    EXPECT_EQ(hostText(QStringLiteral("Le bureau affiche déjà %1 widgets : retirez-en un pour en "
                                      "ajouter un autre."),
                       Language::german),
              "Der Desktop zeigt bereits %1 Widgets: Entfernen Sie eines, um ein weiteres "
              "hinzuzufügen.");
    EXPECT_EQ(widgets::localizedString(QStringLiteral("Ouvrez Corvanta pour reprendre."),
                                       Language::german),
              "Öffnen Sie Corvanta, um fortzufahren.");
}

}  // namespace
}  // namespace corvanta::host
