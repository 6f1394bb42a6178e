#include "corvanta/widgetkit/Language.h"

#include <QLocale>

#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/widgetkit/ConfigFolder.h"

namespace corvanta::widgetkit {

namespace {

struct Code {
    const char* code;
    Language language;
};
constexpr Code codes[] = {{"fr", Language::french},     {"en", Language::english},
                          {"it", Language::italian},    {"es", Language::spanish},
                          {"pt", Language::portuguese}, {"de", Language::german}};

// A code and a line break; anything longer is not ours.
constexpr std::size_t rememberedBound = 16;

const char* codeOf(Language language) {
    for (const Code& known : codes) {
        if (known.language == language) return known.code;
    }
    return "en";
}

void remember(Language language) {
    if (rememberedLanguage() == language) return;
    try {
        writeFileAtomically(rememberedLanguageFile(), std::string(codeOf(language)) + "\n");
    } catch (const FileWriteError&) {
        // Only the fallback is lost: the snapshot's language is still the one shown.
    }
}

}  // namespace

std::filesystem::path rememberedLanguageFile() {
    return corvantaConfigFolder() / "widget-language";
}

std::optional<Language> rememberedLanguage() {
    try {
        std::string text = readFile(rememberedLanguageFile(), Links::refuse, rememberedBound);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return languageCoded(text);
    } catch (const FileReadError&) {
        return std::nullopt;
    }
}

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

std::optional<Language> languageCoded(std::string_view code) {
    for (const Code& known : codes) {
        if (code == known.code) return known.language;
    }
    return std::nullopt;
}

Language chosenLanguage(const std::optional<MinerSnapshot>& snapshot) {
    if (snapshot && snapshot->language) {
        if (const auto chosen = languageCoded(*snapshot->language)) {
            remember(*chosen);
            return *chosen;
        }
    }
    return rememberedLanguage().value_or(systemLanguage());
}

Language chosenLanguage() {
    return chosenLanguage(SharedContainer::read());
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
