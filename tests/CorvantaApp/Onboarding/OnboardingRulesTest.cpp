#include <gtest/gtest.h>

#include "LanguageScope.h"
#include "Onboarding/OnboardingRules.h"

namespace corvanta {
namespace {

using testing::LanguageScope;

const QString mainnetAddress = QStringLiteral("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4");
const QString testnetAddress =
    QStringLiteral("tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sl5k7");

TEST(AccentSegments, MarkersSplitIntoAlternatingRunsKeepingEmptyPieces) {
    struct Case {
        QString text;
        std::vector<TextSegment> expected;
    };
    const std::vector<Case> cases = {
        {"plain", {{"plain", false}}},
        {"", {{"", false}}},
        {"Miner **sans** y penser", {{"Miner ", false}, {"sans", true}, {" y penser", false}}},
        {"**word**", {{"", false}, {"word", true}, {"", false}}},
        // An odd number of markers accents everything after the last one.
        {"a**b**c**d", {{"a", false}, {"b", true}, {"c", false}, {"d", true}}},
        {"a****b", {{"a", false}, {"", true}, {"b", false}}},
        {"a***b", {{"a", false}, {"*b", true}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(accentSegments(c.text), c.expected) << c.text.toStdString();
    }
}

TEST(AddressState, FollowsTheTableInOrderAndGatesTheAddressStepAlike) {
    const LanguageScope french(AppLanguage::french);
    const QString emptyElsewhere = QStringLiteral(
        "Une adresse commençant par bc1. Les adresses en 1… ou 3… ne sont pas acceptées.");
    struct Case {
        const char* network;
        QString input;
        AddressState expected;  // an empty hint: the resolution's own message
        bool advances;
    };
    const std::vector<Case> cases = {
        {"regtest", "", {false, "Vide toléré en regtest.", "warningText"}, true},
        {"regtest", " \n\t ", {false, "Vide toléré en regtest.", "warningText"}, true},
        {"mainnet", "", {false, emptyElsewhere, "dangerText"}, false},
        {"mainnet", "  \n", {false, emptyElsewhere, "dangerText"}, false},
        {"testnet4", "", {false, emptyElsewhere, "dangerText"}, false},
        {"signet", "", {false, emptyElsewhere, "dangerText"}, false},
        {"mainnet", "  " + mainnetAddress + "\n", {true, "Adresse valide.", "successText"}, true},
        {"mainnet", testnetAddress, {false, "", "dangerText"}, false},
        {"mainnet", "bc1qnotanaddress", {false, "", "dangerText"}, false},
        {"testnet4", testnetAddress + " ", {true, "Adresse valide.", "successText"}, true},
    };
    for (const auto& c : cases) {
        const AddressState state = addressState(c.network, c.input);
        const std::string label = std::string(c.network) + " [" + c.input.toStdString() + "]";
        EXPECT_EQ(state.isValid, c.expected.isValid) << label;
        EXPECT_EQ(state.colorRole, c.expected.colorRole) << label;
        if (c.expected.hint.isEmpty()) {
            EXPECT_TRUE(state.hint.startsWith("Adresse de paiement invalide : ")) << label;
        } else {
            EXPECT_EQ(state.hint, c.expected.hint) << label;
        }
        EXPECT_EQ(canAdvance(1, c.network, c.input), c.advances) << label;
        // Every other step lets the user go on, whatever the address.
        for (const int other : {0, 2, 3, 4}) EXPECT_TRUE(canAdvance(other, c.network, c.input));
    }
}

TEST(AddressState, HintsFollowTheLanguage) {
    const LanguageScope english(AppLanguage::english);
    EXPECT_NE(addressState("regtest", "").hint, QStringLiteral("Vide toléré en regtest."));
    EXPECT_NE(addressState("mainnet", mainnetAddress).hint, QStringLiteral("Adresse valide."));
}

}  // namespace
}  // namespace corvanta
