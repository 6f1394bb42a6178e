#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/mining/CPUEngine.h"
#include "corvanta/support/IsoDate.h"

namespace corvanta {

// One entry of the hash-chained proof-of-mining ledger.
struct ProofEntry {
    std::int64_t index = 0;
    WholeSeconds timestamp{};
    std::int64_t networkHeight = 0;
    std::string networkBlockHash;
    std::uint64_t hashesReported = 0;
    std::optional<std::string> bestHeader;  // 160 lower-case hex digits, serialization order
    std::optional<std::string> bestDigest;  // 64 lower-case hex digits, display order
    std::string previousEntryHash;

    // "index|seconds|height|hash|hashes|header or -|digest or -|previous", UTF-8.
    std::string canonicalText() const;
    std::vector<std::uint8_t> canonicalBytes() const;
    // Double SHA-256 of the canonical bytes, lower-case hex, digest byte order.
    std::string entryHash() const;

    bool operator==(const ProofEntry&) const = default;
};

struct ProofAnchor {
    std::int64_t height;
    std::string hash;
    bool operator==(const ProofAnchor&) const = default;
};

struct ProofVerification {
    std::int64_t entriesChecked = 0;
    std::vector<std::int64_t> brokenChainAt;
    std::vector<std::int64_t> invalidWorkAt;
    double bestDifficultyProven = 0;
    std::uint64_t hashesReported = 0;  // wraps at 2^64
    std::optional<ProofAnchor> firstAnchor;
    std::optional<ProofAnchor> lastAnchor;

    bool isIntact() const { return brokenChainAt.empty() && invalidWorkAt.empty(); }
    // The difficulty and the anchors take no part in the comparison.
    bool operator==(const ProofVerification& other) const {
        return entriesChecked == other.entriesChecked && brokenChainAt == other.brokenChainAt &&
               invalidWorkAt == other.invalidWorkAt && hashesReported == other.hashesReported;
    }
};

// The append-only ledger of one network. Safe to share between threads; appends are serialised.
class ProofOfMining {
  public:
    static inline const std::string rootHash = std::string(64, '0');

    // Loads the ledger: missing or unreadable gives an empty ledger; undecodable is put aside.
    explicit ProofOfMining(std::filesystem::path fileURL);

    const std::filesystem::path& fileURL() const { return fileURL_; }
    std::optional<std::filesystem::path> quarantinedFileURL() const;

    std::vector<ProofEntry> allEntries() const;
    std::string headHash() const;

    struct Summary {
        ProofVerification verification;  // of the whole ledger; its entriesChecked is the count
        std::vector<ProofEntry> recent;  // the newest entries, oldest first
    };
    // What the ledger shows, without a copy of it: each entry is verified once, when it is
    // loaded or appended.
    Summary summary(std::size_t recent) const;

    // Appends an entry chained to the head and writes the file. Throws the persisting error; the
    // entry stays in memory and reaches the file with the next successful write. An anchor the
    // file could not hold (a height outside 0 to 2^31-1, a block hash other than 64 lower-case
    // hexadecimal digits) is refused with std::invalid_argument and nothing is appended.
    ProofEntry append(std::int64_t networkHeight, const std::string& networkBlockHash,
                      std::uint64_t hashesReported,
                      const std::optional<CPUEngine::BestAttempt>& bestAttempt,
                      WallClock::time_point timestamp);

    // Reads a ledger file without keeping it; empty when missing, unreadable or undecodable.
    static std::vector<ProofEntry> load(const std::filesystem::path& file);
    // A best header or digest that cannot be checked (one without the other, or a header that is
    // not 80 bytes of hex) counts as invalid work.
    static ProofVerification verify(const std::vector<ProofEntry>& entries);

    static std::string encode(const std::vector<ProofEntry>& entries);
    // Throws json::DecodeError, also for an entry that is not at its own index, a date the clock
    // cannot hold, a negative height, or a hash, header or digest not of its own length in
    // lower-case hexadecimal digits (a best header and its digest present together or not at all).
    static std::vector<ProofEntry> decode(std::string_view text);

  private:
    // Verifies a ledger one entry at a time, in order.
    struct Verifier {
        ProofVerification result;
        std::string expectedPrevious = rootHash;
        void add(const ProofEntry& entry);
    };

    std::string headHashLocked() const;

    const std::filesystem::path fileURL_;
    mutable std::mutex mutex_;
    std::vector<ProofEntry> entries_;
    Verifier verifier_;
    std::optional<std::filesystem::path> quarantinedFileURL_;
    bool mayWrite_ = true;
};

}  // namespace corvanta
