#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <vector>

#include "Shell/ShellRules.h"

class QObject;

namespace corvanta {

// What the tray shows, computed from the session's values: the icon's symbol and tooltip, and
// the menu's rows. The tray item itself (MenuBar) only draws this.
struct TrayInputs {
    ShellRunState runState = ShellRunState::idle;
    bool governorPaused = false;
    double hashRateMHs = 0;
    // Mature plus immature satoshis of the last earnings scan, when there is one.
    std::optional<std::int64_t> earningsSats;
    bool scanCoversConfiguredAddress = false;
    std::int64_t persistedHistoryTotalSats = 0;
    // 0 no chain status yet, 1 fresh, 2 stale (the session model's link states).
    int rpcLinkState = 0;
    struct Chain {
        std::int64_t blocks = 0;
        std::int64_t headers = 0;
        bool initialBlockDownload = false;
    };
    std::optional<Chain> freshChainStatus;
    std::optional<int> peerCount;
    // The network the badge names: the active one, else the selected one ("mainnet", "regtest"…).
    QString network;
    bool updatesConfigured = false;
    // A check the user started is running.
    bool updateChecking = false;
    bool showHashRate = false;
    // The desktop widgets' host is installed beside the application.
    bool widgetGalleryAvailable = false;

    // Reads them from a session model (the real one or a stand-in with the same surface).
    static TrayInputs read(const QObject& session);
};

// The theme colour a status is drawn in.
enum class StatusColor { textSecondary, success, warning, danger };

enum class TrayCommand {
    startMining,
    stopMining,
    openWindow,
    openSettings,
    openWidgetGallery,
    checkForUpdates,
    support,
    quit
};

// The menu has the same rows in the same order whatever the inputs, so the tray item can build
// it once and change only texts and states: a row that does not apply is hidden, never removed.
struct TrayRow {
    // A note is a disabled line of explanation under the row it explains (tooltips do not reach
    // every tray).
    enum class Kind { value, separator, command, note };
    Kind kind = Kind::value;
    QString label;  // already translated, shown verbatim
    QString value;  // value rows
    TrayCommand command = TrayCommand::quit;
    bool enabled = true;
    bool visible = true;
    QString toolTip;
    bool operator==(const TrayRow&) const = default;
};

struct TrayMenu {
    QString statusText;
    StatusColor statusColor = StatusColor::textSecondary;
    QString networkBadge;  // "MAINNET", "REGTEST"…
    std::vector<TrayRow> rows;
};

// The symbol of the tray icon (a name from the symbol table) for a run state.
QString traySymbol(ShellRunState state);
// The tray item shows no text: the hash rate goes in its tooltip, only while mining with the
// preference on. Empty otherwise.
QString trayHashRateText(const TrayInputs& inputs);
// "Corvanta", then the hash-rate text on a second line when there is one.
QString trayToolTip(const TrayInputs& inputs);
TrayMenu trayMenu(const TrayInputs& inputs);
// "8 peers", "1 peer", "— peers" in the chosen language.
QString peerText(std::optional<int> peerCount);
// The command the start/stop item runs now: read when pressed, not when drawn.
TrayCommand startStopCommand(ShellRunState state);
// A menu item's text with "&" kept literal (Qt reads a lone "&" as a shortcut mark).
QString menuText(const QString& text);

// A field of one of the session's records, whether a gadget, a map or a script object;
// an invalid QVariant when absent.
QVariant recordField(const QVariant& record, const char* name);

}  // namespace corvanta
