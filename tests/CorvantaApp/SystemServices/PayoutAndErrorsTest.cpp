#include <gtest/gtest.h>

#include "LanguageScope.h"
#include "Localization/ErrorPresentation.h"
#include "SystemServices/EarningsScan.h"
#include "SystemServices/PayoutResolution.h"
#include "TestSupport.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/rpc/RPCErrors.h"

namespace corvanta {
namespace {

using testing::LanguageScope;
using Error = PayoutResolutionError;

const char* kMainnetAddress = "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4";
const char* kTestnetAddress = "tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sl5k7";
const char* kRegtestAddress = "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85";

TEST(PayoutResolution, TrimsResolvesFallsBackAndRefuses) {
    const auto resolved =
        resolvePayout(BitcoinNetwork::mainnet, QString(" \t") + kMainnetAddress + "\u00a0\r\n");
    ASSERT_TRUE(std::holds_alternative<PayoutResolution>(resolved));
    const auto& payout = std::get<PayoutResolution>(resolved);
    EXPECT_EQ(payout.display, kMainnetAddress);
    EXPECT_EQ(testing::hexOf(payout.script), "0014751e76e8199196d454941c45d1b3a323f1433bd6");
    EXPECT_FALSE(payout.isUnsafeOpTrue);

    const auto regtest = resolvePayout(BitcoinNetwork::regtest, kRegtestAddress);
    ASSERT_TRUE(std::holds_alternative<PayoutResolution>(regtest));
    EXPECT_EQ(testing::hexOf(std::get<PayoutResolution>(regtest).script),
              "00204ae81572f06e1b88fd5ced7a1a000945432e83e1551e6f721ee9c00b8cc33260");

    for (const QString& blank : {QString(), QString(" \n\t ")}) {
        EXPECT_EQ(resolvePayout(BitcoinNetwork::regtest, blank),
                  (std::variant<PayoutResolution, Error>(PayoutResolution{
                      {0x51},
                      "OP_TRUE (regtest, aucune adresse — dépensable par n'importe qui)",
                      true})));
        EXPECT_EQ(resolvePayout(BitcoinNetwork::signet, blank),
                  (std::variant<PayoutResolution, Error>(
                      Error(Error::AddressRequired{BitcoinNetwork::signet}))));
    }

    const auto wrong = resolvePayout(BitcoinNetwork::mainnet, kTestnetAddress);
    ASSERT_TRUE(std::holds_alternative<Error>(wrong));
    EXPECT_EQ(std::get<Error>(wrong).kind(),
              Error::Kind(Error::InvalidAddress{R"(wrongNetwork(expected: "bc", found: "tb"))"}));
}

TEST(PayoutResolution, TheDescriptionStaysFrench) {
    const Error invalid(Error::InvalidAddress{"notSegwit"});
    const LanguageScope german(AppLanguage::german);
    EXPECT_EQ(invalid.description(), "Adresse de paiement invalide : notSegwit");
    EXPECT_EQ(QString::fromUtf8(invalid.what()), invalid.description());
    const LanguageScope french(AppLanguage::french);
    EXPECT_EQ(invalid.localizedMessage(), invalid.description());
}

// One error of each family and what it reads as, in French then in English.
TEST(ErrorPresentation, ExplainsEachFamilyInTwoLanguages) {
    using Transport = RPCTransportError;
    const RPCError refused(-28, "Loading block index…");
    const Transport http(Transport::HttpStatus{401});
    const Transport unreadable(Transport::CookieUnreadable{"/d/.cookie"});
    const Transport malformed(Transport::MalformedCookie{"/d/.cookie"});
    const Transport empty(Transport::EmptyResult{});
    const Transport noConnection(Transport::Network{"Couldn't connect to server", false, true});
    const Transport timedOut(Transport::Network{"Timeout was reached", true, false});
    const Transport otherNetwork(Transport::Network{"SSL connect error", false, false});
    const Transport tooLarge(Transport::ReplyTooLarge{64 * 1024 * 1024});
    const NodeProcessError missing(NodeProcessError::BinaryMissing{"/x/bitcoind"});
    const NodeAbandonedError abandoned(3, "boom");
    const Error payout(Error::AddressRequired{BitcoinNetwork::testnet4});
    const EarningsScanError scan;
    const std::runtime_error other("template malformed: bits");

    const LanguageScope french(AppLanguage::french);
    EXPECT_EQ(ErrorPresentation::explain(refused),
              "Le nœud a refusé la requête (code -28) : Loading block index…");
    EXPECT_TRUE(ErrorPresentation::explain(http).startsWith(
        "Le nœud a répondu par une erreur HTTP 401. S'il s'agit d'un 401,"));
    EXPECT_TRUE(ErrorPresentation::explain(unreadable).contains("illisible (/d/.cookie)"));
    EXPECT_TRUE(ErrorPresentation::explain(malformed).contains("mal formé (/d/.cookie)"));
    EXPECT_TRUE(ErrorPresentation::explain(empty).startsWith("Le nœud a répondu sans résultat"));
    EXPECT_TRUE(
        ErrorPresentation::explain(noConnection).startsWith("Le nœud Bitcoin ne répond pas."));
    EXPECT_TRUE(ErrorPresentation::explain(timedOut).startsWith(
        "Le nœud Bitcoin n'a pas répondu dans le délai imparti."));
    EXPECT_EQ(ErrorPresentation::explain(otherNetwork),
              "La connexion au nœud Bitcoin a échoué : SSL connect error");
    EXPECT_TRUE(ErrorPresentation::explain(tooLarge).startsWith(
        "La réponse du nœud dépasse 64 Mo, la taille maximale acceptée"));
    EXPECT_EQ(ErrorPresentation::explain(missing), "Binaire du nœud introuvable : /x/bitcoind");
    EXPECT_EQ(ErrorPresentation::explain(abandoned),
              "Nœud abandonné après 3 tentatives de redémarrage échouées : boom");
    EXPECT_EQ(ErrorPresentation::explain(payout),
              "Adresse de paiement obligatoire sur testnet4 — pas de valeur par défaut.");
    EXPECT_EQ(ErrorPresentation::explain(scan), "scantxoutset returned success=false");
    EXPECT_EQ(ErrorPresentation::explain(other), "template malformed: bits");

    const LanguageScope english(AppLanguage::english);
    EXPECT_EQ(ErrorPresentation::explain(refused),
              "The node refused the request (code -28): Loading block index…");
    EXPECT_EQ(ErrorPresentation::explain(missing), "Node binary not found: /x/bitcoind");
    EXPECT_EQ(ErrorPresentation::explain(scan), "scantxoutset returned success=false");
    EXPECT_EQ(ErrorPresentation::explain(other), "template malformed: bits");
    EXPECT_TRUE(ErrorPresentation::explain(tooLarge).startsWith(
        "The node's answer is larger than 64 MB, the most this request accepts."));
    // The two "node silent" texts and the connection failure stay three different sentences.
    EXPECT_NE(ErrorPresentation::explain(noConnection), ErrorPresentation::explain(timedOut));
    EXPECT_TRUE(ErrorPresentation::explain(otherNetwork).contains("SSL connect error"));
}

}  // namespace
}  // namespace corvanta
