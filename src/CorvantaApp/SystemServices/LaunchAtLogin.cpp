#include "SystemServices/LaunchAtLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace corvanta {

LaunchAtLogin::LaunchAtLogin()
    : LaunchAtLogin(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/autostart"),
                    QCoreApplication::applicationFilePath()) {}

LaunchAtLogin::LaunchAtLogin(QString autostartDirectory, QString programPath)
    : directory_(std::move(autostartDirectory)), programPath_(std::move(programPath)) {}

QString LaunchAtLogin::filePath() const {
    return directory_ + QStringLiteral("/corvanta.desktop");
}

bool LaunchAtLogin::isEnabled() const {
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry) continue;
        const QString name = line.section(u'=', 0, 0).trimmed();
        const QString value = line.section(u'=', 1).trimmed();
        if (name == QLatin1String("Hidden") && value == QLatin1String("true")) return false;
        if (name == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false")) {
            return false;
        }
    }
    return true;
}

bool LaunchAtLogin::setEnabled(bool enabled) const {
    if (enabled == isEnabled()) return true;
    if (!enabled) return QFile::remove(filePath()) || !QFile::exists(filePath());

    const auto exec = execArgument(QFileInfo(programPath_).absoluteFilePath());
    if (!exec || !QDir().mkpath(directory_)) return false;
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Corvanta\n"
                              "Exec=%1\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(*exec);
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

}  // namespace corvanta
