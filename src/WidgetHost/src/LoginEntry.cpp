#include "corvanta/host/LoginEntry.h"

#include "corvanta/host/InstanceStore.h"
#include "corvanta/host/PluginFolder.h"
#include "corvanta/shared/RegularFile.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta::host {

namespace fs = std::filesystem;

namespace {

// A value of the string type: a backslash is written as two.
QString escapedString(QString value) {
    return value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

// The program as the one argument of Exec: quoted when it holds anything but plain path
// characters, with the characters the quoting reserves escaped; then escaped as a string value.
QString execArgument(const QString& program) {
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,@");
    const bool quoted =
        std::any_of(program.begin(), program.end(), [](QChar c) { return !plain.contains(c); });
    if (!quoted) return program;
    QString inner;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            inner += QLatin1Char('\\');
        }
        // A field code would be expanded by the launcher.
        inner += c == QLatin1Char('%') ? QStringLiteral("%%") : QString(c);
    }
    return escapedString(QLatin1Char('"') + inner + QLatin1Char('"'));
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

LoginEntry::LoginEntry(fs::path file, QString program)
    : file_(std::move(file)),
      program_(std::move(program)),
      report_(QStringLiteral("the login entry"), QString::fromStdString(file_.string())) {}

fs::path LoginEntry::defaultFile() {
    return InstanceStore::defaultFile().parent_path().parent_path() / "autostart" /
           "corvanta-widget-host.desktop";
}

std::optional<std::string> LoginEntry::text(const QString& program) {
    if (program.contains(QLatin1Char('\n')) || program.contains(QLatin1Char('\r'))) {
        return std::nullopt;
    }
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Corvanta Widgets\n"
                              "Comment=Corvanta's desktop widgets\n"
                              "Exec=%1\n"
                              "TryExec=%2\n"
                              "Terminal=false\n"
                              "NoDisplay=true\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(execArgument(program), escapedString(program));
    return entry.toStdString();
}

bool LoginEntry::switchedOff(std::string_view entry) {
    bool inEntry = false;
    while (!entry.empty()) {
        const auto end = entry.find('\n');
        const std::string_view line = trimmed(entry.substr(0, end));
        entry = end == std::string_view::npos ? std::string_view{} : entry.substr(end + 1);
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inEntry || equals == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return true;
        }
    }
    return false;
}

bool LoginEntry::follow(bool widgetsPlaced) {
    constexpr std::size_t largestEntry = 64 * 1024;
    const auto current = readRegularFile(file_, largestEntry);
    const bool present = current.outcome == RegularFileText::Outcome::read;
    // Kept as the user left it, also with no widget placed: a later widget must not switch it
    // back on.
    if (present && switchedOff(current.text)) return true;
    const auto failure = [&]() -> std::optional<QString> {
        std::error_code error;
        if (!widgetsPlaced) {
            fs::remove(file_, error);
            if (error) return QString::fromStdString("cannot remove it: " + error.message());
            return std::nullopt;
        }
        const auto wanted = text(program_);
        if (!wanted) return QStringLiteral("no login entry can start %1").arg(program_);
        if (present && current.text == *wanted) return std::nullopt;
        try {
            // Through a link the user keeps (a dotfile manager's), into its target: the link
            // stays.
            writeFileAtomically(writePlaceThroughLink(file_), *wanted);
            return std::nullopt;
        } catch (const std::exception& problem) {
            return QString::fromLocal8Bit(problem.what());
        }
    }();
    report_.after(failure);
    return !failure;
}

}  // namespace corvanta::host
