// The host tests' shared pieces: the message log, the warning gate and a private bus.
#include <sys/stat.h>

#include <QMutex>
#include <cstdlib>
#include <fstream>

#include "HostTestSupport.h"

namespace corvanta::testing {
namespace {

QMutex logMutex;

}  // namespace

HeadlessSession::HeadlessSession(bool keepPlatform) {
    const auto runtime = root_.path() / "runtime";
    std::filesystem::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("HOME", (root_.path() / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_.path() / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_.path() / "data").c_str(), 1);
    if (!keepPlatform || std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }
    ::setenv("QT_QUICK_BACKEND", "software", 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QString category = QString::fromLatin1(context.category ? context.category : "default");
    {
        QMutexLocker lock(&logMutex);
        loggedLines() << category + QStringLiteral(": ") + text;
    }
    if (type >= QtWarningMsg) fprintf(stderr, "%s: %s\n", qPrintable(category), qPrintable(text));
}

QStringList& loggedLines() {
    static QStringList lines;
    return lines;
}

QStringList linesOf(const char* category) {
    QMutexLocker lock(&logMutex);
    const QString prefix = QString::fromLatin1(category) + QStringLiteral(": ");
    QStringList lines;
    for (const QString& line : loggedLines()) {
        if (line.startsWith(prefix)) lines << line.mid(prefix.size());
    }
    return lines;
}

void QtTest::SetUp() {
    QMutexLocker lock(&logMutex);
    loggedLines().clear();
}

void QtTest::TearDown() {
    QMutexLocker lock(&logMutex);
    for (const QString& line : loggedLines()) {
        const bool ours = line.startsWith(QStringLiteral("corvanta.widget-host: ")) ||
                          line.startsWith(QStringLiteral("rigwell.widgets.timeline: ")) ||
                          line.startsWith(QStringLiteral("rigwell.widgets.language: "));
        if (!ours) ADD_FAILURE() << "unexpected message: " << line.toStdString();
    }
}

QQuickItem* findItem(QQuickItem* item, const QString& name) {
    if (item->objectName() == name) return item;
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = findItem(child, name)) return found;
    }
    return nullptr;
}

PrivateBus::PrivateBus() {
    const auto config = dir_.path() / "bus.conf";
    std::ofstream(config)
        << R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)"
        << dir_.path().string() << R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments(
        {QStringLiteral("--config-file=") + QString::fromStdString(config.string()),
         QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) {
        throw std::runtime_error("dbus-daemon did not start: run scripts/setup");
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    daemon_.kill();
    daemon_.waitForFinished(5000);
}

}  // namespace corvanta::testing
