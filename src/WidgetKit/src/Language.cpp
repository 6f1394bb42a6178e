#include "corvanta/widgetkit/Language.h"

#include <QLocale>
#include <cstdlib>

#include "corvanta/shared/RegularFile.h"

namespace corvanta::widgetkit {

namespace {

struct Code {
    const char* code;
    Language language;
};
constexpr Code codes[] = {{"fr", Language::french},     {"en", Language::english},
                          {"it", Language::italian},    {"es", Language::spanish},
                          {"pt", Language::portuguese}, {"de", Language::german}};

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

Language resolveLanguage(const QStringList& preferredLanguages) {
    for (const QString& tag : preferredLanguages) {
        const QString code =
            tag.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
        for (const Code& known : codes) {
            if (code == QLatin1String(known.code)) return known.language;
        }
    }
    return Language::english;
}

Language systemLanguage() {
    return resolveLanguage(QLocale::system().uiLanguages());
}

std::filesystem::path appSettingsFile() {
    std::filesystem::path config;
    if (const char* value = std::getenv("XDG_CONFIG_HOME");
        value && std::filesystem::path(value).is_absolute()) {
        config = value;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return config / "Corvanta" / "Corvanta.conf";
}

std::optional<Language> storedLanguage(std::string_view settingsText) {
    bool general = false;
    while (!settingsText.empty()) {
        const auto end = settingsText.find('\n');
        const std::string_view line = trimmed(settingsText.substr(0, end));
        settingsText =
            end == std::string_view::npos ? std::string_view{} : settingsText.substr(end + 1);
        if (line.starts_with('[')) {
            general = line == "[General]";
            continue;
        }
        const auto equals = line.find('=');
        if (!general || equals == std::string_view::npos ||
            trimmed(line.substr(0, equals)) != "rigwell.language") {
            continue;
        }
        const std::string_view value = trimmed(line.substr(equals + 1));
        for (const Code& known : codes) {
            if (value == known.code) return known.language;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

Language chosenLanguage(const std::filesystem::path& settings) {
    // A settings file is a few kilobytes.
    constexpr std::size_t largestSettings = 1024 * 1024;
    if (!settings.empty()) {
        const auto file = readRegularFile(settings, largestSettings);
        if (file.outcome == RegularFileText::Outcome::read) {
            if (const auto stored = storedLanguage(file.text)) return *stored;
        }
    }
    return systemLanguage();
}

QString translated(std::span<const TranslationRow> table, const QString& key, Language language) {
    if (language == Language::french) return key;
    const auto column = static_cast<std::size_t>(language) - 1;
    for (const TranslationRow& row : table) {
        if (key == QString::fromUtf8(row.french))
            return QString::fromUtf8(row.translations[column]);
    }
    return key;
}

}  // namespace corvanta::widgetkit
