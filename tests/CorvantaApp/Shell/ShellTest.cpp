// The app shell's rules: the window configurator, the content and its appear/disappear steps,
// start-up, the activation policy, the quit path, the single instance, the tray table.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QMetaMethod>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRawFont>
#include <QScreen>
#include <QSignalSpy>

#include <atomic>
#include <csignal>
#include <thread>

#include "AppTestEnvironment.h"
#include "FakeSession.h"
#include "LanguageScope.h"
#include "MenuBar/TrayMenuModel.h"
#include "Session/MiningSessionModel.h"
#include "Shell/AppDelegate.h"
#include "Shell/ControlStyle.h"
#include "Shell/CorvantaApp.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"
#include "Shell/SingleInstance.h"
#include "Shell/Symbols.h"
#include "Shell/TerminationSignals.h"
#include "Shell/Theme.h"
#include "Shell/WindowConfigurator.h"
#include "TestSupport.h"

namespace corvanta {
namespace {

using Window = WindowConfigurator::Window;
using Memory = WindowConfigurator::Memory;

// A window without decorations on a 1,920 × 1,080 screen whose top 30 points are a panel.
Window window(QSizeF content, QPointF at = {100, 100}, bool floating = false,
              bool titleHidden = false) {
    return {floating, titleHidden, content, QRectF(at, content), QRectF(0, 30, 1920, 1050)};
}

WindowConfigurator mode(bool compact, bool floating = false) {
    WindowConfigurator configurator;
    configurator.compact = compact;
    configurator.floating = floating;
    return configurator;
}

TEST(WindowConfigurator, SizesOnlyOnTheFirstApplicationAndOnAChangeOfMode) {
    Memory memory;
    // The first application in full mode brings the window to the full size.
    auto changes = mode(false).apply(window({640, 480}), memory);
    EXPECT_EQ(changes.contentSize, QSizeF(900, 860));
    EXPECT_EQ(memory.wasCompact, false);
    // The same mode again: the level and title follow, nothing is resized or moved.
    changes = mode(false).apply(window({1000, 700}, {-50, 100}, true, true), memory);
    EXPECT_EQ(changes, (WindowConfigurator::Changes{false, false, std::nullopt, std::nullopt}));
    // Toggling floating while compact changes only the level.
    mode(true, true).apply(window({1000, 700}), memory);
    changes = mode(true, false).apply(window({380, 377}, {100, 100}, true, true), memory);
    EXPECT_EQ(changes,
              (WindowConfigurator::Changes{false, std::nullopt, std::nullopt, std::nullopt}));
}

TEST(WindowConfigurator, RemembersTheFullSizeAcrossMiniMode) {
    struct Case {
        const char* name;
        QSizeF before;
        QRectF visible;
        QSizeF expected;
    } const cases[] = {
        {"each side the larger of saved and full", {1200, 700}, {0, 0, 1920, 1080}, {1200, 860}},
        {"381 wide saves nothing", {381, 900}, {0, 0, 1920, 1080}, {900, 860}},
        {"382 wide is saved", {382, 900}, {0, 0, 1920, 1080}, {900, 900}},
        {"clamped to the visible area", {1200, 700}, {0, 0, 1280, 700}, {1200, 700}},
        {"a small screen", {400, 300}, {0, 0, 1280, 700}, {900, 700}},
    };
    for (const Case& c : cases) {
        Memory memory{std::nullopt, false};
        Window full{false, false, c.before, QRectF(QPointF(0, 0), c.before), c.visible};
        const auto entering = mode(true).apply(full, memory);
        EXPECT_EQ(entering.contentSize, QSizeF(380, 377)) << c.name;
        EXPECT_EQ(entering.titleHidden, true) << c.name;
        // The content is switched in between; the memory stays with the window.
        Window mini{false, true, {380, 377}, QRectF(0, 0, 380, 377), c.visible};
        EXPECT_EQ(mode(false).apply(mini, memory).contentSize, c.expected) << c.name;
        EXPECT_FALSE(memory.sizeBeforeCompacting) << c.name;
    }
}

TEST(WindowConfigurator, HoldsTheFullWindowToItsMinimumAndTheMiniWindowToItsSize) {
    // Full mode, at its full size already (a first launch): the minimum holds all the same.
    const auto full = mode(false).limits(window({900, 860}));
    EXPECT_EQ(full.minimum, QSizeF(820, 560));
    EXPECT_GT(full.maximum.width(), 10000);
    EXPECT_GT(full.maximum.height(), 10000);
    EXPECT_EQ(mode(true).limits(window({380, 377})),
              (WindowConfigurator::Limits{{380, 377}, {380, 377}}));
    // A screen that shows less than the minimum: as much as it shows, decorations excluded.
    const Window small{false, false, {900, 860}, QRectF(0, 0, 900, 890), QRectF(0, 0, 800, 500)};
    EXPECT_EQ(mode(false).limits(small).minimum, QSizeF(800, 470));
    // No screen known: the minimum as it is.
    EXPECT_EQ(mode(false).limits({false, false, {900, 860}, {}, std::nullopt}).minimum,
              QSizeF(820, 560));
}

TEST(WindowConfigurator, ResizesOnlyPastHalfAPointAndMovesBackOnScreen) {
    Memory memory;
    EXPECT_FALSE(mode(false).apply(window({900.5, 859.5}), memory).contentSize);
    Memory other;
    EXPECT_TRUE(mode(false).apply(window({900.6, 860}), other).contentSize);

    const QRectF visible(0, 30, 1920, 1050);
    const struct {
        QRectF frame;
        std::optional<QPointF> expected;
    } moves[] = {
        {{100, 100, 900, 860}, std::nullopt},
        {{1500, 100, 900, 860}, QPointF(1020, 100)},
        {{-40, 0, 900, 860}, QPointF(0, 30)},
        {{100, 900, 900, 860}, QPointF(100, 220)},
        // Wider than the area: on its left edge; taller: its title bar stays reachable on top.
        {{500, 500, 2500, 1200}, QPointF(0, 30)},
    };
    for (const auto& move : moves) {
        EXPECT_EQ(WindowConfigurator::moveBackOnScreen(move.frame, visible), move.expected)
            << move.frame.x() << "," << move.frame.y();
    }
    // With no screen known, nothing is clamped or moved.
    Memory none{QSizeF(3000, 2000), true};
    const auto changes = mode(false).apply(
        {false, true, {380, 377}, QRectF(5000, 5000, 380, 377), std::nullopt}, none);
    EXPECT_EQ(changes.contentSize, QSizeF(3000, 2000));
    EXPECT_EQ(changes.position, std::nullopt);
}

TEST(WindowConfigurator, OnceFramedTheWindowFitsTheScreenItOpenedOn) {
    // A window manager's frame: 1 px on the sides, a 20 px title bar, a 5 px bottom edge.
    const auto framed = [](QPointF at, QSizeF content, QRectF visible) {
        WindowConfigurator::Window state;
        state.contentSize = content;
        state.frame = QRectF(at, content + QSizeF(2, 25));
        state.visibleArea = visible;
        return state;
    };
    // 900 x 860 on a 1600 x 1000 screen, placed too low and too far right: moved, not resized.
    auto changes = mode(false).fitOnScreen(framed({700, 155}, {900, 860}, {0, 0, 1600, 1000}));
    EXPECT_EQ(changes.contentSize, std::nullopt);
    EXPECT_EQ(changes.position, QPointF(698, 115));
    // On 1280 x 720 the content gives way to the frame: 695 high, frame from the top edge.
    changes = mode(false).fitOnScreen(framed({1, 20}, {900, 720}, {0, 0, 1280, 720}));
    EXPECT_EQ(changes.contentSize, QSizeF(900, 695));
    EXPECT_EQ(changes.position, QPointF(1, 0));
    // Already inside: nothing at all.
    changes = mode(false).fitOnScreen(framed({100, 100}, {900, 500}, {0, 0, 1280, 720}));
    EXPECT_EQ(changes, WindowConfigurator::Changes{});
    // Left where a screen that is gone used to be: brought back whole.
    changes = mode(false).fitOnScreen(framed({3000, -400}, {900, 600}, {0, 0, 1280, 720}));
    EXPECT_EQ(changes.position, QPointF(378, 0));
    // The mini dashboard keeps its fixed size; only its place changes.
    changes = mode(true).fitOnScreen(framed({1200, 700}, {380, 377}, {0, 0, 1280, 720}));
    EXPECT_EQ(changes.contentSize, std::nullopt);
    EXPECT_EQ(changes.position, QPointF(898, 318));
    // No screen known: nothing to fit to.
    auto unknown = framed({3000, 3000}, {900, 860}, {});
    unknown.visibleArea.reset();
    EXPECT_EQ(mode(false).fitOnScreen(unknown), WindowConfigurator::Changes{});
}

// An application shell over a fake session model, with its own preferences file.
struct Shell {
    explicit Shell(const std::filesystem::path& folder)
        : prefs(Preferences(QString::fromStdString((folder / "prefs.ini").string()))),
          platform(Platform::Hooks{}, nullptr) {}

    AppDelegate& make(bool updatesConfigured = false) {
        AppDelegate::Hooks hooks;
        hooks.updatesConfigured = updatesConfigured;
        hooks.checkForUpdates = [this] { ++updateChecks; };
        hooks.makeSession = [this](QObject* parent) {
            ++sessionsMade;
            return testing::makeFakeSession(engine, parent);
        };
        hooks.openMainWindow = [this] { ++windowOpens; };
        hooks.terminate = [this] { ++terminations; };
        hooks.now = [this] { return clock; };
        delegate = std::make_unique<AppDelegate>(prefs, platform, std::move(hooks));
        return *delegate;
    }
    QObject& session() { return delegate->session(); }
    void setRunState(ShellRunState state) { session().setProperty("runState", int(state)); }

    QQmlEngine engine;
    Prefs prefs;
    Platform platform;
    std::unique_ptr<AppDelegate> delegate;
    double clock = 1'780'000'000;
    int sessionsMade = 0;
    int windowOpens = 0;
    int terminations = 0;
    int updateChecks = 0;
};

TEST(AppDelegate, StartsTheSessionWhenContentAppearsOnASetUpMachineIdleOrFailed) {
    const std::pair<ShellRunState, bool> states[] = {
        {ShellRunState::idle, true},          {ShellRunState::failed, true},
        {ShellRunState::startingNode, false}, {ShellRunState::syncing, false},
        {ShellRunState::mining, false},       {ShellRunState::stopping, false},
    };
    for (const bool onboarded : {false, true}) {
        for (const auto& [state, starts] : states) {
            const testing::TempDir dir;
            Shell shell(dir.path());
            shell.prefs.setOnboardingCompleted(onboarded);
            AppDelegate& delegate = shell.make();
            EXPECT_EQ(delegate.sessionIfMade(), nullptr);
            shell.setRunState(state);
            delegate.contentAppeared();
            const QStringList expected =
                starts && onboarded ? QStringList{"start()"} : QStringList{};
            EXPECT_EQ(testing::calls(shell.session()), expected) << int(state) << onboarded;
            EXPECT_EQ(shell.sessionsMade, 1);
        }
    }
}

TEST(AppDelegate, StartedInTheBackgroundTheSessionStartsAsIfTheWindowHadOpened) {
    for (const bool onboarded : {false, true}) {
        const testing::TempDir dir;
        Shell shell(dir.path());
        shell.prefs.setOnboardingCompleted(onboarded);
        AppDelegate& delegate = shell.make();
        delegate.startInBackground();
        EXPECT_EQ(testing::calls(shell.session()),
                  onboarded ? QStringList{"start()"} : QStringList{});
        // The window stays closed until asked for.
        EXPECT_FALSE(delegate.mainWindowIsOpen());
        EXPECT_EQ(shell.windowOpens, 0);
        // Opening it later starts nothing more while the session runs.
        shell.setRunState(ShellRunState::mining);
        delegate.contentAppeared();
        EXPECT_EQ(testing::calls(shell.session()).size(), onboarded ? 1 : 0);
    }
}

TEST(AppDelegate, SwitchesContentDisappearingFirstAndRestartsAStoppedSession) {
    const testing::TempDir dir;
    Shell shell(dir.path());
    AppDelegate& delegate = shell.make();
    EXPECT_EQ(delegate.contentName(), "onboarding");
    delegate.contentAppeared();
    EXPECT_TRUE(testing::calls(shell.session()).isEmpty());

    QStringList order;
    QObject::connect(&delegate, &AppDelegate::mainWindowIsOpenChanged,
                     [&] { order << (delegate.mainWindowIsOpen() ? "appear" : "disappear"); });
    QObject::connect(&delegate, &AppDelegate::contentChanged,
                     [&] { order << delegate.contentName(); });
    delegate.finishOnboarding();
    EXPECT_EQ(order, (QStringList{"disappear", "dashboard", "appear"}));
    EXPECT_TRUE(delegate.mainWindowIsOpen());
    // The flow has started the session itself: its end starts nothing more, even when that
    // start failed or left the session idle.
    EXPECT_TRUE(testing::calls(shell.session()).isEmpty());

    // Mining: a switch starts nothing more; stopped: the switch starts it again.
    shell.setRunState(ShellRunState::mining);
    delegate.enterMiniMode();
    EXPECT_EQ(delegate.contentName(), "mini");
    shell.setRunState(ShellRunState::idle);
    delegate.leaveMiniMode();
    EXPECT_EQ(testing::calls(shell.session()), QStringList{"start()"});
    // Failed: switching between mini and full does not try again.
    shell.setRunState(ShellRunState::failed);
    delegate.enterMiniMode();
    delegate.leaveMiniMode();
    EXPECT_EQ(testing::calls(shell.session()), QStringList{"start()"});
    // Closed and reopened: an idle or failed session starts again.
    delegate.contentDisappeared();
    delegate.contentAppeared();
    EXPECT_EQ(testing::calls(shell.session()).size(), 2);
    EXPECT_EQ(shell.sessionsMade, 1);
}

TEST(AppDelegate, StampsTheFirstLaunchOnceAndRecordsThePolicy) {
    const testing::TempDir dir;
    Shell shell(dir.path());
    shell.prefs.setShowDockIcon(false);
    AppDelegate& delegate = shell.make();
    QStringList policies;
    QObject::connect(&shell.platform, &Platform::activationPolicyChanged,
                     [&] { policies << shell.platform.activationPolicyName(); });
    delegate.didFinishLaunching();
    EXPECT_EQ(shell.platform.activationPolicyName(), "accessory");
    delegate.contentAppeared();
    EXPECT_EQ(shell.prefs.firstLaunchAt(), 1'780'000'000);
    delegate.contentDisappeared();
    shell.clock += 500;
    delegate.contentAppeared();
    EXPECT_EQ(shell.prefs.firstLaunchAt(), 1'780'000'000);
    EXPECT_EQ(policies, (QStringList{"accessory", "regular", "accessory", "regular"}));

    // With the Dock icon preference absent the application stays regular.
    const testing::TempDir other;
    Shell regular(other.path());
    regular.make().didFinishLaunching();
    regular.delegate->contentAppeared();
    regular.delegate->contentDisappeared();
    EXPECT_EQ(regular.platform.activationPolicyName(), "regular");
}

TEST(AppDelegate, ReopenAndSettingsOpenTheWindowTheRightWay) {
    const testing::TempDir dir;
    Shell shell(dir.path());
    AppDelegate& delegate = shell.make();
    delegate.reopen(true);
    EXPECT_EQ(shell.windowOpens, 0);
    delegate.reopen(false);
    EXPECT_EQ(shell.windowOpens, 1);

    // During onboarding the settings only open the window.
    delegate.openSettings();
    EXPECT_EQ(shell.windowOpens, 2);
    EXPECT_FALSE(delegate.openAdvancedOnAppear());

    // From mini mode: out of it, with the settings asked for.
    shell.prefs.setOnboardingCompleted(true);
    shell.prefs.setMiniMode(true);
    delegate.openSettings();
    EXPECT_FALSE(shell.prefs.miniMode());
    EXPECT_TRUE(delegate.openAdvancedOnAppear());
    EXPECT_EQ(delegate.contentName(), "dashboard");

    // The dashboard already on screen is asked directly.
    delegate.setOpenAdvancedOnAppear(false);
    delegate.contentAppeared();
    QSignalSpy asked(&delegate, &AppDelegate::settingsRequested);
    delegate.openSettings();
    EXPECT_EQ(asked.count(), 1);
    EXPECT_EQ(shell.windowOpens, 4);

    // The mini dashboard's own settings button and floating toggle.
    delegate.enterMiniMode();
    delegate.openSettingsFromMini();
    EXPECT_TRUE(delegate.openAdvancedOnAppear());
    EXPECT_FALSE(shell.prefs.miniMode());
    delegate.toggleFloating();
    EXPECT_FALSE(shell.prefs.miniFloatsAboveOthers());
}

TEST(AppDelegate, TheTraysUpdateCommandChecksOnlyInABuildWithUpdates) {
    const testing::TempDir dir;
    Shell without(dir.path());
    without.make(false).checkForUpdates();
    EXPECT_EQ(without.updateChecks, 0);
    const testing::TempDir other;
    Shell with(other.path());
    with.make(true).checkForUpdates();
    EXPECT_EQ(with.updateChecks, 1);
}

TEST(AppDelegate, EveryQuitPathEndsOnceAfterTheSessionsShutdown) {
    {
        // No session was ever made: at once.
        const testing::TempDir dir;
        Shell shell(dir.path());
        shell.make().requestQuit();
        EXPECT_EQ(shell.terminations, 1);
        EXPECT_EQ(shell.sessionsMade, 0);
    }
    for (const auto state :
         {ShellRunState::idle, ShellRunState::failed, ShellRunState::startingNode,
          ShellRunState::syncing, ShellRunState::mining, ShellRunState::stopping}) {
        const testing::TempDir dir;
        Shell shell(dir.path());
        AppDelegate& delegate = shell.make();
        shell.setRunState(state);
        // A node still stopping after an idle or failed session is waited for too.
        shell.session().setProperty("holdShutdown", true);
        delegate.requestQuit();
        delegate.requestQuit();
        EXPECT_EQ(testing::calls(shell.session()), QStringList{"shutdownForTermination()"});
        EXPECT_EQ(shell.terminations, 0) << int(state);
        // Nothing appears or starts while quitting.
        delegate.contentAppeared();
        EXPECT_EQ(testing::calls(shell.session()).size(), 1);
        QMetaObject::invokeMethod(&shell.session(), "finishShutdown");
        QMetaObject::invokeMethod(&shell.session(), "finishShutdown");
        EXPECT_EQ(shell.terminations, 1) << int(state);
    }
    {
        // A session that is done answers at once.
        const testing::TempDir dir;
        Shell shell(dir.path());
        AppDelegate& delegate = shell.make();
        shell.session();
        delegate.requestQuit();
        EXPECT_EQ(shell.terminations, 1);
    }
}

TEST(AppDelegate, TerminationSignalsReachTheQuitPath) {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        TerminationSignals termination;
        QSignalSpy received(&termination, &TerminationSignals::received);
        ::raise(number);
        ASSERT_TRUE(testing::waitUntil([&] { return received.count() == 1; })) << number;
        EXPECT_EQ(received.at(0).at(0).toInt(), number);
    }
}

TEST(SessionSurface, TheFakeModelBearsTheRealModelsWholeSurface) {
    QQmlEngine engine;
    std::unique_ptr<QObject> fake(testing::makeFakeSession(engine));
    const QMetaObject& real = MiningSessionModel::staticMetaObject;
    const QMetaObject* stand = fake->metaObject();
    int properties = 0;
    for (int i = real.propertyOffset(); i < real.propertyCount(); ++i, ++properties) {
        const QMetaProperty property = real.property(i);
        const int index = stand->indexOfProperty(property.name());
        ASSERT_GE(index, 0) << "the fake lacks " << property.name();
        // Every property of the fake is settable; those the views write must be so on both.
        if (property.isWritable()) {
            EXPECT_TRUE(stand->property(index).isWritable()) << property.name();
        }
        EXPECT_TRUE(stand->property(index).hasNotifySignal()) << property.name();
    }
    EXPECT_GT(properties, 70);
    for (int i = real.methodOffset(); i < real.methodCount(); ++i) {
        const QMetaMethod method = real.method(i);
        if (method.access() != QMetaMethod::Public) continue;
        const bool notify =
            method.methodType() == QMetaMethod::Signal && method.name().endsWith("Changed");
        if (notify) continue;
        bool found = false;
        for (int j = stand->methodOffset(); j < stand->methodCount(); ++j) {
            const QMetaMethod candidate = stand->method(j);
            // A script function is a slot of the fake's meta-object.
            found |= candidate.name() == method.name() &&
                     candidate.parameterCount() == method.parameterCount() &&
                     (candidate.methodType() == QMetaMethod::Signal) ==
                         (method.methodType() == QMetaMethod::Signal);
        }
        EXPECT_TRUE(found) << "the fake lacks " << method.methodSignature().toStdString();
    }
    // The run states read the same numbers on both sides.
    EXPECT_EQ(int(MiningSessionModel::RunStateKind::failed), int(ShellRunState::failed));
    EXPECT_EQ(int(MiningSessionModel::RunStateKind::mining), int(ShellRunState::mining));
}

TEST(SingleInstance, ASecondLaunchForwardsReopenAndADeadSocketIsTakenOver) {
    const testing::TempDir dir;
    const QString name = SingleInstance::socketName(QString::fromStdString(dir.path().string()));
    EXPECT_NE(name,
              SingleInstance::socketName(QString::fromStdString((dir.path() / "x").string())));
    EXPECT_FALSE(SingleInstance::forwardReopen(name, 200));
    {
        SingleInstance first;
        ASSERT_TRUE(first.listen(name)) << first.errorString().toStdString();
        SingleInstance second;
        EXPECT_FALSE(second.listen(name));
        QSignalSpy reopened(&first, &SingleInstance::reopenRequested);
        std::atomic<bool> forwarded = false;
        // The forwarding side blocks; the first instance answers from its own event loop.
        std::jthread second_launch([&] { forwarded = SingleInstance::forwardReopen(name); });
        EXPECT_TRUE(testing::waitUntil([&] { return reopened.count() == 1; }));
        EXPECT_TRUE(testing::waitUntil([&] { return forwarded.load(); }));
        // Anything but "reopen" is dropped.
        QLocalSocket stranger;
        stranger.connectToServer(name);
        ASSERT_TRUE(stranger.waitForConnected(1000));
        stranger.write("quit\n");
        stranger.flush();
        testing::settle(200);
        EXPECT_EQ(reopened.count(), 1);
    }
    // A file left at the socket's place by an instance that died does not block the next.
    const QString stale = QDir::tempPath() + "/" + name;
    QFile(stale).open(QIODevice::WriteOnly);
    SingleInstance next;
    EXPECT_TRUE(next.listen(name)) << next.errorString().toStdString();
}

TEST(Platform, RevealsAFileOrElseOpensItsFolderOrTheNearestOneThatExists) {
    const testing::TempDir dir;
    const QString data = QString::fromStdString((dir.path() / "Corvanta").string());
    const QString ledger = data + "/proof.log";
    testing::writeText(ledger.toStdString(), "");
    for (const bool fileManagerAnswers : {true, false}) {
        QStringList opened;
        QStringList shown;
        Platform::Hooks hooks;
        hooks.openUrl = [&](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        };
        hooks.showInFileManager = [&](const QString& file, std::function<void(bool)> done) {
            shown << file;
            done(fileManagerAnswers);
        };
        Platform platform(std::move(hooks), nullptr);
        platform.revealFile(ledger);
        platform.revealFile("");
        EXPECT_EQ(shown, QStringList{ledger});
        EXPECT_EQ(opened, fileManagerAnswers ? QStringList{} : QStringList{data});
        EXPECT_FALSE(platform.openUrl(QUrl()));
        EXPECT_TRUE(platform.openUrl(QUrl("https://corvanta.example/support.html")));

        // No ledger yet, nor its network's folder: the file manager is not asked about a file
        // that is not there; the nearest folder that exists opens.
        opened.clear();
        shown.clear();
        platform.revealFile(data + "/regtest/proof/proof.log");
        EXPECT_TRUE(shown.isEmpty());
        EXPECT_EQ(opened, QStringList{data});
    }
    EXPECT_EQ(nearestExistingFolder("/no/such/folder/file"), "/");
}

TEST(Prefs, DefaultsWhenAbsentOrNotABooleanAndSignalsOnlyOnChange) {
    const testing::TempDir dir;
    const QString file = QString::fromStdString((dir.path() / "prefs.ini").string());
    Preferences raw(file);
    for (const char* key : {"showInMenuBar", "showHashRateInMenuBar", "miniMode",
                            "miniFloatsAboveOthers", "showDockIcon", "onboardingCompleted"}) {
        raw.setString(QStringLiteral("rigwell.") + key, "yes");
    }
    raw.setString("rigwell.firstLaunchAt", "soon");
    Prefs prefs{Preferences(file)};
    EXPECT_TRUE(prefs.showInMenuBar());
    EXPECT_FALSE(prefs.showHashRateInMenuBar());
    EXPECT_FALSE(prefs.miniMode());
    EXPECT_TRUE(prefs.miniFloatsAboveOthers());
    EXPECT_TRUE(prefs.showDockIcon());
    EXPECT_FALSE(prefs.onboardingCompleted());
    EXPECT_FALSE(prefs.reviewPromptAnswered());
    EXPECT_EQ(prefs.firstLaunchAt(), 0);
    EXPECT_EQ(prefs.appTheme(), "light");

    QSignalSpy menuBar(&prefs, &Prefs::showInMenuBarChanged);
    prefs.setShowInMenuBar(true);  // the value read already: stored, no signal
    EXPECT_EQ(raw.boolean("rigwell.showInMenuBar"), true);
    prefs.setShowInMenuBar(false);
    EXPECT_EQ(menuBar.count(), 1);
    QSignalSpy theme(&prefs, &Prefs::appThemeChanged);
    for (const char* name : {"Dark", "dark", "dark", ""}) prefs.setAppTheme(name);
    EXPECT_EQ(theme.count(), 3);
    EXPECT_FALSE(prefs.darkTheme());
}

TEST(Theme, PaletteFollowsTheThemeAtOnce) {
    const testing::TempDir dir;
    Prefs prefs{Preferences(QString::fromStdString((dir.path() / "prefs.ini").string()))};
    Theme theme(prefs, nullptr);
    const auto rgba = [](const QColor& color) { return color.name(QColor::HexArgb); };
    EXPECT_EQ(rgba(theme.cardBackground()), "#ffffffff");
    EXPECT_EQ(theme.cardBorder().rgb(), QColor("#37322E").rgb());
    EXPECT_NEAR(theme.cardBorder().alphaF(), 0.10, 0.003);
    EXPECT_EQ(theme.accentDim().rgb(), QColor("#8064E8").rgb());
    EXPECT_NEAR(theme.accentDim().alphaF(), 0.60, 0.003);
    QSignalSpy changed(&theme, &Theme::changed);
    prefs.setAppTheme("dark");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(rgba(theme.cardBackground()), "#ff221d2b");
    EXPECT_EQ(theme.cardBorder().rgb(), QColor("#DCD2FF").rgb());
    EXPECT_NEAR(theme.cardBorder().alphaF(), 0.14, 0.003);
    EXPECT_EQ(theme.accentDim().rgb(), QColor("#9B84F0").rgb());
    EXPECT_EQ(rgba(theme.textSecondary()), "#ff999999");
    EXPECT_EQ(theme.success(), theme.mint());
    EXPECT_EQ(theme.warning(), theme.sunny());
}

TEST(ControlStyle, TheControlsDrawFromTheThemeAndFollowItsSwitch) {
    for (const bool dark : {false, true}) {
        const Theme theme(dark, nullptr);
        const QPalette palette = controlPalette(theme);
        // On, checked and highlighted ("Oui", a switch that is on, the chosen theme): the accent,
        // with white text on it.
        EXPECT_EQ(palette.color(QPalette::Dark), theme.accent()) << dark;
        EXPECT_EQ(palette.color(QPalette::Highlight), theme.accent()) << dark;
        EXPECT_EQ(palette.color(QPalette::BrightText), QColor(Qt::white)) << dark;
        // Fields and pop-ups on the card colour, texts in the theme's.
        EXPECT_EQ(palette.color(QPalette::Base), theme.cardBackground()) << dark;
        EXPECT_EQ(palette.color(QPalette::Window), theme.cardBackground()) << dark;
        EXPECT_EQ(palette.color(QPalette::Text), theme.textPrimary()) << dark;
        EXPECT_EQ(palette.color(QPalette::PlaceholderText), theme.textSecondary()) << dark;
        // The style blends these itself: they come opaque, and an off switch stands out from
        // the card it sits on.
        for (const auto role : {QPalette::Button, QPalette::Mid, QPalette::Midlight,
                                QPalette::Light, QPalette::Window}) {
            EXPECT_EQ(palette.color(role).alpha(), 255) << dark << int(role);
        }
        EXPECT_NE(palette.color(QPalette::Midlight), palette.color(QPalette::Window)) << dark;
    }
    EXPECT_NE(controlPalette(Theme(false, nullptr)).color(QPalette::Base),
              controlPalette(Theme(true, nullptr)).color(QPalette::Base));

    // The engine's theme keeps its windows' palette in step, a switch included.
    QQuickWindow window;
    const auto role = [&](const char* name) {
        return window.property("palette").value<QObject*>()->property(name).value<QColor>();
    };
    QQmlEngine engine;
    const testing::TempDir dir;
    Prefs prefs{Preferences(QString::fromStdString((dir.path() / "prefs.ini").string()))};
    Prefs::attach(engine, prefs);
    Platform platform(Platform::Hooks{}, nullptr);
    Platform::attach(engine, platform);
    std::unique_ptr<Theme> theme(Theme::create(&engine, &engine));
    EXPECT_EQ(role("base"), QColor("#ffffff"));
    EXPECT_EQ(role("dark"), QColor("#8064e8"));
    prefs.setAppTheme("dark");
    ASSERT_TRUE(testing::waitUntil([&] { return role("base") == QColor("#221d2b"); }));
    EXPECT_EQ(role("dark"), QColor("#9b84f0"));
}

TEST(Symbols, EveryNameDrawsAGlyphOfTheBundledFont) {
    const QRawFont font(QStringLiteral(":/corvanta/fonts/MaterialIcons-Regular.ttf"), 16);
    ASSERT_TRUE(font.isValid());
    const QStringList names = symbolNames();
    EXPECT_GE(names.size(), 60);
    for (const QString& name : names) {
        EXPECT_TRUE(font.supportsCharacter(QChar(symbolGlyph(name)->codePoint)))
            << name.toStdString();
    }
    // The tray's symbols are all there.
    for (const auto state : {ShellRunState::idle, ShellRunState::syncing, ShellRunState::failed,
                             ShellRunState::mining}) {
        EXPECT_TRUE(symbolGlyph(traySymbol(state))) << int(state);
    }
    EXPECT_TRUE(symbolGlyph("bitcoinsign.circle")->ring);
    EXPECT_TRUE(symbolGlyph("bitcoinsign.circle.fill")->disc);
    EXPECT_TRUE(symbolGlyph("pin.slash")->slash);
    EXPECT_FALSE(symbolGlyph("no.such.symbol"));
    EXPECT_EQ(Symbols().glyph("no.such.symbol").value("text").toString(), "");
}

}  // namespace
}  // namespace corvanta

namespace corvanta {
namespace {

TEST(CorvantaApp, WindowFollowsTheModeClosesWithoutQuittingAndDrawsNothingWhileHidden) {
    const testing::TempDir dir;
    QQmlEngine sessions;
    Prefs prefs{Preferences(QString::fromStdString((dir.path() / "prefs.ini").string()))};
    prefs.setOnboardingCompleted(true);
    Platform platform(Platform::Hooks{}, nullptr);
    int terminations = 0;
    QObject* session = nullptr;
    CorvantaApp::Options options;
    options.makeSession = [&](QObject* parent) {
        return session = testing::makeFakeSession(sessions, parent);
    };
    options.terminate = [&] { ++terminations; };
    CorvantaApp app(prefs, platform, std::move(options));
    ASSERT_TRUE(app.launch()) << app.errorString().toStdString();
    QQuickWindow& window = *app.window();
    int frames = 0;
    QObject::connect(&window, &QQuickWindow::frameSwapped, [&] { ++frames; });
    ASSERT_TRUE(testing::waitUntil([&] { return frames > 0; }));
    EXPECT_EQ(window.title(), "Corvanta");
    // The full size, within the screen (the offscreen screen is smaller) once the frame has
    // arrived and the window has been fitted to the screen with it, however late that comes.
    const QRect area = window.screen()->availableGeometry();
    const QSize screen = area.size();
    const auto framedSize = [&] {
        return QSize(900, 860).boundedTo(screen - (window.frameGeometry().size() - window.size()));
    };
    ASSERT_TRUE(testing::waitUntil([&] {
        return !window.frameMargins().isNull() && window.size() == framedSize() &&
               area.contains(window.frameGeometry());
    })) << window.width()
        << "x" << window.height() << " in a frame of " << window.frameGeometry().width() << "x"
        << window.frameGeometry().height();
    EXPECT_EQ(testing::calls(*session), QStringList{"start()"});

    // Mini mode: compact, untitled, floating; back: the size it had.
    window.resize(1200, 700);
    app.delegate().enterMiniMode();
    ASSERT_TRUE(testing::waitUntil([&] { return window.size() == QSize(380, 377); }));
    EXPECT_EQ(window.title(), "");
    EXPECT_TRUE(window.flags().testFlag(Qt::WindowStaysOnTopHint));
    prefs.setMiniFloatsAboveOthers(false);
    EXPECT_FALSE(window.flags().testFlag(Qt::WindowStaysOnTopHint));
    app.delegate().leaveMiniMode();
    // Its frame within the screen too.
    const QSize frame = window.frameGeometry().size() - window.size();
    ASSERT_TRUE(testing::waitUntil([&] {
        return window.size() == QSize(1200, 860).boundedTo(screen - frame);
    })) << window.width()
        << "x" << window.height();
    EXPECT_EQ(window.title(), "Corvanta");

    // Closed: hidden, the application goes on, and nothing is drawn even when the theme changes.
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(app.delegate().mainWindowIsOpen());
    EXPECT_EQ(terminations, 0);
    ASSERT_TRUE(testing::comesToRest([&] { return frames; }));
    frames = 0;
    prefs.setAppTheme("dark");
    testing::settle(500);
    EXPECT_EQ(frames, 0);

    // Reopened: drawn again, and a stopped session is started again.
    app.openMainWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(testing::waitUntil([&] { return frames > 0; }));
    EXPECT_TRUE(app.delegate().mainWindowIsOpen());
    EXPECT_EQ(testing::calls(*session).size(), 4);
}

}  // namespace
}  // namespace corvanta
