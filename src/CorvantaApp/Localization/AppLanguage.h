#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace corvanta {

// The six languages of the interface. French is the language the texts are written in.
enum class AppLanguage { french, english, italian, spanish, portuguese, german };

inline constexpr std::array<AppLanguage, 6> kAllAppLanguages = {
    AppLanguage::french,  AppLanguage::english,    AppLanguage::italian,
    AppLanguage::spanish, AppLanguage::portuguese, AppLanguage::german};

// The two-letter code: "fr", "en", "it", "es", "pt", "de".
QString code(AppLanguage language);
// Exactly one of the six codes; anything else gives nullopt.
std::optional<AppLanguage> appLanguage(const QString& code);

// The stored choice when it is one of the six codes, else the first system language (a tag such
// as "pt_BR" or "fr-CA") whose language part is one of them, else English.
AppLanguage resolve(const QStringList& preferredSystemLanguages,
                    const std::optional<QString>& storedChoice);

}  // namespace corvanta
