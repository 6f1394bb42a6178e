#include "corvanta/widgetkit/Language.h"

#include <QLocale>
#include <QLoggingCategory>
#include <variant>

#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/SetAside.h"
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

Q_LOGGING_CATEGORY(languageLog, "rigwell.widgets.language")

// The remembered code, or why what is in the file's place is none: it does not decode, or it is
// no file of ours (past the bound, a FIFO, a link, a folder); none for a missing or unreadable
// file.
std::variant<Language, std::optional<std::string>> readRemembered() {
    try {
        std::string text = readFile(rememberedLanguageFile(), Links::refuse, rememberedBound);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (const auto language = languageCoded(text)) return *language;
        return std::optional<std::string>("holds no language code");
    } catch (const FileReadError& error) {
        return unusableReason(error, rememberedBound);
    }
}

void remember(Language language) {
    const auto remembered = readRemembered();
    if (const auto* same = std::get_if<Language>(&remembered); same && *same == language) return;
    const auto file = rememberedLanguageFile();
    if (const auto* why = std::get_if<std::optional<std::string>>(&remembered); why && *why) {
        // Never written over: a link's target, a FIFO's reader or a huge file's blocks are not
        // ours to replace. Moved aside unread, as the other stores are.
        const auto aside = renameAside(file);
        if (!aside) {
            qCWarning(languageLog).noquote()
                << "the widgets' language file" << file.c_str() << (*why)->c_str()
                << "and could not be set aside; the language is not remembered";
            return;
        }
        qCWarning(languageLog).noquote() << "the widgets' language file" << file.c_str()
                                         << (*why)->c_str() << "- set aside as" << aside->c_str();
    }
    try {
        writeFileAtomically(file, std::string(codeOf(language)) + "\n");
    } catch (const FileWriteError&) {
        // Only the fallback is lost: the snapshot's language is still the one shown.
    }
}

}  // namespace

std::filesystem::path rememberedLanguageFile() {
    return corvantaConfigFolder() / "widget-language";
}

std::optional<Language> rememberedLanguage() {
    const auto remembered = readRemembered();
    if (const auto* language = std::get_if<Language>(&remembered)) return *language;
    return std::nullopt;
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
