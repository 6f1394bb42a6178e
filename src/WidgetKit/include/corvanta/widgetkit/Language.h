#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

// The six languages the host and the widget plug-ins speak. Their texts are French, and the
// French text is the key of the other five languages.
namespace corvanta::widgetkit {

enum class Language { french, english, italian, spanish, portuguese, german };

// The first of the preferred languages ("de-CH", "pt_BR", ...) that is one of the six, else
// English.
Language resolveLanguage(const QStringList& preferredLanguages);
// From the system locale.
Language systemLanguage();

// The application's settings file: $XDG_CONFIG_HOME/Corvanta/Corvanta.conf (~/.config when
// unset).
std::filesystem::path appSettingsFile();
// The language stored as "rigwell.language" in the [General] group of a settings file's text,
// when it is one of the six codes.
std::optional<Language> storedLanguage(std::string_view settingsText);
// The language the user chose in the application, read afresh from `settings` (never waiting on
// anything but a regular file there), else the system's.
Language chosenLanguage(const std::filesystem::path& settings = appSettingsFile());

// One row of a string table: the French key, then English, Italian, Spanish, Portuguese and
// German.
struct TranslationRow {
    const char* french;
    std::array<const char*, 5> translations;
};

// The key in `language` from `table`, or the key itself when the table has no row for it.
QString translated(std::span<const TranslationRow> table, const QString& key, Language language);

}  // namespace corvanta::widgetkit
