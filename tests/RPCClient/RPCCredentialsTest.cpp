#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "corvanta/rpc/RPCClient.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

class CookieFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("corvanta-cookie-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path write(const std::string& contents) const {
        const fs::path path = folder_ / ".cookie";
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }

    static RPCTransportError::Kind failure(const fs::path& path) {
        try {
            RPCCredentials::readingCookie(path);
        } catch (const RPCTransportError& error) {
            return error.kind();
        }
        ADD_FAILURE() << "cookie accepted";
        return RPCTransportError::EmptyResult{};
    }

    fs::path folder_;
};

TEST_F(CookieFile, UserAndPasswordWithoutTheSurroundingBlanks) {
    EXPECT_EQ(RPCCredentials::readingCookie(write("__cookie__:9f1c2b\n")),
              (RPCCredentials{"__cookie__", "9f1c2b"}));
    EXPECT_EQ(RPCCredentials::readingCookie(write(" \t\r\n__cookie__:9f1c2b\r\n\n ")),
              (RPCCredentials{"__cookie__", "9f1c2b"}));
    // Unicode blanks count too (here a no-break space and a line separator).
    EXPECT_EQ(RPCCredentials::readingCookie(write("\u00a0user:pw\u2028")),
              (RPCCredentials{"user", "pw"}));
}

TEST_F(CookieFile, OnlyTheFirstColonSplits) {
    EXPECT_EQ(RPCCredentials::readingCookie(write("user:pa:ss:")),
              (RPCCredentials{"user", "pa:ss:"}));
    EXPECT_EQ(RPCCredentials::readingCookie(write("user:\n")), (RPCCredentials{"user", ""}));
    EXPECT_EQ(RPCCredentials::readingCookie(write("us er:p w")), (RPCCredentials{"us er", "p w"}));
}

TEST_F(CookieFile, MalformedWithoutUserOrColon) {
    for (const std::string_view contents : {":password", "no-colon-at-all", "", " \n", "  :pw\n"}) {
        SCOPED_TRACE(contents);
        const fs::path path = write(std::string(contents));
        EXPECT_EQ(failure(path),
                  RPCTransportError::Kind(RPCTransportError::MalformedCookie{path.string()}));
    }
}

TEST_F(CookieFile, InvalidUtf8IsReplacedNotRefused) {
    const RPCCredentials credentials =
        RPCCredentials::readingCookie(write("us\xff"
                                            "er:p\xe2\x82w"));
    EXPECT_EQ(credentials.user,
              "us\uFFFD"
              "er");
    // A truncated sequence is one replacement, and the byte after it is kept.
    EXPECT_EQ(credentials.password, "p\uFFFDw");
}

TEST_F(CookieFile, UnreadableNamesThePath) {
    const fs::path missing = folder_ / "absent" / ".cookie";
    EXPECT_EQ(failure(missing),
              RPCTransportError::Kind(RPCTransportError::CookieUnreadable{missing.string()}));
    // A folder where the file should be cannot be read either; it is not an empty cookie.
    EXPECT_EQ(failure(folder_),
              RPCTransportError::Kind(RPCTransportError::CookieUnreadable{folder_.string()}));
}

TEST(RPCCredentials, AuthorizationHeaderIsBasicWithStandardBase64) {
    EXPECT_EQ((RPCCredentials{"user", "pass"}).authorizationHeader(), "Basic dXNlcjpwYXNz");
    // All three padding lengths, and the characters + and / of the standard alphabet.
    EXPECT_EQ((RPCCredentials{"a", ""}).authorizationHeader(), "Basic YTo=");
    EXPECT_EQ((RPCCredentials{"a", "b"}).authorizationHeader(), "Basic YTpi");
    EXPECT_EQ((RPCCredentials{"ab", "c?"}).authorizationHeader(), "Basic YWI6Yz8=");
    EXPECT_EQ((RPCCredentials{"\xfb\xff", "~"}).authorizationHeader(), "Basic +/86fg==");
    EXPECT_EQ(
        (RPCCredentials{"__cookie__",
                        "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"})
            .authorizationHeader(),
        "Basic X19jb29raWVfXzowMTIzNDU2Nzg5YWJjZGVmMDEyMzQ1Njc4OWFiY2RlZjAxMjM0NTY3ODlhYmNkZWYw"
        "MTIzNDU2Nzg5YWJjZGVm");
}

}  // namespace
}  // namespace corvanta
