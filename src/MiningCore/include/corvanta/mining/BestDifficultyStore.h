#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvanta {

// Persists the lowest block-header digest ever produced on one network, big-endian (hash bytes
// reversed), as {"bestDigestBigEndianBytes":[32 numbers]}.
class BestDifficultyStore {
  public:
    using Digest = std::array<std::uint8_t, 32>;

    explicit BestDifficultyStore(std::filesystem::path fileURL);

    const std::filesystem::path& fileURL() const { return fileURL_; }

    // The stored digest, or nullopt when the file is missing, unreadable, not of this shape, or
    // does not hold exactly 32 numbers from 0 to 255, or they are all zero. Never throws.
    std::optional<Digest> load() const;

    // Writes the record atomically, creating the folder. Only a 32-byte digest is ever written:
    // anything else would be stored as a record that no later load accepts, silently losing the
    // best ever reached, so it is refused with std::invalid_argument. File errors are thrown as
    // FileWriteError.
    void save(std::span<const std::uint8_t> bigEndianDigest) const;

    // The record's text and back; decode gives nullopt wherever load() does. Never throws.
    static std::optional<Digest> decode(std::string_view text);
    static std::string encode(const Digest& bigEndianDigest);

  private:
    std::filesystem::path fileURL_;
};

}  // namespace corvanta
