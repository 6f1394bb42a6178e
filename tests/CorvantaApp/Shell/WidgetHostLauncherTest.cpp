// The application starts the widget host only where the session has none.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QObject>
#include <QPointer>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "PrivateBus.h"
#include "Shell/WidgetHostLauncher.h"
#include "TestSupport.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

// A stand-in host that appends the arguments it was started with to its record, one line per
// start, as the first thing it does: once no process runs it any more, every host the launcher
// started has recorded itself, so the lines count the hosts.
struct FakeHost {
    testing::TempDir dir;
    fs::path program = dir.path() / "host";
    fs::path record = dir.path() / "started";
    FakeHost() {
        testing::writeText(program, "#!/bin/sh\necho \"$@\" >> \"" + record.string() + "\"\n");
        fs::permissions(program, fs::perms::owner_all);
    }

    // Processes whose arguments name this program: the launcher returns from a start only once
    // the program has replaced the child, so a host it started is either here or has recorded.
    int running() const {
        int count = 0;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            std::ifstream file(entry.path() / "cmdline", std::ios::binary);
            const std::string arguments{std::istreambuf_iterator<char>(file), {}};
            count += arguments.find(program.string() + '\0') != std::string::npos;
        }
        return count;
    }
    int recorded() const {
        const std::string text = testing::readText(record);
        return int(std::count(text.begin(), text.end(), '\n'));
    }
    // Waits until at least `least` hosts have recorded themselves and none still runs.
    bool settledWith(int least) const {
        return QTest::qWaitFor([&] { return recorded() >= least && running() == 0; }, 30000);
    }
};

TEST(WidgetHostLauncher, StartsTheHostOnlyWhenItsNameHasNoOwnerOrThereIsNoBus) {
    testing::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    QObject context;
    {
        FakeHost host;
        WidgetHostLauncher::startIfNone(bus.connect(),
                                        QString::fromStdString(host.program.string()), &context);
        ASSERT_TRUE(host.settledWith(1));
        EXPECT_EQ(testing::readText(host.record), "--started-by-app\n") << "started once";
    }
    {
        FakeHost host;
        WidgetHostLauncher::startIfNone(testing::disconnectedBus(),
                                        QString::fromStdString(host.program.string()), &context);
        ASSERT_TRUE(host.settledWith(1)) << "without a bus the host's own lock decides";
        EXPECT_EQ(testing::readText(host.record), "--started-by-app\n") << "started once";
    }
    QDBusConnection owner = bus.connect();
    ASSERT_EQ(owner.interface()->registerService("rigwell.WidgetHost").value(),
              QDBusConnectionInterface::ServiceRegistered);
    FakeHost host;
    const QPointer<QObject> question = WidgetHostLauncher::startIfNone(
        bus.connect(), QString::fromStdString(host.program.string()), &context);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return question.isNull(); }, 30000));
    ASSERT_TRUE(host.settledWith(0));
    EXPECT_EQ(host.recorded(), 0) << "a session's host is never doubled";
}

}  // namespace
}  // namespace corvanta
