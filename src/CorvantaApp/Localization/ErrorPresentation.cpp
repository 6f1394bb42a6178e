#include "Localization/ErrorPresentation.h"

#include "Localization/Localization.h"
#include "SystemServices/EarningsScan.h"
#include "SystemServices/PayoutResolution.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/rpc/RPCErrors.h"

namespace corvanta::ErrorPresentation {
namespace {

QString rpcMessage(const RPCError& error) {
    return L("Le nœud a refusé la requête (code %d) : %@", QString::number(error.code()),
             QString::fromStdString(error.message()));
}

// The connection failures the RPC client reports (libcurl's, in the place of the platform's URL
// errors).
QString urlMessage(const RPCTransportError::Network& failure) {
    if (failure.cannotConnect) {
        return Localization::shared().string(
            "Le nœud Bitcoin ne répond pas. Il s'est arrêté, ou n'a pas fini de démarrer. "
            "Relancez le minage : le nœud redémarre avec lui.");
    }
    if (failure.timedOut) {
        return Localization::shared().string(
            "Le nœud Bitcoin n'a pas répondu dans le délai imparti. C'est normal pendant une "
            "reprise de synchronisation ; s'il reste muet, relancez le minage.");
    }
    return L("La connexion au nœud Bitcoin a échoué : %@",
             QString::fromStdString(failure.description));
}

QString transportMessage(const RPCTransportError& error) {
    const auto& kind = error.kind();
    if (const auto* status = std::get_if<RPCTransportError::HttpStatus>(&kind)) {
        return L(
            "Le nœud a répondu par une erreur HTTP %d. S'il s'agit d'un 401, le cookie "
            "d'authentification RPC ne correspond plus au nœud en cours — quittez puis "
            "relancez Corvanta pour en relire un valide.",
            QString::number(status->status));
    }
    if (const auto* cookie = std::get_if<RPCTransportError::CookieUnreadable>(&kind)) {
        return L(
            "Le cookie d'authentification du nœud est illisible (%@). Il est créé par le "
            "nœud à son démarrage : s'il est absent, le nœud n'a pas démarré.",
            QString::fromStdString(cookie->path));
    }
    if (const auto* cookie = std::get_if<RPCTransportError::MalformedCookie>(&kind)) {
        return L(
            "Le cookie d'authentification du nœud est mal formé (%@). Supprimez-le et "
            "relancez : le nœud en écrit un neuf à chaque démarrage.",
            QString::fromStdString(cookie->path));
    }
    if (std::holds_alternative<RPCTransportError::EmptyResult>(kind)) {
        return Localization::shared().string(
            "Le nœud a répondu sans résultat à une requête qui en attendait un. Relancer le "
            "minage suffit généralement ; si cela se répète, le nœud est à redémarrer.");
    }
    if (const auto* tooLarge = std::get_if<RPCTransportError::ReplyTooLarge>(&kind)) {
        return L(
            "La réponse du nœud dépasse %@ Mo, la taille maximale acceptée pour cette "
            "requête. Rien n'a été perdu ; la requête sera refaite plus tard.",
            QString::number(double(tooLarge->limitBytes) / (1024.0 * 1024.0), 'f', 0));
    }
    return urlMessage(std::get<RPCTransportError::Network>(kind));
}

}  // namespace

QString explain(const std::exception& error) {
    if (const auto* e = dynamic_cast<const NodeProcessError*>(&error)) return localizedMessage(*e);
    if (const auto* e = dynamic_cast<const PayoutResolutionError*>(&error)) {
        return e->localizedMessage();
    }
    if (const auto* e = dynamic_cast<const NodeAbandonedError*>(&error))
        return localizedMessage(*e);
    if (const auto* e = dynamic_cast<const EarningsScanError*>(&error)) {
        return QString::fromUtf8(e->what());
    }
    if (needsSignetSignature(error)) {
        return Localization::shared().string(
            "Ce signet n'accepte que des blocs signés par ses signataires, et Corvanta ne peut "
            "pas les signer : il n'y mine pas. Seul un signet dont le défi se passe de signature "
            "(OP_TRUE, par exemple) peut être miné.");
    }
    if (const auto* e = dynamic_cast<const RPCError*>(&error)) return rpcMessage(*e);
    if (const auto* e = dynamic_cast<const RPCTransportError*>(&error)) return transportMessage(*e);
    return QString::fromUtf8(error.what());
}

}  // namespace corvanta::ErrorPresentation
