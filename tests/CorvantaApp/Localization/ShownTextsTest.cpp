// Every text a view shows, in English and in German, is the translation of a row of the table in
// that language or a value (numbers, addresses, hashes, units, the brand, the names the table
// keeps untranslated). Each view is built in French and then switched, so a text that keeps the
// old language after the switch is caught like one that never had a translation.
#include <gtest/gtest.h>

#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <memory>
#include <vector>

#include "AppTestEnvironment.h"
#include "LanguageScope.h"
#include "Localization/AppTranslator.h"
#include "Localization/Localization.h"
#include "Localization/TranslationTable.h"
#include "MenuBar/TrayMenuModel.h"
#include "Shell/CorvantaApp.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"
#include "TestSupport.h"

namespace corvanta {
namespace {

using testing::LanguageScope;

QString normalized(QString text) {
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    text.remove(tag);
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&nbsp;"), QStringLiteral(" "))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .remove(QStringLiteral("**"));
    return text.replace(spaces, QStringLiteral(" ")).trimmed();
}

// A translation as a pattern: its placeholders stand for any value.
QRegularExpression patternOf(const QString& translation) {
    static const QRegularExpression placeholder(
        QStringLiteral("%%|%[0-9]*\\.?[0-9]*(?:ll)?[@dfsu]|%[1-9]"));
    QString pattern;
    qsizetype from = 0;
    for (auto it = placeholder.globalMatch(translation); it.hasNext();) {
        const auto match = it.next();
        pattern += QRegularExpression::escape(translation.mid(from, match.capturedStart() - from));
        pattern +=
            match.captured() == QLatin1String("%%") ? QStringLiteral("%") : QStringLiteral(".+?");
        from = match.capturedEnd();
    }
    pattern += QRegularExpression::escape(translation.mid(from));
    return QRegularExpression(
        QStringLiteral("\\A") + pattern + QStringLiteral("\\z"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
}

// What a shown text is in a language.
enum class Verdict { translated, value, frenchKey, unknown };

class ShownTextChecker {
  public:
    explicit ShownTextChecker(AppLanguage language) : language_(language) {
        for (const TranslationRow& row : translationTable().rows) {
            const QString text = normalized(row.text(language));
            patterns_.push_back(patternOf(text));
            // A title drawn in pieces (its bold part apart) shows each piece on its own.
            for (const QString& piece : row.text(language).split(QStringLiteral("**"))) {
                if (normalized(piece).size() > 1) patterns_.push_back(patternOf(normalized(piece)));
            }
            if (normalized(row.key()) != text) frenchKeys_.insert(normalized(row.key()));
        }
    }

    Verdict verdict(const QString& shown) const {
        const QString text = normalized(shown);
        if (text.isEmpty()) return Verdict::value;
        for (const QRegularExpression& pattern : patterns_) {
            if (pattern.match(text).hasMatch()) return Verdict::translated;
        }
        if (frenchKeys_.contains(text)) return Verdict::frenchKey;
        if (isValue(text)) return Verdict::value;
        // A value and a word set side by side ("×1.00 — consistent"): each piece on its own.
        static const QRegularExpression separator(QStringLiteral(" (?:—|·) "));
        const QStringList pieces = text.split(separator);
        if (pieces.size() > 1 && std::all_of(pieces.begin(), pieces.end(), [&](const QString& p) {
                const Verdict piece = verdict(p);
                return piece == Verdict::translated || piece == Verdict::value;
            })) {
            return Verdict::translated;
        }
        return Verdict::unknown;
    }

  private:
    // Numbers, units, addresses, hashes, the brand and the names every language shares.
    static bool isValue(QString text) {
        static const QRegularExpression values(QStringLiteral(
            "\\b(?:bc1|tb1|bcrt1)[a-z0-9…]+|\\b0x[0-9a-fA-F]+\\b|\\b[0-9a-fA-F…]{8,}\\b|"
            "(?:^|\\s)/\\S+|\\b[a-z0-9-]+(?:\\.[a-z0-9-]+)+\\b|\\b[0-9]+(?:h|m|s|min)\\b|"
            "\\b(?:Corvanta|Bitcoin Core|BlueWallet|corvanta-verify|Français|English|Italiano|"
            "Español|Português|Deutsch|MAINNET|TESTNET4|TESTNET|SIGNET|REGTEST|mainnet|testnet4|"
            "signet|regtest|main|OP_TRUE|Smart|Max|"
            "BTC|sats?|[kMGTPE]?H/s|GB|MB|KB|kB|vB|CPU|UTC|min|ms|s|h|d|[kMGTPE])\\b"));
        text.remove(values);
        static const QRegularExpression letter(QStringLiteral("\\p{L}"));
        return !letter.match(text).hasMatch();
    }

    AppLanguage language_;
    std::vector<QRegularExpression> patterns_;
    QSet<QString> frenchKeys_;
};

// The visible texts under `item`, each with the object name nearest to it.
void collectTexts(const QQuickItem* item, const QString& where, QStringList& out) {
    if (item == nullptr || !item->isVisible() || item->opacity() <= 0) return;
    const QString name = item->objectName().isEmpty() ? where : item->objectName();
    // The event log shows what the session wrote, not the interface's own words.
    if (name == QLatin1String("logList")) return;
    if (item->inherits("QQuickText") || item->inherits("QQuickTextEdit") ||
        item->inherits("QQuickTextInput")) {
        // A path laid out on lines of its own shows the path, whatever its lines.
        const QVariant path = item->property("path");
        const QString text = (path.isValid() ? path : item->property("text")).toString();
        if (!text.trimmed().isEmpty()) out << name + QStringLiteral("\t") + text;
    }
    for (const QQuickItem* child : item->childItems()) collectTexts(child, name, out);
}

struct Rendered {
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QQuickWindow> window;
    std::unique_ptr<QObject> root;
};

// Builds `qml` (a scene file's text, imports resolved beside the golden scenes) in French,
// shows it, then switches to `language` and lets the views follow.
// CORVANTA_SHOWN_TEXTS_SHOTS=<folder> also saves what each view looked like, to look at.
QStringList shownTexts(const QByteArray& qml, AppLanguage language, const QString& name,
                       QString& error) {
    const testing::TempDir dir;
    const LanguageScope french(AppLanguage::french);
    Prefs prefs{Preferences(QString::fromStdString((dir.path() / "prefs.ini").string()))};
    Rendered r;
    r.engine = std::make_unique<QQmlEngine>();
    r.engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    AppTranslator::install(Localization::shared(), *r.engine);
    Prefs::attach(*r.engine, prefs);
    Platform platform(Platform::Hooks{}, nullptr);
    Platform::attach(*r.engine, platform);
    QQmlComponent component(r.engine.get());
    component.setData(
        qml, QUrl::fromLocalFile(QStringLiteral(CORVANTA_GOLDEN_FOLDER "/scenes/Scene.qml")));
    r.root.reset(component.create());
    auto* item = qobject_cast<QQuickItem*>(r.root.get());
    if (item == nullptr) {
        error = component.errorString();
        return {};
    }
    r.window = std::make_unique<QQuickWindow>();
    r.window->resize(int(std::max(item->width(), 480.0)), int(std::max(item->height(), 360.0)));
    item->setParentItem(r.window->contentItem());
    r.window->show();
    bool drawn = false;
    QObject::connect(r.window.get(), &QQuickWindow::frameSwapped, [&] { drawn = true; });
    testing::waitUntil([&] { return drawn; });

    Localization::shared().setLanguage(language);
    drawn = false;
    r.window->contentItem()->update();
    testing::waitUntil([&] { return drawn; });
    QStringList texts;
    // From the whole window: sheets and pop-ups sit on its overlay, beside the scene.
    collectTexts(r.window->contentItem(), QStringLiteral("scene"), texts);
    if (const QString shots = qEnvironmentVariable("CORVANTA_SHOWN_TEXTS_SHOTS");
        !shots.isEmpty()) {
        r.window->grabWindow().save(shots + u'/' + name + u'-' + code(language) +
                                    QStringLiteral(".png"));
    }
    // The scene goes before the language is put back.
    r.root.reset();
    r.window.reset();
    r.engine.reset();
    return texts;
}

QByteArray sceneFile(const QString& name) {
    QFile file(QStringLiteral(CORVANTA_GOLDEN_FOLDER "/scenes/") + name + QStringLiteral(".qml"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A settings card opened in the panel, over the golden session.
QByteArray settingsCard(const QString& section) {
    return QStringLiteral(R"(import QtQuick
import Corvanta
Rectangle {
    width: 420
    height: 1600
    color: Theme.background
    AdvancedPanel {
        anchors.right: parent.right
        height: parent.height
        initialSection: "%1"
        session: GoldenSession {
            payoutAddressInput: "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"
            coreVersion: "31.1.0"
        }
    }
})")
        .arg(section)
        .toUtf8();
}

// A golden scene by its name, or a settings card as "Settings" and its section ("SettingsNode").
QByteArray viewSource(const std::string& name) {
    const QString view = QString::fromStdString(name);
    if (view.startsWith(QLatin1String("Settings"))) {
        QString section = view.mid(8);
        section[0] = section[0].toLower();
        return settingsCard(section);
    }
    return sceneFile(view);
}

// The texts the scenes hand to the views as the session's values (a failure message, a node's
// reason): shown as they are, whatever the language.
const QSet<QString>& sceneData() {
    static const QSet<QString> data = [] {
        QSet<QString> literals;
        static const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
        const QDir scenes(QStringLiteral(CORVANTA_GOLDEN_FOLDER "/scenes"));
        for (const QString& name : scenes.entryList({QStringLiteral("*.qml")})) {
            QFile file(scenes.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QString source = QString::fromUtf8(file.readAll());
            for (auto it = literal.globalMatch(source); it.hasNext();) {
                literals.insert(normalized(it.next().captured(1)));
            }
        }
        return literals;
    }();
    return data;
}

QString report(AppLanguage language, const QString& view, const QStringList& texts) {
    const ShownTextChecker checker(language);
    QString found;
    for (const QString& entry : texts) {
        const QString where = entry.section(u'\t', 0, 0);
        const QString text = entry.section(u'\t', 1);
        if (sceneData().contains(normalized(text))) continue;
        const Verdict verdict = checker.verdict(text);
        if (verdict == Verdict::translated || verdict == Verdict::value) continue;
        found += QStringLiteral("%1 [%2] %3 (%4): %5\n")
                     .arg(view, code(language), where,
                          verdict == Verdict::frenchKey ? QStringLiteral("French key shown as is")
                                                        : QStringLiteral("not from the table"),
                          normalized(text));
    }
    return found;
}

class ShownTexts : public ::testing::TestWithParam<AppLanguage> {};

class ViewTexts : public ::testing::TestWithParam<std::pair<const char*, AppLanguage>> {};

TEST_P(ViewTexts, AreTranslationsAndValues) {
    const auto [name, language] = GetParam();
    const QByteArray qml = viewSource(name);
    ASSERT_FALSE(qml.isEmpty()) << name;
    loadBundledFonts();
    QString error;
    const QStringList texts = shownTexts(qml, language, QString::fromLatin1(name), error);
    ASSERT_TRUE(error.isEmpty()) << name << ": " << error.toStdString();
    EXPECT_FALSE(texts.isEmpty()) << name << " shows no text";
    const QString found = report(language, QString::fromLatin1(name), texts);
    EXPECT_TRUE(found.isEmpty()) << found.toStdString();
}

// Every onboarding step, dashboard state, mini dashboard, ledger sheet and settings card.
std::vector<std::pair<const char*, AppLanguage>> everyViewInEnglishAndGerman() {
    std::vector<std::pair<const char*, AppLanguage>> views;
    for (const char* view : {"OnboardingIntro",
                             "OnboardingAddressValid",
                             "OnboardingAddressInvalid",
                             "OnboardingSmart",
                             "OnboardingAutostart",
                             "OnboardingAwake",
                             "DashboardMining",
                             "DashboardSyncing",
                             "DashboardFailed",
                             "DashboardPayoutAlert",
                             "DashboardSchedule",
                             "DashboardBlockFound",
                             "MiniMining",
                             "MiniSyncing",
                             "LedgerIntact",
                             "LedgerAltered",
                             "LedgerUnreadable",
                             "PanelWallet",
                             "PanelDiagnostics",
                             "SettingsWallet",
                             "SettingsSafety",
                             "SettingsNode",
                             "SettingsCpu",
                             "SettingsLedger",
                             "SettingsHashes",
                             "SettingsMenuBar",
                             "SettingsDiagnostics",
                             "SettingsSettings",
                             "SettingsAbout"}) {
        for (const AppLanguage language : {AppLanguage::english, AppLanguage::german}) {
            views.emplace_back(view, language);
        }
    }
    return views;
}

INSTANTIATE_TEST_SUITE_P(Views, ViewTexts, ::testing::ValuesIn(everyViewInEnglishAndGerman()),
                         [](const auto& info) {
                             return std::string(info.param.first) + "_" +
                                    code(info.param.second).toStdString();
                         });

TEST_P(ShownTexts, TheTrayShowsOnlyTranslationsAndValues) {
    const LanguageScope language(GetParam());
    QStringList texts;
    for (const ShellRunState state :
         {ShellRunState::idle, ShellRunState::startingNode, ShellRunState::syncing,
          ShellRunState::mining, ShellRunState::stopping, ShellRunState::failed}) {
        for (const bool paused : {false, true}) {
            TrayInputs inputs;
            inputs.runState = state;
            inputs.governorPaused = paused;
            inputs.hashRateMHs = 212.4;
            inputs.earningsSats = 312500000;
            inputs.scanCoversConfiguredAddress = paused;
            inputs.rpcLinkState = paused ? 2 : 1;
            inputs.freshChainStatus = TrayInputs::Chain{870000, 870012, paused};
            inputs.peerCount = 8;
            inputs.network = paused ? QStringLiteral("regtest") : QStringLiteral("mainnet");
            inputs.updatesConfigured = paused;
            inputs.showHashRate = true;
            const TrayMenu menu = trayMenu(inputs);
            texts << QStringLiteral("status\t") + menu.statusText
                  << QStringLiteral("badge\t") + menu.networkBadge
                  << QStringLiteral("tooltip\t") + trayToolTip(inputs);
            for (const TrayRow& row : menu.rows) {
                texts << QStringLiteral("row\t") + row.label
                      << QStringLiteral("value\t") + row.value
                      << QStringLiteral("row tooltip\t") + row.toolTip;
            }
        }
    }
    const QString found = report(GetParam(), QStringLiteral("tray menu"), texts);
    EXPECT_TRUE(found.isEmpty()) << found.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, ShownTexts,
                         ::testing::Values(AppLanguage::english, AppLanguage::german),
                         [](const auto& info) { return code(info.param).toStdString(); });

// The checker itself: a French key, a French unit and a stray sentence are caught.
TEST(ShownTextChecker, TellsTranslationsValuesAndFrenchKeysApart) {
    const ShownTextChecker english(AppLanguage::english);
    EXPECT_EQ(english.verdict(QStringLiteral("Mining stopped")), Verdict::translated);
    EXPECT_EQ(english.verdict(QStringLiteral("MINING STOPPED")), Verdict::translated);
    EXPECT_EQ(english.verdict(QStringLiteral("Minage arrêté")), Verdict::frenchKey);
    EXPECT_EQ(english.verdict(QStringLiteral("12.00 GB")), Verdict::translated);
    EXPECT_EQ(english.verdict(QStringLiteral("12.00 Go")), Verdict::unknown);
    EXPECT_EQ(english.verdict(QStringLiteral("0000000000000000000a1b2c…d72728a054")),
              Verdict::value);
    EXPECT_EQ(english.verdict(QStringLiteral("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4")),
              Verdict::value);
    EXPECT_EQ(english.verdict(QStringLiteral("Mine **without** slowing down your computer")),
              Verdict::translated);
    EXPECT_EQ(english.verdict(QStringLiteral("without")), Verdict::translated);
    EXPECT_EQ(english.verdict(QStringLiteral("A sentence nobody wrote")), Verdict::unknown);
    const ShownTextChecker german(AppLanguage::german);
    EXPECT_EQ(german.verdict(QStringLiteral("Mining stopped")), Verdict::unknown);
}

}  // namespace
}  // namespace corvanta
