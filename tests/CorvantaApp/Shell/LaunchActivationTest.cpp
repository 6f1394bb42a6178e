// A second launch hands its launcher's activation token to the running instance, which takes it
// along to the window it activates; an instance of an earlier version still gets its bare request.
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "AppTestEnvironment.h"
#include "Shell/DesktopActivation.h"
#include "Shell/SingleInstance.h"
#include "TestSupport.h"

namespace corvanta {
namespace {

QString freshSocketName() {
    static int serial = 0;
    const testing::TempDir dir;
    return SingleInstance::socketName(QString::fromStdString(dir.path().string())) +
           QStringLiteral("-%1").arg(++serial);
}

TEST(LaunchActivation, TheTokenTravelsWithTheReopenAndABadOneIsLeftBehind) {
    const QString name = freshSocketName();
    SingleInstance first;
    ASSERT_TRUE(first.listen(name)) << first.errorString().toStdString();
    QSignalSpy reopened(&first, &SingleInstance::reopenRequested);
    const auto forward = [&](const QByteArray& token) {
        std::atomic<bool> forwarded = false;
        // The forwarding side blocks; the first instance answers from its own event loop.
        std::jthread second([&] { forwarded = SingleInstance::forwardReopen(name, token); });
        EXPECT_TRUE(testing::waitUntil([&] { return forwarded.load(); }));
    };
    const QByteArray startupId = "openbox-4107-host-corvanta-3_TIME1183624";
    forward(startupId);
    ASSERT_TRUE(testing::waitUntil([&] { return reopened.count() == 1; }));
    EXPECT_EQ(reopened.at(0).at(0).toByteArray(), startupId);

    // A token with a space or a control character is no token: the reopen goes on without it.
    for (const QByteArray& bad : {QByteArray("two words"), QByteArray("line\nbreak")}) {
        forward(bad);
    }
    ASSERT_TRUE(testing::waitUntil([&] { return reopened.count() == 3; }));
    EXPECT_EQ(reopened.at(1).at(0).toByteArray(), QByteArray());
    EXPECT_EQ(reopened.at(2).at(0).toByteArray(), QByteArray());
}

TEST(LaunchActivation, AnInstanceThatKnowsOnlyTheBareRequestStillReopens) {
    // An earlier version: answers "ok" to every line and acts on "reopen" alone.
    const QString name = freshSocketName();
    QLocalServer earlier;
    QLocalServer::removeServer(name);
    ASSERT_TRUE(earlier.listen(name));
    QList<QByteArray> lines;
    QObject::connect(&earlier, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* socket = earlier.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [&lines, socket] {
                if (!socket->canReadLine()) return;
                lines << socket->readLine(64);
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
            });
        }
    });
    std::atomic<bool> forwarded = false;
    std::jthread second([&] { forwarded = SingleInstance::forwardReopen(name, "id_TIME5"); });
    ASSERT_TRUE(testing::waitUntil([&] { return forwarded.load(); }));
    EXPECT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.value(1), "reopen\n");
}

TEST(LaunchActivation, AStartupIdsTimeIsReadOnlyWhenItIsOne) {
    EXPECT_EQ(startupIdTime("openbox-4107-host-corvanta-3_TIME1183624"), 1183624UL);
    EXPECT_EQ(startupIdTime("a_TIMEb_TIME42"), 42UL);
    EXPECT_EQ(startupIdTime("no-time-here"), std::nullopt);
    EXPECT_EQ(startupIdTime("x_TIME"), std::nullopt);
    EXPECT_EQ(startupIdTime("x_TIME12abc"), std::nullopt);
    EXPECT_EQ(startupIdTime("x_TIME0"), std::nullopt);
    EXPECT_EQ(startupIdTime("x_TIME4294967296"), std::nullopt);
    EXPECT_EQ(startupIdTime("x_TIME-5"), std::nullopt);
    EXPECT_EQ(startupIdTime(""), std::nullopt);
}

}  // namespace
}  // namespace corvanta
