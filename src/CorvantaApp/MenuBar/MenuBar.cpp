#include "MenuBar/MenuBar.h"

#include <QAction>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMetaMethod>
#include <QPainter>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include "Localization/Localization.h"
#include "MenuBar/TrayMenuModel.h"
#include "MenuBar/TrayPresence.h"
#include "Shell/AppDelegate.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"
#include "Shell/Symbols.h"
#include "Shell/Theme.h"
#include "SystemServices/AppLinks.h"

namespace corvanta {
namespace {

// How long an X11 tray that came up after the application is given to bring its
// StatusNotifierItem host along.
constexpr int kStatusNotifierHostWaitMs = 2000;

QColor statusColor(StatusColor role, const Theme& theme) {
    switch (role) {
        case StatusColor::success:
            return theme.success();
        case StatusColor::warning:
            return theme.warning();
        case StatusColor::danger:
            return theme.danger();
        case StatusColor::textSecondary:
            break;
    }
    return theme.textSecondary();
}

}  // namespace

QIcon trayIcon(const QString& symbol, bool dark) {
    const Theme theme(dark, nullptr);
    const auto glyph = symbolGlyph(symbol);
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = theme.bitcoinOrange();
    QRectF area(4, 4, 56, 56);
    if (glyph && glyph->disc) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(area);
    } else if (glyph && glyph->ring) {
        painter.setPen(QPen(ink, 5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(area.adjusted(2.5, 2.5, -2.5, -2.5));
    }
    QFont font(symbolFontFamily());
    font.setPixelSize(glyph && (glyph->disc || glyph->ring) ? 36 : 54);
    painter.setFont(font);
    painter.setPen(glyph && glyph->disc ? QColor(Qt::white) : ink);
    if (glyph) painter.drawText(area, Qt::AlignCenter, QString(QChar(glyph->codePoint)));
    return QIcon(pixmap);
}

QIcon headerIcon(const QColor& status, int iconSize) {
    QIcon icon;
    // Drawn at each scale the menu may ask for, so no size is a scaled copy of another.
    for (const int scale : {1, 2}) {
        const int side = iconSize * scale;
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(status);
        const double dot = side * 0.625;
        painter.drawEllipse(QRectF((side - dot) / 2, (side - dot) / 2, dot, dot));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString headerText(const QString& status, const QString& network) {
    return network.isEmpty() ? status : status + QStringLiteral("  \u00b7  ") + network;
}

bool MenuBar::platformHasTray() {
    // Asking on the offscreen platform warns, and there is no tray there anyway.
    return QGuiApplication::platformName() != QLatin1String("offscreen") &&
           QGuiApplication::platformName() != QLatin1String("minimal");
}

MenuBar::MenuBar(AppDelegate& delegate, Prefs& prefs, Platform& platform, TrayPresence& presence,
                 QObject* parent)
    : QObject(parent),
      delegate_(delegate),
      prefs_(prefs),
      platform_(platform),
      presence_(presence),
      theme_(std::make_unique<Theme>(prefs, nullptr)) {
    connect(&prefs_, &Prefs::showInMenuBarChanged, this, &MenuBar::follow);
    connect(&presence_, &TrayPresence::changed, this, [this] {
        // A panel that hosts both kinds of item may take the X11 tray's selection before its
        // StatusNotifierItem host registers; the item waits a moment for the host, which shows
        // it on every desktop that hosts only those.
        if (icon_ == nullptr && presence_.xembedTray() && !presence_.statusNotifierHost() &&
            !awaitingStatusNotifierHost_) {
            awaitingStatusNotifierHost_ = true;
            QTimer::singleShot(kStatusNotifierHostWaitMs, this, [this] {
                awaitingStatusNotifierHost_ = false;
                follow();
            });
            return;
        }
        follow();
    });
    connect(&prefs_, &Prefs::showHashRateInMenuBarChanged, this, &MenuBar::refresh);
    connect(theme_.get(), &Theme::changed, this, &MenuBar::refresh);
    // The tooltip and an open menu show their texts again in the new language at once.
    connect(&Localization::shared(), &Localization::languageChanged, this, &MenuBar::refresh);
    connect(&delegate_, &AppDelegate::sessionChanged, this, &MenuBar::watchSession);
    connect(&delegate_, &AppDelegate::updateCheckingChanged, this, &MenuBar::refresh);
    follow();
    watchSession();
}

MenuBar::~MenuBar() = default;

bool MenuBar::isShown() const {
    return icon_ != nullptr && icon_->isVisible() && kind_ && presence_.shows(*kind_);
}

void MenuBar::follow() {
    if (!prefs_.showInMenuBar()) {
        if (icon_ == nullptr) return;
        icon_.reset();
        // The actions go with their menu; the next menu is built anew.
        header_ = nullptr;
        actions_.clear();
        menu_.reset();
        emit shownChanged();
        return;
    }
    // Once made, the item stays: both kinds of item come back by themselves when a tray of
    // their kind does. One of the other kind cannot show it (see `TrayItemKind`); the window is
    // the way in meanwhile.
    if (icon_ != nullptr || !platformHasTray() || !presence_.available() ||
        awaitingStatusNotifierHost_) {
        return;
    }
    makeIcon();
    emit shownChanged();
}

void MenuBar::makeIcon() {
    if (!kind_) kind_ = presence_.kindToMakeNow();
    menu_ = std::make_unique<QMenu>();
    icon_ = std::make_unique<QSystemTrayIcon>();
    icon_->setContextMenu(menu_.get());
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](auto reason) {
        if (reason == QSystemTrayIcon::Trigger) delegate_.openMainWindow();
    });
    refresh();
    icon_->show();
}

void MenuBar::watchSession() {
    QObject* session = delegate_.sessionIfMade();
    if (session == watched_ || session == nullptr) return;
    if (watched_ != nullptr) disconnect(watched_, nullptr, this, nullptr);
    watched_ = session;
    // Every change of the session may change the tray; many arrive together, so one refresh
    // follows them.
    const QMetaMethod queue = metaObject()->method(metaObject()->indexOfSlot("queueRefresh()"));
    const QMetaObject* meta = session->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (property.hasNotifySignal()) connect(session, property.notifySignal(), this, queue);
    }
    refresh();
}

void MenuBar::queueRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        refresh();
    });
}

void MenuBar::refresh() {
    if (icon_ == nullptr) return;
    TrayInputs inputs;
    if (QObject* session = delegate_.sessionIfMade()) inputs = TrayInputs::read(*session);
    inputs.showHashRate = prefs_.showHashRateInMenuBar();
    icon_->setIcon(trayIcon(traySymbol(inputs.runState), theme_->dark()));
    icon_->setToolTip(trayToolTip(inputs));
    updateMenu();
}

void MenuBar::applyPalette() {
    // Every colour group is the theme's: enabled rows in the primary text colour, disabled rows
    // (the header, the figures, an item that cannot run) in the secondary one, and the etched
    // shadow some styles draw under disabled text in the menu's own background, so a disabled
    // row never looks heavier than an enabled one.
    QPalette palette = menu_->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor text =
            group == QPalette::Disabled ? theme_->textSecondary() : theme_->textPrimary();
        palette.setColor(group, QPalette::Window, theme_->cardBackground());
        palette.setColor(group, QPalette::Base, theme_->cardBackground());
        palette.setColor(group, QPalette::Button, theme_->cardBackground());
        palette.setColor(group, QPalette::Light, theme_->cardBackground());
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Highlight, theme_->accent());
        palette.setColor(group, QPalette::HighlightedText, QColor(Qt::white));
    }
    menu_->setPalette(palette);
}

void MenuBar::buildMenu(const TrayMenu& model) {
    menu_->setToolTipsVisible(true);
    // Enabled, with nothing to do: a disabled row's icon is drawn greyed, and the status colour
    // is what the row is for.
    header_ = menu_->addAction(QString());
    actions_.clear();
    for (const TrayRow& row : model.rows) {
        if (row.kind == TrayRow::Kind::separator) {
            actions_.push_back(menu_->addSeparator());
            continue;
        }
        QAction* action = menu_->addAction(QString());
        if (row.kind == TrayRow::Kind::command) {
            connect(action, &QAction::triggered, this,
                    [this, command = row.command] { run(command); });
        }
        actions_.push_back(action);
    }
}

void MenuBar::updateMenu() {
    if (menu_ == nullptr) return;
    TrayInputs inputs;
    if (QObject* session = delegate_.sessionIfMade()) inputs = TrayInputs::read(*session);
    inputs.showHashRate = prefs_.showHashRateInMenuBar();
    inputs.updatesConfigured = delegate_.updatesConfigured();
    inputs.updateChecking = delegate_.updateChecking();
    inputs.widgetGalleryAvailable = delegate_.widgetGalleryAvailable();
    const TrayMenu model = trayMenu(inputs);
    if (header_ == nullptr) buildMenu(model);
    applyPalette();
    const int iconSize =
        menu_->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, menu_.get());
    header_->setIcon(headerIcon(statusColor(model.statusColor, *theme_), iconSize));
    header_->setText(menuText(headerText(model.statusText, model.networkBadge)));
    // The table keeps its rows and their order; the start/stop row changes its command with
    // the run state, which `run` reads again when pressed.
    for (std::size_t i = 0; i < model.rows.size() && i < actions_.size(); ++i) {
        const TrayRow& row = model.rows[i];
        QAction* action = actions_[i];
        if (row.kind == TrayRow::Kind::separator) continue;
        const QString text = row.kind == TrayRow::Kind::value
                                 ? row.label + QStringLiteral("\t") + row.value
                                 : row.label;
        if (action->text() != menuText(text)) action->setText(menuText(text));
        const bool enabled = row.kind == TrayRow::Kind::command && row.enabled;
        if (action->isEnabled() != enabled) action->setEnabled(enabled);
        if (action->isVisible() != row.visible) action->setVisible(row.visible);
        if (action->toolTip() != row.toolTip) action->setToolTip(row.toolTip);
    }
}

void MenuBar::run(TrayCommand command) {
    switch (command) {
        case TrayCommand::startMining:
        case TrayCommand::stopMining: {
            // The state is read again now, not when the menu was drawn.
            QObject& session = delegate_.session();
            const auto state = TrayInputs::read(session).runState;
            if (startStopCommand(state) == TrayCommand::startMining) {
                delegate_.startMining();
            } else {
                delegate_.stopMining();
            }
            break;
        }
        case TrayCommand::openWindow:
            delegate_.openMainWindow();
            break;
        case TrayCommand::openSettings:
            delegate_.openSettings();
            break;
        case TrayCommand::openWidgetGallery:
            delegate_.openWidgetGallery();
            break;
        case TrayCommand::checkForUpdates:
            delegate_.checkForUpdates();
            break;
        case TrayCommand::support:
            platform_.openUrl(AppLinks::support());
            break;
        case TrayCommand::quit:
            delegate_.requestQuit();
            break;
    }
}

}  // namespace corvanta
