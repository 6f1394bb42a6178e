#pragma once

// What the application's targets share: the preferences the application reads on its own (the
// interface language) live in a configuration folder of the process's own, never the user's.

#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

#include "FuzzSupport.h"

namespace corvanta::fuzz {

inline void useScratchConfigHome() {
    static const ScratchFolder home("config-home");
    static const bool pointed = ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1) == 0;
    expect(pointed, "the configuration folder could not be set");
}

// A settings file path never used before in this process, in `folder` emptied: the settings
// keep what they read of a file in a cache by its name, and a file rewritten within the same
// instant at the same size would be taken for the one read before.
inline std::filesystem::path freshSettingsFile(const ScratchFolder& folder) {
    static std::uint64_t count = 0;
    folder.clear();
    const auto subfolder = folder.path() / std::to_string(++count);
    std::filesystem::create_directory(subfolder);
    return subfolder / "Corvanta.conf";
}

// The satoshis an amount's text ("1.50000000 BTC", "-0.00000001 BTC", "0.00 BTC") stands for;
// nullopt for any other text.
inline std::optional<std::int64_t> satsShown(const QString& text) {
    if (text == QLatin1String("0.00 BTC")) return 0;
    static const QRegularExpression form(QStringLiteral("^(-?)([0-9]+)\\.([0-9]{8}) BTC$"));
    const auto match = form.match(text);
    bool read = false;
    const std::uint64_t magnitude =
        match.hasMatch() ? QString(match.captured(2) + match.captured(3)).toULongLong(&read) : 0;
    constexpr auto largest = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    if (!read) return std::nullopt;
    if (match.captured(1).isEmpty()) {
        if (magnitude > largest) return std::nullopt;
        return std::int64_t(magnitude);
    }
    if (magnitude > largest + 1) return std::nullopt;
    return magnitude == largest + 1 ? std::numeric_limits<std::int64_t>::min()
                                    : -std::int64_t(magnitude);
}

}  // namespace corvanta::fuzz
