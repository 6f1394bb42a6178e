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

    // The largest file read: the record takes some 130 bytes, a few hundred laid out by hand.
    static constexpr std::size_t fileBound = 64 * 1024;

    // The stored digest, or nullopt when the file is missing, unreadable, not of this shape, or
    // does not hold exactly 32 numbers from 0 to 255, or they are all zero. Never through a link,
    // never past `fileBound`, never blocking. Only reads. Never throws.
    std::optional<Digest> load() const;

    struct Saved {
        // What the file now holds: the digest given, or the lower one it already held.
        Digest held;
        // The event log's line about a file set aside before the write; none when all was well.
        std::optional<std::string> notice;
    };
    // Writes the record atomically, creating the folder. Only a 32-byte digest is ever written:
    // anything else would be stored as a record that no later load accepts, silently losing the
    // best ever reached, so it is refused with std::invalid_argument. The file is read again
    // first: a lower digest there is kept (written by another copy of the application, or there
    // when an earlier load could not read it); one that is no record (past its bound, not a
    // regular file, a link, undecodable) is renamed aside before anything is written in its
    // place; one that cannot be moved, or that the system will not let be read (EACCES, EIO), is
    // never written over. File errors, those two included, are thrown as FileWriteError.
    Saved save(std::span<const std::uint8_t> bigEndianDigest) const;

    // The record's text and back; decode gives nullopt wherever load() does. Never throws.
    static std::optional<Digest> decode(std::string_view text);
    static std::string encode(const Digest& bigEndianDigest);

  private:
    std::filesystem::path fileURL_;
};

}  // namespace corvanta
