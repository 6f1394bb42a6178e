#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

#include "MenuBar/TrayMenuModel.h"
#include "MenuBar/TrayPresence.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QColor;
class QIcon;

namespace corvanta {

class AppDelegate;
class Platform;
class Prefs;
class Theme;

// The tray item: an icon with a tooltip and a menu, drawn from the tray table of the session's
// values. Shown while "rigwell.showInMenuBar" holds and the desktop has a tray, following both
// live: a tray that comes up after the application gets the item then. The menu is built once and
// only its actions' texts and states change afterwards: a tray that exports the menu
// (StatusNotifierItem over D-Bus) or pops it up itself (the X11 system tray) must find it whole at
// any moment, window shown or not.
class MenuBar : public QObject {
    Q_OBJECT

  public:
    MenuBar(AppDelegate& delegate, Prefs& prefs, Platform& platform, TrayPresence& presence,
            QObject* parent = nullptr);
    ~MenuBar() override;

    // Whether this platform can hold a tray item at all.
    static bool platformHasTray();
    // Whether the item is there for the user: made, and a tray that shows its kind is up.
    bool isShown() const;

  signals:
    void shownChanged();

  private slots:
    void queueRefresh();

  private:
    void run(TrayCommand command);
    void follow();
    void makeIcon();
    void refresh();
    void buildMenu(const TrayMenu& model);
    void updateMenu();
    void applyPalette();
    void watchSession();

    AppDelegate& delegate_;
    Prefs& prefs_;
    Platform& platform_;
    TrayPresence& presence_;
    std::unique_ptr<Theme> theme_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    // One per row of the tray table, in its order; the header first.
    std::vector<QAction*> actions_;
    QAction* header_ = nullptr;
    QPointer<QObject> watched_;
    bool refreshQueued_ = false;
    // A tray that came up after the application, seen as an X11 tray alone so far.
    bool awaitingStatusNotifierHost_ = false;
    // What Qt made the first item as; every later one is of the same kind.
    std::optional<TrayItemKind> kind_;
};

// The tray icon for a symbol name, drawn in the theme's colours.
QIcon trayIcon(const QString& symbol, bool dark);
// The menu header's icon: the status dot in its colour, square at the menu's icon size (a menu
// draws every icon in a square of that size, and exports it so over D-Bus).
QIcon headerIcon(const QColor& status, int iconSize);
// The menu header's text: the status, then the network's name.
QString headerText(const QString& status, const QString& network);

}  // namespace corvanta
