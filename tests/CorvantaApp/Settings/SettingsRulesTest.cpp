#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "LanguageScope.h"
#include "Localization/Formatting.h"
#include "Session/SessionRecords.h"
#include "Settings/NodeLicence.h"
#include "Settings/SettingsRules.h"
#include "Settings/SettingsViewRules.h"

namespace corvanta {
namespace {

using testing::LanguageScope;

const QString mainnetAddress = QStringLiteral("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4");

TEST(WinningSafetyRows, FollowAddressCandidateAndLedgerStates) {
    const LanguageScope french(AppLanguage::french);
    const QString noAddress = QStringLiteral(
        "Aucune adresse : la récompense d'un bloc trouvé serait dépensable par n'importe qui.");
    EXPECT_EQ(addressSafetyRow("regtest", " \n"), (SafetyRow{SafetyLevel::warning, noAddress}));
    for (const char* network : {"mainnet", "testnet4", "signet"}) {
        EXPECT_EQ(addressSafetyRow(network, ""), (SafetyRow{SafetyLevel::danger, noAddress}));
    }
    EXPECT_EQ(addressSafetyRow("mainnet", " " + mainnetAddress + "\n"),
              (SafetyRow{SafetyLevel::ok, "Adresse valide pour mainnet."}));
    const SafetyRow wrong = addressSafetyRow("regtest", mainnetAddress);
    EXPECT_EQ(wrong.level, SafetyLevel::danger);
    EXPECT_TRUE(wrong.detail.startsWith("Adresse de paiement invalide : "));

    const CandidateVerdict validated{"validated", 7, {}};
    const CandidateVerdict rejected{"rejected", 0, "bad-txns <b>x</b>"};
    const CandidateVerdict unavailable{"unavailable", 0, "node busy"};
    EXPECT_EQ(candidateSafetyRow(validated, true),
              (SafetyRow{SafetyLevel::ok, "Candidat validé, 7 transactions."}));
    // The node's words are passed on untouched.
    EXPECT_EQ(candidateSafetyRow(rejected, true),
              (SafetyRow{SafetyLevel::danger, rejected.reason}));
    EXPECT_EQ(candidateSafetyRow(unavailable, false),
              (SafetyRow{SafetyLevel::pending, "node busy"}));
    EXPECT_EQ(candidateSafetyRow(std::nullopt, false),
              (SafetyRow{SafetyLevel::pending, "Contrôlé dès que le minage démarre."}));
    EXPECT_EQ(candidateSafetyRow(std::nullopt, true),
              (SafetyRow{SafetyLevel::pending, "En attente du premier candidat."}));

    EXPECT_EQ(proofSafetyRow(true, 40).level, SafetyLevel::danger);
    EXPECT_EQ(candidateSafetyRow(CandidateVerdict{"validated", 1, {}}, true),
              (SafetyRow{SafetyLevel::ok, "Candidat validé, 1 transaction."}));
    EXPECT_EQ(proofSafetyRow(false, 1),
              (SafetyRow{SafetyLevel::ok, "1 entrée enregistrée sur disque."}));
    EXPECT_EQ(proofSafetyRow(false, 2),
              (SafetyRow{SafetyLevel::ok, "2 entrées enregistrées sur disque."}));
    EXPECT_EQ(proofSafetyRow(false, 0).level, SafetyLevel::pending);

    EXPECT_EQ(symbolOf(SafetyLevel::danger), "xmark.octagon.fill");
    EXPECT_EQ(colorRoleOf(SafetyLevel::pending), "textSecondary");
}

TEST(ThermalLadder, LightsSegmentsUpToTheStateInItsColour) {
    const LanguageScope french(AppLanguage::french);
    struct Case {
        const char* state;
        int lit;
        const char* role;
        const char* title;
        const char* titleRole;
    };
    for (const Case& c : {Case{"nominal", 1, "success", "Normale", "successText"},
                          Case{"fair", 2, "success", "Tiède", "successText"},
                          Case{"serious", 3, "warning", "Chaude", "warningText"},
                          Case{"critical", 4, "danger", "Critique", "dangerText"}}) {
        const auto segments = thermalSegments(c.state);
        ASSERT_EQ(segments.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(segments[i].lit, i < c.lit) << c.state << i;
            EXPECT_EQ(segments[i].colorRole, i < c.lit ? c.role : "cardBorder") << c.state << i;
        }
        // Each segment is named after its own state, not the current one.
        EXPECT_EQ(segments[2].label, "Chaude");
        EXPECT_EQ(thermalTitle(c.state), QString::fromUtf8(c.title));
        EXPECT_EQ(thermalTitleColorRole(c.state), c.titleRole);
    }
    EXPECT_EQ(thermalDetail("fair"), thermalDetail("nominal"));
    EXPECT_NE(thermalDetail("serious"), thermalDetail("critical"));
}

TEST(DiagnosticsTexts, SelfTestFreshnessWorkLoadAndBits) {
    const LanguageScope french(AppLanguage::french);
    const StyledText fresh = selfTestText({true, {}, 1499});
    EXPECT_EQ(fresh, (StyledText{"vecteur du bloc 125 552 vérifié", "textPrimary"}));
    EXPECT_EQ(selfTestText({true, {}, 1500}),
              (StyledText{"contrôle interrompu — dernier verdict périmé", "warningText"}));
    EXPECT_EQ(selfTestText({true, {}, std::nullopt}).colorRole, "warningText");
    EXPECT_EQ(selfTestText({std::nullopt, {}, std::nullopt}), (StyledText{"—", "warningText"}));
    EXPECT_EQ(selfTestText({std::nullopt, {}, 3}), (StyledText{"—", "textPrimary"}));
    EXPECT_EQ(selfTestText({false, "not a module text", 3}),
              (StyledText{"ÉCHEC — not a module text", "dangerText"}));

    EXPECT_EQ(workLoadText(std::nullopt), "—");
    EXPECT_EQ(workLoadText(WorkLoad{12.4, 12.4, 12.4}), "moy 12 · P95 12 · max 12 ms");
    EXPECT_EQ(workLoadText(WorkLoad{12, 30, 41}), "moy 12 · P95 30 · max 41 ms");

    EXPECT_EQ(bitsText(0x1d00ffff), "0x1d00ffff");
    EXPECT_EQ(bitsText(0xff), "0x000000ff");
    EXPECT_EQ(bitsText(std::nullopt), "—");
}

TEST(NodeRows, LinkStateHashAndDiskSize) {
    const LanguageScope french(AppLanguage::french);
    EXPECT_EQ(rpcLinkText(0), (StyledText{"Déconnecté", "warningText"}));
    EXPECT_EQ(rpcLinkText(1), (StyledText{"Connecté", "successText"}));
    EXPECT_EQ(rpcLinkText(2), (StyledText{"Sans réponse", "dangerText"}));

    const QString hash64(64, QLatin1Char('a'));
    const QString shortened = shortNodeHash(QString(hash64).replace(0, 1, "b").replace(63, 1, "c"));
    EXPECT_EQ(shortened.size(), 21);
    EXPECT_EQ(shortened, "baaaaaaaaaaa…aaaaaaac");
    EXPECT_EQ(shortNodeHash(QString(21, 'x')), QString(21, 'x'));
    EXPECT_EQ(shortNodeHash(QString(22, 'x')).size(), 21);

    {
        const LanguageScope french(AppLanguage::french);
        EXPECT_EQ(sizeOnDiskText(12884901888), "12.00 Go");
        EXPECT_EQ(sizeOnDiskText(0), "0.00 Go");
    }
    const LanguageScope english(AppLanguage::english);
    EXPECT_EQ(sizeOnDiskText(12884901888), "12.00 GB");
}

TEST(LedgerRules, IntegrityIndicesHashesAndDeclaredCheckAtTheirBoundaries) {
    const LanguageScope french(AppLanguage::french);
    EXPECT_EQ(ledgerIntegrity(3, true), LedgerIntegrity::verified);
    EXPECT_EQ(ledgerIntegrity(0, true), LedgerIntegrity::unreadable);
    EXPECT_EQ(ledgerIntegrity(std::nullopt, true), LedgerIntegrity::unreadable);
    EXPECT_EQ(ledgerIntegrity(0, false), LedgerIntegrity::empty);
    EXPECT_EQ(ledgerIntegrity(std::nullopt, false), LedgerIntegrity::empty);

    EXPECT_EQ(firstIndices({3, 4, 5, 6, 7, 8, 9}), "3, 4, 5, 6, 7, 8");
    EXPECT_EQ(firstIndices({12}), "12");
    EXPECT_EQ(firstIndices({}), "");

    EXPECT_EQ(shortLedgerHash(QString(17, 'f')), QString(17, 'f'));
    const QString h18 = QStringLiteral("0123456789abcdefgh");
    EXPECT_EQ(shortLedgerHash(h18), "0123456789…cdefgh");
    EXPECT_EQ(shortLedgerHash(QString(64, 'e')).size(), 17);

    // Difficulty 1 expects 2^32 hashes: the ratio is exact at the boundaries.
    const double expected = 4294967296.0;
    struct Case {
        double difficulty;
        std::uint64_t hashes;
        bool shown;
        bool coherent;
    };
    const std::vector<Case> cases = {
        {1, std::uint64_t(expected * 0.02) + 1, true, true},  // just above 0.02
        {50, std::uint64_t(expected), true, true},            // exactly 0.02
        {1, std::uint64_t(expected * 0.02), true, false},     // just below 0.02
        {1, std::uint64_t(expected) * 50, true, true},        // exactly 50
        {1, std::uint64_t(expected) * 50 + 1, true, false},   // just above 50
        {100, std::uint64_t(expected), true, false},          // 0.01
        {0, 100, false, false},
        {1, 0, false, false},
        {std::numeric_limits<double>::quiet_NaN(), 100, false, false},
        {-1, 100, false, false},
    };
    for (const Case& c : cases) {
        const auto check = declaredCheck(c.difficulty, c.hashes);
        ASSERT_EQ(check.has_value(), c.shown) << c.difficulty << " " << c.hashes;
        if (!check) continue;
        EXPECT_EQ(check->coherent, c.coherent) << c.difficulty << " " << c.hashes;
        EXPECT_EQ(check->colorRole, c.coherent ? "textPrimary" : "dangerText");
        EXPECT_TRUE(check->text.endsWith(c.coherent ? "— cohérent" : "— SUSPECT"));
        EXPECT_TRUE(check->text.startsWith("×"));
    }
    EXPECT_EQ(declaredCheck(1, std::uint64_t(expected) * 50)->text, "×50.00 — cohérent");

    // Above 1e18 expected hashes the shown count is capped; the ratio is not.
    const auto huge = declaredCheck(1e9, 4294967296000000000ULL);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->expectedShown, 1000000000000000000ULL);
    EXPECT_DOUBLE_EQ(huge->ratio, 1.0);
    EXPECT_TRUE(huge->coherent);
    EXPECT_EQ(Formatting::hashCount(huge->expectedShown),
              Formatting::hashCount(1000000000000000000ULL));
    // So far above any unsigned value that an unchecked conversion would be undefined.
    EXPECT_EQ(declaredCheck(1e300, 5)->expectedShown, 1000000000000000000ULL);
}

TEST(LedgerRules, UnreadableCaptionShowsEachRunOfSpacesAsOne) {
    {
        const LanguageScope french(AppLanguage::french);
        const QString caption = unreadableLedgerCaption();
        EXPECT_FALSE(caption.contains("  "));
        EXPECT_TRUE(caption.contains("mis de côté à côté du registre"));
        EXPECT_TRUE(caption.contains("ses octets sont intacts"));
    }
    // Translated like every other text.
    const LanguageScope german(AppLanguage::german);
    EXPECT_TRUE(unreadableLedgerCaption().startsWith("Die Datei existierte"));
}

// Every way the ledger or its journal is refused or set aside has its headline, in the checker's
// words where it gives a verdict, its row that never says "intact", and a caption that names the
// files and ends in the command that reads them, in each of the six languages.
TEST(LedgerRules, EachStoryHasItsHeadlineItsRowAndTheCommandThatChecksIt) {
    const QString file = "/home/u/.local/share/Corvanta/proof/regtest.json";
    const QString aside = "/home/u/.local/share/Corvanta/proof/regtest.unreadable-1796706393.json";
    const QString spaced = "/home/u w/proof/regtest.unreadable-1796706393.json";
    const struct {
        const char* name;
        LedgerStory story;
        bool isIntact, suspect;
        QString status, row;
        QStringList named;  // files the caption names
        QString command;    // how it ends; empty: no caption
    } cases[] = {
        {"intact",
         {"", "", 0, file},
         true,
         false,
         "Hash chain intact, headers re-verified",
         "6 · intact",
         {},
         ""},
        {"suspect",
         {"", "", 0, file},
         true,
         true,
         "SUSPECT: the declared hashes are out of the range the proof allows",
         "6 · SUSPECT",
         {},
         ""},
        {"refused line, journal in place",
         {"", "", 3, file},
         true,
         true,
         "DAMAGED JOURNAL: no entry from the refused line on is counted",
         "6 · DAMAGED JOURNAL",
         {file + ".journal"},
         "corvanta-verify " + file},
        {"refused line, journal set aside",
         {"journalRefused", aside, 3, file},
         true,
         false,
         "DAMAGED JOURNAL: no entry from the refused line on is counted",
         "6 · DAMAGED JOURNAL",
         {aside + ".journal", aside},
         "corvanta-verify " + aside},
        {"ledger set aside",
         {"ledger", aside, 0, file},
         true,
         true,
         "AN EARLIER LEDGER WAS SET ASIDE",
         "6 · earlier one set aside",
         {aside},
         "corvanta-verify " + aside},
        {"ledger and journal set aside, a space in the path",
         {"ledgerAndJournal", spaced, 0, file},
         true,
         false,
         "AN EARLIER LEDGER WAS SET ASIDE",
         "6 · earlier one set aside",
         {spaced, spaced + ".journal"},
         "corvanta-verify '" + spaced + "'"},
        {"journal set aside unread",
         {"journalUnread", aside, 0, file},
         true,
         false,
         "JOURNAL SET ASIDE UNREAD",
         "6 · journal set aside",
         {aside + ".journal"},
         "corvanta-verify " + aside},
        {"unreadable, left as it is",
         {"unreadable", "", 0, file},
         true,
         false,
         "LEDGER UNREADABLE",
         "6 · UNREADABLE",
         {},
         "corvanta-verify " + file},
        {"altered above all",
         {"ledger", aside, 0, file},
         false,
         true,
         "LEDGER TAMPERED",
         "6 · TAMPERED",
         {aside},
         "corvanta-verify " + aside},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        {
            const LanguageScope english(AppLanguage::english);
            const auto status =
                ledgerStatus(LedgerIntegrity::verified, row.isIntact, row.suspect, row.story);
            EXPECT_EQ(status.text, row.status);
            EXPECT_EQ(status.intact, row.status.startsWith("Hash chain intact"));
            EXPECT_EQ(status.colorRole, status.intact ? "textPrimary" : "dangerText");
            EXPECT_EQ(ledgerIntegrityRow(6, row.isIntact, row.suspect, row.story), row.row);
        }
        QStringList captions;
        for (const auto language : kAllAppLanguages) {
            const LanguageScope scope(language);
            const QString caption = ledgerStoryCaption(row.story);
            EXPECT_EQ(caption.isEmpty(), row.command.isEmpty()) << caption.toStdString();
            if (caption.isEmpty()) continue;
            EXPECT_TRUE(caption.endsWith(row.command)) << caption.toStdString();
            for (const auto& named : row.named) {
                EXPECT_TRUE(caption.contains(named)) << caption.toStdString();
            }
            if (row.story.refusedLine > 0) {
                EXPECT_TRUE(caption.contains(" 3 "));
            }
            captions << caption;
        }
        // A translation of its own in each language, none left in French.
        captions.removeDuplicates();
        EXPECT_EQ(captions.size(), row.command.isEmpty() ? 0 : 6);
    }
}

TEST(AboutTexts, VersionWithDashesAndTheFixedLicence) {
    EXPECT_EQ(appVersionText(QString("1.4.2"), QString("57")), "1.4.2 (57)");
    EXPECT_EQ(appVersionText(QString("1.4.2"), std::nullopt), "1.4.2 (—)");
    EXPECT_EQ(appVersionText(std::nullopt, std::nullopt), "— (—)");
    const QString licence = nodeLicenceText();
    EXPECT_EQ(licence.size(), 1141);
    EXPECT_EQ(licence.count('\n'), 9);
    EXPECT_TRUE(licence.startsWith("The MIT License (MIT)\n"));
}

}  // namespace
}  // namespace corvanta

namespace corvanta {
namespace {

// The views hand the session model's own records to the rules: they must read them as they read
// the plain objects the tests' stand-in gives.
TEST(SettingsViewRules, ReadTheSessionRecordsAndPlainObjectsAlike) {
    const LanguageScope french(AppLanguage::french);
    const SettingsViewRules rules;

    ProofVerificationView verification;
    verification.entriesChecked = 42;
    verification.brokenChainAt = {qint64(3), qint64(4), qint64(5), qint64(6),
                                  qint64(7), qint64(8), qint64(9)};
    verification.bestDifficultyProven = 1;
    verification.hashesReported = 4294967296.0 * 50;
    verification.hashesReportedText = QString::number(4294967296ULL * 50);
    const QVariant record = QVariant::fromValue(verification);
    const QVariant plain = QVariantMap{{"entriesChecked", 42},
                                       {"bestDifficultyProven", 1},
                                       {"hashesReportedText", QString::number(4294967296ULL * 50)}};
    for (const QVariant& given : {record, plain}) {
        EXPECT_EQ(rules.ledgerIntegrity(given, true), "verified");
        EXPECT_EQ(rules.declaredCheck(given).value("text").toString(), "×50.00 — cohérent");
    }
    EXPECT_EQ(rules.firstIndices(record.value<ProofVerificationView>().brokenChainAt),
              "3, 4, 5, 6, 7, 8");
    EXPECT_EQ(rules.ledgerIntegrity(QVariant(), true), "unreadable");
    EXPECT_EQ(rules.ledgerIntegrity(QVariant(), false), "empty");
    EXPECT_TRUE(rules.declaredCheck(QVariant()).isEmpty());

    CandidateValidation rejected;
    rejected.kind = CandidateValidation::Kind::rejected;
    rejected.reason = QStringLiteral("bad-cb-amount");
    EXPECT_EQ(rules.candidateSafety(QVariant::fromValue(rejected), 3).value("detail"),
              "bad-cb-amount");
    EXPECT_EQ(rules.candidateSafety(QVariant(), 5).value("detail"),
              "Contrôlé dès que le minage démarre.");

    const QVariant failed = QVariant::fromValue(SelfTestVerdictView{false, "x"});
    EXPECT_EQ(rules.selfTest(failed, QVariant(), 0).value("text"), "ÉCHEC — x");
    const QDateTime checked = QDateTime::fromSecsSinceEpoch(1'000'000);
    const QVariant passed = QVariant::fromValue(SelfTestVerdictView{true, {}});
    EXPECT_EQ(rules.selfTest(passed, checked, 1'000'000 + 1499.0).value("colorRole"),
              "textPrimary");
    EXPECT_EQ(rules.selfTest(passed, checked, 1'000'000 + 1500.0).value("colorRole"),
              "warningText");

    EXPECT_EQ(rules.workLoad(QVariant::fromValue(WorkLoadStatistics{12, 30, 41})),
              "moy 12 · P95 30 · max 41 ms");
    EXPECT_EQ(rules.bits(QVariant(qint64(0x1d00ffff))), "0x1d00ffff");
    EXPECT_EQ(rules.plainCount(QVariant()), "—");
    EXPECT_EQ(rules.count(QVariant(qint64(1000))), "1,000");

    // The network in effect: the session's while one runs, else the selected one.
    EXPECT_EQ(rules.networkInEffect(QVariant(), "regtest"), "regtest");
    EXPECT_EQ(rules.networkInEffect(QString("signet"), "regtest"), "signet");
    EXPECT_TRUE(rules.proofLogFile("signet").endsWith("signet.json"));
    EXPECT_FALSE(rules.proofLogFile("signet").startsWith("file:"));
    EXPECT_TRUE(rules.dataDirectory("regtest").endsWith("regtest"));
}

}  // namespace
}  // namespace corvanta
