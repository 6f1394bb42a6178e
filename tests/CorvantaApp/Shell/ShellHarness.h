#pragma once

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

#include "Shell/AppDelegate.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"

class QQmlEngine;

namespace corvanta::testing {

// What the QML tests ask of the shell: a real AppDelegate over a given stand-in session and the
// engine's own Prefs, and a platform that only records what it is asked.
class ShellHarness : public QObject {
    Q_OBJECT
    Q_PROPERTY(int windowOpens READ windowOpens NOTIFY recorded)
    Q_PROPERTY(int terminations READ terminations NOTIFY recorded)
    Q_PROPERTY(QStringList openedUrls READ openedUrls NOTIFY recorded)
    Q_PROPERTY(QStringList copiedTexts READ copiedTexts NOTIFY recorded)
    Q_PROPERTY(QStringList offeredSelections READ offeredSelections NOTIFY recorded)
    Q_PROPERTY(QStringList revealedFiles READ revealedFiles NOTIFY recorded)

  public:
    explicit ShellHarness(QQmlEngine& engine);

    Q_INVOKABLE corvanta::AppDelegate* makeShell(QObject* session);
    // The window's content came on screen / went away.
    Q_INVOKABLE void appear(corvanta::AppDelegate* shell) { shell->contentAppeared(); }
    Q_INVOKABLE void disappear(corvanta::AppDelegate* shell) { shell->contentDisappeared(); }
    // Ends the shells made so far and puts every GUI preference back to its default, and the
    // desktop's wish for less motion back to none.
    Q_INVOKABLE void resetPrefs();
    // The support folder the views name (CORVANTA_SUPPORT_DIR); empty for the default again.
    Q_INVOKABLE void setSupportDirectory(const QString& folder) {
        if (folder.isEmpty()) {
            qunsetenv("CORVANTA_SUPPORT_DIR");
        } else {
            qputenv("CORVANTA_SUPPORT_DIR", folder.toLocal8Bit());
        }
    }
    // The desktop asks for less motion, or no longer does.
    Q_INVOKABLE void setReduceMotion(bool reduce) {
        if (reduceMotion_) reduceMotion_(reduce);
    }

    int windowOpens() const { return windowOpens_; }
    int terminations() const { return terminations_; }
    QStringList openedUrls() const { return openedUrls_; }
    QStringList copiedTexts() const { return copiedTexts_; }
    QStringList offeredSelections() const { return offeredSelections_; }
    QStringList revealedFiles() const { return revealedFiles_; }
    Q_INVOKABLE void clearRecords();

  signals:
    void recorded();

  private:
    Prefs& prefs_;
    std::function<void(bool)> reduceMotion_;
    std::unique_ptr<Platform> platform_;
    std::vector<std::unique_ptr<AppDelegate>> shells_;
    int windowOpens_ = 0;
    int terminations_ = 0;
    QStringList openedUrls_;
    QStringList copiedTexts_;
    QStringList offeredSelections_;
    QStringList revealedFiles_;
};

}  // namespace corvanta::testing
