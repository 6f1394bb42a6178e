#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QQuickItem>
#include <QString>
#include <QStringList>
#include <memory>

#include "TestSupport.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace corvanta::testing {

// Temporary home, config, data and runtime folders for the process, software rendering, and no
// session bus of the machine; offscreen windows unless `keepPlatform` and QT_QPA_PLATFORM is set.
class HeadlessSession {
  public:
    explicit HeadlessSession(bool keepPlatform = false);

  private:
    TempDir root_;
};

// A message handler that keeps every Qt message for loggedLines() and prints warnings.
void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text);
// Every Qt message of the run as "category: text", in order.
QStringList& loggedLines();
// The lines of one category, without the prefix.
QStringList linesOf(const char* category);

// Clears the log, and fails the test on any warning from outside the host's and the widgets'
// own logs (a QML error, a binding that broke).
class QtTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// The item named `name` among `item` and its visual descendants, else null.
QQuickItem* findItem(QQuickItem* item, const QString& name);

// A session bus of the test's own, with no service activation, stopped with the test.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    const QString& address() const { return address_; }

  private:
    TempDir dir_;
    QProcess daemon_;
    QString address_;
};

}  // namespace corvanta::testing
