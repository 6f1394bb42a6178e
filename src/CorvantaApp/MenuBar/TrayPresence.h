#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>

class QDBusServiceWatcher;
class QTimer;

namespace corvanta {

// The two kinds of tray item. Qt picks one for the life of the process when it makes its first
// item (a StatusNotifierItem when a host is registered then, else an X11 tray icon), so an item
// of one kind never shows in a tray that hosts only the other.
enum class TrayItemKind { statusNotifierItem, xembed };

// Whether the desktop offers a tray now, and when that changes: a StatusNotifierItem watcher on
// the session bus with a host registered to it, or an X11 system tray (the XEmbed manager
// selection). Asked without Qt's own tray check, which decides once for the life of the process
// whether a StatusNotifierItem can be used: asked before a panel is up, it would keep the item off
// that panel for good.
class TrayPresence : public QObject {
    Q_OBJECT

  public:
    struct Probes {
        // Whether an X11 system tray manager holds its selection; absent where there is no X11.
        std::function<bool()> xembedTray;
        // How often the X11 selection is asked (the manager announces itself only to windows
        // that listen for it; asking is one short round trip).
        int xembedIntervalMs = 1000;
    };

    // The desktop's own probes.
    static Probes desktopProbes();

    TrayPresence(QDBusConnection sessionBus, Probes probes, QObject* parent = nullptr);
    ~TrayPresence() override;

    bool statusNotifierHost() const { return statusNotifierHost_; }
    bool xembedTray() const { return xembedTray_; }
    bool available() const { return statusNotifierHost_ || xembedTray_; }
    // Whether a tray that shows items of `kind` is there now.
    bool shows(TrayItemKind kind) const {
        return kind == TrayItemKind::statusNotifierItem ? statusNotifierHost_ : xembedTray_;
    }
    // The kind of item Qt makes now, asked the way Qt asks it, on the spot (the answer this
    // object holds may be a round trip old): a StatusNotifierItem wherever a host is registered.
    // The answer held follows by itself.
    TrayItemKind kindToMakeNow() const;

  signals:
    void changed();

  private slots:
    void askWatcherSlot();

  private:
    void askWatcher();
    void setStatusNotifierHost(bool present);
    void pollXEmbed();

    QDBusConnection bus_;
    Probes probes_;
    QDBusServiceWatcher* serviceWatcher_ = nullptr;
    QTimer* xembedTimer_ = nullptr;
    bool statusNotifierHost_ = false;
    bool xembedTray_ = false;
    // Answers to an earlier question are dropped once a newer one was asked.
    int askSerial_ = 0;
};

// Whether an X11 system tray manager holds the selection of the application's screen; false off
// X11.
bool x11SystemTrayOwned();

}  // namespace corvanta
