#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/IsoDate.h"
#include "corvanta/support/StrictJson.h"
#include "corvanta/support/UserFolders.h"
#include "corvanta/support/Uuid.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;

TEST(IsoDate, RoundTripsWholeSecondsAndDropsTheFraction) {
    const auto instant = WallClock::time_point(std::chrono::milliseconds(1'305'998'791'900));
    EXPECT_EQ(formatIsoDate(instant), "2011-05-21T17:26:31Z");
    const auto parsed = parseIsoDate("2011-05-21T17:26:31Z");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, wholeSeconds(instant));
    EXPECT_EQ(formatIsoDate(WallClock::time_point{}), "1970-01-01T00:00:00Z");
}

TEST(IsoDate, RefusesEveryOtherForm) {
    for (const char* text :
         {"2011-05-21T17:26:31.5Z", "2011-05-21T17:26:31+00:00", "2011-05-21 17:26:31Z",
          "2011-02-30T00:00:00Z", "2011-05-21T24:00:00Z", "2011-5-21T17:26:31Z", "",
          // Valid forms of instants the clock cannot hold: formatting them back would overflow.
          "2263-01-01T00:00:00Z", "2262-04-11T23:47:17Z", "1677-09-21T00:12:43Z",
          "0000-01-01T00:00:00Z", "9999-12-31T23:59:59Z"}) {
        EXPECT_FALSE(parseIsoDate(text)) << text;
    }
}

TEST(IsoDate, RoundTripsTheFirstAndLastSecondTheClockHolds) {
    for (const char* text : {"1677-09-21T00:12:44Z", "2262-04-11T23:47:16Z"}) {
        const auto parsed = parseIsoDate(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(formatIsoDate(*parsed), text);
    }
}

TEST(Uuid, IsRandomVersionFourInUpperCase) {
    const auto a = makeUuid();
    EXPECT_TRUE(isUuid(a));
    EXPECT_EQ(a[14], '4');
    EXPECT_NE(std::string_view("89AB").find(a[19]), std::string_view::npos) << a;
    EXPECT_NE(a, makeUuid());
    for (const char c : a) EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << a;
    EXPECT_FALSE(isUuid("not-a-uuid"));

    // Bytes and text round-trip; a lower-case text reads as the same bytes.
    const auto bytes = uuidBytes("6f1c2e1a-3b9d-4c7e-9a2b-00000000000F");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(uuidText(*bytes), "6F1C2E1A-3B9D-4C7E-9A2B-00000000000F");
    EXPECT_EQ((*bytes)[0], 0x6f);
    EXPECT_EQ((*bytes)[15], 0x0f);
    EXPECT_FALSE(uuidBytes("6F1C2E1A-3B9D-4C7E-9A2B-00000000000G"));
}

TEST(StrictJson, ChecksTypesAndRanges) {
    const auto value =
        json::parse(R"({"small": 300, "negative": -1, "text": "x", "nothing": null})");
    EXPECT_THROW(json::required<std::uint8_t>(value, "small"), json::DecodeError);
    EXPECT_EQ(json::required<int>(value, "small"), 300);
    EXPECT_THROW(json::required<std::uint32_t>(value, "negative"), json::DecodeError);
    EXPECT_THROW(json::required<int>(value, "text"), json::DecodeError);
    EXPECT_FALSE(json::optional<int>(value, "nothing"));
    EXPECT_THROW(json::required<int>(value, "nothing"), json::DecodeError);
    EXPECT_THROW(json::parse("{"), json::DecodeError);
}

std::string nested(std::size_t depth, std::string_view inner = "") {
    return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

TEST(StrictJson, EveryRefusalIsADecodeError) {
    const std::string hugeInteger = "[" + std::string(400, '9') + "]";
    const std::string deepReply = "{\"result\":" + nested(75'000) + "}";
    for (const std::string& text :
         {std::string("1e400"), std::string("2e808"), std::string("7E333"), std::string("-1e400"),
          hugeInteger, std::string(R"({"a":[1,2,{"b":1e999}]})"), nested(json::maxDepth + 1),
          deepReply, std::string("{\"a\":") + nested(json::maxDepth) + "}", std::string("\xff"),
          std::string("[1,]")}) {
        try {
            json::parse(text);
            ADD_FAILURE() << "accepted " << text.substr(0, 40);
        } catch (const json::DecodeError& error) {
            EXPECT_EQ(error.path(), "json");
        }
    }
    // The deepest nesting allowed still reads, and copies of it are harmless.
    const auto deepest = json::parse(nested(json::maxDepth, "1"));
    const json::Value copy = json::required<json::Value>(json::Value{{"k", deepest}}, "k");
    EXPECT_EQ(copy, deepest);
    EXPECT_EQ(json::parse("1e308").get<double>(), 1e308);
}

TEST(StrictJson, AFilteredParseKeepsOnlyTheChosenMembersAndRefusesAsBefore) {
    const std::string text = R"({"result": {"height": 9, "unspents": [
        {"amount": 1.5, "height": 3, "txid": "ab", "script": {"hex": "00"}},
        {"amount": 2, "height": 4, "desc": [1, {"height": 0}]}], "bestblock": "cd"},
        "error": null, "id": "x", "height": 7})";
    std::vector<std::string> seen;
    const auto kept = json::parse(text, [&](json::KeyPath path) {
        std::string joined;
        for (const auto key : path) joined += (joined.empty() ? "" : ".") + std::string(key);
        seen.push_back(joined);
        if (path.size() == 1) return path[0] == "result";
        if (path.size() == 2) return path[1] == "height" || path[1] == "unspents";
        return path.size() == 3 && path[1] == "unspents" && path[2] != "txid";
    });
    EXPECT_EQ(kept, json::Value::parse(R"({"result": {"height": 9, "unspents": [
        {"amount": 1.5, "height": 3, "script": {}}, {"amount": 2, "height": 4, "desc": [1, {}]}]}})"));
    // Array levels add no key; a key deeper in a kept member is asked about with its whole path.
    EXPECT_NE(std::find(seen.begin(), seen.end(), "result.unspents.script.hex"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "result.unspents.desc.height"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "height"), seen.end());
    // The refusals of parse() stand: malformed text, numbers no double holds, deep nesting.
    const auto keepAll = [](json::KeyPath) { return true; };
    const auto keepNone = [](json::KeyPath) { return false; };
    for (const std::string& bad :
         {std::string("{"), std::string(R"({"a":1e999})"), std::string(R"({"a":[1,]})"),
          "{\"a\":" + nested(json::maxDepth) + "}"}) {
        EXPECT_THROW(json::parse(bad, keepAll), json::DecodeError) << bad;
        EXPECT_THROW(json::parse(bad, keepNone), json::DecodeError) << bad;
    }
    EXPECT_EQ(json::parse(R"({"a": [1]})", keepNone), json::Value::object());
}

TEST(StrictJson, TakeMovesAMemberOutAndFieldReadsOneInPlace) {
    auto value = json::parse(R"({"big": [1, 2, 3], "nothing": null})");
    const json::Value* inside = &json::field(value, "big");
    EXPECT_EQ(inside, &value["big"]);
    EXPECT_THROW(json::field(value, "nothing"), json::DecodeError);
    EXPECT_EQ(json::take(value, "big"), json::Value::parse("[1, 2, 3]"));
    EXPECT_EQ(json::take(value, "nothing"), std::nullopt);
    EXPECT_EQ(json::take(value, "absent"), std::nullopt);
    json::Value notAnObject = json::Value::array();
    EXPECT_THROW(json::take(notAnObject, "big"), json::DecodeError);
}

TEST(AtomicFile, WritesCreatingFoldersAndReplacesWhole) {
    const auto folder = std::filesystem::temp_directory_path() / ("corvanta-support-" + makeUuid());
    const auto path = folder / "a" / "b" / "file.json";
    writeFileAtomically(path, "first", Durability::durable);
    writeFileAtomically(path, "second");
    EXPECT_EQ(readFile(path), "second");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_THROW(readFile(folder / "missing"), FileReadError);

    // Written piece by piece: nothing changes until the commit, and an abandoned write leaves
    // neither the new contents nor a temporary file.
    {
        AtomicFileWriter writer(path, Durability::durable);
        writer.write(std::string(100'000, 'x'));
        writer.write("end");
        EXPECT_EQ(readFile(path), "second");
    }
    EXPECT_EQ(readFile(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()),
                            std::filesystem::directory_iterator()),
              1);
    AtomicFileWriter writer(path, Durability::atomic);
    writer.write(std::string(100'000, 'x'));
    writer.write("end");
    writer.commit();
    EXPECT_EQ(readFile(path), std::string(100'000, 'x') + "end");
    std::filesystem::remove_all(folder);
}

// A file replaced keeps its mode, written in place or through a link the user keeps (a private
// file stays private), and, as root, its owner; a new file is made as before.
TEST(AtomicFile, AFileReplacedKeepsItsModeAndOwnerThroughALinkOrNot) {
    struct Case {
        const char* name;
        bool linked;
        mode_t mode;
        uid_t owner;  // given to the file before the write (the tests run as root)
    };
    constexpr uid_t nobody = 65534;
    const std::vector<Case> cases{
        {"a private file", false, 0600, ::geteuid()},
        {"a link to a private file", true, 0600, ::geteuid()},
        {"a link to a group's file", true, 0640, ::geteuid()},
        {"a link to another user's private file", true, 0600, nobody},
        {"a file made read-only", false, 0444, ::geteuid()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        const auto file = dir.path() / "config" / "file";
        const auto target = c.linked ? dir.path() / "dotfiles" / "file" : file;
        writeFileAtomically(target, "before");
        std::filesystem::create_directories(file.parent_path());
        if (c.linked) std::filesystem::create_symlink(target, file);
        ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
        if (c.owner != ::geteuid() && ::chown(target.c_str(), c.owner, c.owner) != 0) {
            GTEST_SKIP() << "the tests do not run as root";
        }
        writeFileAtomically(writePlaceThroughLink(file), "after");
        struct stat written {};
        ASSERT_EQ(::stat(target.c_str(), &written), 0);
        EXPECT_EQ(readFile(target), "after");
        EXPECT_EQ(std::filesystem::is_symlink(std::filesystem::symlink_status(file)), c.linked);
        EXPECT_EQ(written.st_mode & 07777, c.mode);
        EXPECT_EQ(written.st_uid, c.owner);
    }
    const testing::TempDir dir;
    const mode_t mask = ::umask(022);
    writeFileAtomically(dir.path() / "new", "made");
    ::umask(mask);
    struct stat made {};
    ASSERT_EQ(::stat((dir.path() / "new").c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 07777, 0644);
}

// The user's folders by the base-directory rules: HOME's bytes as they stand, a relative or empty
// XDG value passed over, a relative HOME taken for none (the system's home for the user then).
TEST(UserFolders, FollowTheBaseDirectoryRules) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    ASSERT_EQ(::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found), 0);
    ASSERT_NE(found, nullptr);
    const std::filesystem::path system = found->pw_dir;
    using Env = std::optional<std::string>;
    struct Case {
        const char* name;
        Env home, config, data;
        std::filesystem::path expectedHome, expectedConfig, expectedData;
    };
    const std::string latin1 = "/tmp/caf\xE9/home";
    const std::vector<Case> cases{
        {"nothing but HOME", "/h", std::nullopt, std::nullopt, "/h", "/h/.config",
         "/h/.local/share"},
        {"absolute XDG folders", "/h", "/c", "/d", "/h", "/c", "/d"},
        {"relative XDG folders", "/h", "c", "d", "/h", "/h/.config", "/h/.local/share"},
        {"empty XDG folders", "/h", "", "", "/h", "/h/.config", "/h/.local/share"},
        {"a home that is not UTF-8", latin1, std::nullopt, std::nullopt, latin1,
         latin1 + "/.config", latin1 + "/.local/share"},
        {"a relative HOME", "h", std::nullopt, "/d", system, system / ".config", "/d"},
        {"no HOME", std::nullopt, "/c", std::nullopt, system, "/c", system / ".local/share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::ScopedEnv home("HOME", c.home);
        const testing::ScopedEnv config("XDG_CONFIG_HOME", c.config);
        const testing::ScopedEnv data("XDG_DATA_HOME", c.data);
        EXPECT_EQ(userFolders::home(), c.expectedHome);
        EXPECT_EQ(userFolders::configHome(), c.expectedConfig);
        EXPECT_EQ(userFolders::dataHome(), c.expectedData);
        // The cache folder by the same rule as the data folder's.
        const testing::ScopedEnv cache("XDG_CACHE_HOME", c.data);
        EXPECT_EQ(userFolders::cacheHome(), c.expectedData == c.expectedHome / ".local/share"
                                                ? c.expectedHome / ".cache"
                                                : c.expectedData);
    }
}

TEST(AtomicFile, AppendsCreatingFoldersAndRefusesWhatIsNoFile) {
    const auto folder = std::filesystem::temp_directory_path() / ("corvanta-support-" + makeUuid());
    const auto path = folder / "a" / "log";
    appendToFileDurably(path, "one\n");
    appendToFileDurably(path, "two\n");
    EXPECT_EQ(readFile(path), "one\ntwo\n");
    EXPECT_THROW(appendToFileDurably(folder / "a", "x"), FileWriteError);  // a folder
    EXPECT_EQ(readFile(path), "one\ntwo\n");
    std::filesystem::remove_all(folder);
}

FileReadError::Reason readFailure(const std::filesystem::path& path, Links links) {
    try {
        readFile(path, links);
    } catch (const FileReadError& error) {
        return error.reason();
    }
    ADD_FAILURE() << path << " was read";
    return FileReadError::Reason::missing;
}

// Nothing but a regular file is read or appended to, and nothing ever waits for a writer or
// reader at the other end of a FIFO; an append never writes through a link.
TEST(AtomicFile, ReadsAndAppendsRegularFilesOnlyNeverBlockingNorThroughALink) {
    testing::TempDir dir;
    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto file = dir.path() / "file";
    testing::writeText(file, "text");
    const auto link = dir.path() / "link";
    std::filesystem::create_symlink(file, link);
    const auto dangling = dir.path() / "dangling";
    std::filesystem::create_symlink(dir.path() / "elsewhere", dangling);

    using Reason = FileReadError::Reason;
    EXPECT_EQ(readFailure(fifo, Links::follow), Reason::notRegular);
    EXPECT_EQ(readFailure(dir.path(), Links::follow), Reason::notRegular);
    EXPECT_EQ(readFailure(dir.path() / "missing", Links::follow), Reason::missing);
    EXPECT_EQ(readFailure(link, Links::refuse), Reason::notRegular);
    EXPECT_EQ(readFile(link, Links::follow), "text");
    EXPECT_EQ(readFile("/proc/self/stat").substr(0, 1).find_first_of("0123456789"), 0u)
        << "files that tell a size of 0 are read whole";
    // Files that tell a size of 0 and whose content holds still while this process runs: read
    // whole, byte for byte as a reader that knows nothing of sizes reads them to their end.
    for (const char* told : {"/proc/self/cmdline", "/proc/self/environ"}) {
        struct stat status {};
        ASSERT_EQ(::stat(told, &status), 0) << told;
        ASSERT_EQ(status.st_size, 0) << told;
        const std::string whole = testing::readText(told);
        ASSERT_FALSE(whole.empty()) << told;
        // Compared whole, but not printed: the environment is no test log's business.
        const std::string read = readFile(told);
        EXPECT_EQ(read.size(), whole.size()) << told;
        EXPECT_TRUE(read == whole) << "files that tell a size of 0 are read whole: " << told;
    }

    EXPECT_THROW(appendToFileDurably(fifo, "x"), FileWriteError);
    EXPECT_THROW(appendToFileDurably(link, "x"), FileWriteError);
    EXPECT_THROW(appendToFileDurably(dangling, "x"), FileWriteError);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "elsewhere"));
    EXPECT_EQ(readFile(file), "text");
}

TEST(AtomicFile, AReadBoundedBelowTheFileIsRefusedAndASocketIsNoRegularFile) {
    testing::TempDir dir;
    const auto file = dir.path() / "file";
    testing::writeText(file, "twelve bytes");
    EXPECT_EQ(readFile(file, Links::follow, 12), "twelve bytes");
    try {
        (void)readFile(file, Links::follow, 11);
        ADD_FAILURE() << "a file past the bound was read";
    } catch (const FileReadError& error) {
        EXPECT_EQ(error.reason(), FileReadError::Reason::unreadable);
        EXPECT_EQ(error.errorNumber(), EFBIG);
    }

    const auto socketPath = dir.path() / "socket";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(readFailure(socketPath, Links::follow), FileReadError::Reason::notRegular);
    ::close(listener);
}

TEST(CancellableWait, StopEndsTheWaitPromptly) {
    std::stop_source source;
    std::atomic<bool> cancelled = false;
    std::jthread sleeper([&] {
        try {
            sleepOrThrow(std::chrono::hours(1), source.get_token());
        } catch (const Cancelled&) {
            cancelled = true;
        }
    });
    std::this_thread::sleep_for(20ms);  // usually into the wait; a stop before it counts as well
    source.request_stop();
    EXPECT_TRUE(testing::eventually([&] { return cancelled.load(); }));
    EXPECT_TRUE(sleepFor(1ms, std::stop_token{}));
}

}  // namespace
}  // namespace corvanta

namespace corvanta {
namespace {

// In a process of its own (this test program run again), removes the leftovers of FILE.
constexpr const char* kRemoveLeftoversOf = "CORVANTA_TEST_REMOVE_LEFTOVERS_OF";

TEST(AtomicFile, LeftoversOfAnEarlierProcessGoEvenWrittenJustBeforeItsStart) {
    if (const char* file = std::getenv(kRemoveLeftoversOf)) {
        std::exit(removeLeftoverTemporaries(std::filesystem::path(file)) == 1 ? 0 : 3);
    }
    testing::TempDir dir;
    const auto file = dir.path() / "regtest.json";
    // A write cut short an instant before the next process starts: no whole second between them.
    const auto leftover = dir.path() / ".regtest.json.tmp-5e1f";
    testing::writeText(leftover, "cut short");
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string filter = "--gtest_filter=AtomicFile.LeftoversOfAnEarlierProcessGo*";
    ASSERT_EQ(::setenv(kRemoveLeftoversOf, file.c_str(), 1), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(self.c_str(), self.c_str(), filter.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::unsetenv(kRemoveLeftoversOf);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(leftover));
    // One this process writes after its own start stays.
    testing::writeText(leftover, "a write of this run");
    EXPECT_EQ(removeLeftoverTemporaries(file), 0u);
    EXPECT_TRUE(std::filesystem::exists(leftover));
}

}  // namespace
}  // namespace corvanta
