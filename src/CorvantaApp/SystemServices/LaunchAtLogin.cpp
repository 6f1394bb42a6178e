#include "SystemServices/LaunchAtLogin.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <system_error>

#include "corvanta/shared/RegularFile.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/UserFolders.h"

namespace corvanta {
namespace {

// An autostart entry is a few hundred bytes; anything past this is not one of ours.
constexpr std::size_t kMaximumEntrySize = 64 * 1024;

// Without a home there is no folder of the user's to keep an entry in: none.
std::filesystem::path autostartFolder() {
    const auto config = userFolders::configHome();
    return config ? *config / "autostart" : std::filesystem::path();
}

}  // namespace

LaunchAtLogin::LaunchAtLogin()
    : directory_(autostartFolder()), programPath_(QCoreApplication::applicationFilePath()) {}

LaunchAtLogin::LaunchAtLogin(const QString& autostartDirectory, QString programPath)
    : directory_(QFile::encodeName(autostartDirectory).toStdString()),
      programPath_(std::move(programPath)) {}

std::filesystem::path LaunchAtLogin::file() const {
    return directory_.empty() ? directory_ : directory_ / "corvanta.desktop";
}

QString LaunchAtLogin::filePath() const {
    return QFile::decodeName(QByteArray::fromStdString(file().string()));
}

std::optional<LaunchAtLogin::Entry> LaunchAtLogin::read() const {
    // Never a blocking open: a FIFO in the entry's place must not hold up the start.
    if (file().empty()) return std::nullopt;
    const auto read = readRegularFile(file(), kMaximumEntrySize);
    if (read.outcome != RegularFileText::Outcome::read) return std::nullopt;
    const QByteArray bytes = QByteArray::fromStdString(read.text);
    Entry entry;
    entry.switchedOn = true;
    bool inEntry = false;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry) continue;
        const QString name = line.section(u'=', 0, 0).trimmed();
        const QString value = line.section(u'=', 1).trimmed();
        if (name == QLatin1String("Hidden") && value == QLatin1String("true")) {
            entry.switchedOn = false;
        }
        if (name == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false")) {
            entry.switchedOn = false;
        }
        if (name == QLatin1String("TryExec")) entry.tryExec = true;
        if (name == QLatin1String("Exec")) {
            // A bare name is found on the session's PATH, which is not ours to judge.
            const auto program = programOfExec(value);
            entry.program = program.value_or(QString());
            entry.dangling =
                program && QFileInfo(*program).isAbsolute() && !QFileInfo(*program).isExecutable();
            entry.background =
                value.split(u' ', Qt::SkipEmptyParts).contains(QLatin1String("--background"));
        }
    }
    return entry;
}

bool LaunchAtLogin::isEnabled() const {
    const auto entry = read();
    return entry && entry->switchedOn && !entry->dangling;
}

bool LaunchAtLogin::setEnabled(bool enabled) const {
    const auto entry = read();
    if (!enabled) {
        // An entry switched off by the desktop is the user's; a dangling one goes.
        if (!entry || (!entry->switchedOn && !entry->dangling)) return true;
        std::error_code error;
        std::filesystem::remove(file(), error);
        return !error;
    }
    if (entry && entry->switchedOn && !entry->dangling) return true;
    return write(QFileInfo(programPath_).absoluteFilePath());
}

bool LaunchAtLogin::rewriteOutdated() const {
    const auto entry = read();
    if (!entry || !entry->switchedOn) return false;
    if (entry->dangling || entry->program.isEmpty()) {
        return write(QFileInfo(programPath_).absoluteFilePath());
    }
    // The user's choice of program stays; only the way it starts changes.
    if (entry->background && entry->tryExec) return false;
    return write(entry->program);
}

bool LaunchAtLogin::write(const QString& programPath) const {
    const auto exec = execArgument(programPath);
    const auto tryExec = tryExecValue(programPath);
    if (!exec || !tryExec || file().empty()) return false;
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Corvanta\n"
                              "TryExec=%2\n"
                              "Exec=%1 --background\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(*exec, *tryExec);
    try {
        // Through a link the user keeps (a dotfile manager's), into its target, keeping its mode.
        writeFileAtomically(writePlaceThroughLink(file()), entry.toStdString());
        return true;
    } catch (const FileWriteError&) {
        return false;
    }
}

std::optional<QString> LaunchAtLogin::execArgument(const QString& programPath) {
    if (programPath.contains(u'\n') || programPath.contains(u'\r')) return std::nullopt;
    // Inside double quotes '"', '`', '$' and '\' take a backslash; then the file's own string
    // escaping doubles every backslash, and a field code's '%' is doubled.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : programPath) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        quoted += c;
    }
    quoted += u'"';
    quoted.replace(u'\\', QLatin1String("\\\\"));
    quoted.replace(u'%', QLatin1String("%%"));
    return quoted;
}

std::optional<QString> LaunchAtLogin::tryExecValue(const QString& programPath) {
    if (programPath.contains(u'\n') || programPath.contains(u'\r')) return std::nullopt;
    // A plain string value: only the file's own escaping applies.
    QString value = programPath;
    value.replace(u'\\', QLatin1String("\\\\"));
    return value;
}

std::optional<QString> LaunchAtLogin::programOfExec(const QString& execValue) {
    // The file's string escaping first ("\\" is one backslash, "\s" a space), then the Exec
    // quoting.
    QString value;
    for (qsizetype i = 0; i < execValue.size(); ++i) {
        const QChar c = execValue[i];
        if (c != u'\\' || i + 1 == execValue.size()) {
            value += c;
            continue;
        }
        const QChar next = execValue[++i];
        if (next == u'\\') {
            value += u'\\';
        } else if (next == u's') {
            value += u' ';
        } else {
            value += c;
            value += next;
        }
    }
    value = value.trimmed();
    if (value.isEmpty()) return std::nullopt;
    if (!value.startsWith(u'"')) {
        return value.section(u' ', 0, 0).replace(QLatin1String("%%"), QLatin1String("%"));
    }
    QString program;
    for (qsizetype i = 1; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            program += value[++i];
        } else if (value[i] == u'"') {
            return program.replace(QLatin1String("%%"), QLatin1String("%"));
        } else {
            program += value[i];
        }
    }
    return std::nullopt;  // no closing quote
}

}  // namespace corvanta
