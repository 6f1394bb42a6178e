// Counts in the tray and the dashboard take the language's own singular and plural: French
// counts 0 and 1 as one, the other languages 1 alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "Dashboard/DashboardRules.h"
#include "LanguageScope.h"
#include "MenuBar/TrayMenuModel.h"
#include "Settings/SettingsRules.h"
#include "Settings/SettingsViewRules.h"
#include "corvanta/loop/LoopProtocols.h"

namespace corvanta {
namespace {

using testing::LanguageScope;
using namespace DashboardRules;

TEST(CountWords, EachCountTakesItsLanguagesForm) {
    struct Row {
        AppLanguage language;
        int count;
        const char* peers;
        const char* transactions;
        const char* workers;
    };
    const Row rows[] = {
        {AppLanguage::french, 0, "0 pair", "0 transaction", "0 worker"},
        {AppLanguage::french, 1, "1 pair", "1 transaction", "1 worker"},
        {AppLanguage::french, 2, "2 pairs", "2 transactions", "2 workers"},
        {AppLanguage::english, 0, "0 peers", "0 transactions", "0 workers"},
        {AppLanguage::english, 1, "1 peer", "1 transaction", "1 worker"},
        {AppLanguage::english, 8, "8 peers", "8 transactions", "8 workers"},
        {AppLanguage::german, 1, "1 Peer", "1 Transaktion", "1 Worker"},
        {AppLanguage::german, 0, "0 Peers", "0 Transaktionen", "0 Worker"},
        {AppLanguage::spanish, 1, "1 par", "1 transacción", "1 worker"},
        {AppLanguage::spanish, 3, "3 pares", "3 transacciones", "3 workers"},
        {AppLanguage::italian, 1, "1 peer", "1 transazione", "1 worker"},
        {AppLanguage::italian, 2, "2 peer", "2 transazioni", "2 worker"},
        {AppLanguage::portuguese, 1, "1 par", "1 transação", "1 worker"},
        {AppLanguage::portuguese, 0, "0 pares", "0 transações", "0 workers"},
    };
    for (const Row& row : rows) {
        const LanguageScope scope(row.language);
        SCOPED_TRACE(row.peers);
        EXPECT_EQ(peerText(row.count).toStdString(), row.peers);
        EXPECT_EQ(candidateRuns(QStringLiteral("%@"), row.count).count.toStdString(),
                  row.transactions);
        EXPECT_EQ(miniWorkersLabel(row.count).toStdString(), row.workers);
    }
}

// The pulse card's draws, the settings' counts (diagnostics, CPU, safety rows) and the node error:
// 0 is plural in every language but French, 1 singular everywhere.
TEST(CountWords, EveryViewsCountsTakeTheRuleToo) {
    struct Row {
        AppLanguage language;
        int count;
        const char* draws;
        const char* transactions;
        const char* workers;
        const char* entries;
        const char* attempts;
    };
    const Row rows[] = {
        {AppLanguage::french, 0, "tirage entré depuis le début de cette session", "0 transaction",
         "0 worker", "0 entrée enregistrée sur disque.", "après 0 tentative de"},
        {AppLanguage::french, 2, "tirages entrés depuis le début de cette session",
         "2 transactions", "2 workers", "2 entrées enregistrées sur disque.",
         "après 2 tentatives de"},
        {AppLanguage::english, 0, "draws entered since this session began", "0 transactions",
         "0 workers", "0 entries recorded on disk.", "after 0 failed restart attempts"},
        {AppLanguage::english, 1, "draw entered since this session began", "1 transaction",
         "1 worker", "1 entry recorded on disk.", "after 1 failed restart attempt:"},
        {AppLanguage::german, 0, "Ziehungen seit Beginn dieser Sitzung", "0 Transaktionen",
         "0 Worker", "0 Einträge auf der Festplatte gespeichert.", "Neustartversuchen"},
        {AppLanguage::german, 1, "Ziehung seit Beginn dieser Sitzung", "1 Transaktion", "1 Worker",
         "1 Eintrag auf der Festplatte gespeichert.", "1 fehlgeschlagenen Neustartversuch:"},
        {AppLanguage::spanish, 0, "sorteos jugados desde el inicio de esta sesión",
         "0 transacciones", "0 workers", "0 entradas registradas en disco.", "0 intentos"},
        {AppLanguage::italian, 0, "estrazioni giocate dall'inizio di questa sessione",
         "0 transazioni", "0 worker", "0 voci registrate su disco.", "0 tentativi"},
        {AppLanguage::portuguese, 0, "sorteios jogados desde o início desta sessão", "0 transações",
         "0 workers", "0 entradas registadas em disco.", "0 tentativas"},
        {AppLanguage::portuguese, 1, "sorteio jogado desde o início desta sessão", "1 transação",
         "1 worker", "1 entrada registada em disco.", "1 tentativa de"},
    };
    const SettingsViewRules settings;
    for (const Row& row : rows) {
        const LanguageScope scope(row.language);
        SCOPED_TRACE(row.transactions);
        EXPECT_EQ(drawsCaption(row.count).toStdString(), row.draws);
        EXPECT_EQ(settings.transactionCount(row.count).toStdString(), row.transactions);
        EXPECT_EQ(settings.workerCount(row.count).toStdString(), row.workers);
        // The safety rows' and the error's sentences carry the same word as the bare count.
        const CandidateVerdict verdict{"validated", row.count, {}};
        EXPECT_TRUE(
            candidateSafetyRow(verdict, true).detail.contains(QString::fromUtf8(row.transactions)));
        // No entry at all reads as a ledger still filling, not as a count.
        if (row.count >= 1) {
            EXPECT_EQ(proofSafetyRow(false, row.count).detail.toStdString(), row.entries);
        }
        EXPECT_TRUE(localizedMessage(NodeAbandonedError(row.count, "x"))
                        .contains(QString::fromUtf8(row.attempts)))
            << localizedMessage(NodeAbandonedError(row.count, "x")).toStdString();
    }
    EXPECT_EQ(settings.transactionCount(QVariant()), QStringLiteral("\u2014"));
}

TEST(CountWords, TheThrottleCaptionCountsItsWorkersByTheRule) {
    {
        const LanguageScope scope(AppLanguage::french);
        EXPECT_EQ(throttleCaption(true, 1, 10), QStringLiteral("Régime réel : 1 worker sur 10"));
        EXPECT_EQ(throttleCaption(true, 3, 10), QStringLiteral("Régime réel : 3 workers sur 10"));
    }
    const LanguageScope scope(AppLanguage::english);
    EXPECT_EQ(throttleCaption(true, 1, 10), QStringLiteral("Actual level: 1 worker of 10"));
    EXPECT_EQ(throttleCaption(true, 0, 10), QStringLiteral("Actual level: 0 workers of 10"));
}

TEST(CountWords, TheNodeRowOfTheTrayCountsItsPeersByTheRule) {
    const LanguageScope scope(AppLanguage::french);
    TrayInputs inputs;
    inputs.rpcLinkState = 1;
    inputs.freshChainStatus = TrayInputs::Chain{10, 10, false};
    inputs.peerCount = 0;
    const TrayMenu menu = trayMenu(inputs);
    const auto node = std::find_if(menu.rows.begin(), menu.rows.end(), [](const TrayRow& row) {
        return row.value.contains(QStringLiteral("pair"));
    });
    ASSERT_NE(node, menu.rows.end());
    EXPECT_EQ(node->value, QStringLiteral("Synchronisé · 0 pair"));
}

}  // namespace
}  // namespace corvanta
