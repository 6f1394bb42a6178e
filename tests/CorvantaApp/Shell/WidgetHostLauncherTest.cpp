// The application starts the widget host only where the session has none.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QObject>
#include <QPointer>
#include <QTest>
#include <filesystem>

#include "PrivateBus.h"
#include "Shell/WidgetHostLauncher.h"
#include "TestSupport.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

// A stand-in host that records the arguments it was started with.
struct FakeHost {
    testing::TempDir dir;
    fs::path program = dir.path() / "host";
    fs::path record = dir.path() / "started";
    FakeHost() {
        testing::writeText(program, "#!/bin/sh\necho \"$@\" > \"" + record.string() +
                                        ".tmp\" && mv \"" + record.string() + ".tmp\" \"" +
                                        record.string() + "\"\n");
        fs::permissions(program, fs::perms::owner_all);
    }
    bool started() const {
        return QTest::qWaitFor([&] { return fs::exists(record); }, 30000);
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
        ASSERT_TRUE(host.started());
        EXPECT_EQ(testing::readText(host.record), "--started-by-app\n");
    }
    {
        FakeHost host;
        WidgetHostLauncher::startIfNone(testing::disconnectedBus(),
                                        QString::fromStdString(host.program.string()), &context);
        EXPECT_TRUE(host.started()) << "without a bus the host's own lock decides";
    }
    QDBusConnection owner = bus.connect();
    ASSERT_EQ(owner.interface()->registerService("rigwell.WidgetHost").value(),
              QDBusConnectionInterface::ServiceRegistered);
    FakeHost host;
    const QPointer<QObject> question = WidgetHostLauncher::startIfNone(
        bus.connect(), QString::fromStdString(host.program.string()), &context);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return question.isNull(); }, 30000));
    EXPECT_FALSE(fs::exists(host.record)) << "a session's host is never doubled";
}

}  // namespace
}  // namespace corvanta
