#include "Localization/Localization.h"

#include <QLocale>
#include <QRegularExpression>

#include "Localization/TranslationTable.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/node/NodeProcessError.h"

namespace corvanta {
namespace {

const QString kLanguageKey = QStringLiteral("rigwell.language");

template <typename... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

}  // namespace

Localization::Localization(Preferences preferences, const QStringList& preferredSystemLanguages,
                           QObject* parent)
    : QObject(parent),
      preferences_(std::move(preferences)),
      language_(resolve(preferredSystemLanguages, preferences_.string(kLanguageKey))) {}

Localization& Localization::shared() {
    static Localization* const instance = new Localization(
        Preferences(), QLocale::system().uiLanguages());  // lives for the whole process
    return *instance;
}

void Localization::setLanguage(AppLanguage language) {
    if (language == language_.load()) return;
    language_.store(language);
    preferences_.setString(kLanguageKey, code(language));
    emit languageChanged(language);
}

QString Localization::string(const QString& key) const {
    return translation(language(), key).value_or(key);
}

std::optional<QString> translation(AppLanguage language, const QString& key) {
    if (language == AppLanguage::french) return key;
    const auto& lookup = translationTable().lookup[static_cast<std::size_t>(language)];
    const auto found = lookup.constFind(key);
    if (found == lookup.cend()) return std::nullopt;
    return *found;
}

QString fill(const QString& translated, const QStringList& args) {
    static const QRegularExpression placeholder(QStringLiteral("%%|%[0-9.]*[@dfsu]"));
    QString result;
    result.reserve(translated.size());
    qsizetype copied = 0;
    qsizetype nextArgument = 0;
    for (auto it = placeholder.globalMatch(translated); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(translated).mid(copied, match.capturedStart() - copied);
        if (match.capturedView() == u"%%") {
            result += u'%';
        } else if (nextArgument < args.size()) {
            result += args[nextArgument++];
        } else {
            result += match.capturedView();
        }
        copied = match.capturedEnd();
    }
    result += QStringView(translated).mid(copied);
    return result;
}

QString L(const QString& key, const QStringList& args) {
    return fill(Localization::shared().string(key), args);
}

bool takesPlural(std::int64_t count) {
    if (Localization::shared().language() == AppLanguage::french) return count > 1;
    return count != 1;
}

namespace ModuleMessage {

const QStringList& texts() {
    static const QStringList list = {
        QStringLiteral("Mining en pause — protection thermique de l'ordinateur"),
        QStringLiteral("Mining en pause — sur batterie"),
        QStringLiteral("Mining en pause — demandé"),
        QStringLiteral("Mining en pause — planning horaire"),
        QStringLiteral("Mining repris — température normale"),
        QStringLiteral("Mining repris — secteur rebranché"),
        QStringLiteral("Mining repris — demandé"),
        QStringLiteral("Mining repris — planning horaire"),
        QStringLiteral("Charge thermique élevée — réduction du nombre de workers"),
        QStringLiteral("Réglage avancé du nombre de workers appliqué"),
        QStringLiteral("Mode de puissance modifié"),
        QStringLiteral("en-tête de référence illisible"),
        QStringLiteral("cible de référence illisible"),
        QStringLiteral("le nonce connu du bloc 125 552 n'a pas été retrouvé"),
        QStringLiteral("condensat différent de celui de la chaîne"),
        QStringLiteral("un bloc réseau est arrivé pendant le contrôle"),
        QStringLiteral("version indéterminée (binaire illisible)"),
        QStringLiteral("version indéterminée (délai dépassé)"),
        QStringLiteral("version indéterminée (sortie inattendue de --version)"),
    };
    return list;
}

QString localized(const QString& text) {
    return texts().contains(text) ? Localization::shared().string(text) : text;
}

}  // namespace ModuleMessage

QString localizedMessage(const NodeProcessError& error) {
    const auto text = [](const std::string& value) { return QString::fromStdString(value); };
    return std::visit(
        Overloaded{
            [&](const NodeProcessError::BinaryMissing& e) {
                return L("Binaire du nœud introuvable : %@", text(e.path));
            },
            [&](const NodeProcessError::ExitedDuringStartup& e) {
                return L("Le nœud s'est arrêté pendant le démarrage (code %@) :\n%@",
                         QString::number(e.status), text(e.output));
            },
            [&](const NodeProcessError::CookieTimeout& e) {
                return L("Délai dépassé en attendant le cookie RPC : %@", text(e.path));
            },
            [&](const NodeProcessError::LockConflict& e) {
                return L(
                    "Un nœud Bitcoin semble déjà tourner sur ce dossier de données (%@). Cela "
                    "arrive après un arrêt brutal (crash, coupure de courant) ou si "
                    "l'application a été lancée deux fois. Quittez toute autre instance de "
                    "Corvanta ou de bitcoind, puis relancez — le verrou se libère de lui-même "
                    "une fois l'ancien processus terminé.",
                    text(e.dataDirectory));
            },
            [&](const NodeProcessError::IntegrityMismatch& e) {
                return L(
                    "Empreinte du binaire invalide : le nœud %@ attendu (empreinte %@), "
                    "binaire installé non conforme (empreinte %@ — %@). Relancer "
                    "scripts/fetch-bitcoind %@ pour installer la version vérifiée.",
                    {text(e.expectedVersion), text(e.expectedDigest), text(e.actualDigest),
                     ModuleMessage::localized(text(e.foundVersion)), text(e.expectedVersion)});
            },
            [](const NodeProcessError::AlreadyRunning&) {
                return Localization::shared().string("Le nœud est déjà démarré.");
            },
            [](const NodeProcessError::NotRunning&) {
                return Localization::shared().string("Le nœud n'est pas démarré.");
            },
            [](const NodeProcessError::WarmupTimeout&) {
                return Localization::shared().string(
                    "Délai dépassé en attendant la fin du démarrage interne du nœud.");
            },
        },
        error.kind());
}

QString localizedMessage(const NodeAbandonedError& error) {
    return L(takesPlural(error.attempts())
                 ? QStringLiteral("Nœud abandonné après %@ tentatives de redémarrage échouées : %@")
                 : QStringLiteral("Nœud abandonné après %@ tentative de redémarrage échouée : %@"),
             QString::number(error.attempts()), QString::fromStdString(error.lastError()));
}

}  // namespace corvanta
