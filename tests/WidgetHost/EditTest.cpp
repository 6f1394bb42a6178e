// What the user changes on the desktop: widgets placed from the gallery, resized and removed from
// their context menu, each change in the instance file at once; and the bound on windows.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "HostFixture.h"
#include "corvanta/host/HostStrings.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::host {
namespace {

namespace fs = std::filesystem;
using testing::linesOf;
using widgetkit::WidgetFamily;

QStringList actionTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("--") : action->text()) +
                     (action->isChecked() ? QStringLiteral(" *") : QString());
    }
    return texts;
}

QAction* actionNamed(const QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

// A bundle and a widget of one size, to tell the plug-ins' declarations from anything built in.
struct OneSizeBundle final : widgetkit::WidgetBundle {
    QList<widgetkit::WidgetConfiguration> widgets(widgetkit::Clock) const override { return {}; }
    QString localized(const QString& key) const override { return "[" + key + "]"; }
};

struct FixedProvider final : widgetkit::TimelineProvider {
    mutable QList<bool> previews;
    widgetkit::TimelineEntry placeholder(const widgetkit::TimelineProviderContext&) const override {
        return {t0, QStringLiteral("placeholder")};
    }
    void getSnapshot(
        const widgetkit::TimelineProviderContext& context,
        const std::function<void(widgetkit::TimelineEntry)>& completion) const override {
        previews << context.isPreview;
        completion({t0, QStringLiteral("preview")});
    }
    void getTimeline(const widgetkit::TimelineProviderContext&,
                     const std::function<void(widgetkit::Timeline)>& completion) const override {
        completion({});
    }
};

class Gallery : public Host {};

TEST_F(Gallery, RowsComeFromThePluginsDeclarationsWithAPreviewInEachSize) {
    MinerSnapshot snapshot;
    snapshot.hashRateMHs = 8;
    snapshot.isRunning = true;
    snapshot.totalSats = 1;
    snapshot.capturedAt = referenceDate(t0.addSecs(-30));
    SharedContainer::write(snapshot);
    auto widgets = corvantaWidgets();
    const OneSizeBundle bundle;
    const auto provider = std::make_shared<FixedProvider>();
    widgets.push_back({{"test.one-size",
                        "Essai",
                        "Une seule taille.",
                        {WidgetFamily::systemMedium},
                        provider,
                        {QUrl("qrc:/test.qml"),
                         [](const widgetkit::TimelineEntry& entry, WidgetFamily family) {
                             return QVariantMap{{"shown", entry.value.toString() + " " +
                                                              widgetkit::familyName(family)}};
                         }}},
                       &bundle});

    const QVariantList rows = galleryRows(widgets, widgetkit::Language::english);
    ASSERT_EQ(rows.size(), 3);
    const auto row = [&](int index) { return rows[index].toMap(); };
    EXPECT_EQ(row(0).value("kind"), "corvanta.widget.mining");
    // In the plug-in's own language, from its own table.
    const auto* plugin = widgets[0].bundle;
    EXPECT_EQ(row(0).value("name"), plugin->localized("Minage"));
    EXPECT_EQ(row(0).value("description"),
              plugin->localized("Débit, pouls du réseau et régime processeur en cours."));
    EXPECT_EQ(row(0).value("sizesText"), "Sizes: Small, Medium");
    EXPECT_EQ(row(1).value("kind"), "corvanta.widget.earnings");
    EXPECT_EQ(row(1).value("name"), plugin->localized("Gains"));
    const QVariantList miningSizes = row(0).value("sizes").toList();
    ASSERT_EQ(miningSizes.size(), 2);
    EXPECT_EQ(miningSizes[1].toMap().value("family"), "medium");
    EXPECT_EQ(miningSizes[1].toMap().value("width"), 364.0);
    EXPECT_EQ(miningSizes[1].toMap().value("content").toMap().value("rate"), "8.00");
    EXPECT_EQ(miningSizes[0].toMap().value("content").toMap().value("small"), true);
    EXPECT_EQ(row(1).value("sizes").toList()[0].toMap().value("content").toMap().value("amount"),
              "0.00000001 BTC");

    EXPECT_EQ(row(2).value("name"), "[Essai]");
    EXPECT_EQ(row(2).value("description"), "[Une seule taille.]");
    EXPECT_EQ(row(2).value("sizesText"), "Sizes: Medium");
    const QVariantList oneSize = row(2).value("sizes").toList();
    ASSERT_EQ(oneSize.size(), 1);
    EXPECT_EQ(oneSize[0].toMap().value("content").toMap().value("shown"), "preview medium");
    EXPECT_EQ(provider->previews, QList<bool>{true}) << "the preview entry, asked as a preview";
}

TEST_F(Gallery, OpensOnlyWhenAskedAndAChoicePlacesItAndStoresIt) {
    testing::writeText(file_, R"({"instances": [
        {"kind": "other.widget", "family": "small", "x": 0, "y": 0}]})");
    EXPECT_EQ(startHost()->gallery(), nullptr) << "nothing shown is no request for the gallery";
    const auto host = startHost(true);
    EXPECT_TRUE(host->shown().empty());
    ASSERT_NE(host->gallery(), nullptr);
    EXPECT_TRUE(host->gallery()->isVisible());
    EXPECT_EQ(host->gallery()->title(), "Galerie de widgets");

    QQuickItem* add =
        testing::findItem(host->gallery()->rootObject(), "add corvanta.widget.earnings medium");
    ASSERT_NE(add, nullptr);
    QSignalSpy added(host.get(), &WidgetHost::added);
    ASSERT_TRUE(QMetaObject::invokeMethod(add, "clicked"));
    ASSERT_EQ(added.size(), 1);
    EXPECT_FALSE(host->gallery()->isVisible()) << "the gallery closes on a choice";
    ASSERT_EQ(host->shown().size(), 1u);
    EXPECT_EQ(host->shown()[0].window->size(), QSize(364, 170));
    EXPECT_TRUE(host->shown()[0].window->isVisible());
    EXPECT_EQ(content(host->shown()[0]).value("amount"), "0.00 BTC");
    const QStringList stored = storedInstances(file_);
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[0], "other.widget small 0,0") << "another plug-in's widget is kept";
    EXPECT_TRUE(stored[1].startsWith("corvanta.widget.earnings medium "))
        << stored[1].toStdString();

    // A second one goes where it overlaps none.
    ASSERT_TRUE(host->add("corvanta.widget.mining", WidgetFamily::systemMedium));
    EXPECT_FALSE(
        host->shown()[0].window->geometry().intersects(host->shown()[1].window->geometry()));
    EXPECT_EQ(storedInstances(file_).size(), 3);
    EXPECT_FALSE(host->add("other.widget", WidgetFamily::systemSmall));
    EXPECT_EQ(storedInstances(file_).size(), 3);
}

TEST_F(Gallery, AnEmptyListAfterTheLastRemovalShowsNothingUnlessTheGalleryIsAskedFor) {
    {
        const auto host = startHost();
        ASSERT_EQ(host->shown().size(), 2u) << "no file yet: one small widget of each kind";
        EXPECT_EQ(host->gallery(), nullptr);
        ASSERT_TRUE(host->remove(1));
        ASSERT_TRUE(host->remove(0));
        EXPECT_TRUE(host->shown().empty());
        EXPECT_FALSE(host->remove(0));
    }
    EXPECT_EQ(testing::readText(file_), "{\n  \"instances\": []\n}\n");
    {
        WidgetHost host(
            corvantaWidgets(), InstanceStore(file_), [] { return t0; }, std::chrono::seconds(1),
            widgetkit::Language::french);
        EXPECT_FALSE(host.start()) << "the user removed every widget: the host has nothing to do";
        EXPECT_TRUE(host.shown().empty());
        EXPECT_EQ(host.gallery(), nullptr);
    }
    EXPECT_EQ(testing::readText(file_), "{\n  \"instances\": []\n}\n") << "no defaults again";
    const auto host = startHost(true);
    EXPECT_TRUE(host->shown().empty());
    ASSERT_NE(host->gallery(), nullptr);
    EXPECT_TRUE(host->gallery()->isVisible());
}

class ContextMenu : public Host {};

TEST_F(ContextMenu, ResizesAmongTheSupportedSizesOpensTheGalleryAndRemovesStoringEachChange) {
    testing::writeText(file_, R"({"instances": [
        {"kind": "corvanta.widget.mining", "family": "small", "x": 40, "y": 50},
        {"kind": "other.widget", "family": "small", "x": 0, "y": 0},
        {"kind": "corvanta.widget.earnings", "family": "small", "x": 300, "y": 60}]})");
    const auto host = startHost();
    ASSERT_EQ(host->shown().size(), 2u);
    const WidgetWindow* mining = host->shown()[0].window.get();

    const auto menu = host->contextMenu(mining);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionTexts(*menu),
              QStringList({"Petit *", "Moyen", "--", "Ajouter un widget…", "Retirer ce widget"}));

    actionNamed(*menu, "Moyen")->trigger();
    ASSERT_EQ(host->shown().size(), 2u);
    const auto& resized = host->shown()[0];
    // At 40,50 the medium size would cover the earnings widget at 300,60: the grown widget takes
    // the nearest free place, below it, and its neighbour stays.
    EXPECT_EQ(resized.window->geometry(), QRect(40, 246, 364, 170));
    EXPECT_EQ(host->shown()[1].window->geometry(), QRect(300, 60, 170, 170));
    EXPECT_FALSE(content(resized).value("small").toBool());
    EXPECT_EQ(resized.runner->context().family, WidgetFamily::systemMedium);
    EXPECT_EQ(storedInstances(file_),
              QStringList({"corvanta.widget.mining medium 40,246", "other.widget small 0,0",
                           "corvanta.widget.earnings small 300,60"}));
    EXPECT_EQ(actionTexts(*host->contextMenu(resized.window.get())).mid(0, 2),
              QStringList({"Petit", "Moyen *"}));

    actionNamed(*menu, "Ajouter un widget…")->trigger();
    ASSERT_NE(host->gallery(), nullptr);
    EXPECT_TRUE(host->gallery()->isVisible());

    // Removing the mining widget through the earnings widget's menu.
    const WidgetWindow* earnings = host->shown()[1].window.get();
    actionNamed(*host->contextMenu(earnings), "Retirer ce widget")->trigger();
    ASSERT_EQ(host->shown().size(), 1u);
    EXPECT_EQ(host->shown()[0].window.get(), resized.window.get());
    EXPECT_EQ(storedInstances(file_),
              QStringList({"corvanta.widget.mining medium 40,246", "other.widget small 0,0"}));
    EXPECT_EQ(host->contextMenu(earnings), nullptr) << "a removed widget has no menu";

    // A move after the removal still lands on the right instance.
    host->shown()[0].window->setPosition(500, 420);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return storedInstances(file_).value(0) == "corvanta.widget.mining medium 500,420";
    }));
}

TEST_F(Host, OpensNoMoreWindowsThanADesktopShowsAndKeepsTheRestInTheFile) {
    json::Value list = json::Value::array();
    const std::size_t stored = WidgetHost::maximumShown + 6;
    for (std::size_t i = 0; i < stored; ++i) {
        list.push_back({{"kind", i == 3 ? "other.widget" : "corvanta.widget.earnings"},
                        {"family", "small"},
                        {"x", int(i)},
                        {"y", 0}});
    }
    testing::writeText(file_, json::dump(json::Value{{"instances", list}}));
    const auto host = startHost();
    ASSERT_EQ(host->shown().size(), WidgetHost::maximumShown);
    EXPECT_EQ(host->shown().back().window->position().x(), int(WidgetHost::maximumShown));
    const QStringList log = linesOf("corvanta.widget-host").filter("not opened");
    ASSERT_EQ(log.size(), 1) << log.join('\n').toStdString();
    EXPECT_EQ(log[0], QStringLiteral("5 more widgets are kept in %1 but not opened: a desktop "
                                     "shows at most 64")
                          .arg(QString::fromStdString(file_.string())));

    EXPECT_FALSE(host->add("corvanta.widget.mining", WidgetFamily::systemSmall));
    host->openGallery();
    EXPECT_TRUE(host->gallery()->rootObject()->property("full").toBool());
    ASSERT_TRUE(host->remove(0));
    EXPECT_FALSE(host->gallery()->rootObject()->property("full").toBool());
    EXPECT_EQ(storedInstances(file_).size(), qsizetype(stored - 1)) << "the rest stay in the file";
}

}  // namespace
}  // namespace corvanta::host
