// The QML tests of the app's module: headless, with our translator over the table, and failing
// on any warning, also those outside a test function.
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>
#include <QGuiApplication>
#include <QHash>
#include <QQmlContext>
#include <QQmlEngine>
#include <QRegularExpression>

#include <atomic>
#include <cstdio>
#include <vector>

#include "AppTestEnvironment.h"
#include "Localization/AppTranslator.h"
#include "Localization/Localization.h"
#include "Localization/TranslationTable.h"
#include "Shell/CorvantaApp.h"
#include "Shell/ShellHarness.h"
#include "TestSupport.h"

Q_IMPORT_QML_PLUGIN(CorvantaPlugin)

namespace {

std::atomic<int> unexpectedWarnings{0};
QtMessageHandler previousHandler = nullptr;

void strictHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) ++unexpectedWarnings;
    if (previousHandler != nullptr) previousHandler(type, context, message);
}

// What the QML tests may ask of the application: switch the language, read the table.
class Language : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    Q_INVOKABLE void set(const QString& code) {
        if (const auto language = corvanta::appLanguage(code)) {
            corvanta::Localization::shared().setLanguage(*language);
        }
    }
    Q_INVOKABLE QString translation(const QString& code, const QString& key) const {
        const auto language = corvanta::appLanguage(code);
        return language ? corvanta::translation(*language, key).value_or(QString()) : QString();
    }
    // The key whose English text `shown` is, filled in, where the language `code` says it
    // otherwise; empty when `shown` is no such English text.
    Q_INVOKABLE QString englishInstead(const QString& code, const QString& shown) {
        const auto language = corvanta::appLanguage(code);
        if (!language || *language == corvanta::AppLanguage::english) return {};
        const QString seen = code + QChar(u'\n') + shown;
        if (const auto known = answers_.constFind(seen); known != answers_.cend()) return *known;
        QString found;
        for (const Pattern& pattern : patterns()) {
            if (!fits(pattern.english, shown)) continue;
            const QString own = corvanta::translation(*language, pattern.key).value_or(pattern.key);
            if (!fits(pieces(own), shown)) {
                found = pattern.key;
                break;
            }
        }
        answers_.insert(seen, found);
        return found;
    }

  private:
    struct Pattern {
        QString key;
        QStringList english;
    };
    // A text cut at its placeholders: what stands between them, in order.
    static QStringList pieces(const QString& text) {
        static const QRegularExpression placeholder(QStringLiteral("%[0-9.]*[@dfsu]"));
        QStringList list = text.split(placeholder);
        for (QString& piece : list) piece.replace(QStringLiteral("%%"), QStringLiteral("%"));
        return list;
    }
    // Whether `shown` is the text of `pieces` with anything in place of each placeholder.
    static bool fits(const QStringList& pieces, const QString& shown) {
        if (pieces.size() == 1) return shown == pieces.front();
        if (!shown.startsWith(pieces.front()) || !shown.endsWith(pieces.back())) return false;
        qsizetype at = pieces.front().size();
        for (qsizetype i = 1; i + 1 < pieces.size(); ++i) {
            at = shown.indexOf(pieces[i], at);
            if (at < 0) return false;
            at += pieces[i].size();
        }
        return shown.size() - pieces.back().size() >= at;
    }
    // Rows whose English words are their own: three letters or more outside the placeholders.
    static const std::vector<Pattern>& patterns() {
        static const std::vector<Pattern> built = [] {
            std::vector<Pattern> list;
            static const QRegularExpression letters(QStringLiteral("[A-Za-z]{3,}"));
            for (const corvanta::TranslationRow& row : corvanta::translationTable().rows) {
                const QStringList english = pieces(row.text(corvanta::AppLanguage::english));
                if (!letters.match(english.join(QString())).hasMatch()) continue;
                list.push_back({row.key(), english});
            }
            return list;
        }();
        return built;
    }

    QHash<QString, QString> answers_;
};

class Setup : public QObject {
    Q_OBJECT

  public slots:
    void applicationAvailable() {
        previousHandler = qInstallMessageHandler(strictHandler);
        // Drawn with the typefaces the application bundles.
        corvanta::loadBundledFonts();
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        corvanta::AppTranslator::install(corvanta::Localization::shared(), *engine);
        engine->rootContext()->setContextProperty(QStringLiteral("language"), new Language(engine));
        engine->rootContext()->setContextProperty(QStringLiteral("harness"),
                                                  new corvanta::testing::ShellHarness(*engine));
    }
};

}  // namespace

int main(int argc, char** argv) {
    const corvanta::testing::TempDir root;
    corvanta::testing::useHeadlessEnvironment(root.path());
    Setup setup;
    const int result =
        quick_test_main_with_setup(argc, argv, "CorvantaAppQuick", QUICK_TEST_SOURCE_DIR, &setup);
    if (unexpectedWarnings > 0) {
        std::fprintf(stderr, "FAIL! %d unexpected warning(s) during the QML tests\n",
                     int(unexpectedWarnings));
        return result != 0 ? result : 1;
    }
    return result;
}

#include "QuickTestMain.moc"
