#pragma once

#include <QString>
#include <QStringList>
#include <array>
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
// The language the user chose in the application, as its snapshot publishes it, else the
// system's.
Language chosenLanguage(const std::optional<MinerSnapshot>& snapshot);
// The same from the snapshot read afresh from the shared container (never waiting on anything but
// a regular file there).
Language chosenLanguage();

// One row of a string table: the French key, then English, Italian, Spanish, Portuguese and
// German.
struct TranslationRow {
    const char* french;
    std::array<const char*, 5> translations;
};

// The key in `language` from `table`, or the key itself when the table has no row for it.
QString translated(std::span<const TranslationRow> table, const QString& key, Language language);

}  // namespace corvanta::widgetkit
