// The tray's table: status and colour, the three value rows, the commands, the icon's symbol and
// tooltip, read from the session model's surface.
#include <gtest/gtest.h>

#include <QQmlEngine>

#include "FakeSession.h"
#include "LanguageScope.h"
#include "MenuBar/TrayMenuModel.h"

namespace corvanta {
namespace {

using Kind = TrayRow::Kind;

QString valueOf(const TrayMenu& menu, const QString& label) {
    for (const TrayRow& row : menu.rows) {
        if (row.kind == Kind::value && row.label == label) return row.value;
    }
    return "(missing)";
}

const TrayRow* commandRow(const TrayMenu& menu, TrayCommand command) {
    for (const TrayRow& row : menu.rows) {
        if (row.kind == Kind::command && row.command == command) return &row;
    }
    return nullptr;
}

TEST(TrayMenu, StatusTextColourAndStartStopPerRunState) {
    const testing::LanguageScope french(AppLanguage::french);
    const struct {
        ShellRunState state;
        bool paused;
        const char* text;
        StatusColor color;
        TrayCommand button;
        const char* symbol;
    } cases[] = {
        {ShellRunState::idle, false, "Arrêté", StatusColor::textSecondary, TrayCommand::startMining,
         "bitcoinsign.circle"},
        {ShellRunState::failed, false, "Échec", StatusColor::danger, TrayCommand::startMining,
         "exclamationmark.triangle.fill"},
        {ShellRunState::startingNode, false, "Démarrage…", StatusColor::warning,
         TrayCommand::stopMining, "arrow.triangle.2.circlepath.circle"},
        {ShellRunState::syncing, false, "Synchronisation…", StatusColor::warning,
         TrayCommand::stopMining, "arrow.triangle.2.circlepath.circle"},
        {ShellRunState::mining, false, "Minage en cours", StatusColor::success,
         TrayCommand::stopMining, "bitcoinsign.circle.fill"},
        {ShellRunState::mining, true, "En pause", StatusColor::warning, TrayCommand::stopMining,
         "bitcoinsign.circle.fill"},
        {ShellRunState::stopping, false, "Arrêt…", StatusColor::warning, TrayCommand::stopMining,
         "bitcoinsign.circle"},
    };
    for (const auto& c : cases) {
        TrayInputs in;
        in.runState = c.state;
        in.governorPaused = c.paused;
        const TrayMenu menu = trayMenu(in);
        EXPECT_EQ(menu.statusText, c.text);
        EXPECT_EQ(menu.statusColor, c.color) << c.text;
        EXPECT_TRUE(commandRow(menu, c.button)) << c.text;
        EXPECT_EQ(startStopCommand(c.state), c.button) << c.text;
        EXPECT_EQ(traySymbol(c.state), c.symbol) << c.text;
    }
    // Every status follows the language.
    const testing::LanguageScope english(AppLanguage::english);
    TrayInputs syncing;
    syncing.runState = ShellRunState::syncing;
    EXPECT_EQ(trayMenu(syncing).statusText, "Syncing…");
    EXPECT_NE(trayMenu(TrayInputs{}).statusText, "Arrêté");
}

TEST(TrayMenu, NodeRowGainsFallbackAndUpdatesItem) {
    const testing::LanguageScope french(AppLanguage::french);
    using Chain = TrayInputs::Chain;
    const struct {
        int link;
        std::optional<Chain> chain;
        std::optional<int> peers;
        const char* expected;
    } nodes[] = {
        {0, std::nullopt, std::nullopt, "Non connecté"},
        {2, Chain{10, 10, false}, 8, "Sans réponse"},
        {1, std::nullopt, 8, "Sans réponse"},
        {1, Chain{10, 10, false}, 8, "Synchronisé · 8 pairs"},
        {1, Chain{10, 10, true}, 8, "Synchronisation · 8 pairs"},
        {1, Chain{9, 10, false}, 0, "Synchronisation · 0 pair"},
        {1, Chain{10, 10, false}, std::nullopt, "Synchronisé · — pairs"},
        {1, Chain{10, 10, false}, 1, "Synchronisé · 1 pair"},
    };
    for (const auto& n : nodes) {
        TrayInputs in;
        in.rpcLinkState = n.link;
        in.freshChainStatus = n.chain;
        in.peerCount = n.peers;
        EXPECT_EQ(valueOf(trayMenu(in), "Nœud"), n.expected);
    }

    {
        // The peer word is the chosen language's, singular and plural.
        const testing::LanguageScope german(AppLanguage::german);
        TrayInputs synced;
        synced.rpcLinkState = 1;
        synced.freshChainStatus = Chain{10, 10, false};
        synced.peerCount = 0;
        const TrayMenu menu = trayMenu(synced);
        const QString node = menu.rows[3].value;
        EXPECT_TRUE(node.endsWith(" · 0 Peers")) << node.toStdString();
        synced.peerCount = 1;
        EXPECT_TRUE(trayMenu(synced).rows[3].value.endsWith(" · 1 Peer"));
        synced.peerCount.reset();
        EXPECT_TRUE(trayMenu(synced).rows[3].value.endsWith(" · — Peers"));
    }

    TrayInputs in;
    in.persistedHistoryTotalSats = 312'500'000;
    in.earningsSats = 5'000'000'000;
    EXPECT_EQ(valueOf(trayMenu(in), "Gains"), "3.12500000 BTC");  // the scan is for another address
    in.scanCoversConfiguredAddress = true;
    EXPECT_EQ(valueOf(trayMenu(in), "Gains"), "50.00000000 BTC");
    EXPECT_EQ(valueOf(trayMenu(TrayInputs{}), "Gains"), "0.00 BTC");
    EXPECT_EQ(valueOf(trayMenu(TrayInputs{}), "Débit de hachage"), "0.00 MH/s");

    const TrayRow* updates = commandRow(trayMenu(TrayInputs{}), TrayCommand::checkForUpdates);
    ASSERT_TRUE(updates);
    EXPECT_FALSE(updates->enabled);
    EXPECT_EQ(updates->toolTip,
              "Les mises à jour ne sont pas encore configurées pour cette version.");
    // Tooltips do not reach every tray: the explanation is a row of its own, under the item.
    const auto note = [](const TrayMenu& menu) -> const TrayRow* {
        for (const TrayRow& row : menu.rows) {
            if (row.kind == Kind::note) return &row;
        }
        return nullptr;
    };
    ASSERT_TRUE(note(trayMenu(TrayInputs{})));
    EXPECT_TRUE(note(trayMenu(TrayInputs{}))->visible);
    EXPECT_FALSE(note(trayMenu(TrayInputs{}))->enabled);
    EXPECT_EQ(note(trayMenu(TrayInputs{}))->label, updates->toolTip);
    in.updatesConfigured = true;
    EXPECT_TRUE(commandRow(trayMenu(in), TrayCommand::checkForUpdates)->enabled);
    EXPECT_FALSE(note(trayMenu(in))->visible);
    // While a check the user started runs, the item says so and cannot start another.
    in.updateChecking = true;
    EXPECT_FALSE(commandRow(trayMenu(in), TrayCommand::checkForUpdates)->enabled);
    EXPECT_EQ(commandRow(trayMenu(in), TrayCommand::checkForUpdates)->label,
              "Recherche de mises à jour…");
    in.updateChecking = false;
    for (const auto command : {TrayCommand::openWindow, TrayCommand::openSettings,
                               TrayCommand::support, TrayCommand::quit}) {
        EXPECT_TRUE(commandRow(trayMenu(in), command));
    }
}

TEST(TrayMenu, RowsKeepTheirKindsAndOrderWhateverTheInputs) {
    // The tray item builds the menu once and updates it in place: no input may add, remove or
    // reorder a row.
    const auto shape = [](const TrayMenu& menu) {
        std::vector<std::pair<Kind, TrayCommand>> kinds;
        for (const TrayRow& row : menu.rows) {
            kinds.emplace_back(
                row.kind, row.kind == Kind::command && (row.command == TrayCommand::startMining ||
                                                        row.command == TrayCommand::stopMining)
                              ? TrayCommand::startMining
                              : (row.kind == Kind::command ? row.command : TrayCommand::quit));
        }
        return kinds;
    };
    const auto reference = shape(trayMenu(TrayInputs{}));
    for (const auto state :
         {ShellRunState::idle, ShellRunState::startingNode, ShellRunState::syncing,
          ShellRunState::mining, ShellRunState::stopping, ShellRunState::failed}) {
        for (const bool configured : {false, true}) {
            for (const bool checking : {false, true}) {
                TrayInputs in;
                in.runState = state;
                in.updatesConfigured = configured;
                in.updateChecking = checking;
                in.rpcLinkState = 1;
                in.freshChainStatus = TrayInputs::Chain{1, 1, false};
                EXPECT_EQ(shape(trayMenu(in)), reference);
                in.widgetGalleryAvailable = true;
                EXPECT_EQ(shape(trayMenu(in)), reference);
            }
        }
    }
}

TEST(TrayMenu, TheWidgetGalleryIsOfferedOnlyWhereAWidgetHostIsInstalled) {
    TrayInputs in;
    const TrayRow* gallery = commandRow(trayMenu(in), TrayCommand::openWidgetGallery);
    ASSERT_NE(gallery, nullptr);
    EXPECT_FALSE(gallery->visible);
    in.widgetGalleryAvailable = true;
    const TrayMenu menu = trayMenu(in);
    gallery = commandRow(menu, TrayCommand::openWidgetGallery);
    ASSERT_NE(gallery, nullptr);
    EXPECT_TRUE(gallery->visible);
    EXPECT_TRUE(gallery->enabled);
    EXPECT_EQ(gallery->label, Localization::shared().string("Galerie de widgets…"));
    // Beside the window and the settings, before the updates.
    EXPECT_EQ(gallery - commandRow(menu, TrayCommand::openSettings), 1);
}

TEST(TrayMenu, HashRateInTheTooltipOnlyWhileMiningWithThePreference) {
    const testing::LanguageScope french(AppLanguage::french);
    const struct {
        ShellRunState state;
        bool show;
        double rate;
        const char* tooltip;
    } cases[] = {
        {ShellRunState::mining, true, 1234.5678, "Corvanta\n1234.57 MH/s"},
        {ShellRunState::mining, true, 0, "Corvanta\n0.00 MH/s"},
        {ShellRunState::mining, false, 274.5, "Corvanta"},
        {ShellRunState::syncing, true, 274.5, "Corvanta"},
    };
    for (const auto& c : cases) {
        TrayInputs in;
        in.runState = c.state;
        in.showHashRate = c.show;
        in.hashRateMHs = c.rate;
        EXPECT_EQ(trayToolTip(in), c.tooltip);
    }
    EXPECT_EQ(menuText("Support & idées"), "Support && idées");
}

TEST(TrayMenu, ReadsTheSessionsSurface) {
    QQmlEngine engine;
    std::unique_ptr<QObject> session(testing::makeFakeSession(engine));
    session->setProperty("runState", 3);
    session->setProperty("governorPaused", true);
    session->setProperty("currentHashRateMHs", 12.5);
    session->setProperty("rpcLinkState", 1);
    session->setProperty("peerCount", 4);
    session->setProperty("selectedNetwork", "regtest");
    session->setProperty(
        "freshChainStatus",
        QVariantMap{{"blocks", 7}, {"headers", 7}, {"initialBlockDownload", false}});
    session->setProperty("earnings", QVariantMap{{"matureSats", 10}, {"immatureSats", 5}});
    TrayInputs in = TrayInputs::read(*session);
    EXPECT_EQ(in.runState, ShellRunState::mining);
    EXPECT_TRUE(in.governorPaused);
    EXPECT_EQ(in.hashRateMHs, 12.5);
    EXPECT_EQ(in.peerCount, 4);
    EXPECT_EQ(in.network, "regtest");
    ASSERT_TRUE(in.freshChainStatus);
    EXPECT_EQ(in.freshChainStatus->blocks, 7);
    EXPECT_EQ(in.earningsSats, 15);
    EXPECT_EQ(trayMenu(in).networkBadge, "REGTEST");
    session->setProperty("activeNetwork", "signet");
    session->setProperty("peerCount", QVariant());
    in = TrayInputs::read(*session);
    EXPECT_EQ(in.network, "signet");
    EXPECT_EQ(in.peerCount, std::nullopt);
}

}  // namespace
}  // namespace corvanta
