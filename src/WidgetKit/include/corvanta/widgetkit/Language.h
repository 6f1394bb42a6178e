#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "corvanta/shared/MinerSnapshot.h"

// The six languages the host and the widget plug-ins speak. Their texts are French, and the
// French text is the key of the other five languages.
namespace corvanta::widgetkit {

enum class Language { french, english, italian, spanish, portuguese, german };

// The first of the preferred languages ("de-CH", "pt_BR", ...) that is one of the six, else
// English.
Language resolveLanguage(const QStringList& preferredLanguages);
// From the system locale.
Language systemLanguage();

// The language of a two-letter code ("de"), when it is one of the six.
std::optional<Language> languageCoded(std::string_view code);
// The language the user chose in the application, as its snapshot publishes it. A snapshot that
// names none of the six (missing, unreadable, from an older application) leaves the last one a
// snapshot named, which is remembered across starts; the system's when none ever did. What stands
// in the remembered file's place and is no such file (a FIFO, a link, a folder, a file past a few
// bytes, a text that is no code) is set aside by rename, with one log line, before the language is
// written; it is never written over.
Language chosenLanguage(const std::optional<MinerSnapshot>& snapshot);
// The same from the snapshot read afresh from the shared container (never waiting on anything but
// a regular file there).
Language chosenLanguage();

// Where the last language a snapshot named is kept: $XDG_CONFIG_HOME/Corvanta/widget-language
// (~/.config when unset), beside the host's own list of widgets.
std::filesystem::path rememberedLanguageFile();
// That language, when the file holds one of the six codes.
std::optional<Language> rememberedLanguage();

// One row of a string table: the French key, then English, Italian, Spanish, Portuguese and
// German.
struct TranslationRow {
    const char* french;
    std::array<const char*, 5> translations;
};

// The key in `language` from `table`, or the key itself when the table has no row for it.
QString translated(std::span<const TranslationRow> table, const QString& key, Language language);

}  // namespace corvanta::widgetkit
