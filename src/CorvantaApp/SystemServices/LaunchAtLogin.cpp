#include "SystemServices/LaunchAtLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "corvanta/shared/RegularFile.h"

namespace corvanta {
namespace {

// An autostart entry is a few hundred bytes; anything past this is not one of ours.
constexpr std::size_t kMaximumEntrySize = 64 * 1024;

}  // namespace

LaunchAtLogin::LaunchAtLogin()
    : LaunchAtLogin(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/autostart"),
                    QCoreApplication::applicationFilePath()) {}

LaunchAtLogin::LaunchAtLogin(QString autostartDirectory, QString programPath)
    : directory_(std::move(autostartDirectory)), programPath_(std::move(programPath)) {}

QString LaunchAtLogin::filePath() const {
    return directory_ + QStringLiteral("/corvanta.desktop");
}

std::optional<LaunchAtLogin::Entry> LaunchAtLogin::read() const {
    // Never a blocking open: a FIFO in the entry's place must not hold up the start.
    const auto file =
        readRegularFile(QFile::encodeName(filePath()).toStdString(), kMaximumEntrySize);
    if (file.outcome != RegularFileText::Outcome::read) return std::nullopt;
    const QByteArray bytes = QByteArray::fromStdString(file.text);
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
        return QFile::remove(filePath()) || !QFile::exists(filePath());
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
    if (!exec || !tryExec || !QDir().mkpath(directory_)) return false;
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Corvanta\n"
                              "TryExec=%2\n"
                              "Exec=%1 --background\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(*exec, *tryExec);
    file.write(entry.toUtf8());
    return file.commit();
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
