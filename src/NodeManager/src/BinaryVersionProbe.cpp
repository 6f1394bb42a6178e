#include "corvanta/node/BinaryVersionProbe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "ChildProcess.h"
#include "ExecutableFile.h"
#include "Utf8.h"

namespace corvanta::BinaryVersionProbe {
namespace {

constexpr std::string_view kNodePrefix = "Nœud ";
constexpr std::string_view kUnreadable = "version indéterminée (binaire illisible)";
constexpr std::string_view kTimedOut = "version indéterminée (délai dépassé)";
constexpr std::string_view kUnexpectedOutput =
    "version indéterminée (sortie inattendue de --version)";
// Only the first line matters; a chatty program must not grow this without bound.
constexpr std::size_t kKeptOutput = 64 * 1024;
constexpr std::chrono::milliseconds kTermGrace{1000};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Reads what the pipe holds now; false once it reached its end (or failed).
bool readAvailable(int fd, std::string& kept) {
    std::array<char, 4096> block{};
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got > 0) {
            const auto room = kKeptOutput - std::min(kKeptOutput, kept.size());
            kept.append(block.data(), std::min(room, static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return got < 0 && errno == EAGAIN;
    }
}

// A data folder for one --version run, removed with everything in it when the run is over:
// bitcoind writes its settings file even to print its version (and, in the default ~/.bitcoin,
// a wallets folder too), and no data folder of the user's may take a trace of a probe.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string name =
            (std::filesystem::temp_directory_path() / "corvanta-version-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            throw std::system_error(errno, std::generic_category());
        }
        path_ = name;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace

std::optional<std::string> parseVersion(std::string_view from) {
    std::string_view line;
    while (!from.empty()) {
        const auto end = from.find('\n');
        line = from.substr(0, end);
        from = end == std::string_view::npos ? std::string_view{} : from.substr(end + 1);
        if (!line.empty()) break;
    }
    if (line.empty()) return std::nullopt;
    constexpr std::string_view kMarker = "version v";
    const auto at = line.find(kMarker);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view rest = line.substr(at + kMarker.size());
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    // The version is one word: a real bitcoind goes on with the program's name.
    std::size_t length = 0;
    while (length < rest.size() && !isBlank(rest[length])) ++length;
    if (length == 0) return std::nullopt;
    return std::string(rest.substr(0, length));
}

std::string probe(const std::filesystem::path& binaryURL, std::chrono::milliseconds timeout) {
    if (!isExecutableFile(binaryURL)) return std::string(kUnreadable);
    // Declared first, so that it goes only once the child is reaped.
    std::optional<ScratchFolder> scratch;
    std::optional<ChildProcess> child;
    Pipe output;
    try {
        scratch.emplace();
        output = Pipe::make();
        child.emplace(ChildProcess::spawn(
            binaryURL, {"--version", "-datadir=" + scratch->path().string(), "-nosettings"},
            output.writeEnd.get(), -1));
    } catch (const std::system_error& error) {
        return "version indéterminée (" + error.code().message() + ")";
    }
    output.writeEnd.reset();  // or the pipe never reports its end
    ::fcntl(output.readEnd.get(), F_SETFL, ::fcntl(output.readEnd.get(), F_GETFL) | O_NONBLOCK);

    // Read while waiting, so a program that prints a lot cannot stall on a full pipe.
    std::string printed;
    bool pipeOpen = true;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!child->tryReap()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        std::array<pollfd, 2> watch{pollfd{child->pidfd(), POLLIN, 0},
                                    pollfd{pipeOpen ? output.readEnd.get() : -1, POLLIN, 0}};
        if (::poll(watch.data(), watch.size(), static_cast<int>(left.count())) > 0 && pipeOpen &&
            watch[1].revents != 0) {
            pipeOpen = readAvailable(output.readEnd.get(), printed);
        }
    }
    if (!child->reaped()) {
        child->sendSignal(SIGTERM);
        if (!child->reapWithin(kTermGrace)) {
            child->sendSignal(SIGKILL);
            child->reap();
        }
        return std::string(kTimedOut);
    }
    if (pipeOpen) readAvailable(output.readEnd.get(), printed);
    if (const auto version = parseVersion(decodeUtf8Lossy(printed))) {
        return std::string(kNodePrefix) + *version;
    }
    return std::string(kUnexpectedOutput);
}

}  // namespace corvanta::BinaryVersionProbe
