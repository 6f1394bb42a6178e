// The QML tests of the app's module: headless, with our translator over the table, and failing
// on any warning, also those outside a test function.
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>

#include <atomic>
#include <cstdio>

#include "AppTestEnvironment.h"
#include "Shell/ShellHarness.h"
#include "TestSupport.h"
#include "Localization/AppTranslator.h"
#include "Shell/CorvantaApp.h"
#include "Localization/Localization.h"

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
