#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "OddFiles.h"
#include "TestSupport.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

RPCTransportError::Kind failure(const fs::path& path) {
    try {
        RPCCredentials::readingCookie(path);
    } catch (const RPCTransportError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "cookie accepted";
    return RPCTransportError::EmptyResult{};
}

TEST(CookieFile, SplitAtTheFirstColonTrimmedAndRepaired) {
    const testing::TempDir dir;
    const fs::path& folder = dir.path();
    const fs::path path = folder / ".cookie";
    const struct {
        std::string contents, user, password;  // empty user: malformed
    } rows[] = {
        {"__cookie__:9f1c2b\n", "__cookie__", "9f1c2b"},
        {" \t\r\n__cookie__:9f1c2b\r\n\n ", "__cookie__", "9f1c2b"},
        {"\u00a0user:pw\u2028", "user", "pw"},  // Unicode blanks are trimmed too
        {"user:pa:ss:", "user", "pa:ss:"},
        {"user:\n", "user", ""},
        {"us er:p w", "us er", "p w"},
        // Invalid UTF-8 is replaced, a truncated sequence by one mark, keeping the next byte.
        {"us\xff"
         "er:p\xe2\x82w",
         "us\uFFFD"
         "er",
         "p\uFFFDw"},
        {":password", "", ""},
        {"no-colon-at-all", "", ""},
        {"", "", ""},
        {"  :pw\n", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.contents);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.contents;
        if (row.user.empty()) {
            EXPECT_EQ(failure(path),
                      RPCTransportError::Kind(RPCTransportError::MalformedCookie{path.string()}));
        } else {
            EXPECT_EQ(RPCCredentials::readingCookie(path),
                      (RPCCredentials{row.user, row.password}));
        }
    }
    // A folder where the file should be is unreadable, not an empty cookie.
    for (const fs::path& unreadable : {folder / "absent" / ".cookie", folder}) {
        EXPECT_EQ(
            failure(unreadable),
            RPCTransportError::Kind(RPCTransportError::CookieUnreadable{unreadable.string()}));
    }
}

// The node writes a plain file of some 75 bytes. Anything else in its place is no cookie: never
// waited on (a FIFO), never followed (a link), never read whole (a huge file); nor moved, since
// the folder is the node's.
TEST(CookieFile, OnlyAPlainFileWithinItsBoundIsRead) {
    for (const auto kind : testing::everyOddKind) {
        SCOPED_TRACE(testing::nameOf(kind));
        testing::TempDir dir;
        const auto cookie = dir.path() / ".cookie";
        testing::placeOdd(kind, cookie, dir.path() / "elsewhere", "__cookie__:secret");
        EXPECT_TRUE(std::holds_alternative<RPCTransportError::CookieUnreadable>(failure(cookie)));
        EXPECT_TRUE(fs::exists(fs::symlink_status(cookie)));
    }
    testing::TempDir dir;
    const auto cookie = dir.path() / ".cookie";
    testing::writeText(cookie, "__cookie__:" + std::string(4096 - 11, 'a'));
    EXPECT_EQ(RPCCredentials::readingCookie(cookie).password.size(), 4096u - 11);
    testing::writeText(cookie, "__cookie__:" + std::string(4096 - 10, 'a'));
    EXPECT_TRUE(std::holds_alternative<RPCTransportError::CookieUnreadable>(failure(cookie)));
}

TEST(RPCCredentials, AuthorizationHeaderIsBasicWithStandardBase64) {
    // All three padding lengths, and the characters + and / of the standard alphabet.
    EXPECT_EQ((RPCCredentials{"user", "pass"}).authorizationHeader(), "Basic dXNlcjpwYXNz");
    EXPECT_EQ((RPCCredentials{"a", ""}).authorizationHeader(), "Basic YTo=");
    EXPECT_EQ((RPCCredentials{"a", "b"}).authorizationHeader(), "Basic YTpi");
    EXPECT_EQ((RPCCredentials{"\xfb\xff", "~"}).authorizationHeader(), "Basic +/86fg==");
}

}  // namespace
}  // namespace corvanta
