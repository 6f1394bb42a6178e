#include "MenuBar/TrayMenuModel.h"

#include <QJSValue>
#include <QMetaProperty>
#include <QObject>

#include "Localization/Formatting.h"
#include "Localization/Localization.h"
#include "SystemServices/EarningsScan.h"

namespace corvanta {
namespace {

QVariant plain(QVariant value) {
    if (value.metaType() == QMetaType::fromType<QJSValue>()) {
        value = value.value<QJSValue>().toVariant();
    }
    return value;
}

bool present(const QVariant& value) {
    return value.isValid() && !value.isNull();
}

QString hashRate(double rate) {
    return L(QStringLiteral("%.2f MH/s"), Formatting::fixed(rate, 2));
}

}  // namespace

QVariant recordField(const QVariant& recordValue, const char* name) {
    const QVariant record = plain(recordValue);
    if (!present(record)) return {};
    if (record.canConvert<QVariantMap>() && record.metaType().metaObject() == nullptr) {
        return plain(record.toMap().value(QLatin1String(name)));
    }
    const QMetaObject* meta = record.metaType().metaObject();
    if (meta == nullptr) return {};
    const int index = meta->indexOfProperty(name);
    if (index < 0) return {};
    return meta->property(index).readOnGadget(record.constData());
}

TrayInputs TrayInputs::read(const QObject& session) {
    const auto value = [&](const char* name) { return plain(session.property(name)); };
    TrayInputs inputs;
    const int state = value("runState").toInt();
    inputs.runState = state >= 0 && state <= int(ShellRunState::failed) ? ShellRunState(state)
                                                                        : ShellRunState::idle;
    inputs.governorPaused = value("governorPaused").toBool();
    inputs.hashRateMHs = value("currentHashRateMHs").toDouble();
    if (const QVariant earnings = value("earnings"); present(earnings)) {
        inputs.earningsSats = earningsTotalSats(recordField(earnings, "matureSats").toLongLong(),
                                                recordField(earnings, "immatureSats").toLongLong());
    }
    inputs.scanCoversConfiguredAddress = value("scanCoversConfiguredAddress").toBool();
    inputs.persistedHistoryTotalSats = value("persistedHistoryTotalSats").toLongLong();
    inputs.rpcLinkState = value("rpcLinkState").toInt();
    if (const QVariant chain = value("freshChainStatus"); present(chain)) {
        inputs.freshChainStatus = Chain{recordField(chain, "blocks").toLongLong(),
                                        recordField(chain, "headers").toLongLong(),
                                        recordField(chain, "initialBlockDownload").toBool()};
    }
    if (const QVariant peers = value("peerCount"); present(peers)) inputs.peerCount = peers.toInt();
    const QVariant active = value("activeNetwork");
    inputs.network = present(active) ? active.toString() : value("selectedNetwork").toString();
    return inputs;
}

QString traySymbol(ShellRunState state) {
    switch (state) {
        case ShellRunState::syncing:
        case ShellRunState::startingNode:
            return QStringLiteral("arrow.triangle.2.circlepath.circle");
        case ShellRunState::failed:
            return QStringLiteral("exclamationmark.triangle.fill");
        case ShellRunState::mining:
            return QStringLiteral("bitcoinsign.circle.fill");
        case ShellRunState::idle:
        case ShellRunState::stopping:
            break;
    }
    return QStringLiteral("bitcoinsign.circle");
}

QString trayHashRateText(const TrayInputs& inputs) {
    if (inputs.runState != ShellRunState::mining || !inputs.showHashRate) return {};
    return hashRate(inputs.hashRateMHs);
}

QString trayToolTip(const TrayInputs& inputs) {
    const QString rate = trayHashRateText(inputs);
    return rate.isEmpty() ? QStringLiteral("Corvanta") : QStringLiteral("Corvanta\n") + rate;
}

TrayCommand startStopCommand(ShellRunState state) {
    return state == ShellRunState::idle || state == ShellRunState::failed ? TrayCommand::startMining
                                                                          : TrayCommand::stopMining;
}

QString menuText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString peerText(std::optional<int> peerCount) {
    if (!peerCount) return L(QStringLiteral("— pairs"));
    return L(takesPlural(*peerCount) ? QStringLiteral("%@ pairs") : QStringLiteral("%@ pair"),
             QString::number(*peerCount));
}

TrayMenu trayMenu(const TrayInputs& in) {
    TrayMenu menu;
    switch (in.runState) {
        case ShellRunState::syncing:
            menu.statusText = L(QStringLiteral("Synchronisation…"));
            menu.statusColor = StatusColor::warning;
            break;
        case ShellRunState::failed:
            menu.statusText = L(QStringLiteral("Échec"));
            menu.statusColor = StatusColor::danger;
            break;
        case ShellRunState::idle:
            menu.statusText = L(QStringLiteral("Arrêté"));
            menu.statusColor = StatusColor::textSecondary;
            break;
        case ShellRunState::startingNode:
            menu.statusText = L(QStringLiteral("Démarrage…"));
            menu.statusColor = StatusColor::warning;
            break;
        case ShellRunState::mining:
            menu.statusText = L(in.governorPaused ? QStringLiteral("En pause")
                                                  : QStringLiteral("Minage en cours"));
            menu.statusColor = in.governorPaused ? StatusColor::warning : StatusColor::success;
            break;
        case ShellRunState::stopping:
            menu.statusText = L(QStringLiteral("Arrêt…"));
            menu.statusColor = StatusColor::warning;
            break;
    }
    menu.networkBadge = in.network.toUpper();

    const std::int64_t sats = in.earningsSats && in.scanCoversConfiguredAddress
                                  ? *in.earningsSats
                                  : in.persistedHistoryTotalSats;
    QString node;
    if (in.rpcLinkState == 0) {
        node = L(QStringLiteral("Non connecté"));
    } else if (in.rpcLinkState != 1 || !in.freshChainStatus) {
        node = L(QStringLiteral("Sans réponse"));
    } else {
        const QString peers = peerText(in.peerCount);
        const bool synced = !in.freshChainStatus->initialBlockDownload &&
                            in.freshChainStatus->blocks == in.freshChainStatus->headers;
        node =
            L(synced ? QStringLiteral("Synchronisé · %@") : QStringLiteral("Synchronisation · %@"),
              peers);
    }
    const auto value = [](QString label, QString text) {
        TrayRow row;
        row.label = std::move(label);
        row.value = std::move(text);
        return row;
    };
    const auto command = [](QString label, TrayCommand what, bool enabled = true,
                            QString toolTip = {}) {
        TrayRow row;
        row.kind = TrayRow::Kind::command;
        row.label = std::move(label);
        row.command = what;
        row.enabled = enabled;
        row.toolTip = std::move(toolTip);
        return row;
    };
    TrayRow separator;
    separator.kind = TrayRow::Kind::separator;
    const QString notConfigured =
        L(QStringLiteral("Les mises à jour ne sont pas encore configurées pour cette version."));
    TrayRow updatesNote;
    updatesNote.kind = TrayRow::Kind::note;
    updatesNote.label = notConfigured;
    updatesNote.enabled = false;
    updatesNote.visible = !in.updatesConfigured;
    const bool startable = startStopCommand(in.runState) == TrayCommand::startMining;
    // The one way back to widgets the user removed: nothing else opens the gallery unasked.
    TrayRow widgetGallery =
        command(L(QStringLiteral("Galerie de widgets…")), TrayCommand::openWidgetGallery);
    widgetGallery.visible = in.widgetGalleryAvailable;
    menu.rows = {
        separator,
        value(L(QStringLiteral("Débit de hachage")), hashRate(in.hashRateMHs)),
        value(L(QStringLiteral("Gains")), Formatting::bitcoin(sats)),
        value(L(QStringLiteral("Nœud")), node),
        separator,
        command(L(startable ? QStringLiteral("Démarrer le minage")
                            : QStringLiteral("Arrêter le minage")),
                startable ? TrayCommand::startMining : TrayCommand::stopMining),
        command(L(QStringLiteral("Ouvrir Corvanta")), TrayCommand::openWindow),
        command(L(QStringLiteral("Réglages…")), TrayCommand::openSettings),
        widgetGallery,
        separator,
        command(L(in.updateChecking ? QStringLiteral("Recherche de mises à jour…")
                                    : QStringLiteral("Rechercher des mises à jour…")),
                TrayCommand::checkForUpdates, in.updatesConfigured && !in.updateChecking,
                in.updatesConfigured ? L(QStringLiteral("Rechercher des mises à jour…"))
                                     : notConfigured),
        updatesNote,
        command(L(QStringLiteral("Support et idées")), TrayCommand::support),
        separator,
        command(L(QStringLiteral("Quitter")), TrayCommand::quit),
    };
    return menu;
}

}  // namespace corvanta
