#include "SystemServices/SettingsFile.h"

#include <QFileInfo>
#include <QTimeZone>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

enum class FileKind { absent, regular, link, other, tooLarge, unreadable };

struct FileContents {
    FileKind kind = FileKind::absent;
    std::string bytes;
    std::string reason;  // the system's, when unreadable
    // Where a link in the file's place leads: the regular file it was read from and any rewrite
    // goes to, or what it led to instead when it is set aside.
    std::filesystem::path target;
    SettingsFileCheck::LinkTarget linkTarget = SettingsFileCheck::LinkTarget::none;
};

FileContents unreadable(int error) {
    return {FileKind::unreadable, {}, std::strerror(error), {}, {}};
}

bool isLink(const std::filesystem::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// Read through a link the user keeps there (a dotfile manager's): the target is read as the file
// itself would be, on the descriptor opened, and only when it is a regular file within the bound.
// A link to anything else (nothing, a loop, a FIFO, a folder, a file past the bound) is no
// settings file: the link is set aside and its target never opened for writing.
FileContents readThroughLink(const std::filesystem::path& path) {
    using LinkTarget = SettingsFileCheck::LinkTarget;
    const auto oddLink = [](LinkTarget target) {
        FileContents contents{FileKind::link, {}, {}, {}, target};
        return contents;
    };
    try {
        std::string bytes = readFile(path, Links::follow, settingsFileBound);
        std::error_code error;
        std::filesystem::path target = std::filesystem::canonical(path, error);
        // Swapped for something else since it was read: read again at the next start.
        if (error) return oddLink(LinkTarget::nothing);
        return {FileKind::regular, std::move(bytes), {}, std::move(target), LinkTarget::none};
    } catch (const FileReadError& error) {
        if (error.isTooLarge()) return oddLink(LinkTarget::tooLarge);
        switch (error.reason()) {
            case FileReadError::Reason::missing:
                return oddLink(LinkTarget::nothing);
            case FileReadError::Reason::notRegular:
                return oddLink(LinkTarget::notRegular);
            case FileReadError::Reason::unreadable:
                break;
        }
        if (error.errorNumber() == ELOOP) return oddLink(LinkTarget::nothing);
        // A target the system will not let us read (EACCES, EIO) still holds the user's settings.
        return unreadable(error.errorNumber());
    }
}

// Opens without blocking (a FIFO with no writer would hold open() for ever) and reads only a
// regular file within the bound; through a link only as readThroughLink() says.
FileContents readIfRegular(const std::filesystem::path& path) {
    if (isLink(path)) return readThroughLink(path);
    try {
        return {FileKind::regular, readFile(path, Links::refuse, settingsFileBound), {}, {}, {}};
    } catch (const FileReadError& error) {
        if (error.isTooLarge()) return {FileKind::tooLarge, {}, {}, {}, {}};
        // Made a link since it was looked at: looked at again through it.
        if (error.isLink()) return readThroughLink(path);
        switch (error.reason()) {
            case FileReadError::Reason::missing:
                return {};
            case FileReadError::Reason::notRegular:
                return {FileKind::other, {}, {}, {}, {}};
            case FileReadError::Reason::unreadable:
                break;
        }
        // A file the system will not show or read (EACCES, EIO) is still the user's.
        return unreadable(error.errorNumber());
    }
}

// "Corvanta.conf" -> "Corvanta.unreadable-20261207T061500Z.conf", with "-2", "-3"... when taken.
std::filesystem::path asideName(const QString& iniPath, const QDateTime& now) {
    const QFileInfo info(iniPath);
    const QString stamp =
        now.toTimeZone(QTimeZone::utc()).toString(QStringLiteral("yyyyMMddTHHmmss"));
    const QString stem = info.completeBaseName() + QStringLiteral(".unreadable-") + stamp;
    const QString suffix =
        info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    for (int n = 1;; ++n) {
        const QString name = stem + QStringLiteral("Z") +
                             (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + suffix;
        const std::filesystem::path candidate =
            std::filesystem::path(info.absolutePath().toStdString()) / name.toStdString();
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) {
            return candidate;
        }
    }
}

// One character of a value as the reader unescapes it ("\x40" and "\100" are "@"), from
// `position`, which moves past it; -1 at the end of the value.
int unescapedAt(std::string_view value, std::size_t& position) {
    if (position >= value.size()) return -1;
    const char c = value[position++];
    if (c != '\\' || position == value.size()) return static_cast<unsigned char>(c);
    const char escaped = value[position];
    const auto digits = [&](int base) {
        int code = 0;
        while (position < value.size() && code < 0x110000) {
            const char d = value[position];
            const int digit = d >= '0' && d <= '9'   ? d - '0'
                              : d >= 'a' && d <= 'f' ? d - 'a' + 10
                              : d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                     : base;
            if (digit >= base) break;
            code = code * base + digit;
            ++position;
        }
        return code;
    };
    if (escaped == 'x') {
        ++position;
        return digits(16);
    }
    if (escaped >= '0' && escaped <= '7') return digits(8);
    ++position;
    return static_cast<unsigned char>(escaped);
}

// The reader turns a value, or an element of a comma-separated list, that starts with a single
// "@" into a typed value; "@Variant(...)" decodes arbitrary binary data and asks for as much
// memory as that data claims. The settings only ever hold text, which the writer starts with
// "@@" when it begins with "@" and writes as "@String(...)" when it holds a NUL: any other "@"
// start, plain, quoted or escaped, is not ours.
bool holdsTypedValue(std::string_view value) {
    const auto isOurs = [&](std::size_t position) {
        std::string start;
        while (start.size() < 8 && position < value.size()) {
            if (value[position] == '"') {
                ++position;
                continue;
            }
            const int c = unescapedAt(value, position);
            start.push_back(c >= 0 && c < 0x80 ? char(c) : '\x01');
        }
        const std::string_view text = start;
        return !text.starts_with('@') || text.starts_with("@@") || text.starts_with("@String(");
    };
    bool inQuotes = false;
    bool atElementStart = true;
    std::size_t position = 0;
    while (position < value.size()) {
        const char c = value[position];
        if (c == '"') {
            inQuotes = !inQuotes;
            ++position;
        } else if (!inQuotes && c == ';') {
            return false;
        } else if (!inQuotes && c == ',') {
            atElementStart = true;
            ++position;
        } else if (atElementStart && !inQuotes && (c == ' ' || c == '\t')) {
            ++position;
        } else {
            if (atElementStart && !isOurs(position)) return true;
            atElementStart = false;
            unescapedAt(value, position);
        }
    }
    return false;
}

struct LineShape {
    bool closes = true;  // its quotes close and it does not run on into the next line
    bool hasEquals = false;
    bool typedValue = false;  // see holdsTypedValue()
    bool isSection = false;
    bool hasClosingBracket = false;  // a "]" before any comment
    bool hasNul = false;
    bool headerHasSeparator = false;  // a "/" or "\\" between a header's brackets
    bool isBlankOrComment = false;
};

// Reads one physical line the way the INI reader does: a backslash escapes the next character
// (and, at the end of a line, joins the next line), a double quote opens or closes a quoted run,
// and a semicolon outside quotes starts a comment.
LineShape shapeOf(std::string_view line) {
    LineShape shape;
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == ';') {
        shape.isBlankOrComment = true;
        return shape;
    }
    shape.isSection = line[start] == '[';
    shape.hasNul = line.find('\0') != std::string_view::npos;
    bool inQuotes = false;
    for (std::size_t i = start; i < line.size(); ++i) {
        const char c = line[i];
        if ((c == '\\' || c == '/') && shape.isSection && !shape.hasClosingBracket) {
            shape.headerHasSeparator = true;
        }
        if (c == '\\') {
            if (i + 1 == line.size()) {
                shape.closes = false;
                return shape;
            }
            ++i;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == '=' && !inQuotes && !shape.hasEquals) {
            shape.hasEquals = true;
            shape.typedValue = holdsTypedValue(line.substr(i + 1));
        } else if (c == ']' && !inQuotes) {
            shape.hasClosingBracket = true;
        } else if (c == ';' && !inQuotes) {
            break;
        }
    }
    shape.closes = !inQuotes;
    return shape;
}

QString linkTargetText(SettingsFileCheck::LinkTarget target) {
    switch (target) {
        case SettingsFileCheck::LinkTarget::nothing:
            return QStringLiteral("nothing (its target is missing)");
        case SettingsFileCheck::LinkTarget::tooLarge:
            return QStringLiteral("a file larger than any settings file (over %1 MiB)")
                .arg(settingsFileBound >> 20);
        case SettingsFileCheck::LinkTarget::notRegular:
        case SettingsFileCheck::LinkTarget::none:
            break;
    }
    return QStringLiteral("something that is not a regular file");
}

}  // namespace

std::string readableSettingsLines(std::string_view text, int& kept, int& dropped) {
    kept = 0;
    dropped = 0;
    std::string out;
    // Under a section header that does not close, keys would land in the wrong section: they
    // are left out until the next good header.
    bool sectionUsable = true;
    std::size_t position = 0;
    while (position <= text.size()) {
        const std::size_t end = text.find_first_of("\r\n", position);
        const std::string_view line = text.substr(
            position, end == std::string_view::npos ? std::string_view::npos : end - position);
        position = end == std::string_view::npos ? text.size() + 1 : end + 1;
        const LineShape shape = shapeOf(line);
        if (shape.isBlankOrComment) continue;
        // Any line that runs on, a key or not, takes the lines below it with it.
        if (!shape.closes) {
            ++dropped;
            if (shape.isSection) sectionUsable = false;
            continue;
        }
        // The reader cannot place the keys under a header without its "]" either; and it
        // reports a line that is not `key=value` as a format error, then drops it on the next
        // write, with no copy.
        // A NUL byte in a key or a header throws the reader off, and it drops the keys after it
        // without a word; the writer never writes one (it escapes it).
        // The writer puts a group's deeper names in the key, never in a header: a header naming
        // an empty group ("[O\\0]", "[O/]") keeps the reader from finding the keys of its parent.
        if (shape.isSection &&
            (!shape.hasClosingBracket || shape.hasNul || shape.headerHasSeparator)) {
            ++dropped;
            sectionUsable = false;
            continue;
        }
        if (shape.isSection) {
            sectionUsable = true;
            out.append(line).push_back('\n');
            continue;
        }
        if (!shape.hasEquals || shape.typedValue || shape.hasNul) {
            ++dropped;
            continue;
        }
        if (sectionUsable) {
            out.append(line).push_back('\n');
            ++kept;
        } else {
            ++dropped;
        }
    }
    return out;
}

std::optional<QString> SettingsFileCheck::logLine(const QString& fileName) const {
    switch (outcome) {
        case Outcome::intact:
            return std::nullopt;
        case Outcome::setAside:
            if (tooLarge) {
                return QStringLiteral(
                           "Settings file %1 was larger than any settings file (over %2 MiB): "
                           "it was set aside as %3 and the settings start afresh.")
                    .arg(fileName)
                    .arg(settingsFileBound >> 20)
                    .arg(keptAs);
            }
            if (link) {
                return QStringLiteral(
                           "Settings file %1 was a symbolic link to %2: the link was set aside "
                           "as %3, its target left as it is, and the settings start afresh.")
                    .arg(fileName, linkTargetText(linkTarget), keptAs);
            }
            return QStringLiteral(
                       "Settings file %1 was not a regular file: it was set aside as %2 "
                       "and the settings start afresh.")
                .arg(fileName, keptAs);
        case Outcome::recovered:
            return QStringLiteral(
                       "Settings file %1 could not be read whole: a copy was kept as %2; "
                       "%3 settings recovered, %4 damaged lines left out.")
                .arg(fileName, keptAs)
                .arg(recoveredSettings)
                .arg(droppedLines);
        case Outcome::unreadable:
            return QStringLiteral(
                       "Settings file %1 could not be read (%2): the settings run on their "
                       "defaults this time and the file is left as it is.")
                .arg(fileName, reason);
        case Outcome::noPlace:
            return QStringLiteral(
                       "Settings cannot be kept (%1): they run on their defaults this time and "
                       "nothing is saved.")
                .arg(reason);
        case Outcome::unusable:
            if (tooLarge) {
                return QStringLiteral(
                           "Settings file %1 is larger than any settings file (over %2 MiB) and "
                           "could not be moved aside: the settings are not read or saved this "
                           "time.")
                    .arg(fileName)
                    .arg(settingsFileBound >> 20);
            }
            return QStringLiteral(
                       "Settings file %1 is %2 and could not be moved aside: the settings are "
                       "not read or saved this time.")
                .arg(fileName,
                     link ? QStringLiteral("a symbolic link to %1,").arg(linkTargetText(linkTarget))
                          : QStringLiteral("not a regular file"));
    }
    return std::nullopt;
}

SettingsFileCheck checkSettingsFile(const QtFileName& iniFile, const QDateTime& now) {
    if (!iniFile.name().isEmpty()) return checkSettingsFile(iniFile.name(), now);
    SettingsFileCheck check;
    check.outcome = SettingsFileCheck::Outcome::noPlace;
    check.reason = iniFile.path().empty()
                       ? QStringLiteral(
                             "no home folder: HOME is not an absolute path and the system names "
                             "none for this user")
                       : QStringLiteral(
                             "%1 cannot be named: its folder's name is not UTF-8 and /proc is "
                             "not there to name it through")
                             .arg(iniFile.shown());
    return check;
}

SettingsFileCheck checkSettingsFile(const QString& iniPath, const QDateTime& now) {
    SettingsFileCheck check;
    if (iniPath.isEmpty()) return check;
    const std::filesystem::path path = iniPath.toStdString();
    // What our own atomic writes of the file, or of its copies aside, left when cut short.
    const std::string stem = QFileInfo(iniPath).completeBaseName().toStdString();
    removeLeftoverTemporaries(path.parent_path(), [&](std::string_view name) {
        return name == path.filename().string() || name.starts_with(stem + ".unreadable-");
    });
    FileContents contents = readIfRegular(path);
    if (contents.kind == FileKind::absent) return check;
    if (contents.kind == FileKind::unreadable) {
        // Not a first run: the user's settings are in there, and nothing may replace them.
        check.outcome = SettingsFileCheck::Outcome::unreadable;
        check.reason = QString::fromStdString(contents.reason);
        return check;
    }
    if (contents.kind == FileKind::other || contents.kind == FileKind::tooLarge ||
        contents.kind == FileKind::link) {
        // Renamed, never copied: a copy of a huge file would fill the disk with it, and a link
        // renamed stays a link, its target untouched.
        check.tooLarge = contents.kind == FileKind::tooLarge;
        check.link = contents.kind == FileKind::link;
        check.linkTarget = contents.linkTarget;
        const std::filesystem::path aside = asideName(iniPath, now);
        std::error_code error;
        std::filesystem::rename(path, aside, error);
        check.outcome =
            error ? SettingsFileCheck::Outcome::unusable : SettingsFileCheck::Outcome::setAside;
        if (!error) check.keptAs = QString::fromStdString(aside.filename().string());
        return check;
    }
    int kept = 0;
    int dropped = 0;
    const std::string readable = readableSettingsLines(contents.bytes, kept, dropped);
    if (dropped == 0) return check;
    const std::filesystem::path aside = asideName(iniPath, now);
    try {
        // The copy first: nothing is rewritten unless the original bytes are safe elsewhere.
        writeFileAtomically(aside, contents.bytes, Durability::durable);
        // Through a link the user keeps, into its target: the link stays as it is.
        writeFileAtomically(contents.target.empty() ? path : contents.target, readable,
                            Durability::durable);
    } catch (const FileWriteError&) {
        // Left as it is: the reader loses what it loses, but nothing is overwritten without a
        // copy.
        return check;
    }
    check.outcome = SettingsFileCheck::Outcome::recovered;
    check.keptAs = QString::fromStdString(aside.filename().string());
    check.recoveredSettings = kept;
    check.droppedLines = dropped;
    return check;
}

}  // namespace corvanta
