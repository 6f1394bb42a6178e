#include "LedgerReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <exception>
#include <utility>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::verify {
namespace {

// What the sheet calls a coherent count: within these factors of the proof's expectation.
constexpr double kCoherentBelow = 0.02;
constexpr double kCoherentAbove = 50;
constexpr double kExpectedHashesCap = 1e18;
constexpr double kHashesPerDifficulty = 4294967296.0;
constexpr std::size_t kIndicesShown = 6;

std::string fixed(double value, int decimals) {
    std::array<char, 400> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc{}) return "—";
    return {buffer.data(), end};
}

std::string indices(const std::vector<std::int64_t>& at) {
    std::string text;
    for (std::size_t i = 0; i < at.size() && i < kIndicesShown; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(at[i]);
    }
    if (at.size() > kIndicesShown) text += ", … (" + std::to_string(at.size()) + " in all)";
    return text;
}

void line(std::string& text, std::string_view label, const std::string& value) {
    text += label;
    text += std::string(label.size() < 28 ? 28 - label.size() : 1, ' ');
    text += value;
    text += '\n';
}

// Refuses anything but a regular file (or none at all): opening a pipe would wait for a writer.
void requireRegularOrAbsent(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return;
    if (error) throw FileReadError("cannot examine " + path.string() + ": " + error.message());
    if (status.type() != std::filesystem::file_type::regular) {
        throw FileReadError(path.string() + " is not a regular file");
    }
}

}  // namespace

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

std::string describe(const ProofVerification& v) {
    std::string text;
    line(text, "Entries", std::to_string(v.entriesChecked));
    line(text, "Chain of entry hashes",
         v.brokenChainAt.empty() ? "intact" : "BROKEN at entries " + indices(v.brokenChainAt));
    line(text, "Best headers re-hashed",
         v.invalidWorkAt.empty() ? "all match their digests"
                                 : "INVALID at entries " + indices(v.invalidWorkAt));
    if (v.firstAnchor && v.lastAnchor) {
        line(text, "Anchored from block",
             std::to_string(v.firstAnchor->height) + "  " + v.firstAnchor->hash);
        line(text, "up to block", std::to_string(v.lastAnchor->height) + "  " + v.lastAnchor->hash);
        line(text, "Network blocks covered",
             std::to_string(v.lastAnchor->height - v.firstAnchor->height + 1));
    }
    line(text, "Proven difficulty",
         v.bestDifficultyProven > 0 ? compactDifficulty(v.bestDifficultyProven) + " (" +
                                          fixed(v.bestDifficultyProven, 8) + ")"
                                    : "—");
    line(text, "Hashes reported",
         hashCount(v.hashesReported) + " (" + std::to_string(v.hashesReported) + ")");
    if (v.bestDifficultyProven > 0 && v.hashesReported > 0) {
        const double expected = v.bestDifficultyProven * kHashesPerDifficulty;
        const double ratio = double(v.hashesReported) / expected;
        const bool coherent = ratio >= kCoherentBelow && ratio <= kCoherentAbove;
        line(text, "Expected from the proof",
             hashCount(std::uint64_t(std::min(expected, kExpectedHashesCap))));
        line(text, "Cross-check",
             "×" + fixed(ratio, 2) + " — " + (coherent ? "consistent" : "SUSPECT"));
    }
    return text;
}

Report check(const std::filesystem::path& file) {
    Report report;
    ProofOfMining::Reading reading;
    try {
        requireRegularOrAbsent(file);
        requireRegularOrAbsent(file.string() + ".journal");
        reading = ProofOfMining::readForCheck(file);
    } catch (const FileReadError& error) {
        report.errors = std::string("corvanta-verify: ") + error.what() + "\n";
        return report;
    } catch (const json::DecodeError& error) {
        report.errors = "corvanta-verify: " + file.string() +
                        " is damaged and cannot be checked: " + error.what() + "\n";
        return report;
    }
    const ProofVerification verification = ProofOfMining::verify(reading.entries);
    report.text = "Ledger                      " + file.string() + "\n";
    report.text += "Journal                     ";
    report.text += reading.journalLines > 0 || reading.journalUnfinished
                       ? std::to_string(reading.journalLines) + " line(s) read\n"
                       : std::string("none\n");
    report.text += describe(verification);
    if (reading.journalUnfinished) {
        report.errors +=
            "corvanta-verify: the journal ends in a line never finished (an "
            "interrupted write); it holds no entry and was not counted\n";
    }
    if (verification.isIntact()) {
        report.verdict = Verdict::intact;
        report.text += "Verdict                     every check holds\n";
        return report;
    }
    report.verdict = Verdict::altered;
    report.text += "Verdict                     ALTERED\n";
    if (!verification.brokenChainAt.empty()) {
        report.errors += "corvanta-verify: the chain of entry hashes is broken at entry " +
                         std::to_string(verification.brokenChainAt.front()) +
                         " (its previous-entry hash is not the hash of the entry before it)\n";
    }
    if (!verification.invalidWorkAt.empty()) {
        report.errors += "corvanta-verify: entry " +
                         std::to_string(verification.invalidWorkAt.front()) +
                         ": its best header does not hash to its recorded digest\n";
    }
    return report;
}

}  // namespace corvanta::verify
