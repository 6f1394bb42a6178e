#include "SystemServices/SettingsSaving.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace corvanta {
namespace {

namespace fs = std::filesystem;

// The system's word for why `path` takes no writes from this user, or none when it does.
std::optional<QString> refusesWrites(const fs::path& path) {
    if (::access(path.c_str(), W_OK) == 0) return std::nullopt;
    return QString::fromStdString(std::error_code(errno, std::generic_category()).message());
}

}  // namespace

std::optional<QString> settingsSaveProblem(const QString& iniPath) {
    if (iniPath.isEmpty()) return std::nullopt;
    fs::path file = iniPath.toStdString();
    std::error_code error;
    // Through a link the user keeps, its target is what a save replaces.
    if (fs::is_symlink(fs::symlink_status(file, error))) {
        const fs::path target = fs::canonical(file, error);
        if (error) {
            return QString::fromStdString(error.message());
        }
        file = target;
    }
    if (fs::exists(fs::symlink_status(file, error))) {
        if (auto refused = refusesWrites(file)) return refused;
    }
    // The folder the new file is made in, or the nearest one there to make it in.
    fs::path folder = file.parent_path();
    while (!folder.empty() && !fs::exists(fs::symlink_status(folder, error))) {
        if (folder == folder.parent_path()) break;
        folder = folder.parent_path();
    }
    if (!fs::is_directory(folder, error)) {
        return QString::fromStdString(std::make_error_code(std::errc::not_a_directory).message());
    }
    return refusesWrites(folder);
}

QString settingsUnsavedLogLine(const QString& fileName, const QString& reason) {
    return QStringLiteral(
               "Settings file %1 cannot be saved (%2): settings changed now hold until "
               "Corvanta quits, and the next start reads the file as it is.")
        .arg(fileName, reason);
}

QString settingsSavedAgainLogLine(const QString& fileName) {
    return QStringLiteral(
               "Settings file %1 is saved again: it holds the settings changed while it could "
               "not be.")
        .arg(fileName);
}

}  // namespace corvanta
