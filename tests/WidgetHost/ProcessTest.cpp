// The host program as a session starts it: only for users of the application, one per session
// with or without a bus, never held up by odd files, following each new snapshot, and ending
// cleanly on SIGTERM. And its login entry, which exists while widgets are placed.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <csignal>

#include "HostFixture.h"
#include "corvanta/host/LoginEntry.h"
#include "corvanta/host/SnapshotWatcher.h"
#include "corvanta/shared/SharedContainer.h"

namespace corvanta::host {
namespace {

namespace fs = std::filesystem;

// The host program off screen, without a session bus, in the folders of `dir`.
class HostProgram {
  public:
    HostProgram(const fs::path& dir, QStringList arguments) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        for (const auto& [name, folder] : {std::pair{"HOME", "home"},
                                           {"XDG_CONFIG_HOME", "config"},
                                           {"XDG_DATA_HOME", "data"},
                                           {"XDG_RUNTIME_DIR", "runtime"}}) {
            environment.insert(name, QString::fromStdString((dir / folder).string()));
        }
        environment.insert("CORVANTA_WIDGET_PLUGINS",
                           QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("QT_LOGGING_RULES", "rigwell.widgets.timeline.info=true");
        process_.setProcessEnvironment(environment);
        QObject::connect(&process_, &QProcess::readyReadStandardError, &process_,
                         [this] { errors_ += QString::fromUtf8(process_.readAllStandardError()); });
        process_.start(CORVANTA_WIDGET_HOST, arguments);
    }
    ~HostProgram() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    QProcess& process() { return process_; }
    bool logged(const QString& text) {
        return QTest::qWaitFor([&] { return errors_.contains(text); }, 30000);
    }
    bool ended() { return process_.waitForFinished(30000); }
    const QString& errors() const { return errors_; }

  private:
    QProcess process_;
    QString errors_;
};

class Program : public testing::QtTest {
  protected:
    testing::TempDir dir_;
    const fs::path config_ = dir_.path() / "config";
    const fs::path instances_ = config_ / "Corvanta" / "widget-host.json";
    const fs::path loginEntry_ = config_ / "autostart" / "corvanta-widget-host.desktop";
    const fs::path container_ = dir_.path() / "data" / SharedContainer::appGroup;

    void SetUp() override {
        testing::QtTest::SetUp();
        fs::create_directories(dir_.path() / "runtime");
        ::chmod((dir_.path() / "runtime").c_str(), 0700);
    }
};

TEST_F(Program, AUserWhoNeverRanTheApplicationGetsNothingAndTheHostEndsQuietly) {
    HostProgram host(dir_.path(), {});
    ASSERT_TRUE(host.ended());
    EXPECT_EQ(host.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.process().exitCode(), 0);
    EXPECT_TRUE(host.errors().isEmpty()) << host.errors().toStdString();
    EXPECT_FALSE(fs::exists(instances_));
    EXPECT_FALSE(fs::exists(loginEntry_));
    EXPECT_FALSE(fs::exists(dir_.path() / "runtime" / "corvanta-widget-host.lock"));
}

TEST_F(Program, StartedByTheAppItPlacesWidgetsForLoginStaysAloneAndEndsCleanlyOnSigterm) {
    HostProgram first(dir_.path(), {"--started-by-app"});
    ASSERT_TRUE(first.logged("timeline demandé")) << first.errors().toStdString();
    EXPECT_EQ(storedInstances(instances_).size(), 2);
    const std::string entry = testing::readText(loginEntry_);
    const QString program = QFileInfo(CORVANTA_WIDGET_HOST).canonicalFilePath();
    EXPECT_NE(entry.find("TryExec=" + program.toStdString() + "\n"), std::string::npos) << entry;
    if (const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
        !validate.isEmpty()) {
        QProcess check;
        check.start(validate, {QString::fromStdString(loginEntry_.string())});
        ASSERT_TRUE(check.waitForFinished(30000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    }

    // No bus to hold a name: the lock alone keeps the second host out.
    HostProgram second(dir_.path(), {"--started-by-app"});
    ASSERT_TRUE(second.ended());
    EXPECT_EQ(second.process().exitCode(), 1);
    EXPECT_TRUE(second.errors().contains("another widget host is already running"))
        << second.errors().toStdString();
    EXPECT_FALSE(second.errors().contains("demandé"));

    ::kill(static_cast<pid_t>(first.process().processId()), SIGTERM);
    ASSERT_TRUE(first.ended());
    EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process().exitCode(), 0);
    EXPECT_EQ(storedInstances(instances_).size(), 2) << "the list outlives the host";
}

TEST_F(Program, FifosInPlaceOfItsFilesNeverHoldItUp) {
    fs::create_directories(instances_.parent_path());
    fs::create_directories(container_);
    const fs::path snapshot = container_ / SharedContainer::snapshotFileName;
    ASSERT_EQ(::mkfifo(instances_.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(snapshot.c_str(), 0600), 0);
    HostProgram host(dir_.path(), {"--started-by-app"});
    ASSERT_TRUE(host.logged("lu=false")) << host.errors().toStdString();
    ASSERT_TRUE(host.logged("is not a regular file; ignored"));
    EXPECT_TRUE(host.errors().contains("is not a regular file; set aside, not read"));
    EXPECT_EQ(host.errors().count("is not a regular file; ignored"), 1);
    EXPECT_TRUE(fs::is_fifo(instances_.string() + ".unreadable"));
    EXPECT_EQ(storedInstances(instances_).size(), 2) << "the defaults, in a regular file";
    EXPECT_TRUE(fs::is_fifo(snapshot)) << "the snapshot is the application's: left as it is";
}

TEST_F(Program, FollowsEachNewSnapshotWithoutBeingAskedTo) {
    MinerSnapshot snapshot;
    snapshot.isRunning = true;
    snapshot.hashRateMHs = 3;
    snapshot.capturedAt = ReferenceDate::from(std::chrono::system_clock::now());
    SharedContainer::write(snapshot, container_);
    HostProgram host(dir_.path(), {"--started-by-app"});
    ASSERT_TRUE(host.logged("débit=3.000000")) << host.errors().toStdString();
    // No bus, no reload call: only the new file tells the host, long before the next timeline.
    snapshot.hashRateMHs = 7.5;
    SharedContainer::write(snapshot, container_);
    EXPECT_TRUE(host.logged("débit=7.500000")) << host.errors().toStdString();
}

// The host's command line where there is no display at all.
struct Answer {
    int status = -1;
    std::string out, err;
};
// `display` names one that cannot be opened ("DISPLAY=:65000").
Answer runWithoutDisplay(const fs::path& dir, const QStringList& arguments,
                         const QStringList& display = {}) {
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(name);
    }
    for (const QString& setting : display) {
        environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    }
    environment.insert("HOME", QString::fromStdString((dir / "home").string()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((dir / "config").string()));
    environment.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(CORVANTA_WIDGET_HOST, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) return {};
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

TEST_F(Program, AnswersHelpAndVersionWithoutADisplayAndRefusesAnUnknownOptionWithTheUsage) {
    for (const char* help : {"--help", "-h"}) {
        const Answer answer = runWithoutDisplay(dir_.path(), {help});
        EXPECT_EQ(answer.status, 0) << answer.err;
        EXPECT_NE(answer.out.find("Usage: corvanta-widget-host"), std::string::npos) << answer.out;
        EXPECT_NE(answer.out.find("--gallery"), std::string::npos) << answer.out;
    }
    for (const char* version : {"--version", "-v"}) {
        const Answer answer = runWithoutDisplay(dir_.path(), {version});
        EXPECT_EQ(answer.status, 0) << answer.err;
        EXPECT_TRUE(
            QString::fromStdString(answer.out)
                .contains(QRegularExpression("^corvanta-widget-host \\d+\\.\\d+\\.\\d+\n$")))
            << answer.out;
    }
    for (const QStringList& refused :
         {QStringList{"--bogus"}, QStringList{"stray"}, QStringList{"--render"}}) {
        const Answer answer = runWithoutDisplay(dir_.path(), refused);
        EXPECT_EQ(answer.status, 2) << refused.join(' ').toStdString();
        EXPECT_NE(answer.err.find("Usage: corvanta-widget-host"), std::string::npos) << answer.err;
        EXPECT_TRUE(answer.out.empty());
    }
    EXPECT_FALSE(fs::exists(config_)) << "nothing is written for a command line it answers";
}

TEST_F(Program, TheGalleryAskedForByAUserWhoNeverRanTheApplicationIsRefusedInWords) {
    // Nothing of the application's and no list: the gallery would have nothing to offer.
    for (const bool display : {true, false}) {
        SCOPED_TRACE(display ? "display" : "no display");
        Answer answer;
        if (display) {
            HostProgram host(dir_.path(), {"--gallery"});
            ASSERT_TRUE(host.ended());
            ASSERT_EQ(host.process().exitStatus(), QProcess::NormalExit);
            answer = {host.process().exitCode(), {}, host.errors().toStdString()};
        } else {
            answer = runWithoutDisplay(dir_.path(), {"--gallery"});
        }
        EXPECT_EQ(answer.status, 1) << answer.err;
        EXPECT_NE(answer.err.find("corvanta-widget-host: no widget gallery to open: Corvanta has "
                                  "not run for this user yet"),
                  std::string::npos)
            << answer.err;
        EXPECT_FALSE(fs::exists(config_)) << "nothing is written for it";
        EXPECT_FALSE(fs::exists(container_));
    }
}

TEST_F(Program, AUserWhoRemovedEveryWidgetGetsNoWindowUnlessTheGalleryIsAskedFor) {
    testing::writeText(instances_, "{\n  \"instances\": []\n}\n");
    HostProgram atLogin(dir_.path(), {"--started-by-app"});
    ASSERT_TRUE(atLogin.ended());
    EXPECT_EQ(atLogin.process().exitCode(), 0);
    EXPECT_FALSE(atLogin.errors().contains("demandé")) << atLogin.errors().toStdString();
    EXPECT_FALSE(fs::exists(loginEntry_));
    EXPECT_EQ(testing::readText(instances_), "{\n  \"instances\": []\n}\n");

    // Asked for from the application's menu, the gallery reads the previews it shows.
    HostProgram asked(dir_.path(), {"--started-by-app", "--gallery"});
    EXPECT_TRUE(asked.logged("aperçu=true")) << asked.errors().toStdString();
    EXPECT_EQ(asked.process().state(), QProcess::Running);
}

TEST_F(Program, ASnapshotLeftByAWriterThatEndedShowsStopped) {
    MinerSnapshot snapshot;
    snapshot.isRunning = true;
    snapshot.hashRateMHs = 3;
    snapshot.writerProcessID = std::int64_t(::getpid());
    snapshot.updateIntervalSeconds = 1;
    snapshot.capturedAt = ReferenceDate::from(std::chrono::system_clock::now());
    SharedContainer::write(snapshot, container_);
    HostProgram host(dir_.path(), {"--started-by-app"});
    ASSERT_TRUE(host.logged("débit=3.000000")) << host.errors().toStdString();

    // The writer's process has ended without a last word.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    snapshot.writerProcessID = child;
    snapshot.hashRateMHs = 7.5;
    SharedContainer::write(snapshot, container_);
    EXPECT_TRUE(host.logged("débit=0.000000")) << host.errors().toStdString();
}

TEST_F(Program, ASnapshotThatStopsComingIsSaidOnceToHaveFallenQuiet) {
    const fs::path file = container_ / SharedContainer::snapshotFileName;
    SnapshotWatcher watcher(file, std::chrono::milliseconds(200));
    QSignalSpy replaced(&watcher, &SnapshotWatcher::replaced);
    QSignalSpy quiet(&watcher, &SnapshotWatcher::quiet);
    EXPECT_EQ(quiet.size(), 0) << "nothing to fall quiet before a first snapshot";
    SharedContainer::write(MinerSnapshot{}, container_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return replaced.size() == 1; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return quiet.size() == 1; }));
    // Each new snapshot starts the count again: one more quiet after the next one.
    MinerSnapshot next;
    next.blocksFound = 1;
    SharedContainer::write(next, container_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return replaced.size() == 2; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return quiet.size() == 2; }));
    EXPECT_EQ(replaced.size(), 2);
}

TEST_F(Program, AFolderRemovedAndMadeAgainIsWatchedAsBeforeHoweverDeepTheRemoval) {
    const fs::path file = container_ / SharedContainer::snapshotFileName;
    SnapshotWatcher watcher(file, std::chrono::milliseconds(200));
    QSignalSpy replaced(&watcher, &SnapshotWatcher::replaced);
    QSignalSpy quiet(&watcher, &SnapshotWatcher::quiet);
    ASSERT_TRUE(watcher.watching());
    MinerSnapshot snapshot;
    for (const fs::path& removed : {container_, dir_.path() / "data"}) {
        SCOPED_TRACE(removed.string());
        fs::remove_all(removed);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.watching(); }));
        // The writer makes the folder again with its next snapshot.
        ++snapshot.blocksFound;
        SharedContainer::write(snapshot, container_);
        const auto seen = replaced.size();
        ASSERT_TRUE(QTest::qWaitFor([&] { return replaced.size() > seen; }))
            << "a snapshot in a folder made again is missed";
        ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.watching(); }));
        // The folder itself again, not only the ancestor that told of it.
        ++snapshot.blocksFound;
        SharedContainer::write(snapshot, container_);
        ASSERT_TRUE(QTest::qWaitFor([&] { return replaced.size() > seen + 1; }));
        const auto quietSeen = quiet.size();
        EXPECT_TRUE(QTest::qWaitFor([&] { return quiet.size() > quietSeen; }))
            << "a writer that falls silent in a folder made again is noticed";
    }
}

TEST_F(Program, AWriterKilledAfterItMadeTheFolderAgainShowsStoppedWithinTheQuietSpell) {
    // The folder removed, or removed and then renamed aside (or the other way round), each time
    // made again by the writer, before the writer is killed.
    const std::vector<std::pair<const char*, std::vector<bool>>> sequences{
        {"removed", {false}},
        {"removed, then renamed", {false, true}},
        {"renamed, then removed", {true, false}}};
    for (const auto& [name, renames] : sequences) {
        SCOPED_TRACE(name);
        const testing::TempDir dir;
        fs::create_directories(dir.path() / "runtime");
        ::chmod((dir.path() / "runtime").c_str(), 0700);
        const fs::path container = dir.path() / "data" / SharedContainer::appGroup;
        // The writer: a process of its own that is killed without a last word (and at the end
        // of the case whatever happens, so that no failure leaves it behind).
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (;;) ::pause();
        }
        const std::unique_ptr<const pid_t, void (*)(const pid_t*)> reaped(
            &writer, [](const pid_t* pid) {
                if (::kill(*pid, SIGKILL) == 0) ::waitpid(*pid, nullptr, 0);
            });
        MinerSnapshot snapshot;
        snapshot.isRunning = true;
        snapshot.hashRateMHs = 3;
        snapshot.writerProcessID = writer;
        snapshot.updateIntervalSeconds = 1;
        const auto write = [&] {
            snapshot.capturedAt = ReferenceDate::from(std::chrono::system_clock::now());
            SharedContainer::write(snapshot, container);
        };
        write();
        HostProgram host(dir.path(), {"--started-by-app"});
        ASSERT_TRUE(host.logged("débit=3.000000")) << host.errors().toStdString();

        // Written each second, as the application does, until the host shows `rate`.
        const auto writeUntilShown = [&](double rate) {
            snapshot.hashRateMHs = rate;
            const QString shown = QStringLiteral("débit=%1").arg(rate, 0, 'f', 6);
            return QTest::qWaitFor(
                [&] {
                    write();
                    return QTest::qWaitFor([&] { return host.errors().contains(shown); }, 1000);
                },
                30000);
        };
        double rate = 3;
        int renamed = 0;
        for (const bool rename : renames) {
            if (rename) {
                fs::rename(container, container.string() + ".aside-" + std::to_string(++renamed));
            } else {
                fs::remove_all(container);
            }
            ASSERT_TRUE(writeUntilShown(rate += 1.5))
                << "host running: " << (host.process().state() == QProcess::Running) << "\n"
                << host.errors().toStdString();
            // Followed as before, not only once when the host looks again after a quiet spell:
            // the timeline's own reload comes a minute later, past this wait.
            ASSERT_TRUE(writeUntilShown(rate += 1.5)) << host.errors().toStdString();
        }
        ::kill(writer, SIGKILL);
        // Reaped here: kill() at the end finds no process and waits for none.
        ASSERT_EQ(::waitpid(writer, nullptr, 0), writer);
        QElapsedTimer sinceKill;
        sinceKill.start();
        // No further snapshot: only the host's own look once the snapshots stop tells it.
        ASSERT_TRUE(host.logged("débit=0.000000")) << host.errors().toStdString();
        RecordProperty(std::string("millisecondsFromKillToStopped, ") + name,
                       int(sinceKill.elapsed()));
    }
}

TEST_F(Program, WithNothingToShowItEndsQuietlyWhetherOrNotThereIsADisplay) {
    // A user who never ran the application; then one who removed every widget, whose login
    // entry goes too.
    for (const bool widgetsRemoved : {false, true}) {
        SCOPED_TRACE(widgetsRemoved ? "every widget removed" : "never ran the application");
        for (const bool display : {false, true}) {
            SCOPED_TRACE(display ? "display" : "no display");
            if (widgetsRemoved) {
                testing::writeText(instances_, "{\n  \"instances\": []\n}\n");
                testing::writeText(loginEntry_, *LoginEntry::text("/usr/bin/corvanta-widget-host"));
            }
            const QStringList arguments =
                widgetsRemoved ? QStringList{"--started-by-app"} : QStringList{};
            if (display) {
                HostProgram host(dir_.path(), arguments);
                ASSERT_TRUE(host.ended());
                EXPECT_EQ(host.process().exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(host.process().exitCode(), 0) << host.errors().toStdString();
            } else {
                const Answer answer = runWithoutDisplay(dir_.path(), arguments);
                EXPECT_EQ(answer.status, 0) << answer.err;
                EXPECT_EQ(answer.err, "");
            }
            EXPECT_FALSE(fs::exists(loginEntry_));
            EXPECT_EQ(fs::exists(instances_), widgetsRemoved);
            EXPECT_FALSE(fs::exists(container_)) << "nothing is made for the widgets";
        }
    }
}

// Every file below `folder`, by name, sorted; none when it is not there.
std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_directory()) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Program, WithSomethingToShowAndNoDisplayItSaysSoAndEndsWithoutAnAbort) {
    const char* widgetList =
        "{\"instances\": [{\"kind\": \"corvanta.widget.mining\", \"family\": \"small\", "
        "\"x\": 10, \"y\": 10}]}";
    struct Situation {
        const char* name;
        QStringList arguments;
        const char* list;  // the widget list's text, if any
        bool appRan;       // the application's snapshot is there
        bool listKept;     // the list is still there, as it was
    };
    const std::vector<Situation> situations{
        {"the application ran, no widget list yet", {}, nullptr, true, false},
        {"started by the application, no widget list yet",
         {"--started-by-app"},
         nullptr,
         false,
         false},
        // Set aside only by a host that can show what it puts in its place.
        {"an unreadable list left as it is",
         {"--started-by-app"},
         "{\"instances\": [",
         false,
         true},
        {"a list of widgets", {}, widgetList, false, true},
        {"the gallery asked for", {"--gallery"}, nullptr, true, false},
    };
    // None named at all; one named where no server listens; one of a kind no plug-in opens.
    const std::vector<QStringList> displays{{},
                                            {"DISPLAY=:65000"},
                                            {"WAYLAND_DISPLAY=corvanta-no-such-display"},
                                            {"QT_QPA_PLATFORM=xcb"}};
    for (const Situation& situation : situations) {
        SCOPED_TRACE(situation.name);
        for (const QStringList& display : displays) {
            SCOPED_TRACE(display.join(' ').toStdString());
            fs::remove_all(config_);
            fs::remove_all(container_);
            if (situation.list) testing::writeText(instances_, situation.list);
            if (situation.appRan) SharedContainer::write(MinerSnapshot{}, container_);
            const Answer answer = runWithoutDisplay(dir_.path(), situation.arguments, display);
            EXPECT_EQ(answer.status, 1) << "-1: ended by a signal\n" << answer.err;
            EXPECT_NE(answer.err.find("corvanta-widget-host: "), std::string::npos) << answer.err;
            EXPECT_NE(answer.err.find("display"), std::string::npos) << answer.err;
            EXPECT_EQ(answer.err.find("Reinstalling"), std::string::npos) << answer.err;
            // Nothing placed, moved or written for a start that showed nothing.
            EXPECT_FALSE(fs::exists(loginEntry_));
            EXPECT_EQ(fs::exists(instances_), situation.listKept);
            if (situation.listKept) {
                EXPECT_EQ(testing::readText(instances_), situation.list);
            }
            EXPECT_EQ(filesIn(config_),
                      (situation.list ? std::vector<std::string>{"widget-host.json"}
                                      : std::vector<std::string>{}));
        }
    }
}

class Login : public Host {};

TEST_F(Login, TheEntryExistsWhileWidgetsArePlacedAndQuotesAnOddProgramPath) {
    const fs::path entry = dir_.path() / "autostart" / "corvanta-widget-host.desktop";
    auto host = std::make_unique<WidgetHost>(
        corvantaWidgets(), InstanceStore(file_), [] { return t0; }, std::chrono::seconds(1),
        widgetkit::Language::french);
    host->setLoginEntry(LoginEntry(entry, "/opt/My Apps/corvanta-widget-host"));
    ASSERT_TRUE(host->start());
    const std::string text = testing::readText(entry);
    EXPECT_NE(text.find("Exec=\"/opt/My Apps/corvanta-widget-host\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("TryExec=/opt/My Apps/corvanta-widget-host\n"), std::string::npos);
    ASSERT_TRUE(host->remove(0));
    EXPECT_TRUE(fs::exists(entry)) << "one widget is still placed";
    ASSERT_TRUE(host->remove(0));
    EXPECT_FALSE(fs::exists(entry)) << "no widget: nothing starts at login";
    EXPECT_EQ(LoginEntry::text("/a\nb"), std::nullopt);
}

TEST_F(Login, AnEntryTheUserSwitchedOffStaysOffThroughStartsMovesAndRemovals) {
    const fs::path entry = dir_.path() / "autostart" / "corvanta-widget-host.desktop";
    const std::string on = *LoginEntry::text("/usr/bin/corvanta-widget-host");
    const auto switchedOff = [&](const std::string& from, const std::string& to) {
        std::string text = on;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    // As the desktops' startup settings write it: the switch itself, or the entry hidden.
    for (const std::string& off :
         {switchedOff("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false"),
          on + "Hidden=true\n", on + "Hidden = true\r\n"}) {
        SCOPED_TRACE(off);
        ASSERT_TRUE(LoginEntry::switchedOff(off));
        fs::remove(file_);
        testing::writeText(entry, off);
        {
            auto host = std::make_unique<WidgetHost>(
                corvantaWidgets(), InstanceStore(file_), [] { return t0; }, std::chrono::seconds(1),
                widgetkit::Language::french);
            host->setLoginEntry(LoginEntry(entry, "/usr/bin/corvanta-widget-host"));
            ASSERT_TRUE(host->start());
            ASSERT_EQ(host->shown().size(), 2u);
            host->shown()[1].window->setPosition(400, 300);
            ASSERT_TRUE(QTest::qWaitFor([&] {
                host->storeUnsettledMoves();
                return storedInstances(file_).value(1).endsWith(" 400,300");
            }));
            EXPECT_EQ(testing::readText(entry), off);
            ASSERT_TRUE(host->remove(1));
            ASSERT_TRUE(host->remove(0));
            EXPECT_EQ(testing::readText(entry), off) << "kept for when a widget comes back";
        }
    }
    for (const std::string& stillOn :
         {on, on + "Hidden=false\n", "[Other]\nHidden=true\n" + on,
          switchedOff("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=true")}) {
        EXPECT_FALSE(LoginEntry::switchedOff(stillOn)) << stillOn;
    }
}

TEST_F(Login, AnEntryKeptAsALinkIsRewrittenThroughItAndALinkToNothingIsLeftAlone) {
    const fs::path entry = dir_.path() / "autostart" / "corvanta-widget-host.desktop";
    const fs::path kept = dir_.path() / "dotfiles" / "corvanta-widget-host.desktop";
    testing::writeText(kept, *LoginEntry::text("/opt/old/corvanta-widget-host"));
    fs::create_directories(entry.parent_path());
    fs::create_symlink(kept, entry);

    LoginEntry login(entry, "/usr/bin/corvanta-widget-host");
    EXPECT_TRUE(login.follow(true));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(entry)));
    EXPECT_EQ(testing::readText(kept), *LoginEntry::text("/usr/bin/corvanta-widget-host"));

    fs::remove(kept);
    EXPECT_FALSE(login.follow(true));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(entry)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(kept)));
}

TEST_F(Login, WithoutAListAHostThatPlacesNoDefaultsShowsAndStoresNothing) {
    WidgetHost host(
        corvantaWidgets(), InstanceStore(file_), [] { return t0; }, std::chrono::seconds(1),
        widgetkit::Language::french);
    host.setPlacesDefaults(false);
    EXPECT_FALSE(host.start());
    EXPECT_TRUE(host.shown().empty());
    EXPECT_EQ(host.gallery(), nullptr);
    EXPECT_FALSE(fs::exists(file_));
}

}  // namespace
}  // namespace corvanta::host
