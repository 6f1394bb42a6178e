#include "corvanta/ledger/LedgerFigures.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace corvanta::ledger {

std::string fixed(double value, int decimals) {
    std::array<char, 400> buffer{};  // enough for any finite double in fixed notation
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc{}) return "—";
    return {buffer.data(), end};
}

std::string hashCount(std::uint64_t count) {
    static constexpr std::array<std::pair<std::uint64_t, char>, 6> suffixes = {
        {{1'000'000'000'000'000'000u, 'E'},
         {1'000'000'000'000'000u, 'P'},
         {1'000'000'000'000u, 'T'},
         {1'000'000'000u, 'G'},
         {1'000'000u, 'M'},
         {1'000u, 'k'}}};
    for (const auto& [threshold, suffix] : suffixes) {
        if (count >= threshold) {
            return fixed(double(count) / double(threshold), 2) + ' ' + suffix;
        }
    }
    return std::to_string(count);
}

std::string compactDifficulty(double d) {
    if (!(d > 0) || std::isinf(d)) return "—";
    static constexpr std::array<std::pair<double, char>, 4> suffixes = {
        {{1e12, 'T'}, {1e9, 'G'}, {1e6, 'M'}, {1e3, 'K'}}};
    for (const auto& [threshold, suffix] : suffixes) {
        if (d >= threshold) return fixed(d / threshold, 2) + ' ' + suffix;
    }
    return fixed(d, 2);
}

std::string firstIndices(const std::vector<std::int64_t>& indices) {
    std::string text;
    for (std::size_t i = 0; i < indices.size() && i < indicesShown; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(indices[i]);
    }
    return text;
}

std::optional<CrossCheck> crossCheck(double bestDifficultyProven, std::uint64_t hashesReported) {
    if (!(bestDifficultyProven > 0) || hashesReported == 0) return std::nullopt;
    const double expected = bestDifficultyProven * hashesPerDifficulty;
    CrossCheck check;
    // Capped first: a double above 2^64 has no unsigned value.
    check.expectedShown = std::uint64_t(std::min(expected, expectedHashesCap));
    check.ratio = double(hashesReported) / expected;
    // A sum past 64 bits is no count at all, whatever the proof would allow.
    check.coherent = check.ratio >= coherentFrom && check.ratio <= coherentTo &&
                     hashesReported != ProofVerification::hashesBeyondCount;
    check.ratioText = "×" + fixed(check.ratio, 2);
    return check;
}

std::optional<std::int64_t> blocksCovered(const ProofVerification& verification) {
    if (!verification.firstAnchor || !verification.lastAnchor) return std::nullopt;
    return verification.lastAnchor->height - verification.firstAnchor->height + 1;
}

Verdict verdictOf(const ProofVerification& verification, bool journalRefused) {
    if (!verification.isIntact()) return Verdict::altered;
    if (journalRefused) return Verdict::damagedJournal;
    if (verification.hashesReported == ProofVerification::hashesBeyondCount) {
        return Verdict::suspect;
    }
    const auto check = crossCheck(verification.bestDifficultyProven, verification.hashesReported);
    return check && !check->coherent ? Verdict::suspect : Verdict::intact;
}

std::string verdictWords(Verdict verdict) {
    switch (verdict) {
        case Verdict::altered:
            return "LEDGER TAMPERED";
        case Verdict::damagedJournal:
            return "DAMAGED JOURNAL: no entry from the refused line on is counted";
        case Verdict::suspect:
            return "SUSPECT: the declared hashes are out of the range the proof allows";
        case Verdict::intact:
            break;
    }
    return "Hash chain intact, headers re-verified";
}

}  // namespace corvanta::ledger
