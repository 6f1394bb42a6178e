#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>

#include <memory>

#include "AppTestEnvironment.h"
#include "LanguageScope.h"
#include "Localization/AppTranslator.h"
#include "Localization/Localization.h"
#include "TestSupport.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/node/NodeProcessError.h"

namespace corvanta {
namespace {

using testing::LanguageScope;
using testing::TempDir;

QString iniIn(const TempDir& dir) {
    return QString::fromStdString((dir.path() / "p.conf").string());
}

TEST(Localization, ResolvesTheStoredChoiceThenTheSystemListThenEnglish) {
    struct Case {
        QStringList system;
        std::optional<QString> stored;
        AppLanguage expected;
    };
    const Case cases[] = {
        {{"fr-FR"}, "de", AppLanguage::german},
        {{"fr-FR"}, "xx", AppLanguage::french},
        {{"fr-FR"}, "DE", AppLanguage::french},  // codes are exact
        {{"pt_BR", "fr"}, std::nullopt, AppLanguage::portuguese},
        {{"zh-Hans-CN", "ja-JP"}, std::nullopt, AppLanguage::english},
        {{}, std::nullopt, AppLanguage::english},
        {{"ES-mx"}, std::nullopt, AppLanguage::spanish},
        {{"nl", "it_IT", "de"}, "", AppLanguage::italian},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resolve(c.system, c.stored), c.expected)
            << c.system.join(',').toStdString() << " / " << c.stored.value_or("-").toStdString();
    }
    for (const AppLanguage language : kAllAppLanguages) {
        EXPECT_EQ(appLanguage(code(language)), language);
    }
}

TEST(Localization, StoresTheChoiceOnlyWhenTheLanguageChanges) {
    const TempDir dir;
    Localization localization(Preferences(iniIn(dir)), {"de-DE"});
    EXPECT_EQ(localization.language(), AppLanguage::german);
    int notices = 0;
    QObject::connect(&localization, &Localization::languageChanged, [&] { ++notices; });

    localization.setLanguage(AppLanguage::german);
    EXPECT_FALSE(Preferences(iniIn(dir)).contains("rigwell.language"));
    EXPECT_EQ(notices, 0);

    localization.setLanguage(AppLanguage::spanish);
    EXPECT_EQ(Preferences(iniIn(dir)).string("rigwell.language"), QString("es"));
    EXPECT_EQ(notices, 1);
    // The stored choice wins at the next start, whatever the system says.
    EXPECT_EQ(Localization(Preferences(iniIn(dir)), {"fr"}).language(), AppLanguage::spanish);
}

TEST(Localization, LooksUpTheTableAndFallsBackToTheFrenchKey) {
    const TempDir dir;
    Localization localization(Preferences(iniIn(dir)), {"fr"});
    EXPECT_EQ(localization.string("Bloc trouvé !"), "Bloc trouvé !");
    localization.setLanguage(AppLanguage::german);
    EXPECT_EQ(localization.string("Bloc trouvé !"), "Block gefunden!");
    EXPECT_EQ(localization.string("Texte absent de toute table"), "Texte absent de toute table");
    localization.setLanguage(AppLanguage::portuguese);
    EXPECT_EQ(localization.string("REGISTRE ILLISIBLE"), "REGISTO ILEGÍVEL");
}

TEST(Localization, FillsPlaceholdersInOrderAfterTranslating) {
    const QString key = "Synchronisation %@/%@ — %@ %%";
    EXPECT_EQ(fill(key, {"10", "20"}), "Synchronisation 10/20 — %@ %");
    EXPECT_EQ(fill("%d · %.1f · %s · %u · %5.2f%%", {"a", "b", "c", "d", "e", "surplus"}),
              "a · b · c · d · e%");
    EXPECT_EQ(fill("100 %% sûr, %@", {"%@ littéral"}), "100 % sûr, %@ littéral");
    EXPECT_EQ(fill("pas de marque %x ni %", {"ignoré"}), "pas de marque %x ni %");

    const LanguageScope english(AppLanguage::english);
    EXPECT_EQ(L("Le nœud a refusé la requête (code %d) : %@", "-28", "Loading block index…"),
              "The node refused the request (code -28): Loading block index…");
    const LanguageScope french(AppLanguage::french);
    EXPECT_EQ(L("Le nœud a refusé la requête (code %d) : %@", "-28", "x"),
              "Le nœud a refusé la requête (code -28) : x");
}

TEST(Localization, TranslatesOnlyTheNineteenModuleMessages) {
    EXPECT_EQ(ModuleMessage::texts().size(), 19);
    const LanguageScope english(AppLanguage::english);
    EXPECT_EQ(ModuleMessage::localized("Mining en pause — planning horaire"),
              "Mining paused — schedule");
    // A table key that is not a module message stays as it came.
    EXPECT_EQ(ModuleMessage::localized("Bloc trouvé !"), "Bloc trouvé !");
    EXPECT_EQ(ModuleMessage::localized("version indéterminée (Permission denied)"),
              "version indéterminée (Permission denied)");
}

TEST(Localization, NodeErrorsReadAsOneSentenceWithTheirValues) {
    const LanguageScope french(AppLanguage::french);
    const auto text = [](NodeProcessError::Kind kind) {
        return localizedMessage(NodeProcessError(std::move(kind)));
    };
    EXPECT_EQ(text(NodeProcessError::BinaryMissing{"/opt/n/bitcoind"}),
              "Binaire du nœud introuvable : /opt/n/bitcoind");
    EXPECT_EQ(text(NodeProcessError::ExitedDuringStartup{-6, "Error: bad"}),
              "Le nœud s'est arrêté pendant le démarrage (code -6) :\nError: bad");
    EXPECT_TRUE(
        text(NodeProcessError::LockConflict{"/d"})
            .startsWith("Un nœud Bitcoin semble déjà tourner sur ce dossier de données (/d). "));
    EXPECT_EQ(text(NodeProcessError::IntegrityMismatch{"31.1", "aa", "bb",
                                                       "version indéterminée (délai dépassé)"}),
              "Empreinte du binaire invalide : le nœud 31.1 attendu (empreinte aa), binaire "
              "installé non conforme (empreinte bb — version indéterminée (délai dépassé)). "
              "Relancer scripts/fetch-bitcoind 31.1 pour installer la version vérifiée.");
    EXPECT_EQ(text(NodeProcessError::WarmupTimeout{}),
              "Délai dépassé en attendant la fin du démarrage interne du nœud.");
    EXPECT_EQ(localizedMessage(NodeAbandonedError(6, "Binaire du nœud introuvable : /x")),
              "Nœud abandonné après 6 tentatives de redémarrage échouées : Binaire du nœud "
              "introuvable : /x");
    EXPECT_EQ(localizedMessage(NodeAbandonedError(1, "x")),
              "Nœud abandonné après 1 tentative de redémarrage échouée : x");

    const LanguageScope english(AppLanguage::english);
    EXPECT_EQ(text(NodeProcessError::BinaryMissing{"/opt/n/bitcoind"}),
              "Node binary not found: /opt/n/bitcoind");
}

TEST(Localization, ALanguageSwitchRetranslatesLoadedQml) {
    const TempDir dir;
    Localization localization(Preferences(iniIn(dir)), {"fr"});
    QQmlEngine engine;
    AppTranslator::install(localization, engine);
    QQmlComponent component(&engine);
    component.setData(
        "import QtQuick\n"
        "Text { text: qsTr(\"Bloc trouvé !\")\n"
        "       property string missing: qsTr(\"Texte absent de toute table\") }",
        QUrl());
    const std::unique_ptr<QObject> text(component.create());
    ASSERT_TRUE(text) << component.errorString().toStdString();
    const auto shown = [&] {
        return text->property("text").toString() + " · " + text->property("missing").toString();
    };
    EXPECT_EQ(shown(), "Bloc trouvé ! · Texte absent de toute table");
    localization.setLanguage(AppLanguage::italian);
    EXPECT_EQ(shown(), "Blocco trovato! · Texte absent de toute table");
    localization.setLanguage(AppLanguage::french);
    EXPECT_EQ(shown(), "Bloc trouvé ! · Texte absent de toute table");
}

}  // namespace
}  // namespace corvanta
