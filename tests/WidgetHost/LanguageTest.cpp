// Every word a widget shows, drawn in the language asked for: each widget rendered in English and
// in German, its visible texts read back from the drawn view.
#include <sys/stat.h>

#include <QQuickItem>
#include <QRegularExpression>
#include <QTest>
#include <cstdlib>
#include <functional>

#include "HostFixture.h"
#include "OddFiles.h"
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

// Each visible text under `item` drawn short of its words or past the view's edges, described.
void collectClipped(QQuickItem* item, QQuickItem* view, QStringList& clipped) {
    if (!item->isVisible()) return;
    if (item->inherits("QQuickText") && !item->property("text").toString().isEmpty()) {
        const QString text = item->property("text").toString();
        const qreal drawnWidth = item->property("contentWidth").toReal();
        const qreal drawnHeight = item->property("contentHeight").toReal();
        const QPointF corner = item->mapToItem(view, QPointF(0, 0));
        const bool cut = item->property("truncated").toBool() || drawnWidth > item->width() + 0.5 ||
                         corner.x() < -0.5 || corner.x() + drawnWidth > view->width() + 0.5 ||
                         corner.y() < -0.5 || corner.y() + drawnHeight > view->height() + 0.5;
        if (cut) {
            clipped << QStringLiteral("\"%1\" (%2 px drawn in %3 px at x %4)")
                           .arg(text)
                           .arg(drawnWidth)
                           .arg(item->width())
                           .arg(corner.x());
        }
    }
    for (QQuickItem* child : item->childItems()) collectClipped(child, view, clipped);
}

struct Drawn {
    QStringList texts;
    QStringList clipped;
};

Drawn drawn(const LoadedWidget& widget, WidgetFamily family, const QVariantMap& content) {
    WidgetWindow window(widget.configuration.view.source, family,
                        WidgetWindow::Placement::offscreen);
    window.setContent(content);
    window.show();
    EXPECT_FALSE(window.grabWindow().isNull());
    Drawn result;
    if (QQuickItem* view = window.viewItem()) {
        collectTexts(view, result.texts);
        collectClipped(view, view, result.clipped);
    }
    return result;
}

QStringList drawnTexts(const LoadedWidget& widget, WidgetFamily family,
                       const QVariantMap& content) {
    return drawn(widget, family, content).texts;
}

class Languages : public testing::QtTest {};

// Every language, both sizes, counts from none to six digits and amounts up to eight integer
// digits: every word drawn whole inside the widget, no count written in singular and plural at
// once, and no English word in another language.
TEST_F(Languages, EveryWordIsDrawnWholeAtEveryCountAmountAndLanguage) {
    const auto widgets = corvantaWidgets();
    ASSERT_EQ(widgets.size(), 2u);
    const Language languages[] = {Language::french,  Language::english,    Language::italian,
                                  Language::spanish, Language::portuguese, Language::german};
    const qint64 counts[] = {0, 1, 2, 1202, 123456};
    const qint64 amounts[] = {0, 1, 312'500'000, 1'234'567'812'345'678, 2'100'000'000'000'000};
    static const QRegularExpression both(QStringLiteral("\\w\\((?:s|es|en|e|n|i|a|ões)\\)"));
    static const QRegularExpression english(
        QStringLiteral("\\b(?:blocks?|found|Stopped|Open|resume|EARNINGS)\\b"));
    MinerSnapshot snapshot;
    snapshot.isRunning = true;
    snapshot.hashRateMHs = 123456.78;
    snapshot.appliedMode = "balanced";
    snapshot.secondsSinceNetworkBlock = 123456;
    snapshot.capturedAt = referenceDate(t0.addSecs(-5));
    int drawings = 0;
    for (const Language language : languages) {
        for (const WidgetFamily family : {WidgetFamily::systemSmall, WidgetFamily::systemMedium}) {
            for (std::size_t i = 0; i < std::size(counts); ++i) {
                snapshot.blocksFound = counts[i];
                snapshot.totalSats = amounts[i];
                const widgets::MinerEntry live{t0, snapshot}, none{t0, std::nullopt};
                const QVariantMap contents[] = {
                    widgets::earnings::content(live, language),
                    widgets::miningStatus::content(live, family, language),
                    widgets::miningStatus::content(none, family, language),
                };
                for (const QVariantMap& content : contents) {
                    const LoadedWidget& widget =
                        content.contains("blocks") ? widgets[1] : widgets[0];
                    const Drawn seen = drawn(widget, family, content);
                    ++drawings;
                    const QString where = QStringLiteral("%1 %2 at %3 blocks, %4 sat: %5")
                                              .arg(int(language))
                                              .arg(widgetkit::familyName(family))
                                              .arg(counts[i])
                                              .arg(amounts[i])
                                              .arg(seen.texts.join(QStringLiteral(" | ")));
                    EXPECT_TRUE(seen.clipped.isEmpty())
                        << where.toStdString()
                        << "\n  cut: " << seen.clipped.join(", ").toStdString();
                    for (const QString& text : seen.texts) {
                        EXPECT_FALSE(both.match(text).hasMatch()) << where.toStdString();
                        if (language != Language::english) {
                            EXPECT_FALSE(english.match(text).hasMatch()) << where.toStdString();
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(drawings, 6 * 2 * 5 * 3);
}

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
    // Before any snapshot has named a language: the system's.
    const auto remembered = widgetkit::rememberedLanguageFile();
    fs::remove(remembered);
    EXPECT_EQ(widgetkit::chosenLanguage(std::nullopt), widgetkit::systemLanguage());
    MinerSnapshot snapshot;
    snapshot.language = "pt";
    EXPECT_EQ(widgetkit::chosenLanguage(snapshot), Language::portuguese);
    // A snapshot that names none of the six, or none at all, keeps the last one named.
    snapshot.language = "nl";
    EXPECT_EQ(widgetkit::chosenLanguage(snapshot), Language::portuguese);
    snapshot.language.reset();
    EXPECT_EQ(widgetkit::chosenLanguage(snapshot), Language::portuguese);
    EXPECT_EQ(widgetkit::chosenLanguage(std::nullopt), Language::portuguese);
    // Kept where a later start of the host reads it.
    EXPECT_EQ(testing::readText(remembered), "pt\n");
    snapshot.language = "de";
    EXPECT_EQ(widgetkit::chosenLanguage(snapshot), Language::german);
    EXPECT_EQ(widgetkit::rememberedLanguage(), Language::german);
    // What is not a code of ours in the file's place counts for nothing, and is never waited on.
    for (const char* odd : {"xx\n", "de de de de de de de de\n", ""}) {
        testing::writeText(remembered, odd);
        EXPECT_EQ(widgetkit::chosenLanguage(std::nullopt), widgetkit::systemLanguage()) << odd;
    }
    fs::remove(remembered);
    ASSERT_EQ(::mkfifo(remembered.c_str(), 0600), 0);
    EXPECT_EQ(widgetkit::chosenLanguage(std::nullopt), widgetkit::systemLanguage());
    fs::remove(remembered);
}

// What stands in the remembered language's place and is no such file is set aside, whole and
// unread, before the language is written: never written over, a link's target never touched.
class RememberedLanguage : public testing::QtTest {};

TEST_F(RememberedLanguage, WhatIsNoLanguageFileIsSetAsideBeforeTheLanguageIsWritten) {
    const auto file = widgetkit::rememberedLanguageFile();
    const fs::path folder = file.parent_path();
    const fs::path outside = folder.parent_path() / "elsewhere";
    struct Case {
        std::string name;
        std::function<testing::PlacedOdd()> place;
        const char* why;  // as the log line gives it
    };
    std::vector<Case> cases;
    for (const auto kind : testing::everyOddKind) {
        cases.push_back({testing::nameOf(kind),
                         [=] { return testing::placeOdd(kind, file, outside, "pt\n"); },
                         kind == testing::OddKind::hugeSparseFile ? "is larger than"
                         : kind == testing::OddKind::link         ? "is a symbolic link"
                                                                  : "is not a regular file"});
    }
    cases.push_back({"a link to a FIFO",
                     [&] {
                         fs::create_directories(outside);
                         ::mkfifo((outside / "fifo").c_str(), 0600);
                         return testing::placeLink(file, outside / "fifo");
                     },
                     "is a symbolic link"});
    cases.push_back({"a link to nothing",
                     [&] { return testing::placeLink(file, outside / "missing"); },
                     "is a symbolic link"});
    cases.push_back(
        {"a text that is no code",
         [&] {
             testing::writeText(file, "xx\n");
             struct stat status {};
             ::lstat(file.c_str(), &status);
             return testing::PlacedOdd{testing::OddKind::hugeSparseFile, status.st_ino, {}, {}};
         },
         "holds no language code"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::loggedLines().clear();
        fs::remove_all(folder);
        fs::remove_all(outside);
        const auto placed = c.place();
        const auto before =
            fs::exists(outside) ? testing::snapshotOf(outside) : std::vector<std::string>{};
        // Read as none, and never waited on.
        EXPECT_EQ(widgetkit::rememberedLanguage(), std::nullopt);
        MinerSnapshot snapshot;
        snapshot.language = "de";
        EXPECT_EQ(widgetkit::chosenLanguage(snapshot), Language::german);
        const auto aside = testing::whereSetAside(placed, folder, file);
        ASSERT_TRUE(aside) << "not set aside";
        EXPECT_TRUE(aside->filename().string().starts_with("widget-language.unreadable-"))
            << *aside;
        if (c.name != "a text that is no code") {
            EXPECT_EQ(testing::checkSetAside(placed, file), "");
        }
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        EXPECT_EQ(testing::readText(file), "de\n");
        EXPECT_EQ(widgetkit::rememberedLanguage(), Language::german);
        if (fs::exists(outside)) {
            EXPECT_EQ(testing::snapshotOf(outside), before);
        }
        const QStringList logged = testing::linesOf("rigwell.widgets.language");
        ASSERT_EQ(logged.size(), 1) << logged.join('\n').toStdString();
        EXPECT_TRUE(logged[0].contains(QString::fromUtf8(c.why))) << logged[0].toStdString();
        EXPECT_TRUE(logged[0].contains(QString::fromStdString(aside->string())));
    }
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
    // Something odd in the snapshot's place is never waited on: the last language the
    // application published stays.
    const auto file = *SharedContainer::snapshotURL();
    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(widgetkit::chosenLanguage(), Language::french);
    snapshot.language = "it";
    fs::remove(file);
    SharedContainer::write(snapshot);
    EXPECT_EQ(blocks(), "3 blocchi trovati");
    // A broken snapshot reads as none: the widgets go on in Italian, not the system's language.
    testing::writeText(file, "{\"hashRateMHs\": ");
    EXPECT_EQ(widgets[1]
                  .configuration.view
                  .content(widgets::timelineEntry({t0, std::nullopt}), WidgetFamily::systemSmall)
                  .value("blocks")
                  .toString(),
              "0 blocchi trovati");
    EXPECT_EQ(widgets[1].bundle->localized("Gains"), "Guadagni");
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
