#include <gtest/gtest.h>
#include <sys/stat.h>

#include <system_error>

#include "TestSupport.h"
#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/sha256/Sha256.h"

namespace corvanta {
namespace {

using testing::TempDir;

TEST(BinaryIntegrityTest, DigestOfEmptyAndMultiBlockFiles) {
    const TempDir dir;
    testing::writeText(dir.path() / "empty", "");
    EXPECT_EQ(BinaryIntegrity::sha256Hex(dir.path() / "empty"),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    // Spans several 1 MiB reads and ends mid-block.
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 131) >> 3);
    testing::writeText(dir.path() / "large", large);
    const auto expected = sha256::digest(
        std::span(reinterpret_cast<const std::uint8_t*>(large.data()), large.size()));
    EXPECT_EQ(BinaryIntegrity::sha256Hex(dir.path() / "large"), testing::hexOf(expected));
}

TEST(BinaryIntegrityTest, VerifyComparesLowerCasedAndReportsMismatch) {
    const TempDir dir;
    const auto file = dir.path() / "program";
    testing::writeText(file, "abc");
    const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_NO_THROW(BinaryIntegrity::verify(file, digest));

    const std::string other(64, 'F');
    try {
        BinaryIntegrity::verify(file, other);
        FAIL() << "a different digest must not verify";
    } catch (const BinaryIntegrityError& error) {
        EXPECT_EQ(error.kind(), BinaryIntegrityError::Kind(BinaryIntegrityError::DigestMismatch{
                                    std::string(64, 'f'), digest}));
    }
}

TEST(BinaryIntegrityTest, UnreadableFilesAreReportedByPath) {
    const TempDir dir;
    const auto missing = dir.path() / "no-such-program";
    try {
        BinaryIntegrity::sha256Hex(missing);
        FAIL() << "a missing file has no digest";
    } catch (const BinaryIntegrityError& error) {
        EXPECT_EQ(error.kind(), BinaryIntegrityError::Kind(
                                    BinaryIntegrityError::FileUnreadable{missing.string()}));
    }
    // A folder, or a FIFO that would hold the open for ever, is no program: named, never read.
    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& path : {dir.path(), fifo}) {
        try {
            BinaryIntegrity::sha256Hex(path);
            FAIL() << "no program has a digest: " << path;
        } catch (const BinaryIntegrityError& error) {
            EXPECT_EQ(error.kind(), BinaryIntegrityError::Kind(
                                        BinaryIntegrityError::FileUnreadable{path.string()}));
        }
    }
}

}  // namespace
}  // namespace corvanta
