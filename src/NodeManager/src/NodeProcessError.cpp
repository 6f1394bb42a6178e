#include "corvanta/node/NodeProcessError.h"

#include <utility>

namespace corvanta {
namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

NodeProcessError::NodeProcessError(Kind kind)
    : std::runtime_error(describe(kind)), kind_(std::move(kind)) {}

std::string NodeProcessError::describe(const Kind& kind) {
    using std::string;
    return std::visit(
        Overloaded{
            [](const BinaryMissing& e) { return "Binaire du nœud introuvable : " + e.path; },
            [](const ExitedDuringStartup& e) {
                return "Le nœud s'est arrêté pendant le démarrage (code " +
                       std::to_string(e.status) + ") :\n" + e.output;
            },
            [](const CookieTimeout& e) {
                return "Délai dépassé en attendant le cookie RPC : " + e.path;
            },
            [](const LockConflict& e) {
                return "Un nœud Bitcoin semble déjà tourner sur ce dossier de données (" +
                       e.dataDirectory +
                       "). Cela arrive après un arrêt brutal (crash, coupure de courant) ou si "
                       "l'application a été lancée deux fois. Quittez toute autre instance de "
                       "Corvanta ou de bitcoind, puis relancez — le verrou se libère de lui-même "
                       "une fois l'ancien processus terminé.";
            },
            [](const IntegrityMismatch& e) {
                return "Empreinte du binaire invalide : le nœud " + e.expectedVersion +
                       " attendu (empreinte " + e.expectedDigest +
                       "), binaire installé non conforme (empreinte " + e.actualDigest + " — " +
                       e.foundVersion + "). Relancer scripts/fetch-bitcoind " + e.expectedVersion +
                       " pour installer la version vérifiée.";
            },
            [](const AlreadyRunning&) { return string("Le nœud est déjà démarré."); },
            [](const NotRunning&) { return string("Le nœud n'est pas démarré."); },
            [](const WarmupTimeout&) {
                return string("Délai dépassé en attendant la fin du démarrage interne du nœud.");
            },
        },
        kind);
}

}  // namespace corvanta
